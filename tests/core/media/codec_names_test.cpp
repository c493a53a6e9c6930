// Codec names: keys that catch a wrong table (the replaced MRLE name, case, the blank in "DIB "),
// keys cut at a zero byte, and filling that may happen from several threads at once.
#include "media/codec_names.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/byte_order.h"

namespace {

using mv::audioFormatName;
using mv::fourccLe;
using mv::videoCodecName;

// First in the file, so that these threads are the first to ask (unless tests are shuffled).
TEST(CodecNames, TablesAreFilledOnceWhoeverAsksFirst) {
  std::vector<std::thread> threads;
  std::vector<std::string> seen(8);
  for (size_t i = 0; i < seen.size(); ++i) {
    threads.emplace_back([&seen, i] {
      if (i % 2) mv::buildCodecTables();
      seen[i] = videoCodecName(fourccLe("MRLE"), 0) + audioFormatName(0x0161);
    });
  }
  for (auto& t : threads) t.join();
  for (const auto& s : seen) EXPECT_EQ(s, "Microsoft RLEWMA 2 (v7,v8) or Divx audio v4");
  mv::buildCodecTables();
  // 64 distinct codes (MRLE is inserted twice) and 38 tags.
  EXPECT_EQ(mv::videoCodecCount(), 64u);
  EXPECT_EQ(mv::audioFormatCount(), 38u);
}

TEST(CodecNames, VideoNamesByCompressionCode) {
  EXPECT_EQ(videoCodecName(fourccLe("XVID"), 0), "XVID Mpeg-4");
  EXPECT_EQ(videoCodecName(fourccLe("MRLE"), 0), "Microsoft RLE");  // the second insertion wins
  EXPECT_EQ(videoCodecName(fourccLe("MSVC"), 0), "Microsoft Video 1");
  EXPECT_EQ(videoCodecName(fourccLe("DIB "), 0), "Microsoft DIB");
  EXPECT_EQ(videoCodecName(fourccLe("3IV1"), 0), "3IVX");
  EXPECT_EQ(videoCodecName(fourccLe("YUY2"), 0), "MS UYVY");
  EXPECT_EQ(videoCodecName(fourccLe("DIV3"), 0), "DivX v3 ;-) MPEG-4 (Low-Motion)");
}

TEST(CodecNames, VideoKeysAreCaseSensitiveAndEndAtAZeroByte) {
  EXPECT_EQ(videoCodecName(fourccLe("xvid"), fourccLe("xvid")), "");
  EXPECT_EQ(videoCodecName(fourccLe("Xvid"), 0), "");
  // "DIB" followed by a zero byte is a three-character key, not "DIB ".
  EXPECT_EQ(videoCodecName(fourccLe("DIB ") & 0x00FFFFFF, 0), "");
  // A zero byte ends the key even when known characters follow it.
  EXPECT_EQ(videoCodecName(fourccLe("XVID") & 0xFF00FFFF, 0), "");
  // Uncompressed video: the empty key, which no name has.
  EXPECT_EQ(videoCodecName(0, 0), "");
  EXPECT_EQ(videoCodecName(0xFFFFFFFF, 0xFFFFFFFF), "");
}

TEST(CodecNames, AudioNamesByFormatTag) {
  EXPECT_EQ(audioFormatName(0x0055), "Mpeg-1 audio Layer 3 (MP3)");
  EXPECT_EQ(audioFormatName(0x2000), "AC3 DVM");
  EXPECT_EQ(audioFormatName(0x0001), "MS PCM");
  EXPECT_EQ(audioFormatName(0xFFFE), "Extensible");
  EXPECT_EQ(audioFormatName(0x0003), "");
  EXPECT_EQ(audioFormatName(0x0000), "");
  EXPECT_EQ(audioFormatName(0x5500), "");  // the tag is a number, not two bytes in file order
}

}  // namespace
