// A stand-in for the metadata provider: serves POST on a loopback port,
// keeps projects and their models in memory and answers as a provider
// would, with faults switched on by flags for tests (options.h, faults.h).
//
// Prints "listening on 127.0.0.1:PORT" when ready (with --pid-file, having
// written its process id to that file first). Stops on SIGTERM or
// SIGINT (a console's Ctrl+C on Windows), and with --watch-stdin also when
// its standard input ends.

#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

#include "stand_in_provider/authorization.h"
#include "stand_in_provider/connection_faults.h"
#include "stand_in_provider/options.h"
#include "stand_in_provider/process_id.h"
#include "stand_in_provider/process_signals.h"
#include "stand_in_provider/provider_rules.h"
#include "stand_in_provider/request_log.h"
#include "stand_in_provider/standard_input.h"

int main(int argc, char** argv) {
  const Options options = readOptions(argc, argv);
  httplib::Server server;
  // The library ignores a stop that comes before the server runs: a signal
  // or closed input right after the "listening" line would be lost.
  const auto stopServer = [&server] {
    while (!server.is_running()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    server.stop();
  };
  stopOnSignal(stopServer);

  RequestLog log(options.logPath, options.bodiesPath);
  ProviderRules rules;
  std::mutex lock;
  long received = 0;

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
      answer = rules.answer(request.body, faults.differ.count(number) != 0);
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
  if (options.watchStdin) {
    std::thread([stopServer] {
      waitForEndOfInput();
      stopServer();
    }).detach();
  }
  if (!options.pidPath.empty()) {
    // Before the line that says it listens: whoever waits for that line
    // finds the id, to stop this stand-in and no other.
    std::ofstream pid(options.pidPath, std::ios::binary | std::ios::trunc);
    if (!(pid << processId() << "\n" << std::flush)) {
      std::fprintf(stderr, "mdprovider_stand_in: cannot write \"%s\"\n",
                   options.pidPath.c_str());
      return 1;
    }
  }
  std::printf("listening on 127.0.0.1:%d\n", port);
  std::fflush(stdout);
  server.listen_after_bind();
  // An id left behind could name another process by the time it is read.
  if (!options.pidPath.empty()) std::remove(options.pidPath.c_str());
  // Threads still wait on signals and input: end without unwinding them.
  std::fflush(nullptr);
  std::_Exit(0);
}
