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
  const auto sameKind = [&](std::size_t at) {
    const baseline_file::RecordHeader* header = reader_.ahead(at);
    return header != nullptr && header->key.isTransaction == key.isTransaction;
  };
  // The next one, as nearly always.
  const baseline_file::RecordHeader* next = reader_.ahead(0);
  std::size_t at =
      next != nullptr && next->fingerprint == fingerprint && sameKind(0)
          ? 0
          : reader_.findFingerprint(fingerprint);
  if (at != BaselineReader::kNone && sameKind(at)) {
    pairing.outcome = Pairing::Outcome::kPaired;
    reader_.take(at, record, most, passed);
    return pairing;
  }
  at = reader_.findKey(key);
  if (at != BaselineReader::kNone) {
    pairing.outcome = Pairing::Outcome::kChanged;
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
