#include <gtest/gtest.h>

#include "fixtures/message_recorder.h"

namespace {

TEST(Messages, WarningsReachTheirOwnSinkOrElseTheMessageSink) {
  mvtest::MessageRecorder recorder;
  mv::showWarning("w1");
  EXPECT_EQ(recorder.messages, std::vector<std::string>{"w1"});
  std::vector<std::string> warnings;
  const auto previous = mv::setWarningSink([&](const std::string& t) { warnings.push_back(t); });
  mv::showWarning("w2");
  mv::showMessage("m");
  mv::setWarningSink(previous);
  EXPECT_EQ(warnings, std::vector<std::string>{"w2"});
  EXPECT_EQ(recorder.messages, (std::vector<std::string>{"w1", "m"}));
}

}  // namespace
