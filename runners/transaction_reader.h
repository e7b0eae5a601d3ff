#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>

#include "client/built_request.h"
#include "platform/xml/xml_document.h"

namespace platform {
class XmlElementStream;
}

// One step of reading an action log: the next transaction in the range,
// built as a request, or the end of the log.
struct ReadTransaction {
  enum class Kind {
    kTransaction,  // `request` is built, or `failure` says why not
    kEnd,
    kFailed,  // the log could not be read on: `failure` says why
  };
  Kind kind = Kind::kEnd;
  // Transactions of the log looked at so far, this one included.
  std::int32_t looked = 0;
  std::int32_t seq = 0;
  BuiltRequest request;
  // Thrown when the replay comes to this step, after every step before it.
  std::exception_ptr failure;
};

// The reading half of a replay: takes the log's transactions in document
// order, the outermost before those nested in it, passes over those out
// of the range and builds the others. Nothing it does is seen outside, so
// it may run ahead of the replay on a thread of its own.
class TransactionReader {
 public:
  // Builds the request whose payload is the transaction.
  using Build = std::function<BuiltRequest(const TOVIDOM_Node& transaction)>;
  // `log` has been counted; -1 as `last` means no upper bound.
  TransactionReader(platform::XmlElementStream& log, std::string path,
                    std::int32_t first, std::int32_t last, Build build);

  // Never throws. After kEnd, kFailed or a transaction that failed to
  // build, nothing more is read: asked again, it says kEnd.
  ReadTransaction next();
  // From any thread: the reading ends at the next transaction, as if the
  // log ended there.
  void stop() { stopped_.store(true); }

 private:
  ReadTransaction read();
  bool selected(std::int32_t seq) const;

  platform::XmlElementStream& log_;
  std::string path_;
  std::int32_t first_;
  std::int32_t last_;
  Build build_;
  // The outermost transaction in hand and those nested in it.
  TOVIDOM_Document outermost_;
  TOVIDOM_NodeList inHand_;
  unsigned long index_ = 0;
  unsigned long count_ = 0;
  std::int32_t looked_ = 0;
  bool over_ = false;
  std::atomic<bool> stopped_{false};
};
