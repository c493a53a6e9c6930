// Files that declare far more units than they hold: every command ends with a cause, in memory
// bounded by the file, and the frame list is refused where the file gives way.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "fixtures/mp4_builder.h"
#include "fixtures/rm_builder.h"

namespace {

namespace mp4 = mvtest::mp4;

constexpr off_t kSparseLength = off_t(64) << 20;

// 2^32 − 1 samples that take nothing of the file, made sparse to 64 MiB; returns the trun's
// position.
uint64_t writeEmptySamples(const std::string& path) {
  uint64_t trun = 0;
  mvtest::writeFile(path, mp4::emptySampleFragment(0xFFFFFFFF, &trun));
  EXPECT_EQ(::truncate(path.c_str(), kSparseLength), 0);
  return trun;
}

struct CliRun {
  int status;
  std::string out, err;
};

CliRun cli(const mvtest::TempDir& dir, const std::string& args) {
  int status = 0;
  const std::string errFile = dir.file("stderr.txt");
  std::string out = mvtest::runCommand(
      "LANG=C.UTF-8 LANGUAGE=en " + std::string(MORV_CLI_PATH) + " " + args + " 2>'" + errFile + "'",
      &status);
  const mvtest::Bytes err = mvtest::readFile(errFile);
  return {status, out, std::string(err.begin(), err.end())};
}

TEST(CliMemory, UnitsDeclaredForNothingAreRefusedWhereTheyAreDeclared) {
  mvtest::TempDir dir;
  const std::string path = dir.file("empty-samples.mp4");
  const uint64_t trun = writeEmptySamples(path);
  const std::string cause = "morvatelline-cli: " + path + ": damaged at byte " + std::to_string(trun) + "\n";
  for (const char* command : {"frames --json", "frames --csv", "frames", "series", "gaps --json", "info",
                              "report -o -", "xls -o -"}) {
    SCOPED_TRACE(command);
    const CliRun r = cli(dir, std::string(command) + " '" + path + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(cause), std::string::npos) << r.err;
    EXPECT_LT(r.out.size(), 1000u);
  }
}

TEST(CliMemory, FramesJsonOfAFileThatDoesNotLoadIsTheFailureObject) {
  mvtest::TempDir dir;
  const std::string path = dir.file("empty-samples.mp4");
  const uint64_t trun = writeEmptySamples(path);
  const CliRun r = cli(dir, "frames --json '" + path + "'");
  EXPECT_EQ(r.status, 1);
  ASSERT_FALSE(r.out.empty());
  EXPECT_EQ(r.out.back(), '\n');
  const auto j = nlohmann::ordered_json::parse(r.out);
  EXPECT_EQ(j["ok"], false);
  EXPECT_EQ(j["reason"], "damaged");
  EXPECT_EQ(j["position"], trun);
  EXPECT_EQ(cli(dir, "series '" + path + "'").out, r.out);
}

TEST(CliMemory, AReportOfDaysCostsItsSeriesNotItsText) {
  // 4.29 million seconds: 112 MB of report.
  mvtest::TempDir dir;
  const std::string path = dir.file("long.rm");
  mvtest::writeDaysLongFile(path);
  const std::string report = dir.file("long.txt");
  const CliRun r = cli(dir, "report -o '" + report + "' '" + path + "'");
  EXPECT_EQ(r.status, 0) << r.err;
  std::ifstream in(report, std::ios::binary | std::ios::ate);
  ASSERT_GT(in.tellg(), std::streamoff(100'000'000));
  in.seekg(-27, std::ios::end);
  std::string last(27, '\0');
  in.read(last.data(), 27);
  EXPECT_EQ(last, "1193:02:47\t0.00\t0.00\t0.00\r\n");
#if !defined(__SANITIZE_ADDRESS__)
  // Three series of 4 bytes a second are 52 MB; the report's lines go out as they are made.
  rusage children{};
  ASSERT_EQ(::getrusage(RUSAGE_CHILDREN, &children), 0);
  EXPECT_LT(children.ru_maxrss, 100 * 1024) << "KiB";
#endif
}

}  // namespace
