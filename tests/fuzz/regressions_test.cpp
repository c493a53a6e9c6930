// Every input the fuzzers ever found crashing, hanging or slow, replayed with its expected
// outcome: regressions/<loader>/<outcome>-<what it broke>.<suffix>, outcome "loads" or "fails".
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "analysis/containers.h"
#include "platform/ascii.h"
#include "fixtures/message_recorder.h"
#include "fuzz/fuzz_input.h"

namespace fs = std::filesystem;

namespace {

using Loader = decltype(mv::Container::load);

// The folders are named as the containers, in lower case: regressions/asf/ for "ASF".
Loader loaderFor(const std::string& folder) {
  for (const mv::Container& c : mv::containers())
    if (mv::equalsIgnoreAsciiCase(c.name, folder)) return c.load;
  return nullptr;
}

TEST(FuzzRegressions, EachInputHasItsExpectedOutcome) {
  const fs::path root = MORV_REGRESSIONS_DIR;
  ASSERT_TRUE(fs::is_directory(root));
  int inputs = 0;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    const std::string name = entry.path().filename().string();
    const Loader load = loaderFor(entry.path().parent_path().filename().string());
    ASSERT_NE(load, nullptr) << entry.path();
    const bool shouldLoad = name.rfind("loads-", 0) == 0;
    ASSERT_TRUE(shouldLoad || name.rfind("fails-", 0) == 0) << name;
    ++inputs;

    mvtest::MessageRecorder quiet;
    EXPECT_EQ(mvfuzz::loadChecked(entry.path().string(), load), shouldLoad ? 1 : 0) << name;
  }
  EXPECT_GT(inputs, 0);
}

}  // namespace
