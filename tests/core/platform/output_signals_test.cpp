// An output interrupted by a signal that ends the program leaves no temporary file behind.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/output_file.h"

namespace {

namespace fs = std::filesystem;

struct Case {
  int signal;
  bool ignoredBefore;  // a signal the program was told to ignore (nohup) stays ignored
};

class OutputSignals : public ::testing::TestWithParam<Case> {};

TEST_P(OutputSignals, TemporaryFileGoesWithTheProgram) {
  const Case c = GetParam();
  const fs::path dir = fs::temp_directory_path() / ("morv-signals-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (c.ignoredBefore) ::signal(c.signal, SIG_IGN);
    mv::removeTemporaryFilesOnSignals();
    const int code = [&] {
      mv::OutputFile a, b;
      const std::string data(200000, 'x');  // past the buffer: bytes are on disk
      if (!a.open((dir / "report.txt").string()) || !b.open((dir / "chart.png").string())) return 10;
      a.append(data.data(), data.size());
      b.append(data.data(), data.size());
      ::raise(c.signal);
      return fs::is_empty(dir) ? 11 : 0;  // reached only when the signal was ignored
    }();
    ::_exit(code);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  if (c.ignoredBefore) {
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);  // two temporary files were there after the signal
  } else {
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), c.signal);  // the program still ends by the signal, for its parent
  }
  size_t left = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) ++left;
  EXPECT_EQ(left, 0u);  // a child that ended normally discarded its files in the destructors
  fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Signals, OutputSignals,
                         ::testing::Values(Case{SIGINT, false}, Case{SIGTERM, false}, Case{SIGHUP, false},
                                           Case{SIGHUP, true}),
                         [](const auto& info) {
                           return std::string(sigabbrev_np(info.param.signal)) +
                                  (info.param.ignoredBefore ? "Ignored" : "");
                         });

}  // namespace
