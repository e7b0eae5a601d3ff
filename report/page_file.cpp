#include "report/page_file.h"

#include "report/page_writer.h"

bool PageFile::open(const std::string& path, std::string& reason) {
  return file_.open(path, reason);
}

bool PageFile::write(const RunPage& page, std::string& reason) {
  std::string failed;
  writeRunPage(page, [this, &failed](std::string_view piece) {
    if (failed.empty()) file_.append(piece.data(), piece.size(), failed);
  });
  reason = failed;
  return failed.empty() && file_.commit(reason);
}
