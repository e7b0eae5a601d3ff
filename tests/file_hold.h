#pragma once

#include <string>

namespace test_support {

// Another program's hold on a file, as a browser or an editor that shows it
// has one: open, without letting it be deleted or replaced. Only Windows
// has such holds; elsewhere `held` is false.
class FileHold {
 public:
  explicit FileHold(const std::string& path);
  ~FileHold();
  FileHold(const FileHold&) = delete;
  FileHold& operator=(const FileHold&) = delete;

  bool held() const;
  void release();

 private:
  void* handle_ = nullptr;
};

}  // namespace test_support
