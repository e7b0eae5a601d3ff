#include "runners/transaction_reader.h"

#include <utility>

#include "platform/core/decimal_number.h"
#include "platform/core/tov_exception.h"
#include "platform/xml/xml_element_stream.h"

TransactionReader::TransactionReader(platform::XmlElementStream& log,
                                     std::string path, std::int32_t first,
                                     std::int32_t last, Build build)
    : log_(log),
      path_(std::move(path)),
      first_(first),
      last_(last),
      build_(std::move(build)) {}

bool TransactionReader::selected(std::int32_t seq) const {
  // -1 as the upper bound means none; any other value is an ordinary bound.
  return seq >= first_ && (seq <= last_ || last_ == -1);
}

ReadTransaction TransactionReader::next() {
  if (over_) {
    ReadTransaction end;
    end.looked = looked_;
    return end;
  }
  ReadTransaction step;
  try {
    step = read();
  } catch (...) {
    step.kind = ReadTransaction::Kind::kFailed;
    step.looked = looked_;
    step.failure = std::current_exception();
  }
  // The replay ends at a failure: what follows it is not read.
  over_ = step.kind != ReadTransaction::Kind::kTransaction || step.failure;
  return step;
}

ReadTransaction TransactionReader::read() {
  for (;;) {
    if (stopped_.load()) {
      ReadTransaction end;
      end.looked = looked_;
      return end;
    }
    if (index_ == count_) {
      inHand_ = TOVIDOM_NodeList();
      outermost_ = TOVIDOM_DOMImplementation::getInstance()->createDocument();
      const auto next = log_.next(outermost_);
      if (next == platform::XmlElementStream::Next::kEnd) {
        ReadTransaction end;
        end.looked = looked_;
        return end;
      }
      if (next == platform::XmlElementStream::Next::kChanged) {
        throw new TOVException("The action log \"" + path_ +
                               "\" changed while it was replayed");
      }
      // The outermost one first, then those nested in it.
      inHand_ = outermost_->getElementsByTagName("transaction");
      count_ = inHand_->getLength();
      index_ = 0;
      continue;
    }
    TOVIDOM_Node node = inHand_->item(index_++);
    const TOVIDOM_Element transaction(node);
    const std::int32_t seq =
        platform::decimalToInt(transaction->getAttribute("seq").c_str());
    ++looked_;
    if (!selected(seq)) continue;
    ReadTransaction read;
    read.kind = ReadTransaction::Kind::kTransaction;
    read.looked = looked_;
    read.seq = seq;
    try {
      read.request = build_(node);
    } catch (...) {
      read.failure = std::current_exception();
    }
    return read;
  }
}
