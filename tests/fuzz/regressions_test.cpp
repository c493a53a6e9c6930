// Every input the fuzzers ever found crashing, hanging or slow, replayed with its expected
// outcome: regressions/<loader>/<outcome>-<what it broke>.<suffix>, outcome "loads" or "fails".
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "analysis/containers.h"
#include "fixtures/message_recorder.h"
#include "fuzz/fuzz_input.h"
#include "platform/ascii.h"

namespace fs = std::filesystem;

namespace {

// The folders are named as the containers, in lower case: regressions/asf/ for "ASF".
const mv::Container* containerFor(const std::string& folder) {
  for (const mv::Container& c : mv::containers())
    if (mv::equalsIgnoreAsciiCase(c.name, folder)) return &c;
  return nullptr;
}

TEST(FuzzRegressions, EachInputHasItsExpectedOutcome) {
  const fs::path root = MORV_REGRESSIONS_DIR;
  ASSERT_TRUE(fs::is_directory(root));
  int inputs = 0;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    const std::string name = entry.path().filename().string();
    const mv::Container* container = containerFor(entry.path().parent_path().filename().string());
    ASSERT_NE(container, nullptr) << entry.path();
    const bool shouldLoad = name.rfind("loads-", 0) == 0;
    ASSERT_TRUE(shouldLoad || name.rfind("fails-", 0) == 0) << name;
    ++inputs;

    mvtest::MessageRecorder quiet;
    EXPECT_EQ(mvfuzz::loadChecked(
                  entry.path().string(),
                  [container](const std::string& path, mv::FileAnalysis& a, mv::LoadControl* control) {
                    return container->load(path, a, control);
                  }),
              shouldLoad ? 1 : 0)
        << name;
  }
  EXPECT_GT(inputs, 0);
}

}  // namespace
