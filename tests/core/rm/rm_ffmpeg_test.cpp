// RealMedia files written by a real muxer (ffmpeg) at test time: the reader's picture, timing
// and byte totals against the packets listed by a plain walk of the same file.
#include <gtest/gtest.h>

#include <map>

#include "fixtures/byte_writer.h"
#include "fixtures/load_fields.h"
#include "fixtures/loaders.h"
#include "platform/byte_order.h"
#include "rm/rm_reader.h"

namespace {

using mvtest::Bytes;

struct Packet {
  uint32_t timestamp;
  uint32_t length;
};

// Packets per stream kind, found without the reader under test: top-level chunks, the MIME type
// of each MDPR, and the packet headers of each DATA chunk.
struct Listing {
  std::map<std::string, std::vector<Packet>> byMime;
};

Listing listPackets(const Bytes& f) {
  Listing out;
  std::map<uint16_t, std::string> mimeOf;
  auto u16 = [&](size_t p) { return mv::readU16be(&f[p]); };
  auto u32 = [&](size_t p) { return mv::readU32be(&f[p]); };
  for (size_t pos = 0; pos + 10 <= f.size();) {
    const std::string id(f.begin() + long(pos), f.begin() + long(pos) + 4);
    const size_t size = u32(pos + 4);
    if (size < 10) break;
    if (id == "MDPR") {
      size_t p = pos + 10 + 2 + 28;
      p += 1 + f[p];
      mimeOf[u16(pos + 10)] = std::string(f.begin() + long(p) + 1, f.begin() + long(p) + 1 + f[p]);
    } else if (id == "DATA") {
      size_t p = pos + 18;
      const size_t end = std::min(f.size(), pos + size);
      for (uint32_t n = u32(pos + 10); n > 0 && p + 12 <= end; --n) {
        EXPECT_LE(u16(p), 1) << "ffmpeg writes packets of version 0 and 1";
        const uint16_t length = u16(p + 2);
        out.byMime[mimeOf[u16(p + 4)]].push_back({u32(p + 6), length});
        p += std::max<size_t>(length, 12);
      }
    }
    pos += size;
  }
  return out;
}

uint64_t sum(const mv::PerSecondSeries& s) {
  uint64_t total = 0;
  for (uint32_t i = mv::kFirstSecond; i < s.elementCount(); ++i) total += s[i];
  return total;
}

// The series holds every byte of the packets stamped before the end of its last second, less
// those still waiting at the last such timestamp (packets sharing it), plus at most the share of
// the first packet stamped after the end.
void expectBytesOfPlayTime(const mv::PerSecondSeries& series, const std::vector<Packet>& packets,
                           int32_t seconds, const char* what) {
  const uint32_t end = uint32_t(seconds) * 1000;
  uint64_t inside = 0, waiting = 0, firstAfter = 0;
  uint32_t last = 0;
  bool sawFirstAfter = false;
  for (const Packet& p : packets) {
    if (p.timestamp < end) {
      ASSERT_GE(p.timestamp, last) << what << ": ffmpeg stamps each stream in order";
      waiting = p.timestamp == last ? waiting + p.length : 0;
      last = p.timestamp;
      inside += p.length;
    } else if (!sawFirstAfter) {
      firstAfter = p.length;
      sawFirstAfter = true;
    }
  }
  ASSERT_GT(inside, 0u) << what;
  const uint64_t total = sum(series);
  EXPECT_GE(total + waiting, inside) << what;
  EXPECT_LE(total, inside + firstAfter) << what;
}

struct Expected {
  int32_t seconds;
  int32_t width, height, frameRateMilli;
  bool video, audio;
};

class RmFfmpeg : public ::testing::TestWithParam<std::pair<std::string, Expected>> {};

TEST_P(RmFfmpeg, MatchesTheMuxersPackets) {
  if (!mvtest::haveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
  const auto& [args, want] = GetParam();
  mvtest::TempDir dir;
  const std::string path = dir.file("clip.rm");
  int status = 0;
  mvtest::runCommand("ffmpeg -nostdin -hide_banner -loglevel error -y " + args + " '" + path + "' 2>&1",
                     &status);
  ASSERT_EQ(status, 0) << args;

  std::unique_ptr<mv::PerSecondSeries> video, audio;
  uint64_t length = 0;
  int32_t seconds = 0, rate = 0, width = 0, height = 0;
  ASSERT_TRUE(mvtest::loadFields(mvtest::load<mv::walkRealMedia>, path, video, audio, length, seconds, rate,
                                 width, height));
  const Bytes file = mvtest::readFile(path);
  EXPECT_EQ(length, file.size());
  EXPECT_EQ(seconds, want.seconds);
  EXPECT_EQ(width, want.width);
  EXPECT_EQ(height, want.height);
  EXPECT_EQ(rate, want.frameRateMilli);

  const Listing listing = listPackets(file);
  if (want.video) {
    expectBytesOfPlayTime(*video, listing.byMime.at(mv::kRealVideoMime), seconds, "video");
    // Every second holds frames, so none is merged away.
    for (uint32_t i = mv::kFirstSecond; i < video->elementCount(); ++i) EXPECT_GT((*video)[i], 0u) << i;
  } else {
    EXPECT_EQ(sum(*video), 0u);
  }
  if (want.audio) {
    expectBytesOfPlayTime(*audio, listing.byMime.at(mv::kRealAudioMime), seconds, "audio");
  } else {
    EXPECT_EQ(sum(*audio), 0u);
  }
}

const std::string kPicture25 = "-f lavfi -i testsrc=size=176x144:rate=25 ";
const std::string kPicture15 = "-f lavfi -i testsrc=size=320x240:rate=15 ";
const std::string kTone = "-f lavfi -i sine=frequency=440:sample_rate=44100 ";

std::string caseName(const ::testing::TestParamInfo<RmFfmpeg::ParamType>& info) {
  static const char* const names[] = {"Rv10Ac3", "Rv20Ac3", "VideoOnly", "AudioOnly"};
  return names[info.index];
}

INSTANTIATE_TEST_SUITE_P(
    Muxed, RmFfmpeg,
    ::testing::Values(std::pair{kPicture25 + kTone + "-t 5 -c:v rv10 -c:a ac3 -b:a 64k",
                                Expected{5, 176, 144, 25000, true, true}},
                      std::pair{kPicture15 + kTone + "-t 3 -c:v rv20 -c:a ac3 -b:a 96k",
                                Expected{3, 320, 240, 15000, true, true}},
                      std::pair{kPicture15 + "-t 2 -c:v rv20", Expected{2, 320, 240, 15000, true, false}},
                      std::pair{kTone + "-t 3 -c:a ac3", Expected{3, 0, 0, 0, false, true}}),
    caseName);

}  // namespace
