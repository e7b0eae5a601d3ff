#pragma once

#include <string>
#include <vector>

namespace platform {

// The command line's words as UTF-8, argv[0] first, held for the run.
class Utf8Arguments {
 public:
  Utf8Arguments(int argc, char** argv);
  int count() const { return static_cast<int>(pointers_.size()) - 1; }
  char** values() { return pointers_.data(); }

 private:
  std::vector<std::string> words_;
  std::vector<char*> pointers_;  // into words_, ending with a null
};

}  // namespace platform
