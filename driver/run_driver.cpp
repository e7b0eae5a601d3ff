#include "driver/run_driver.h"

#include <iostream>
#include <memory>

#include "client/md_provider_client.h"
#include "driver/program_directory.h"
#include "platform/core/i18n_string.h"
#include "platform/core/resources.h"
#include "platform/core/tov_exception.h"
#include "platform/os/broken_pipe.h"
#include "platform/os/interruption.h"

namespace {

// The status of a run that was interrupted, which ends as the interruption
// would have ended it.
constexpr int kInterrupted = -1;

// Tests MA and XS: the script sent under the request type and action of
// these resource texts.
void sendScript(MDProviderClient& client, long typeId, long actionId) {
  const I18NString type = resources::getString(typeId);
  const I18NString action = resources::getString(actionId);
  const I18NString script = client.getScriptPath();
  client.processScriptRequest(type, action, script);
}

bool namesATest(const I18NString& testType) {
  return testType == "AC" || testType == "MA" || testType == "XS";
}

// The body of the run: open or create, the test, close.
void runTests(MDProviderClient& client) {
  // A run that tests nothing still ends with 0, but says so: a CI job
  // would otherwise read it as a test passed.
  if (!namesATest(client.getTestType())) client.noteNoTest();
  const bool opened =
      client.isCreateProject() ? client.createModel() : client.openModel();
  if (!opened) client.printMessage("Unable to open the model.");

  if (client.getTestType() == "AC") client.replayActionLog();
  if (client.getTestType() == "MA") sendScript(client, 262, 327);
  if (client.getTestType() == "XS") sendScript(client, 366, 77);
  client.closeModel();
}

// The body of the run under guard: failures in it are printed and end the
// run with 1. `reachedEnd` tells whether it went through to its end.
int runReported(MDProviderClient& client, bool& reachedEnd) {
  // What ends the run is printed, and kept for the report.
  const auto fail = [&client](const char* text) {
    client.printMessage(text);
    client.noteRunFailure(text);
    return 1;
  };
  try {
    runTests(client);
    // Asked while the last request was in flight: the run stops as it
    // would have stopped before another.
    platform::throwIfInterrupted();
    reachedEnd = true;
    client.finishComparison();
    // A CI job must not read success when the provider refused work, or
    // answered otherwise than the baseline.
    return client.getDelivery().rejected() > 0 || client.differences() > 0 ? 1
                                                                           : 0;
  } catch (TOVException* failure) {
    const std::unique_ptr<TOVException> owned(failure);
    const bool interrupted =
        dynamic_cast<platform::RunInterrupted*>(failure) != nullptr;
    // A request in flight that failed while an interruption was asked for:
    // both are said.
    if (!interrupted) fail(failure->getErrorCodeString());
    if (!platform::interruptionRequested()) return 1;
    client.noteInterruption();
    return kInterrupted;
  } catch (...) {
    return fail("Unexpected error during request execution.");
  }
}

// Everything up to and through the run and its end.
int runGuarded(int argc, char** argv) {
  moveToProgramDirectory(argc > 0 ? argv[0] : nullptr);
  std::unique_ptr<MDProviderClient> client(new MDProviderClient());
  if (!client->parseArguments(argc, argv)) return 1;
  if (!client->initialize()) {
    std::cerr << "Could not initialize the client";
    return 1;
  }
  // From here on an interruption ends the run with what it did said.
  platform::watchForInterruption();
  bool reachedEnd = false;
  int status = runReported(*client, reachedEnd);
  if (!std::cout.flush()) {
    client->noteRunFailure("Failed to write to standard output");
    if (status != kInterrupted) status = 1;
  }
  if (!client->finishRun(reachedEnd) && status != kInterrupted) status = 1;
  return status;
}

// The status of the run, with failures before the body (constructing the
// client, reading the command line) ending it with 1 and a message, never
// with an abort.
int runOrReport(int argc, char** argv) {
  try {
    return runGuarded(argc, argv);
  } catch (TOVException* failure) {
    const std::unique_ptr<TOVException> owned(failure);
    std::cout << failure->getErrorCodeString() << std::endl;
  } catch (...) {
    std::cout << "Unexpected error during start-up." << std::endl;
  }
  return 1;
}

}  // namespace

int runClient(int argc, char** argv) {
  platform::ignoreBrokenPipe();
  platform::endEarlyOnInterruption();
  const int status = runOrReport(argc, argv);
  // Scripts read the console: lines lost on the way (a full disk, a closed
  // output) make the run a failure, not a success.
  if (!std::cout.flush()) {
    std::cerr << "Failed to write to standard output" << std::endl;
    if (status != kInterrupted) return 1;
  }
  if (status == kInterrupted) platform::endAsInterrupted();
  return status;
}
