// RealMedia chunk walk and packet attribution, on files built byte by byte.
#include "rm/rm_reader.h"

#include <gtest/gtest.h>

#include <random>

#include "analysis/failure_causes.h"
#include "analysis/file_slot.h"
#include "fixtures/load_fields.h"
#include "fixtures/loaders.h"
#include "fixtures/message_recorder.h"
#include "fixtures/rm_builder.h"
#include "platform/byte_order.h"

namespace {

using mvtest::Bytes;
using mvtest::RmBuilder;
using mvtest::RmPacket;

constexpr uint16_t kVideo = 0;
constexpr uint16_t kAudio = 1;

RmPacket vp(uint32_t t, uint16_t length) {
  return RmPacket{.stream = kVideo, .timestamp = t, .length = length};
}
RmPacket ap(uint32_t t, uint16_t length) {
  return RmPacket{.stream = kAudio, .timestamp = t, .length = length};
}

mvtest::RmMediaProps videoStream(Bytes block = mvtest::realVideoBlock("RV40", 320, 240, 25u << 16)) {
  return {
      .streamNumber = kVideo, .name = "Video Stream", .mime = "video/x-pn-realvideo", .typeSpecific = block};
}
mvtest::RmMediaProps audioStream() {
  return {.streamNumber = kAudio,
          .name = "Audio Stream",
          .mime = "audio/x-pn-realaudio",
          .typeSpecific = mvtest::realAudioBlock(4, 44100, 16, 2)};
}

// .RMF, PROP with the duration, CONT, then a video and an audio stream.
RmBuilder headers(uint32_t durationMs, bool video = true, bool audio = true) {
  RmBuilder b;
  b.fileHeader(0, 5).properties({.duration = durationMs, .numStreams = 2}).content("t", "a", "c", "m");
  if (video) b.mediaProperties(videoStream());
  if (audio) b.mediaProperties(audioStream());
  return b;
}

struct Loaded {
  int ok = 0;
  std::unique_ptr<mv::PerSecondSeries> video, audio;
  uint64_t fileLength = 0;
  int32_t seconds = -1, frameRateMilli = -1, width = -1, height = -1;

  // Elements 8 … N-1.
  static std::vector<uint32_t> data(const mv::PerSecondSeries& s) {
    return std::vector<uint32_t>(s.data() + mv::kFirstSecond, s.data() + s.elementCount());
  }
  std::vector<uint32_t> videoSeconds() const { return data(*video); }
  std::vector<uint32_t> audioSeconds() const { return data(*audio); }
};

class RmReaderTest : public ::testing::Test {
 protected:
  Loaded load(const Bytes& bytes) {
    mvtest::writeFile(path, bytes);
    Loaded r;
    r.ok = mvtest::loadFields(mvtest::load<mv::walkRealMedia>, path, r.video, r.audio, r.fileLength,
                              r.seconds, r.frameRateMilli, r.width, r.height);
    if (r.ok) {
      EXPECT_TRUE(r.video && r.audio);
      EXPECT_EQ(r.video->elementCount(), uint32_t(r.seconds) + 8);
      EXPECT_EQ(r.audio->elementCount(), uint32_t(r.seconds) + 8);
    } else {
      EXPECT_FALSE(r.video || r.audio) << "a failed load leaves no series";
    }
    return r;
  }
  Loaded load(const RmBuilder& b) { return load(b.bytes()); }

  mvtest::TempDir dir;
  std::string path = dir.file("clip.rm");
  mvtest::MessageRecorder recorder;
};

using V = std::vector<uint32_t>;

// --- Spreading packet bytes over seconds -------------------------------------------------------

TEST_F(RmReaderTest, SplitsAcrossOneSecondBoundaryWithRounding) {
  // A = 2000 over 0 → 1500: 667 of it (rounded) lies after the boundary.
  auto r = load(headers(3000).data({vp(0, 1000), ap(200, 50), vp(1500, 1000)}));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.seconds, 3);
  EXPECT_EQ(r.videoSeconds(), (V{1333, 667, 0}));
}

TEST_F(RmReaderTest, SecondsWithoutVideoStampGiveTheirBytesBack) {
  // 3500 spreads 600 as 100 + 200 + 200 + 100; seconds 1 and 2 hold no stamp and merge into 0.
  auto r = load(headers(5000).data({vp(500, 600), vp(3500, 600)}));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.videoSeconds(), (V{1100, 0, 0, 100, 0}));
}

TEST_F(RmReaderTest, GapMergesIntoTheNearestStampedSecondNotAnEmptiedOne) {
  // Before the merge: 450, 500, 500, 500, 250; stamps in seconds 0, 2 and 4.
  auto r = load(headers(5000).data({vp(0, 100), vp(500, 100), vp(2500, 1000), vp(4500, 1000)}));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.videoSeconds(), (V{950, 0, 1000, 0, 250}));
}

TEST_F(RmReaderTest, AudioIsSpreadButNeverMerged) {
  auto r = load(headers(5000).data({ap(500, 600), ap(3500, 600)}));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.audioSeconds(), (V{700, 200, 200, 100, 0}));
  EXPECT_EQ(r.videoSeconds(), (V{0, 0, 0, 0, 0}));
}

TEST_F(RmReaderTest, SharedTimestampsTravelWithTheNextNewOne) {
  // The first packet at 1200 closes 200 → 1200; the other two at 1200 go with the one at 2200.
  auto r =
      load(headers(3000).data({vp(200, 100), vp(1200, 300), vp(1200, 500), vp(1200, 700), vp(2200, 100)}));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.videoSeconds(), (V{100 + 240, 60 + 1040, 260}));
}

TEST_F(RmReaderTest, TimestampInAnEarlierSecondPutsEverythingOnTheLastSecond) {
  // 2500 → 1200 wraps the difference: all 300 bytes stay on second 2.
  auto r = load(headers(3000).data({vp(0, 100), vp(2500, 1000), vp(1200, 300), vp(1300, 50)}));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.videoSeconds(), (V{440, 440 + 50, 220 + 300}));
}

TEST_F(RmReaderTest, BytesAfterTheLastNewTimestampAreNotCounted) {
  auto r = load(headers(2000).data({vp(500, 100), vp(800, 200), vp(800, 200)}));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.videoSeconds(), (V{300, 0}));
}

TEST_F(RmReaderTest, BytesAtOrAfterTheDurationAreDropped) {
  // 1500 splits 667 / 333; 2500 puts 500 on second 1 and 500 past the end; the rest is beyond.
  auto r = load(headers(2999).data({vp(1500, 1000), vp(2500, 1000), vp(5000, 1000), vp(0xFFFFFFFF, 1000)}));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.seconds, 2);
  EXPECT_EQ(r.videoSeconds(), (V{667, 833}));
}

TEST_F(RmReaderTest, LongGapsFillWholeSecondsEvenWhenTheyPassTheEnd) {
  // 100500 bytes pending at 0, then a stamp at 100500: 1000 bytes a second, most of them past N.
  std::vector<RmPacket> p(100, RmPacket{.stream = kAudio, .timestamp = 0, .length = 1005});
  p.push_back(ap(100500, 0));
  auto r = load(headers(5000).data(p));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.audioSeconds(), (V{1000, 1000, 1000, 1000, 1000}));
}

TEST_F(RmReaderTest, ShortDurationHasNoDataSeconds) {
  auto r = load(headers(999).data({vp(0, 500), vp(400, 500), vp(1500, 500)}));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.seconds, 0);
  EXPECT_EQ(r.video->elementCount(), 8u);
}

TEST_F(RmReaderTest, StreamStateCarriesAcrossDataChunks) {
  auto b = headers(3000);
  b.data({vp(0, 1000)}).index(kVideo, {{.timestamp = 0}}).data({vp(1500, 1000)});
  auto r = load(b);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.videoSeconds(), (V{1333, 667, 0}));
}

// --- Packets ------------------------------------------------------------------------------------

TEST_F(RmReaderTest, PacketVersions) {
  // Version 1 counts like 0. Versions 2 and 7 are two bytes each, one of num_packets, and take no
  // part in the timing. A length below the header size still moves on by 12 bytes.
  auto r = load(headers(3000).data(
      {vp(0, 100), RmPacket{.stream = kVideo, .timestamp = 500, .length = 40, .version = 1}, vp(1200, 10),
       RmPacket{.version = 2}, RmPacket{.version = 7}, vp(1300, 5), vp(1900, 20)}));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.videoSeconds(), (V{147, 28, 0}));
}

TEST_F(RmReaderTest, NumPacketsLimitsTheRead) {
  auto r = load(headers(2000).data({vp(0, 100), vp(500, 100), vp(900, 100)}, 2));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.videoSeconds(), (V{200, 0}));
}

TEST_F(RmReaderTest, PacketsAreNotReadPastTheirDataChunk) {
  // num_packets claims 3; what follows the chunk would read as a video packet at 1500 of 1000
  // bytes, but it lies outside the chunk.
  auto b = headers(2000).data({vp(0, 1000), vp(500, 1000)}, 3);
  b.raw({0, 0, 0x03, 0xE8, 0, 0, 0, 0, 0x05, 0xDC, 0, 0});
  auto r = load(b);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.videoSeconds(), (V{2000, 0}));
}

TEST_F(RmReaderTest, HeadersAcrossReadWindowsAreReadWhole) {
  // Packets of 1000 bytes after one sized so that a header starts 6 bytes before the end of the
  // first read window and is completed by the next.
  constexpr uint16_t first = uint16_t(1000 + (mv::RmReader::kPacketWindow - 6) % 1000);
  static_assert(1100 * 1000 > mv::RmReader::kPacketWindow);
  std::vector<RmPacket> p{vp(0, first)};
  for (uint32_t k = 1; k <= 1100; ++k) p.push_back(vp(k, 1000));
  auto r = load(headers(3000).data(p));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.videoSeconds(), (V{first + 1000 * 1000, 100 * 1000, 0}));
}

TEST_F(RmReaderTest, TruncatedDataChunkCountsThePacketsThatFit) {
  auto b = headers(3000).data({vp(0, 100), vp(500, 100), vp(1500, 100), vp(2500, 100)});
  const size_t cut = b.bytes().size() - 100 + 6;  // inside the last packet's header
  auto r = load(b.truncate(cut));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.videoSeconds(), (V{250, 50, 0}));
}

// --- Streams ------------------------------------------------------------------------------------

TEST_F(RmReaderTest, PictureFromTheFirstRealVideoStream) {
  auto b = headers(2000, false, true);
  b.mediaProperties({.streamNumber = 4,
                     .mime = "logical-fileinfo",
                     .typeSpecific = mvtest::logicalFileInfoBlock({{"Creator", 2, {'x', 0}}})});
  b.mediaProperties(videoStream(mvtest::realVideoBlock("RV20", 640, 480, 0x00198000)));  // 25.5 fps
  auto second = videoStream(mvtest::realVideoBlock("RV30", 16, 16, 5u << 16));
  second.streamNumber = 3;
  b.mediaProperties(second).data({});
  auto r = load(b);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.width, 640);
  EXPECT_EQ(r.height, 480);
  EXPECT_EQ(r.frameRateMilli, 25000);
}

TEST_F(RmReaderTest, RealVideoBlockShorterThanItsFieldsDecodesToZero) {
  Bytes block = mvtest::realVideoBlock("RV40", 320, 240, 30u << 16);
  block.resize(25);
  auto b = headers(2000, false, false);
  b.mediaProperties(videoStream(block)).data({vp(0, 10), vp(1500, 10)});
  auto r = load(b);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.width, 0);
  EXPECT_EQ(r.height, 0);
  EXPECT_EQ(r.frameRateMilli, 0);
  EXPECT_EQ(r.videoSeconds(), (V{13, 7})) << "the stream still counts";

  block.resize(26);
  auto full = headers(2000, false, false);
  full.mediaProperties(videoStream(block)).data({});
  r = load(full);
  EXPECT_EQ(r.width, 320);
  EXPECT_EQ(r.frameRateMilli, 30000);
}

TEST_F(RmReaderTest, PictureNeedsADataChunk) {
  auto r = load(headers(2000));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.width, 0);
  EXPECT_EQ(r.frameRateMilli, 0);
}

TEST_F(RmReaderTest, MissingOrOtherStreamsCountNothing) {
  // Audio declared but silent; the video stream is known only as multirate or by another case.
  auto b = headers(2000, false, true);
  auto multirate = videoStream();
  multirate.mime = "logical-video/x-pn-multirate-realvideo";
  auto upper = videoStream();
  upper.mime = "Video/x-pn-realvideo";
  b.mediaProperties(multirate).mediaProperties(upper).data({vp(0, 100), vp(1500, 100)});
  auto r = load(b);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.videoSeconds(), (V{0, 0}));
  EXPECT_EQ(r.audioSeconds(), (V{0, 0}));
  EXPECT_EQ(r.width, 0);
}

// --- Chunk walk ---------------------------------------------------------------------------------

TEST_F(RmReaderTest, NotRealMedia) {
  EXPECT_FALSE(load(RmBuilder().properties({.duration = 5000}).fileHeader()).ok) << "PROP first";
  EXPECT_FALSE(load(Bytes{'.', 'r', 'a', 0xFD, 0, 4, 0, 0, 0, 0, 0, 0}).ok) << "RealAudio file";
  EXPECT_FALSE(load(headers(5000).chunk(".ra\xFD", Bytes(4, 0))).ok) << "RealAudio chunk later";
  // Fewer bytes than one chunk header, the empty file among them.
  const Bytes start = headers(5000).bytes();
  for (size_t n = 0; n < 10; ++n) EXPECT_FALSE(load(Bytes(start.begin(), start.begin() + long(n))).ok) << n;
  EXPECT_FALSE(load(Bytes{}).ok);
  mv::InputFile none;
  EXPECT_EQ(mv::RmReader(&none).result().failure, mv::LoadFailure::CouldNotRead);
  EXPECT_EQ(mv::RmReader(nullptr).result().failure, mv::LoadFailure::CouldNotRead);
  EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(RmReaderTest, SizesBelowTheHeaderStillMoveForward) {
  // Chunks of size 0 and 3 are stepped over by their header; PROP after them still counts.
  RmBuilder b;
  b.fileHeader().chunk("JUNK", {}).size(0).chunk("JUNK", {}, 1).size(3);
  b.properties({.duration = 2000}).mediaProperties(videoStream()).data({vp(0, 10), vp(1500, 10)});
  auto r = load(b);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.videoSeconds(), (V{13, 7}));
}

TEST_F(RmReaderTest, TruncatedHeaderChunksAreIgnored) {
  auto b = headers(2000).data({vp(0, 10), vp(1500, 10)});
  b.index(kVideo, {{.timestamp = 0}, {.timestamp = 1000}});
  auto r = load(b.truncate(b.bytes().size() - 1));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.videoSeconds(), (V{13, 7}));
  // A 10-byte file holding only the .RMF header: nothing more, no seconds.
  r = load(RmBuilder().fileHeader().truncate(10));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.seconds, 0);
}

TEST_F(RmReaderTest, OtherObjectVersionsAreSkipped) {
  auto b = headers(5000);
  b.properties({.duration = 9000}).version(1).data({});
  auto r = load(b);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.seconds, 5);
}

TEST_F(RmReaderTest, DamagedHeaderBodiesFail) {
  // A body that does not fit its chunk is read from nowhere else.
  EXPECT_FALSE(load(headers(2000).properties({.duration = 9000}).size(40)).ok);
  auto mdpr = headers(2000, false, false).mediaProperties(videoStream());
  const size_t lengthField = mdpr.lastChunkOffset() + 10 + 2 + 7 * 4 + 1 + 12 + 1 + 20;
  Bytes bytes = mdpr.data({}).bytes();
  bytes[lengthField] = 0x7F;  // type-specific length far past the chunk
  EXPECT_FALSE(load(bytes).ok);
  EXPECT_FALSE(load(headers(2000).index(kVideo, {{}, {}}, 100)).ok) << "more records than the chunk holds";
  EXPECT_FALSE(load(headers(2000).chunk("DATA", {0, 0, 0, 1})).ok) << "DATA header cut";
}

TEST_F(RmReaderTest, HeadersForTheInformationReport) {
  RmBuilder b;
  b.fileHeader16(0, 7);
  b.properties({.maxBitRate = 450000,
                .avgBitRate = 300000,
                .maxPacketSize = 1400,
                .avgPacketSize = 700,
                .numPackets = 4,
                .duration = 3723456,
                .preroll = 999,
                .indexOffset = 11,
                .dataOffset = 12,
                .numStreams = 2,
                .flags = 5});
  b.content("Title", "Author", "(c)", "");
  b.mediaProperties({.streamNumber = 1,
                     .maxBitRate = 64000,
                     .avgBitRate = 32000,
                     .maxPacketSize = 600,
                     .avgPacketSize = 300,
                     .startTime = 10,
                     .preroll = 20,
                     .duration = 30,
                     .name = "Audio",
                     .mime = "audio/x-pn-realaudio",
                     .typeSpecific = mvtest::realAudioBlock(5, 22050, 16, 1)});
  b.mediaProperties(videoStream());
  b.data({vp(0, 12), RmPacket{.version = 2}}, 2, 77);
  b.index(kVideo, {{.timestamp = 0, .offset = 100, .packetCount = 1},
                   {.version = 1},
                   {.timestamp = 2000, .offset = 400, .packetCount = 9}});
  mvtest::writeFile(path, b.bytes());
  mv::InputFile file;
  ASSERT_TRUE(file.open(path));
  mv::RmReader reader(&file);
  ASSERT_TRUE(reader.result().ok());
  EXPECT_EQ(reader.numHeaders(), 7u);
  const auto& p = reader.properties();
  EXPECT_EQ(p.maxBitRate, 450000u);
  EXPECT_EQ(p.avgPacketSize, 700u);
  EXPECT_EQ(p.duration, 3723456u);
  EXPECT_EQ(p.preroll, 999u);
  EXPECT_EQ(p.dataOffset, 12u);
  EXPECT_EQ(p.numStreams, 2u);
  EXPECT_EQ(p.flags, 5u);
  EXPECT_EQ(reader.content().title, "Title");
  EXPECT_EQ(reader.content().copyright, "(c)");
  EXPECT_EQ(reader.content().comment, "");
  ASSERT_EQ(reader.streams().size(), 2u);
  const auto& audio = reader.streams()[0];
  EXPECT_EQ(audio.streamNumber, 1u);
  EXPECT_EQ(audio.startTime, 10u);
  EXPECT_EQ(audio.duration, 30u);
  EXPECT_EQ(audio.streamName, "Audio");
  EXPECT_EQ(audio.typeSpecificData.size(), mvtest::realAudioBlock(5, 22050, 16, 1).size());
  EXPECT_EQ(audio.frameWidth, 0u);
  const auto& video = reader.streams()[1];
  EXPECT_EQ(video.codecFourcc, mv::fourccBe("RV40"));
  EXPECT_EQ(video.frameRate, 25u);
  ASSERT_EQ(reader.dataChunks().size(), 1u);
  EXPECT_EQ(reader.dataChunks()[0].numPackets, 2u);
  EXPECT_EQ(reader.dataChunks()[0].nextDataHeader, 77u);
  EXPECT_EQ(reader.dataChunks()[0].end - reader.dataChunks()[0].firstPacket, 14u);
  ASSERT_EQ(reader.indexEntries().size(), 2u);
  EXPECT_EQ(reader.indexEntries()[1].timestamp, 2000u);
  EXPECT_EQ(reader.indexEntries()[1].offset, 400u);
  EXPECT_EQ(reader.indexEntries()[1].packetCountForThisPacket, 9u);
}

// --- Damaged files ------------------------------------------------------------------------------

Bytes smallFixture() {
  auto b = headers(4000);
  b.mediaProperties({.streamNumber = 2,
                     .mime = "logical-fileinfo",
                     .typeSpecific = mvtest::logicalFileInfoBlock({{"Creator", 2, {'m', 'e', 0}}})});
  b.data({vp(0, 40), ap(0, 20), vp(400, 30), vp(400, 30), RmPacket{.version = 2}, ap(900, 20), vp(1300, 40),
          RmPacket{.stream = kAudio, .timestamp = 1800, .length = 25, .version = 1}, vp(3200, 12),
          vp(3900, 8)});
  b.index(kVideo, {{.timestamp = 0, .offset = 300}, {.version = 1}, {.timestamp = 1300, .offset = 420}});
  b.data({ap(2500, 16), vp(4100, 20)});
  return b.bytes();
}

class RmRobustness : public ::testing::Test {
 protected:
  // Through the slot, as the user meets it: loaded and consistent, or the one failure message.
  void expectSlotLoadsOrFails(const Bytes& bytes) {
    mvtest::writeFile(path, bytes);
    recorder.messages.clear();
    mv::FileSlot slot;
    const mv::LoadResult loaded = slot.open(path);
    EXPECT_TRUE(recorder.messages.empty());
    if (loaded.ok()) {
      ASSERT_TRUE(slot.analysis.audioSeries && slot.analysis.totalSeries);
      EXPECT_EQ(slot.elementCount(), uint32_t(slot.analysis.durationSeconds) + 8);
    } else {
      EXPECT_STREQ(mv::loadFailureMessage(path, loaded), mv::msg::kReadFailed);
      EXPECT_EQ(slot.elementCount(), 0u);
    }
  }
  // The reader alone (the slot's statistics over a mutated multi-million-second duration would
  // dominate the run): series that agree with the duration, or none.
  void expectLoadsOrFails(const Bytes& bytes) {
    mvtest::writeFile(path, bytes);
    std::unique_ptr<mv::PerSecondSeries> video, audio;
    uint64_t length = 0;
    int32_t seconds = 0, rate = 0, width = 0, height = 0;
    if (mvtest::loadFields(mvtest::load<mv::walkRealMedia>, path, video, audio, length, seconds, rate, width,
                           height)) {
      ASSERT_TRUE(video && audio);
      EXPECT_EQ(video->elementCount(), uint32_t(seconds) + 8);
      EXPECT_EQ(audio->elementCount(), uint32_t(seconds) + 8);
      EXPECT_EQ(length, bytes.size());
    } else {
      EXPECT_FALSE(video || audio);
    }
    EXPECT_TRUE(recorder.messages.empty());
  }
  mvtest::TempDir dir;
  std::string path = dir.file("damaged.rmvb");
  mvtest::MessageRecorder recorder;
};

TEST_F(RmRobustness, EveryTruncation) {
  const Bytes full = smallFixture();
  for (size_t n = 0; n <= full.size(); ++n) {
    expectSlotLoadsOrFails(Bytes(full.begin(), full.begin() + long(n)));
    if (HasFatalFailure()) FAIL() << "at length " << n;
  }
}

TEST_F(RmRobustness, SeededMutations) {
  const Bytes full = smallFixture();
  // Where the chunk sizes stand, so that size edits hit them and not only random bytes.
  std::vector<size_t> sizeFields;
  for (size_t pos = 0; pos + 10 <= full.size();) {
    sizeFields.push_back(pos + 4);
    pos += std::max<uint32_t>(10, mv::readU32be(&full[pos + 4]));
  }
  std::mt19937 rng(20261209);
  for (int round = 0; round < 5000; ++round) {
    Bytes b = full;
    const int edits = 1 + int(rng() % 4);
    for (int e = 0; e < edits; ++e) {
      const size_t at = rng() % b.size();
      switch (rng() % 5) {
        case 0:
          b[at] ^= uint8_t(1u << (rng() % 8));
          break;
        case 1:
          b[at] = uint8_t(rng());
          break;
        case 2: {  // a chunk size: extreme, or a little off
          static const uint32_t extremes[] = {0,          1,          9,          10,        18,
                                              0x7FFFFFFF, 0x80000000, 0xFFFFFFF0, 0xFFFFFFFF};
          const size_t field = sizeFields[rng() % sizeFields.size()];
          const uint32_t old = mv::readU32be(&b[field]);
          const uint32_t v = rng() % 2 ? extremes[rng() % 9] : old + uint32_t(int(rng() % 41) - 20);
          for (int k = 0; k < 4; ++k) b[field + k] = uint8_t(v >> (24 - 8 * k));
          break;
        }
        case 3: {  // any 16- or 32-bit field to an extreme
          const uint32_t v = rng() % 2 ? 0xFFFFFFFF : 0;
          for (size_t k = 0; k < 4 && at + k < b.size(); ++k) b[at + k] = uint8_t(v);
          break;
        }
        default:
          b.resize(at + 1);
          break;
      }
    }
    expectLoadsOrFails(b);
    if (HasFatalFailure()) FAIL() << "in round " << round;
  }
}

}  // namespace
