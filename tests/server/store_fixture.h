#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/server/harness.h"

namespace servertest {

// Runs each test against a fresh database of the store named by the
// parameter: "sqlite" or "postgresql".
class StoreTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override { database_ = MakeDatabase(GetParam(), dir_); }

  // A server on this test's database, with four threads and without a rate
  // limit unless the options say otherwise. It lists entries without a
  // recording too: these tests submit scores no game made.
  std::unique_ptr<ServerProcess> Start(std::vector<std::string> options = {}) {
    std::vector<std::string> all = {"--db", database_, "--rate-limit", "0", "--threads", "4", "--accept-unverified"};
    all.insert(all.end(), options.begin(), options.end());
    return StartWith(all);
  }

  // A server as it is shipped: it lists verified entries only.
  std::unique_ptr<ServerProcess> StartVerifying(std::vector<std::string> options = {}) {
    std::vector<std::string> all = {"--db", database_, "--rate-limit", "0", "--threads", "4"};
    all.insert(all.end(), options.begin(), options.end());
    return StartWith(all);
  }

  std::unique_ptr<ServerProcess> StartWith(std::vector<std::string> all) {
    auto server = std::make_unique<ServerProcess>(all, dir_.path() + "/server.log");
    EXPECT_TRUE(server->started()) << server->Log();
    return server;
  }

  TempDir dir_;
  std::string database_;
};

}  // namespace servertest
