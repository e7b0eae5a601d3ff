// Reading the command line into the client object.

#include <iostream>
#include <string>

#include "client/md_provider_client.h"
#include "platform/core/decimal_number.h"
#include "platform/os/console.h"
#include "platform/os/file_reader.h"
#include "platform/os/file_test.h"
#include "platform/os/process_exit.h"

namespace {

constexpr unsigned short kRegularFileMode = 0x8000;

// Whether the run reads a script: an opened project's is always tested, and
// so is the script of a created project's test, for MA and XS even when
// none is named; AC with none replays nothing.
bool readsScript(bool createProject, const I18NString& testType,
                 const I18NString& scriptPath) {
  if (!createProject) return true;
  if (testType == "MA" || testType == "XS") return true;
  return testType == "AC" && !(scriptPath == "");
}

bool canBeRead(const I18NString& scriptPath) {
  std::string reason;
  return KesVrnDir::exists(scriptPath, kRegularFileMode) != 0 &&
         platform::isReadableFile(scriptPath.str(), reason);
}

}  // namespace

bool MDProviderClient::parseArguments(int argc, char** argv) {
  int index = 1;
  while (index < argc) {
    const char* word = argv[index];
    if (word[0] != '-') printUsage();
    const bool hasNext = index + 1 < argc;
    const char* next = hasNext ? argv[index + 1] : nullptr;
    I18NString* field = nullptr;
    switch (word[1]) {
      case 'b':
        firstSeq = platform::decimalToInt(word + 2);
        index += 1;
        continue;
      case 'e':
        lastSeq = platform::decimalToInt(word + 2);
        index += 1;
        continue;
      case 'n':
        index += 2;
        continue;
      case 'c':
      case 'm':
        if (hasNext) createProject = (word[1] == 'c');
        field = &projectName;
        break;
      case 's':
        field = &scriptPath;
        break;
      case 't':
        field = &testType;
        break;
      case 'u':
        field = &userName;
        break;
      case 'p':
        field = &password;
        break;
      case 'x':
        field = &authNamespace;
        break;
      case 'd':
        field = &target;
        break;
      default:
        printUsage();
    }
    // A value-taking option as the last word is ignored.
    if (!hasNext) break;
    *field = I18NString(next);
    index += 2;
  }

  if (projectName == "") printUsage();
  if (!createProject && scriptPath == "") printUsage();
  // Before any request: a script found missing after the create request
  // would leave a project behind that a rerun cannot create again.
  if (!readsScript(createProject, testType, scriptPath)) return true;
  if (canBeRead(scriptPath)) return true;
  std::cout << "Failed to open the script." << std::endl;
  return false;
}

void MDProviderClient::printUsage() {
  static const char* const kLines[] = {
      "KesMDProviderClient - version 0.1",
      "Usage: -t {AC | MA | XS} {-c | -m} project [-s script]",
      "  Options: ",
      "\t-t test type (AC - action, MA - MA I/F, XS - stylesheet)",
      "\t-c create a new project",
      "\t-m open an existing project",
      "\t-s script to apply",
      "\t-u user name (if authentication required)",
      "\t-p password  (if authentication required)",
      "\t-x namespace  (if authentication required)",
      "\t-d target (D - dispatcher C - CGI, deafault - direct",
      "  Examples: ",
      "",
      "  -t AC -m connection -s script      Apply action log (script) to the "
      "model.",
      "  -t MA -m connection -s script      Query model using MA inteface.",
      "  -t XS -m connection -s script      Apply stylesheet (script) to the "
      "model).",
      "\tPress any key to exit ...",
  };
  for (const char* line : kLines) std::cout << line << std::endl;
  _getch();
  platform::endProcess(1);
}
