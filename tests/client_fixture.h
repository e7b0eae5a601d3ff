#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "client/md_provider_client.h"
#include "tests/test_support.h"

// A client for project "Sales" whose requests are traced to a temporary
// file, so that a test reads exactly what each request serialized.
class ClientFixture : public ::testing::Test {
 protected:
  void SetUp() override { start({}); }

  // Builds a fresh client from "-c Sales" and then these words.
  void start(std::vector<std::string> words) {
    words.insert(words.begin(), {"KesMDProviderClient", "-c", "Sales"});
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    client = std::make_unique<MDProviderClient>();
    ASSERT_TRUE(
        client->parseArguments(static_cast<int>(argv.size()), argv.data()));
    const test_support::ScopedEnv trace("MDPROVIDER_TRACE", tracePath());
    ASSERT_TRUE(client->initialize());
  }

  std::string tracePath() const { return dir.path() + "/requests.trace"; }
  std::vector<std::string> requests() const {
    return test_support::readTrace(tracePath());
  }

  test_support::TempDir dir;
  std::unique_ptr<MDProviderClient> client;
};
