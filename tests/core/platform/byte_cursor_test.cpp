// The one cursor over memory, over a file through the file's buffer and through a window of its
// own: every read either delivers the file's bytes at the cursor or fails without moving, also
// when other reads of the same file refilled the buffer in between.
#include "platform/byte_cursor.h"

#include <gtest/gtest.h>

#include <memory>

#include "fixtures/byte_writer.h"

namespace {

constexpr size_t kLength = 3 * mv::InputFile::kBufferSize + 100;

uint8_t byteAt(uint64_t pos) { return uint8_t(pos * 7 + 1); }

TEST(ByteCursor, ReadsTheBytesAtItsPositionOrFailsInPlace) {
  mvtest::Bytes bytes(kLength);
  for (size_t i = 0; i < kLength; ++i) bytes[i] = byteAt(i);
  mvtest::TempDir dir;
  const std::string path = dir.file("bytes.bin");
  mvtest::writeFile(path, bytes);
  mv::InputFile file;
  ASSERT_TRUE(file.open(path));

  const uint64_t from = 1000, to = kLength - 10;
  struct Kind {
    const char* name;
    std::unique_ptr<mv::ByteCursor> cursor;
  };
  Kind kinds[] = {
      {"memory", std::make_unique<mv::ByteCursor>(bytes.data(), to)},
      {"file buffer", std::make_unique<mv::ByteCursor>(file, from, to)},
      {"own window", std::make_unique<mv::ByteCursor>(file, from, to, 4096)},
  };
  for (Kind& k : kinds) {
    SCOPED_TRACE(k.name);
    mv::ByteCursor& c = *k.cursor;
    const uint64_t start = c.position();
    // Steps that cross windows, with reads of the same file elsewhere in between.
    for (uint64_t pos = start; pos + 9 <= to; pos += 4093) {
      ASSERT_TRUE(c.seek(pos));
      EXPECT_EQ(c.u8(), byteAt(pos));
      uint8_t far[16];
      ASSERT_TRUE(file.readAt((pos * 31) % (kLength - 16), far, sizeof far));
      const uint8_t* q = c.take(8);
      ASSERT_NE(q, nullptr);
      for (int i = 0; i < 8; ++i) ASSERT_EQ(q[i], byteAt(pos + 1 + i)) << pos;
      const uint8_t* r = c.at(pos, 2);
      ASSERT_NE(r, nullptr);
      EXPECT_EQ(r[1], byteAt(pos + 1));
    }
    // Past the end: nothing delivered, nothing moved, ok() gone for good.
    ASSERT_TRUE(c.seek(to - 3));
    EXPECT_EQ(c.take(4), nullptr);
    EXPECT_EQ(c.u32le(), 0u);
    EXPECT_EQ(c.position(), to - 3);
    EXPECT_FALSE(c.skip(4));
    EXPECT_FALSE(c.seek(to + 1));
    EXPECT_FALSE(c.ok());
    EXPECT_EQ(c.next(), byteAt(to - 3));
    uint8_t last[2];
    EXPECT_TRUE(c.copy(last, 2));
    EXPECT_EQ(last[1], byteAt(to - 1));
    // A shorter end holds for every read after it.
    ASSERT_TRUE(c.seek(start));
    ASSERT_TRUE(c.endAt(start + 2));
    EXPECT_EQ(c.remaining(), 2u);
    EXPECT_EQ(c.take(3), nullptr);
    EXPECT_NE(c.take(2), nullptr);
    EXPECT_FALSE(c.endAt(start + 3));
  }
}

}  // namespace
