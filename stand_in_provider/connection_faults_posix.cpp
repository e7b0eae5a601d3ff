#include <arpa/inet.h>
#include <dirent.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "stand_in_provider/connection_faults.h"

namespace {

int portOf(const sockaddr_storage& address) {
  if (address.ss_family == AF_INET) {
    return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
  }
  if (address.ss_family == AF_INET6) {
    return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
  }
  return -1;
}

// The socket of this process with these two ports, or -1. The server
// library does not hand its sockets to the handlers.
int findSocket(int localPort, int peerPort) {
  DIR* fds = ::opendir("/proc/self/fd");
  if (fds == nullptr) return -1;
  int found = -1;
  while (dirent* entry = ::readdir(fds)) {
    const int fd = std::atoi(entry->d_name);
    if (fd <= 2) continue;
    sockaddr_storage local{}, peer{};
    socklen_t localSize = sizeof local, peerSize = sizeof peer;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localSize) ==
            0 &&
        ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) == 0 &&
        portOf(local) == localPort && portOf(peer) == peerPort) {
      found = fd;
      break;
    }
  }
  ::closedir(fds);
  return found;
}

}  // namespace

void breakConnection(int localPort, int peerPort, const char* bytes) {
  const int fd = findSocket(localPort, peerPort);
  if (fd < 0) return;
  if (bytes != nullptr) {
    [[maybe_unused]] const ssize_t sent =
        ::send(fd, bytes, std::strlen(bytes), MSG_NOSIGNAL);
  }
  ::shutdown(fd, SHUT_RDWR);
}

bool canBreakConnections() { return true; }
