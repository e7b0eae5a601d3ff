#include "tests/stand_in_provider.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "tests/test_support.h"

namespace test_support {

StandInProvider::StandInProvider(const std::string& dir,
                                 std::vector<std::string> flags)
    : dir_(dir) {
  std::vector<std::string> args = {KES_STAND_IN_PATH, "--watch-stdin",
                                   "--log",           dir + "/provider.log",
                                   "--bodies",        dir + "/provider.bodies"};
  args.insert(args.end(), flags.begin(), flags.end());
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  int in[2], out[2];
  if (::pipe(in) != 0 || ::pipe(out) != 0) std::abort();
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    for (int fd : {in[0], in[1], out[0], out[1]}) ::close(fd);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  input_ = in[1];
  std::string line;
  char c;
  while (::read(out[0], &c, 1) == 1 && c != '\n') line += c;
  ::close(out[0]);
  const std::size_t colon = line.rfind(':');
  if (colon != std::string::npos) port_ = std::atoi(line.c_str() + colon + 1);
}

StandInProvider::~StandInProvider() {
  if (input_ >= 0) ::close(input_);
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
}

std::string StandInProvider::address() const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/mdprovider";
}

std::vector<LoggedRequest> StandInProvider::requests() const {
  std::istringstream lines(readFile(dir_ + "/provider.log"));
  std::vector<LoggedRequest> requests;
  LoggedRequest request;
  while (lines >> request.number >> request.peerPort >> request.bodySize) {
    lines.get();
    std::getline(lines, request.authorization);
    requests.push_back(request);
  }
  return requests;
}

std::vector<std::string> StandInProvider::bodies() const {
  return readTrace(dir_ + "/provider.bodies");
}

int unusedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  ::close(fd);
  return ntohs(address.sin_port);
}

}  // namespace test_support
