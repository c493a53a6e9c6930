// The folder summary's run: a stop holds whenever it is asked, and a stopped run keeps only rows
// of files it finished.
#include "search/folder_summary.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

#include "fixtures/byte_writer.h"
#include "fixtures/sample_media.h"

namespace fs = std::filesystem;

namespace {

TEST(FolderSummary, StopHoldsWhenAskedBeforeOrDuringTheRun) {
  // Enough files that the two readers cannot finish them all before the run hears the stop,
  // however the threads are scheduled on a loaded machine.
  constexpr size_t kFiles = 400;
  mvtest::TempDir dir;
  const mvtest::Bytes file = mvtest::sampleRealMedia(60);
  for (size_t i = 0; i < kFiles; ++i) {
    const fs::path folder = dir.path() / ("d" + std::to_string(i / 10));
    fs::create_directories(folder);
    mvtest::writeFile(folder / ("f" + std::to_string(i) + ".rm"), file);
  }
  {
    // A window closed before its thread began: nothing is read.
    mv::FolderSummary run;
    run.RequestStop();
    EXPECT_FALSE(run.Run(dir.path().string(), false, {}));
    EXPECT_TRUE(run.rows.empty());
  }
  mv::FolderSummary run;
  std::atomic<int> reported{0};
  const bool complete = run.Run(dir.path().string(), false, {},
                                {.stopAsked = [&] { return reported >= 3; },
                                 .found = nullptr,
                                 .rowDone = [&](size_t, int, int) { ++reported; },
                                 .unreadableFolder = nullptr});
  EXPECT_FALSE(complete);
  EXPECT_LT(run.rows.size(), kFiles);
  for (const mv::SummaryRow& r : run.rows) EXPECT_TRUE(r.ok()) << r.path;
  mv::FolderSummary whole;
  ASSERT_TRUE(whole.Run(dir.path().string(), false, {}));
  ASSERT_EQ(whole.rows.size(), kFiles);
  EXPECT_TRUE(std::is_sorted(whole.rows.begin(), whole.rows.end(),
                             [](const auto& a, const auto& b) { return a.path < b.path; }));
}

}  // namespace
