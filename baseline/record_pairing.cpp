#include "baseline/record_pairing.h"

void RecordPairing::pass(const baseline_file::RecordHeader& header,
                         Pairing& pairing) const {
  const bool removed = countRemovals_ && (!header.key.isTransaction ||
                                          range_.holds(header.key.seq));
  if (removed) {
    pairing.removed.add(header.key);
  } else {
    ++pairing.notReached;
  }
  if (watch_) watch_(header, removed);
}

Pairing RecordPairing::pair(const AnswerKey& key,
                            const std::string& fingerprint,
                            BaselineRecord& record, std::size_t most) {
  Pairing pairing;
  const auto passed = [&](const baseline_file::RecordHeader& header) {
    pass(header, pairing);
  };
  const auto sameKey = [&](const baseline_file::RecordHeader& header) {
    if (header.key.isTransaction != key.isTransaction) return false;
    return key.isTransaction
               ? header.key.seq == key.seq
               : header.key.type == key.type && header.key.action == key.action;
  };
  // A record the run's range leaves out is never this request's.
  const auto reachable = [&](const baseline_file::RecordHeader& header) {
    return !header.key.isTransaction || range_.holds(header.key.seq);
  };
  const auto samePrint = [&](const baseline_file::RecordHeader& header) {
    return header.fingerprint == fingerprint && reachable(header) &&
           header.key.isTransaction == key.isTransaction;
  };
  // The next one, as nearly always; then the same request further on (one
  // of the same number first, as a log may repeat a transaction); then the
  // record of its number, which tells that the request changed.
  const baseline_file::RecordHeader* next = reader_.ahead(0);
  std::size_t at =
      next != nullptr && samePrint(*next) && sameKey(*next)
          ? 0
          : reader_.find([&](const baseline_file::RecordHeader& h) {
              return samePrint(h) && sameKey(h);
            });
  if (at == BaselineReader::kNone && !keysOnly_) at = reader_.find(samePrint);
  if (at != BaselineReader::kNone) {
    pairing.outcome = Pairing::Outcome::kPaired;
    reader_.take(at, record, most, passed);
    return pairing;
  }
  at = reader_.find([&](const baseline_file::RecordHeader& header) {
    return sameKey(header) && reachable(header);
  });
  if (at != BaselineReader::kNone) {
    // Fingerprints of another kind tell nothing: paired by its key alone.
    pairing.outcome =
        keysOnly_ ? Pairing::Outcome::kPaired : Pairing::Outcome::kChanged;
    reader_.take(at, record, most, passed);
    return pairing;
  }
  pairing.pastWindow = reader_.pastWindow();
  return pairing;
}

Pairing RecordPairing::finish() {
  Pairing pairing;
  reader_.passRest([&](const baseline_file::RecordHeader& header) {
    pass(header, pairing);
  });
  return pairing;
}
