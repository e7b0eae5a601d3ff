#pragma once

#include <memory>

namespace platform {

// For its life, what the program writes to standard output and standard
// error reaches a console as the characters meant. On Windows a console
// reads the bytes it is given in its code page, which garbles UTF-8
// ("PrÃ¼fung"): a stream that is a console is written in UTF-16 instead,
// with lines ending in CR LF as before; a file or a pipe still gets UTF-8
// bytes. Elsewhere a terminal reads UTF-8 and nothing changes.
class ConsoleText {
 public:
  ConsoleText();
  ~ConsoleText();
  ConsoleText(const ConsoleText&) = delete;
  ConsoleText& operator=(const ConsoleText&) = delete;

 private:
  struct Streams;
  std::unique_ptr<Streams> streams_;
};

}  // namespace platform
