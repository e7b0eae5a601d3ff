#include "platform/os/utf8_arguments.h"

namespace platform {

// The words are the bytes the shell gave: UTF-8 on any current system.
Utf8Arguments::Utf8Arguments(int argc, char** argv)
    : words_(argv, argv + argc) {
  for (std::string& word : words_) pointers_.push_back(word.data());
  pointers_.push_back(nullptr);
}

}  // namespace platform
