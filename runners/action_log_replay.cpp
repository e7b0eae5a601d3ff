// Test AC: replays the transactions of an action log whose sequence numbers
// lie in the range of the command line, in document order.

#include <charconv>
#include <cstdint>
#include <exception>
#include <string>
#include <utility>

#include "client/md_provider_client.h"
#include "console/replay_progress.h"
#include "platform/core/tov_exception.h"
#include "platform/os/console.h"
#include "platform/os/interruption.h"
#include "platform/xml/xml_element_stream.h"
#include "runners/read_ahead.h"
#include "runners/transaction_reader.h"

namespace {

// Joins a message text and a number, composed in memory and then printed
// whole, so that a line end inside the text shows as a line of its own.
std::string composed(const char* text, std::int32_t number,
                     const char* tail = "") {
  char digits[16];
  const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
  return std::string(text).append(digits, end).append(tail);
}

// The largest transaction, on average over the log, worth reading ahead.
constexpr unsigned long long kReadAheadAverageBytes = 64 * 1024;

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
  TransactionReader reader(
      log, scriptPath.str(), firstSeq, lastSeq,
      [this, &type, &action](const TOVIDOM_Node& transaction) {
        return buildRequest(type, action, transaction);
      });
  // While delivering, the next requests are read and built as the provider
  // answers the one before. That pays while they are small: large ones take
  // far longer to send than to read, and built on another thread their
  // memory comes fresh from the system each time (a log of 10 MB
  // transactions took six times the page faults and twice the time).
  const bool small =
      count == 0 || log.size() / static_cast<unsigned long long>(count) <=
                        kReadAheadAverageBytes;
  ReadAhead ahead(reader, delivery.isOn() && small);
  for (;;) {
    ReadTransaction read = ahead.next();
    platform::throwIfInterrupted();
    progress.update(read.looked, delivery.answered());
    if (read.kind == ReadTransaction::Kind::kEnd) break;
    if (read.kind == ReadTransaction::Kind::kFailed) {
      std::rethrow_exception(read.failure);
    }
    printMessage(composed("\nTransaction: ", read.seq).c_str());
    nextIsTransaction(static_cast<unsigned long long>(read.looked), read.seq);
    AnswerKey name = beginRequest(type, action);
    if (read.failure) std::rethrow_exception(read.failure);
    if (!sendRequest(std::move(name), std::move(read.request))) {
      // The rest of the log is not replayed: the baseline's records of it
      // are not reached, not lost.
      judge.logEndsEarly();
      return false;
    }
  }
  finishReplay();
  return true;
}
