// Every input the fuzzers ever found crashing, hanging or slow, replayed with its expected
// outcome: regressions/<loader>/<outcome>-<what it broke>.<suffix>, outcome "loads" or "fails".
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "asf/asf_reader.h"
#include "avi/avi_reader.h"
#include "flv/flv_reader.h"
#include "mkv/mkv_reader.h"
#include "mp4/mp4_reader.h"
#include "ps/ps_reader.h"
#include "rm/rm_reader.h"
#include "ts/ts_reader.h"
#include "fixtures/message_recorder.h"
#include "fuzz/fuzz_input.h"
#include "fixtures/loaders.h"

namespace fs = std::filesystem;

namespace {

using Loader = decltype(&mvtest::load<mv::walkAvi>);

Loader loaderFor(const std::string& folder) {
  if (folder == "avi") return mvtest::load<mv::walkAvi>;
  if (folder == "rm") return mvtest::load<mv::walkRealMedia>;
  if (folder == "mp4") return mvtest::load<mv::walkMp4>;
  if (folder == "mkv") return mvtest::load<mv::walkMatroska>;
  if (folder == "flv") return mvtest::load<mv::walkFlv>;
  if (folder == "ts") return mvtest::load<mv::walkTs>;
  if (folder == "ps") return mvtest::load<mv::walkPs>;
  if (folder == "asf") return mvtest::load<mv::walkAsf>;
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
