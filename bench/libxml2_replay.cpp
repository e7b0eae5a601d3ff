// A replay prototype over libxml2, the peer the client's replay is measured
// against: the same work per transaction (parse the log, list the
// transactions in document order, print the count and each selected one,
// copy it into a document of its own and from there into an envelope,
// serialize the envelope into memory).
//   libxml2_replay LOG

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void collect(xmlNodePtr node, std::vector<xmlNodePtr>& found) {
  // Without recursion, as logs may nest deeply.
  while (node != nullptr) {
    if (node->type == XML_ELEMENT_NODE &&
        xmlStrEqual(node->name, BAD_CAST "transaction")) {
      found.push_back(node);
    }
    if (node->children != nullptr) {
      node = node->children;
      continue;
    }
    while (node != nullptr && node->next == nullptr) node = node->parent;
    if (node != nullptr) node = node->next;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: libxml2_replay LOG\n");
    return 2;
  }
  xmlDocPtr log =
      xmlReadFile(argv[1], nullptr, XML_PARSE_HUGE | XML_PARSE_NOENT);
  if (log == nullptr) return 1;
  std::vector<xmlNodePtr> transactions;
  collect(xmlDocGetRootElement(log), transactions);
  std::printf("Transaction count: %zu\n\n", transactions.size());
  xmlBufferPtr text = xmlBufferCreate();
  for (xmlNodePtr transaction : transactions) {
    xmlChar* seq = xmlGetProp(transaction, BAD_CAST "seq");
    std::printf("\nTransaction: %d\n", std::atoi(reinterpret_cast<char*>(seq)));
    std::fflush(stdout);
    xmlFree(seq);
    xmlDocPtr carrier = xmlNewDoc(BAD_CAST "1.0");
    xmlDocSetRootElement(carrier, xmlDocCopyNode(transaction, carrier, 1));
    xmlDocPtr envelope = xmlNewDoc(BAD_CAST "1.0");
    xmlNodePtr root = xmlNewNode(nullptr, BAD_CAST "mdprovider");
    xmlSetProp(root, BAD_CAST "type", BAD_CAST "action");
    xmlSetProp(root, BAD_CAST "action", BAD_CAST "execute");
    xmlSetProp(root, BAD_CAST "model", BAD_CAST "P");
    xmlDocSetRootElement(envelope, root);
    xmlAddChild(root,
                xmlDocCopyNode(xmlDocGetRootElement(carrier), envelope, 1));
    xmlBufferEmpty(text);
    xmlNodeDump(text, envelope, root, 0, 0);
    xmlFreeDoc(envelope);
    xmlFreeDoc(carrier);
  }
  xmlBufferFree(text);
  xmlFreeDoc(log);
  return 0;
}
