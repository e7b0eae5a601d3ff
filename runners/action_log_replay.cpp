// Test AC: replays the transactions of an action log whose sequence numbers
// lie in the range of the command line, in document order.

#include <cstdint>
#include <sstream>

#include "client/md_provider_client.h"
#include "platform/decimal_number.h"
#include "platform/xml_document.h"

namespace {

bool isSelected(std::int32_t seq, std::int32_t first, std::int32_t last) {
  // -1 as the upper bound means none; any other value is an ordinary bound.
  return seq >= first && (seq <= last || last == -1);
}

}  // namespace

bool MDProviderClient::replayActionLog() {
  if (scriptPath == "") return true;

  TOVIDOM_Document script =
      TOVIDOM_DOMImplementation::getInstance()->createDocument();
  TOVIDOM_Parser parser(0);
  parser->parse(scriptPath.c_str(), script);
  const TOVIDOM_NodeList transactions =
      script->getElementsByTagName("transaction");
  const auto count = static_cast<std::int32_t>(transactions->getLength());
  {
    std::ostringstream message;
    message << "Transaction count: " << count << '\n';
    printMessage(message.str().c_str());
  }

  const I18NString type("action");
  const I18NString action("execute");
  const I18NString seqName("seq");
  for (std::int32_t index = 0; index < count; ++index) {
    TOVIDOM_Node node = transactions->item(static_cast<unsigned long>(index));
    const TOVIDOM_Element transaction(node);
    const std::int32_t seq =
        platform::decimalToInt(transaction->getAttribute(seqName).c_str());
    if (!isSelected(seq, firstSeq, lastSeq)) continue;
    std::ostringstream message;
    message << "\nTransaction: " << seq;
    printMessage(message.str().c_str());
    if (!processNodeRequest(type, action, node)) return false;
  }
  finishReplay();
  return true;
}
