// A stand-in for the metadata provider: serves POST on a loopback port,
// keeps projects in memory and answers as a provider would, with faults
// switched on by flags for tests.
//
//   mdprovider_stand_in [--port P] [--log FILE] [--bodies FILE]
//       [--watch-stdin] [fault flags of faults.h]
//
// Prints "listening on 127.0.0.1:PORT" when ready. Stops on SIGTERM or
// SIGINT, and with --watch-stdin also when its standard input ends.

#include <httplib.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "stand_in_provider/connection_faults.h"
#include "stand_in_provider/faults.h"
#include "stand_in_provider/provider_rules.h"

namespace {

struct Options {
  int port = 0;
  std::string logPath;
  std::string bodiesPath;
  bool watchStdin = false;
  Faults faults;
};

[[noreturn]] void usage(const std::string& word) {
  std::fprintf(stderr, "mdprovider_stand_in: cannot use \"%s\"\n",
               word.c_str());
  std::exit(2);
}

Options readOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "--watch-stdin") {
      options.watchStdin = true;
      continue;
    }
    if (flag == "--ntlm") {
      options.faults.ntlm = true;
      continue;
    }
    if (i + 1 >= argc) usage(flag);
    const std::string value = argv[++i];
    if (flag == "--port") {
      options.port = std::atoi(value.c_str());
    } else if (flag == "--log") {
      options.logPath = value;
    } else if (flag == "--bodies") {
      options.bodiesPath = value;
    } else if (!options.faults.take(flag, value)) {
      usage(flag + " " + value);
    }
  }
  return options;
}

std::string base64(const std::string& text) {
  static const char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < text.size(); i += 3) {
    unsigned value = static_cast<unsigned char>(text[i]) << 16;
    if (i + 1 < text.size())
      value |= static_cast<unsigned char>(text[i + 1]) << 8;
    if (i + 2 < text.size()) value |= static_cast<unsigned char>(text[i + 2]);
    out += kDigits[(value >> 18) & 63];
    out += kDigits[(value >> 12) & 63];
    out += i + 1 < text.size() ? kDigits[(value >> 6) & 63] : '=';
    out += i + 2 < text.size() ? kDigits[value & 63] : '=';
  }
  return out;
}

// Every request as it arrived: one line each in the log, the body and a
// NUL in the bodies file.
class RequestLog {
 public:
  explicit RequestLog(const Options& options)
      : log_(open(options.logPath)), bodies_(open(options.bodiesPath)) {}
  ~RequestLog() {
    if (log_ != nullptr) std::fclose(log_);
    if (bodies_ != nullptr) std::fclose(bodies_);
  }
  RequestLog(const RequestLog&) = delete;
  RequestLog& operator=(const RequestLog&) = delete;

  void add(long number, const httplib::Request& request) {
    if (log_ != nullptr) {
      const std::string auth = request.get_header_value("Authorization");
      std::fprintf(log_, "%ld %d %zu %s\n", number, request.remote_port,
                   request.body.size(), auth.empty() ? "-" : auth.c_str());
      std::fflush(log_);
    }
    if (bodies_ != nullptr) {
      std::fwrite(request.body.data(), 1, request.body.size(), bodies_);
      std::fputc('\0', bodies_);
      std::fflush(bodies_);
    }
  }

 private:
  static std::FILE* open(const std::string& path) {
    if (path.empty()) return nullptr;
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) usage(path);
    return file;
  }
  std::FILE* log_;
  std::FILE* bodies_;
};

// Whether the request may pass; otherwise `response` holds the challenge.
bool authorized(const Faults& faults, const httplib::Request& request,
                httplib::Response& response) {
  const std::string given = request.get_header_value("Authorization");
  if (!faults.basic.empty() && given != "Basic " + base64(faults.basic)) {
    response.status = 401;
    response.set_header("WWW-Authenticate", "Basic realm=\"mdprovider\"");
    return false;
  }
  if (faults.ntlm) {
    // The handshake is never completed: the stand-in only demands it.
    response.status = 401;
    response.set_header("WWW-Authenticate", "NTLM");
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = readOptions(argc, argv);
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  RequestLog log(options);
  ProviderRules rules;
  std::mutex lock;
  long received = 0;

  httplib::Server server;
  server.set_keep_alive_max_count(1000000000);
  // Headers and body go out in two writes; without this each answer waits
  // for the peer's delayed acknowledgement.
  server.set_tcp_nodelay(true);
  server.set_keep_alive_timeout(60);
  server.Post(".*", [&](const httplib::Request& request,
                        httplib::Response& response) {
    const Faults& faults = options.faults;
    long number = 0;
    {
      const std::lock_guard<std::mutex> held(lock);
      number = ++received;
      log.add(number, request);
    }
    if (faults.delayMs.count(number) != 0) {
      std::this_thread::sleep_for(
          std::chrono::milliseconds(faults.delayMs.at(number)));
    }
    if (faults.drop.count(number) != 0 || faults.garbage.count(number) != 0) {
      breakConnection(request.local_port, request.remote_port,
                      faults.garbage.count(number) != 0
                          ? "THIS IS NOT HTTP\r\n\r\n"
                          : nullptr);
      return;
    }
    if (faults.closeAfter.count(number) != 0) {
      response.set_header("Connection", "close");
    }
    if (!authorized(faults, request, response)) return;
    if (faults.status.count(number) != 0) {
      response.status = faults.status.at(number);
      if (response.status >= 300 && response.status < 400) {
        response.set_header("Location", "/elsewhere");
      }
      response.set_content("refused as told", "text/plain");
      return;
    }
    RuleAnswer answer;
    {
      const std::lock_guard<std::mutex> held(lock);
      answer = rules.answer(request.body);
    }
    response.status = answer.status;
    response.set_content(answer.body, "application/xml");
  });

  const int port =
      options.port == 0
          ? server.bind_to_any_port("127.0.0.1")
          : (server.bind_to_port("127.0.0.1", options.port) ? options.port
                                                            : -1);
  if (port <= 0) {
    std::fprintf(stderr, "mdprovider_stand_in: cannot listen\n");
    return 1;
  }
  std::thread([&server, stopSignals] {
    int signalNumber = 0;
    sigwait(&stopSignals, &signalNumber);
    server.stop();
  }).detach();
  if (options.watchStdin) {
    std::thread([&server] {
      char byte;
      while (::read(0, &byte, 1) > 0) {
      }
      server.stop();
    }).detach();
  }
  std::printf("listening on 127.0.0.1:%d\n", port);
  std::fflush(stdout);
  server.listen_after_bind();
  std::fflush(nullptr);
  _exit(0);
}
