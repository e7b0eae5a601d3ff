// Test AC: replays the transactions of an action log whose sequence numbers
// lie in the range of the command line, in document order.

#include <charconv>
#include <cstdint>
#include <string>

#include "client/md_provider_client.h"
#include "console/replay_progress.h"
#include "platform/core/decimal_number.h"
#include "platform/core/tov_exception.h"
#include "platform/os/console.h"
#include "platform/os/interruption.h"
#include "platform/xml/xml_document.h"
#include "platform/xml/xml_element_stream.h"

namespace {

// Joins a message text and a number, composed in memory and then printed
// whole, so that a line end inside the text shows as a line of its own.
std::string composed(const char* text, std::int32_t number,
                     const char* tail = "") {
  char digits[16];
  const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
  return std::string(text).append(digits, end).append(tail);
}

bool isSelected(std::int32_t seq, std::int32_t first, std::int32_t last) {
  // -1 as the upper bound means none; any other value is an ordinary bound.
  return seq >= first && (seq <= last || last == -1);
}

}  // namespace

bool MDProviderClient::replayActionLog() {
  if (scriptPath == "") return true;

  // Read twice: once to count and to refuse a log that is not well-formed
  // before anything is sent, then one outermost transaction at a time, so
  // that memory does not grow with the log.
  platform::XmlElementStream log(scriptPath.c_str(), "transaction", "seq");
  const auto count = static_cast<std::int32_t>(log.count());
  seqsRise = log.keysRise();
  printMessage(composed("Transaction count: ", count, "\n").c_str());

  // A person at a terminal sees a long delivering replay move.
  ReplayProgress progress(
      count,
      delivery.isOn() && count > 1000 && platform::standardErrorIsTerminal(),
      platform::standardOutputIsTerminal());
  const I18NString type("action");
  const I18NString action("execute");
  const I18NString seqName("seq");
  std::int32_t done = 0;
  for (;;) {
    TOVIDOM_Document outermost =
        TOVIDOM_DOMImplementation::getInstance()->createDocument();
    const auto next = log.next(outermost);
    if (next == platform::XmlElementStream::Next::kEnd) break;
    if (next == platform::XmlElementStream::Next::kChanged) {
      throw new TOVException("The action log \"" + scriptPath.str() +
                             "\" changed while it was replayed");
    }
    // The outermost one first, then those nested in it.
    const TOVIDOM_NodeList transactions =
        outermost->getElementsByTagName("transaction");
    const unsigned long inHand = transactions->getLength();
    for (unsigned long index = 0; index < inHand; ++index) {
      platform::throwIfInterrupted();
      TOVIDOM_Node node = transactions->item(index);
      const TOVIDOM_Element transaction(node);
      const std::int32_t seq =
          platform::decimalToInt(transaction->getAttribute(seqName).c_str());
      progress.update(++done, delivery.answered());
      if (!isSelected(seq, firstSeq, lastSeq)) continue;
      printMessage(composed("\nTransaction: ", seq).c_str());
      nextIsTransaction(static_cast<unsigned long long>(done), seq);
      if (!processNodeRequest(type, action, node)) {
        // The rest of the log is not replayed: the baseline's records of it
        // are not reached, not lost.
        judge.logEndsEarly();
        return false;
      }
    }
  }
  finishReplay();
  return true;
}
