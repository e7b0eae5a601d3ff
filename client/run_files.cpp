#include "client/run_files.h"

#include <vector>

#include "platform/os/file_identity.h"

namespace {

struct RunFile {
  std::string shown;  // as a message names it
  platform::FileIdentity identity;
};

}  // namespace

bool runFilesAreDistinct(const std::string& scriptPath,
                         const std::vector<NamedFile>& named,
                         std::string& problem) {
  std::vector<RunFile> files;
  const auto add = [&files](std::string shown, const std::string& path) {
    if (!path.empty()) {
      files.push_back({std::move(shown), platform::fileIdentity(path)});
    }
  };
  add("the script \"" + scriptPath + "\"", scriptPath);
  for (const NamedFile& file : named) {
    add(file.variable + "=\"" + file.path + "\"", file.path);
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    for (std::size_t j = i + 1; j < files.size(); ++j) {
      if (files[i].identity == files[j].identity) {
        problem = files[j].shown + " and " + files[i].shown + " are one file";
        return false;
      }
    }
  }
  return true;
}
