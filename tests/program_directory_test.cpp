// The move into the program's folder, however the program was named when
// it was started.

#include "driver/program_directory.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;

TEST(ProgramDirectoryTest, TheProgramMovesIntoTheFolderItWasStartedFrom) {
  test_support::TempDir dir;
  dir.write("bin/inner/.keep", "");
  const std::string whole = fs::path(dir.path()).generic_string();
  const struct {
    std::string started;
    std::string folder;  // where it works, from `dir`; "." where it stays
  } cases[] = {
      {"bin/KesMDProviderClient.exe", "bin"},
      {"./bin/KesMDProviderClient.exe", "bin"},
      {"bin/inner/../KesMDProviderClient.exe", "bin"},
      {whole + "/bin/inner/KesMDProviderClient.exe", "bin/inner"},
      {"KesMDProviderClient.exe", "."},
#ifdef _WIN32
      {"bin\\KesMDProviderClient.exe", "bin"},
      {"bin\\inner/KesMDProviderClient.exe", "bin/inner"},
      {"bin/inner\\KesMDProviderClient.exe", "bin/inner"},
#else
      // Elsewhere a backslash is part of a name.
      {"bin\\KesMDProviderClient", "."},
#endif
  };
  for (const auto& c : cases) {
    const test_support::ScopedWorkingDir from(dir.path());
    moveToProgramDirectory(c.started.c_str());
    EXPECT_TRUE(fs::equivalent(fs::current_path(), dir.path() + "/" + c.folder))
        << c.started << " works in " << fs::current_path();
  }
}

}  // namespace
