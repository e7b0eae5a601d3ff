#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "baseline/answer_judge.h"
#include "client/built_request.h"
#include "client/run_settings.h"
#include "console/console_pacing.h"
#include "delivery/provider_delivery.h"
#include "platform/core/i18n_string.h"
#include "report/page_file.h"
#include "report/run_page.h"
#include "run_record/junit_report.h"
#include "run_record/run_record.h"
#include "secrets/secret_file.h"
#include "secrets/secret_mask.h"

class TOVIDOM_Document;
class TOVIDOM_Node;

// One run's settings and every operation of the run. The command line
// fills it, `initialize` completes it, and from then on it is read only.
class MDProviderClient {
 public:
  MDProviderClient();
  ~MDProviderClient();
  MDProviderClient(const MDProviderClient&) = delete;
  MDProviderClient& operator=(const MDProviderClient&) = delete;

  // Command line. Returns true when usable, false after reporting a script
  // the run would read that cannot be read; an unusable command line ends
  // the process in printUsage.
  bool parseArguments(int argc, char** argv);
  [[noreturn]] void printUsage();

  // Gives the authentication namespace its default, opens the request
  // trace named by MDPROVIDER_TRACE, reads the delivery settings and
  // starts the report named by MDPROVIDER_REPORT; false, after a line on
  // standard error, when one of them cannot be used.
  bool initialize();
  // A failure that ended the run, as the driver printed it, for the report.
  void noteRunFailure(const char* message);
  // The test type names no test: says so on standard error, and in the
  // report as a skipped run.
  void noteNoTest();
  // The run was interrupted: says on standard error, and in the report,
  // after which request it stopped and how to go on from there.
  void noteInterruption();
  // The end of a run that got through initialize: the summary of a
  // delivering run, the report, and the recording of a run that reached
  // its end. False, after a line on standard error, when the report or the
  // recording could not be written.
  bool finishRun(bool reachedEnd);

  I18NString getTestType() const { return testType; }
  I18NString getProjectName() const { return projectName; }
  I18NString getScriptPath() const { return scriptPath; }
  I18NString getAuthNamespace() const { return authNamespace; }
  std::int32_t getFirstSeq() const { return firstSeq; }
  std::int32_t getLastSeq() const { return lastSeq; }
  bool isCreateProject() const { return createProject; }
  const ProviderDelivery& getDelivery() const { return delivery; }
  // Answers that differ from the baseline, and records the log lost.
  unsigned long long differences() const {
    return static_cast<unsigned long long>(judge.differing()) + judge.removed();
  }
  // The end of a run that reached its end: baseline records no request
  // paired with were removed from the log.
  void finishComparison();

  // Writes the text and a line end to standard output, flushed at once at a
  // terminal and otherwise as ConsolePacing says.
  void printMessage(const char* text);

  // The request envelope: builds and serializes one request and, while
  // delivering, delivers it. True unless the provider rejected it; requests
  // that cannot be built or get no answer throw.
  bool processRequest(const I18NString& type, const I18NString& action,
                      TOVIDOM_Document& payload);
  bool processNodeRequest(const I18NString& type, const I18NString& action,
                          TOVIDOM_Node& node);

  // Project requests.
  bool openModel();
  bool createModel();
  bool closeModel();
  bool finishReplay();

  // The tests.
  bool replayActionLog();
  bool processScriptRequest(const I18NString& type, const I18NString& action,
                            const I18NString& scriptPath);

 private:
  // The three steps of processRequest, apart for a replay that builds
  // requests on another thread ahead of the one it delivers. Building reads
  // only what initialize left, so it may run beside the rest; it checks
  // the values the envelope carries and throws what processRequest would.
  AnswerKey beginRequest(const I18NString& type, const I18NString& action);
  // `content` is the payload's first child, or an empty handle for none.
  BuiltRequest buildRequest(const I18NString& type, const I18NString& action,
                            const TOVIDOM_Node& content) const;
  bool sendRequest(AnswerKey name, BuiltRequest built);
  // The next request replays a transaction.
  void nextIsTransaction(unsigned long long ordinal, std::int32_t seq);
  // A difference from the baseline: on standard error (the first
  // kDifferencesShown) and in the report, as the open request's failure or
  // as a testcase of its own.
  void tellDifference(const Verdict& verdict);
  // What the end of a comparing run says after its summary.
  void tellComparisonEnd();

  bool projectRequest(long actionId);
  bool openReport();
  // The page named by MDPROVIDER_HTML: made at the start, fed as the run
  // goes, written and put in place at its end.
  bool openPage();
  void showDifference(const Verdict& verdict);
  bool writePage(double seconds);
  void startRun();

  I18NString testType;
  I18NString projectName;
  I18NString scriptPath;
  I18NString userName;
  I18NString password;
  I18NString authNamespace;
  I18NString target;
  std::int32_t firstSeq;
  std::int32_t lastSeq;
  bool createProject;
  // Every variable of the run, read once when it starts.
  RunSettings settings;
  ConsolePacing console;
  // Where every serialized request is copied when a trace is asked for.
  SecretFile requestTrace;
  // What no output may show: the password, and one in the address.
  SecretMask secrets;
  // The provider the requests go to, when delivery is switched on.
  ProviderDelivery delivery;
  // When a report is asked for: the request in hand, and the report that
  // takes each request's testcase as it ends.
  RunRecord runRecord;
  JUnitReport report;
  RunPage page;
  PageFile pageFile;
  // Whether the provider's answers are recorded, or compared with a
  // baseline, or both.
  AnswerJudge judge;
  // Which request is in hand: a replayed transaction's place in the log
  // and its number, or a request known by its type and action.
  AnswerKey nextRequest;
  // The last request that was answered (or, without delivery, built).
  AnswerKey lastAnswered;
  bool answeredAny = false;
  static constexpr unsigned long kDifferencesShown = 50;
  unsigned long differencesTold = 0;
  // Whether the log's sequence numbers rise, so that -b can resume it.
  bool seqsRise = false;
  std::chrono::steady_clock::time_point startedAt;
  std::string startedTimestamp;
};
