#include <windows.h>

#include <iostream>
#include <streambuf>
#include <string>

#include "platform/os/console_text.h"

namespace platform {

namespace {

// How many bytes at the end of `data` begin a UTF-8 sequence that the next
// write completes: they wait for it, so that no character is cut in two.
std::size_t unfinishedTail(const char* data, std::size_t size) {
  for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
    const auto byte = static_cast<unsigned char>(data[size - back]);
    if ((byte & 0xC0) == 0x80) continue;  // a continuation: look further
    const std::size_t length = byte >= 0xF0   ? 4
                               : byte >= 0xE0 ? 3
                               : byte >= 0xC0 ? 2
                                              : 1;
    return length > back ? back : 0;
  }
  return 0;
}

// A stream's bytes, UTF-8, written to a console as UTF-16 text.
class ConsoleBuffer : public std::streambuf {
 public:
  explicit ConsoleBuffer(HANDLE console) : console_(console) {
    setp(bytes_, bytes_ + sizeof bytes_);
  }

 protected:
  int_type overflow(int_type c) override {
    if (!writeOut()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  int sync() override { return writeOut() ? 0 : -1; }

 private:
  bool writeOut() {
    const std::size_t size = static_cast<std::size_t>(pptr() - pbase());
    const std::size_t tail = unfinishedTail(pbase(), size);
    const bool written = write(pbase(), size - tail);
    // What waits for its next bytes moves to the front.
    for (std::size_t i = 0; i < tail; ++i) bytes_[i] = pbase()[size - tail + i];
    setp(bytes_, bytes_ + sizeof bytes_);
    pbump(static_cast<int>(tail));
    return written;
  }

  bool write(const char* data, std::size_t size) {
    if (size == 0) return true;
    const int length = static_cast<int>(size);
    const int needed =
        MultiByteToWideChar(CP_UTF8, 0, data, length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(needed), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, data, length, wide.data(), needed);
    // A line ends as the run-time's text mode ended it.
    std::wstring text;
    text.reserve(wide.size() + 16);
    for (const wchar_t c : wide) {
      if (c == L'\n') text += L'\r';
      text += c;
    }
    for (std::size_t done = 0; done < text.size();) {
      DWORD put = 0;
      const DWORD piece = static_cast<DWORD>(text.size() - done);
      if (!WriteConsoleW(console_, text.data() + done, piece, &put, nullptr) ||
          put == 0) {
        return false;
      }
      done += put;
    }
    return true;
  }

  HANDLE console_;
  char bytes_[4096];
};

bool isConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
         GetConsoleMode(handle, &mode);
}

}  // namespace

struct ConsoleText::Streams {
  // Swaps a stream's buffer for one that writes to its console, and back.
  struct Swap {
    Swap(std::ostream& stream, DWORD which)
        : stream_(stream), console_(GetStdHandle(which)) {
      if (!isConsole(console_)) return;
      stream_.flush();
      buffer_ = std::make_unique<ConsoleBuffer>(console_);
      saved_ = stream_.rdbuf(buffer_.get());
    }
    ~Swap() {
      if (!buffer_) return;
      stream_.flush();
      stream_.rdbuf(saved_);
    }
    Swap(const Swap&) = delete;
    Swap& operator=(const Swap&) = delete;

    std::ostream& stream_;
    HANDLE console_;
    std::unique_ptr<ConsoleBuffer> buffer_;
    std::streambuf* saved_ = nullptr;
  };
  Swap output{std::cout, STD_OUTPUT_HANDLE};
  Swap error{std::cerr, STD_ERROR_HANDLE};
};

ConsoleText::ConsoleText() : streams_(std::make_unique<Streams>()) {}
ConsoleText::~ConsoleText() = default;

}  // namespace platform
