// Names shown to people: control bytes escaped, everything else as it is.
#include "platform/printable_name.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(PrintableName, ControlBytesAreEscapedAndTheRestKept) {
  const struct {
    std::string name, shown;
  } cases[] = {
      {"/clips/a.rm", "/clips/a.rm"},
      {"x\x1b]0;owned\x07y.rm", "x\\e]0;owned\\x07y.rm"},
      {"\x1b[2J", "\\e[2J"},
      {"tab\there\nline\rend", "tab\\there\\nline\\rend"},
      {std::string("nul\0one", 7) + "\x01\x1f\x7f", "nul\\x00one\\x01\\x1f\\x7f"},
      {"back\\slash", "back\\\\slash"},
      {"\\e", "\\\\e"},  // a literal backslash-e is not taken for ESC
      {"中文 片段.rmvb", "中文 片段.rmvb"},
      {"\x80\x9b\xff", "\x80\x9b\xff"},  // bytes from 0x80 up pass, valid UTF-8 or not
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(mv::printableName(c.name), c.shown) << c.shown;
}

}  // namespace
