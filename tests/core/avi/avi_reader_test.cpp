#include "avi/avi_reader.h"

#include <gtest/gtest.h>

#include <vector>

#include "fixtures/avi_builder.h"
#include "fixtures/load_fields.h"
#include "fixtures/loaders.h"
#include "fixtures/message_recorder.h"

namespace {

using mvtest::Bytes;
namespace avi = mvtest::avi;

struct Loaded {
  int ok = 0;
  std::unique_ptr<mv::PerSecondSeries> video, audio;
  uint64_t fileLength = 0;
  int32_t duration = -1, frameRateMilli = -1, width = -1, height = -1;

  std::vector<uint32_t> seconds(const mv::PerSecondSeries& s) const {
    return std::vector<uint32_t>(s.data() + 8, s.data() + s.elementCount());
  }
};

class AviReaderTest : public ::testing::Test {
 protected:
  Loaded load(const Bytes& bytes) {
    const std::string path = dir.file("clip.avi");
    mvtest::writeFile(path, bytes);
    Loaded l;
    l.ok = mvtest::loadFields(mvtest::load<mv::walkAvi>, path, l.video, l.audio, l.fileLength, l.duration,
                              l.frameRateMilli, l.width, l.height);
    return l;
  }
  mvtest::TempDir dir;
  mvtest::MessageRecorder messages;
};

avi::Stream audioStream(uint32_t scale, uint32_t rate, const Bytes& format) {
  avi::Stream a;
  a.header.fccType = "auds";
  a.header.scale = scale;
  a.header.rate = rate;
  a.format = format;
  return a;
}

TEST_F(AviReaderTest, TwentyFiveFpsVideoOnlyCarriesHalfAFrameAcrossEachBoundary) {
  auto f = avi::simpleVideo(250, 1000);
  f.streams[0].header.scale = 1;
  f.streams[0].header.rate = 25;
  const Bytes bytes = f.build();
  const Loaded l = load(bytes);
  ASSERT_EQ(l.ok, 1);
  EXPECT_EQ(l.fileLength, bytes.size());
  EXPECT_EQ(l.duration, 10);
  EXPECT_EQ(l.frameRateMilli, 25000);
  EXPECT_EQ(l.width, 320);
  EXPECT_EQ(l.height, 240);
  ASSERT_EQ(l.video->elementCount(), 18u);
  EXPECT_EQ(l.seconds(*l.video),
            (std::vector<uint32_t>{25500, 25000, 25000, 25000, 25000, 25000, 25000, 25000, 25000, 500}));
  EXPECT_EQ(l.seconds(*l.audio), std::vector<uint32_t>(10, 0));
  EXPECT_TRUE(messages.messages.empty());
}

TEST_F(AviReaderTest, EntriesWithoutTimeAreNotCounted) {
  auto f = avi::simpleVideo(250, 1000);
  f.streams.push_back(audioStream(1, 44100, avi::waveFormat(1, 2, 44100, 176400, 4, 16)));
  for (int i = 0; i < 10; ++i) f.add(1, "wb", 4000, 0x100);
  const Loaded l = load(f.build());
  ASSERT_EQ(l.ok, 1);
  EXPECT_EQ(l.seconds(*l.audio), std::vector<uint32_t>(10, 0));
  EXPECT_EQ((*l.video)[8], 25500u);
}

// One 44100 Hz PCM entry per second, but the header claims 176400/4 entries per second.
Bytes onePcmEntryPerSecond(uint32_t seconds) {
  auto f = avi::simpleVideo(seconds * 25, 100);
  f.streams.push_back(audioStream(4, 176400, avi::waveFormat(1, 2, 44100, 176400, 4, 16)));
  for (uint32_t i = 0; i < seconds; ++i) f.add(1, "wb", 176400);
  return f.build();
}

TEST_F(AviReaderTest, ImplausibleRateIsReplacedByEntriesOverDuration) {
  const Loaded l = load(onePcmEntryPerSecond(12));
  ASSERT_EQ(l.ok, 1);
  ASSERT_EQ(l.duration, 12);
  // One entry per second: the second entry crosses the first boundary wholly (half carried).
  const auto audio = l.seconds(*l.audio);
  EXPECT_EQ(audio[0], 176400u + 88200u);
  EXPECT_EQ(audio[1], 88200u + 88200u);
}

TEST_F(AviReaderTest, RateWithinTenSecondsOfDurationIsKept) {
  const Loaded l = load(onePcmEntryPerSecond(10));
  ASSERT_EQ(l.ok, 1);
  EXPECT_EQ(l.seconds(*l.audio), std::vector<uint32_t>(10, 0));  // 44100 entries per second never cross
}

TEST_F(AviReaderTest, PlausibilityComparesTheTruncatedDuration) {
  // 41 entries at 2 per second last 20.5 s: truncated to 20, that is exactly 10 s off the
  // header's 10 s, so the rate is kept (untruncated it would be replaced by 4.1).
  auto f = avi::simpleVideo(250, 1000);
  f.streams.push_back(audioStream(1, 2, avi::waveFormat(1, 1, 8000, 8000, 1, 8)));
  for (int i = 0; i < 41; ++i) f.add(1, "wb", 1000);
  const Loaded l = load(f.build());
  ASSERT_EQ(l.ok, 1);
  EXPECT_EQ((*l.audio)[8], 2500u);  // boundary after 2 entries: 3 entries, half of the third carried
}

TEST_F(AviReaderTest, Mp3WrittenWithByteRateIsCountedPerFrame) {
  auto f = avi::simpleVideo(250, 100);
  // 44100 / 1152 = 38.28 MPEG audio frames per second.
  f.streams.push_back(audioStream(1, 16000, avi::waveFormat(0x55, 2, 44100, 16000, 1152, 0)));
  for (int i = 0; i < 383; ++i) f.add(1, "wb", 418);
  const Loaded l = load(f.build());
  ASSERT_EQ(l.ok, 1);
  const auto audio = l.seconds(*l.audio);
  // Boundary after 38.28 frames: the 39th frame crosses at j - g = 0.72.
  const uint32_t carried = uint32_t(418 - 418 / (39 + 1 - 44100.0 / 1152) + 0.5);
  EXPECT_EQ(audio[0], 39 * 418 - carried);
  EXPECT_NE(audio[9], 0u);
}

TEST_F(AviReaderTest, EmptyLastSecondIsTrimmedButZeroDurationIsNot) {
  // 11 seconds of frames declared, 10 seconds indexed: the last second stays empty.
  auto f = avi::simpleVideo(275, 1000);
  f.index.resize(250);
  const Loaded l = load(f.build());
  ASSERT_EQ(l.ok, 1);
  EXPECT_EQ(l.duration, 10);
  EXPECT_EQ(l.video->elementCount(), 18u);
  EXPECT_EQ(l.audio->elementCount(), 18u);

  auto empty = avi::simpleVideo(0, 1000);
  const Loaded z = load(empty.build());
  ASSERT_EQ(z.ok, 1);
  EXPECT_EQ(z.duration, 0);
  EXPECT_EQ(z.video->elementCount(), 8u);
}

TEST_F(AviReaderTest, DurationUsesSixtyFourBitProduct) {
  auto f = avi::simpleVideo(0, 0);
  f.main.totalFrames = 135000;  // 90 minutes at 25 fps; the product passes 2^32
  f.withIndex = false;
  const Loaded l = load(f.build());
  ASSERT_EQ(l.ok, 1);
  EXPECT_EQ(l.duration, 5399);  // nothing indexed: the empty last second is trimmed
  EXPECT_EQ(l.video->elementCount(), 5399u + 8);
}

TEST_F(AviReaderTest, DeclaredDurationBeyondLongestSupportedIsDamage) {
  auto f = avi::simpleVideo(0, 0);
  f.main.microSecPerFrame = 0xFFFFFFFF;
  f.main.totalFrames = 0xFFFFFFFF;
  EXPECT_EQ(load(f.build()).ok, 0);
  f.main.microSecPerFrame = 1000000;
  f.main.totalFrames = mv::kMaxDurationSeconds;
  f.withIndex = false;
  EXPECT_EQ(load(f.build()).ok, 1);
}

TEST_F(AviReaderTest, OddChunkIsPaddedAndJunkSkipped) {
  auto f = avi::simpleVideo(250, 1000);
  f.streams[0].name = "odd";  // 3 bytes: one pad byte follows
  f.extraTopLevel = avi::chunk("JUNK", Bytes(13, 0xEE));
  const Loaded l = load(f.build());
  ASSERT_EQ(l.ok, 1);
  EXPECT_EQ((*l.video)[8], 25500u);
}

TEST_F(AviReaderTest, LaterIndexReplacesEarlier) {
  auto f = avi::simpleVideo(250, 1000);
  std::vector<avi::IndexEntry> second(250, {"00dc", 0x10, 0, 2000});
  f.extraTopLevel = avi::idx1(second);
  const Loaded l = load(f.build());
  ASSERT_EQ(l.ok, 1);
  EXPECT_EQ((*l.video)[9], 50000u);
}

TEST_F(AviReaderTest, StructuralFailures) {
  // With its chunks in movi: an empty movi followed by more bytes is a header written first.
  auto withChunks = avi::simpleVideo(25, 100);
  withChunks.writePayloads = true;
  const Bytes good = withChunks.build();

  Bytes wrongForm = good;
  wrongForm[8] = 'W';
  EXPECT_EQ(load(wrongForm).ok, 0);

  Bytes trailing = good;
  for (int i = 0; i < 5; ++i) trailing.push_back(1);  // fewer than a chunk header after the RIFF
  EXPECT_EQ(load(trailing).ok, 0);

  Bytes zeroId = avi::concat({good, Bytes(8, 0)});
  EXPECT_EQ(load(zeroId).ok, 0);

  auto noMovi = avi::riff("AVI ", {avi::LIST("hdrl", {avi::avih({})})});
  EXPECT_EQ(load(noMovi).ok, 0);

  auto mismatch = avi::simpleVideo(250, 1000);
  mismatch.main.streams = 2;
  EXPECT_EQ(load(mismatch.build()).ok, 0);

  auto zeroCount = avi::simpleVideo(250, 1000);
  zeroCount.fillStreamCount = false;  // 0 streams in avih: taken from the strl lists
  EXPECT_EQ(load(zeroCount.build()).ok, 1);

  EXPECT_TRUE(messages.messages.empty());  // the slot, not the reader, tells the user
}

TEST_F(AviReaderTest, BodySizeBeyondFileFailsWithoutAllocating) {
  for (const char* id : {"strf", "strn", "indx"}) {
    auto f = avi::simpleVideo(25, 10);
    f.extraTopLevel = avi::chunk(id, Bytes(16, 1), 0xFFFFFFF0);
    EXPECT_EQ(load(f.build()).ok, 0) << id;
  }
}

TEST_F(AviReaderTest, NoIndexLoadsWithSilentSeconds) {
  auto f = avi::simpleVideo(250, 1000);
  f.withIndex = false;
  const Loaded l = load(f.build());
  ASSERT_EQ(l.ok, 1);
  EXPECT_EQ(l.duration, 9);  // trimmed: the last second is empty in both series
  EXPECT_EQ(l.seconds(*l.video), std::vector<uint32_t>(9, 0));
}

TEST_F(AviReaderTest, StreamsFromPositionTenUseTwoDigitCodes) {
  auto f = avi::simpleVideo(250, 1000);
  auto v = f.streams[0];
  f.streams.clear();
  f.index.clear();
  for (int i = 0; i < 11; ++i) {
    auto s = v;
    s.header.fccType = i == 10 ? "vids" : "txts";
    f.streams.push_back(s);
  }
  f.streams[0].header.fccType = "mids";
  for (int i = 0; i < 250; ++i) f.add(10, "dc", 1000);
  for (int i = 0; i < 250; ++i) f.add(1, "dc", 7);  // "01": must not be taken for stream 10
  const Loaded l = load(f.build());
  ASSERT_EQ(l.ok, 1);
  EXPECT_EQ((*l.video)[8], 25500u);
}

TEST_F(AviReaderTest, DeepNestingIsDamageNotACrash) {
  Bytes inner = avi::LIST("movi", {});
  for (int i = 0; i < 200; ++i) inner = avi::LIST("deep", {inner});
  EXPECT_EQ(load(avi::riff("AVI ", {avi::LIST("hdrl", {avi::avih({})}), inner})).ok, 0);
}

TEST_F(AviReaderTest, OpenDmlExtensionRiffIsWalked) {
  auto f = avi::simpleVideo(250, 1000);
  f.writePayloads = true;
  f.afterRiff = avi::riff("AVIX", {avi::LIST("movi", {})});
  EXPECT_EQ(load(f.build()).ok, 1);

  // The reader keeps what the information report needs.
  mvtest::writeFile(dir.file("x.avi"), f.build());
  mv::InputFile file;
  ASSERT_TRUE(file.open(dir.file("x.avi")));
  mv::AviReader reader(&file);
  ASSERT_TRUE(reader.result().ok());
  EXPECT_EQ(reader.movis().size(), 2u);
  ASSERT_EQ(reader.streams().size(), 1u);
  EXPECT_EQ(reader.streams()[0]->format.size(), 40u);
  EXPECT_EQ(reader.indexEntryCount(), 250u);
  EXPECT_EQ(reader.indexEntry(3).dwChunkLength, 1000u);
}

TEST_F(AviReaderTest, MissingFileAndNoFile) {
  Loaded l;
  EXPECT_EQ(mvtest::loadFields(mvtest::load<mv::walkAvi>, dir.file("absent.avi"), l.video, l.audio,
                               l.fileLength, l.duration, l.frameRateMilli, l.width, l.height),
            0);
  EXPECT_EQ(mv::AviReader(nullptr).result().failure, mv::LoadFailure::CouldNotRead);
}

}  // namespace
