#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

#include "runners/transaction_reader.h"

// Reads a log a few transactions ahead of the replay, on a thread of its
// own, so that the next requests are read and built while the provider
// answers the one before. The steps come out in the reader's order; what
// is read ahead is bounded in count and in bytes, and a large request is
// read ahead alone, so memory stays flat.
// Without `ahead` (or when no thread can start) the reader runs in-line.
class ReadAhead {
 public:
  ReadAhead(TransactionReader& reader, bool ahead);
  // Stops the reading and waits for it, however the replay ends.
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // The reader's next step, as TransactionReader::next says.
  ReadTransaction next();

 private:
  void readOn();
  bool full() const;
  bool roomAgain() const;

  TransactionReader& reader_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<ReadTransaction> ready_;
  std::size_t readyBytes_ = 0;
  bool readerWaits_ = false;
  bool replayWaits_ = false;
  bool stop_ = false;
  // A large request was handed over and the replay has not come back for
  // the next: the reader waits.
  bool largeHandedOver_ = false;
  bool finished_ = false;
  // What the reading thread could not hand over.
  std::exception_ptr lost_;
  std::thread thread_;
};
