#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace test_support {

// One line of the stand-in's request log.
struct LoggedRequest {
  long number = 0;
  int peerPort = 0;  // tells the connections apart
  long bodySize = 0;
  std::string authorization;  // "-" when none
};

// The stand-in provider, started on a free loopback port for the life of
// the object and stopped on every way out. Its logs live in `dir`.
class StandInProvider {
 public:
  StandInProvider(const std::string& dir, std::vector<std::string> flags = {});
  ~StandInProvider();
  StandInProvider(const StandInProvider&) = delete;
  StandInProvider& operator=(const StandInProvider&) = delete;

  int port() const { return port_; }
  std::string address() const;  // http://127.0.0.1:PORT/mdprovider
  std::vector<LoggedRequest> requests() const;
  // The bodies as received, in order.
  std::vector<std::string> bodies() const;

 private:
  std::string dir_;
  pid_t pid_ = -1;
  int input_ = -1;  // its standard input: closing it stops it too
  int port_ = 0;
};

// A loopback port on which nothing listens.
int unusedPort();

}  // namespace test_support
