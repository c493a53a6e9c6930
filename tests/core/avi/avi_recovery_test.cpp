// AVI files as they come: several RIFF parts indexed by OpenDML indexes, no index, cut short.
// The oracle is the same frames in a plain file with a complete idx1.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>

#include "avi/avi_reader.h"
#include "fixtures/avi_builder.h"
#include "fixtures/byte_writer.h"
#include "fixtures/loaders.h"

namespace {

using mvtest::Bytes;
namespace avi = mvtest::avi;

struct Result {
  mv::LoadResult result;
  mv::FileAnalysis a;
  std::vector<uint32_t> video, audio;
};

class AviRecovery : public ::testing::Test {
 protected:
  Result load(const Bytes& bytes) {
    mvtest::writeFile(path, bytes);
    Result r;
    r.result = mvtest::load<mv::walkAvi>(path, r.a);
    if (r.result.ok()) {
      r.video.assign(r.a.videoSeries->data() + 8, r.a.videoSeries->data() + r.a.videoSeries->elementCount());
      r.audio.assign(r.a.audioSeries->data() + 8, r.a.audioSeries->data() + r.a.audioSeries->elementCount());
    }
    return r;
  }
  // The frames as one plain part with a complete idx1.
  Result plain(uint32_t frames, uint32_t frameBytes, uint32_t audioBytes = 0) {
    auto f = avi::simpleVideo(frames, frameBytes);
    if (audioBytes) {
      avi::Stream a;
      a.header.fccType = "auds";
      a.format = avi::waveFormat(1, 1, 25, 25, 1, 8);
      f.streams.push_back(a);
      f.index.clear();
      for (uint32_t i = 0; i < frames; ++i) {
        f.add(0, "dc", frameBytes);
        f.add(1, "wb", audioBytes);
      }
    }
    return load(f.build());
  }
  void expectSame(const Result& got, const Result& want, const std::vector<std::string>& notes) {
    ASSERT_TRUE(got.result.ok()) << mv::reasonName(got.result.failure) << " at " << got.result.position;
    ASSERT_TRUE(want.result.ok());
    EXPECT_EQ(got.a.durationSeconds, want.a.durationSeconds);
    EXPECT_EQ(got.video, want.video);
    EXPECT_EQ(got.audio, want.audio);
    EXPECT_EQ(got.a.notes, notes);
  }
  mvtest::TempDir dir;
  std::string path = dir.file("clip.avi");
};

using Notes = std::vector<std::string>;
const Notes kNone{};
const Notes kRebuilt{"index-rebuilt"};
const Notes kCut{"cut-short", "index-rebuilt"};

TEST_F(AviRecovery, OpenDmlPartsReadLikeOnePlainFile) {
  struct Case {
    const char* name;
    std::function<void(avi::OdmlFile&)> change;
  } cases[] = {
      {"ffmpeg: avih counts the first part", [](avi::OdmlFile&) {}},
      {"without idx1", [](avi::OdmlFile& f) { f.withIdx1 = false; }},
      {"dmlh counts the first part (mencoder)",
       [](avi::OdmlFile& f) {
         f.dmlhFrames = 250;
         f.avihFrames = 500;
       }},
      {"avih and dmlh both short", [](avi::OdmlFile& f) { f.dmlhFrames = 250; }},
      {"field index", [](avi::OdmlFile& f) { f.longs = 3; }},
  };
  const Result want = plain(500, 1000, 40);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    avi::OdmlFile f{.partFrames = {250, 250}, .audioBytes = 40};
    c.change(f);
    expectSame(load(f.build()), want, kNone);
  }
  // A single-part file with a complete idx1 keeps reading idx1, whatever its indx says.
  avi::OdmlFile one{.partFrames = {250}};
  one.dmlhFrames = 900;
  expectSame(load(one.build()), plain(250, 1000), kNone);
}

size_t find(const Bytes& b, const std::string& what) {
  for (size_t at = 0; at + what.size() <= b.size(); ++at)
    if (std::equal(what.begin(), what.end(), b.begin() + long(at))) return at;
  return b.size();
}

TEST_F(AviRecovery, DamagedOpenDmlIndexesFail) {
  const Bytes good = avi::OdmlFile{.partFrames = {30, 30}, .withIdx1 = false}.build();
  const size_t indx = find(good, "indx"), ix = find(good, "ix00");
  auto at = [](Bytes b, size_t pos, std::initializer_list<uint8_t> v) {
    std::copy(v.begin(), v.end(), b.begin() + long(pos));
    return b;
  };
  const struct {
    const char* name;
    Bytes bytes;
  } cases[] = {
      {"more super entries than the chunk holds", at(good, indx + 12, {3, 0, 0, 0})},
      {"entry past the end of the file", at(good, indx + 8 + 24 + 4, {0x7F})},
      {"entry not at a standard index", at(good, indx + 8 + 24, {uint8_t(ix - 8), uint8_t((ix - 8) >> 8)})},
      {"standard index of the wrong type", at(good, ix + 8 + 3, {0})},
      {"wrong longs per entry", at(good, ix + 8, {4})},
      {"entries past the standard index", at(good, ix + 8 + 4, {0xFF, 0xFF})},
      {"standard index body past the end", at(good, ix + 4, {0xFF, 0xFF, 0xFF, 0x7F})},
  };
  ASSERT_TRUE(load(good).result.ok());
  auto shortSuper = avi::simpleVideo(25, 10);
  shortSuper.withIndex = false;
  shortSuper.streams[0].superIndex = Bytes{4, 0, 0, 0, 1, 0, 0, 0, 0, 0};
  EXPECT_EQ(load(shortSuper.build()).result.failure, mv::LoadFailure::Damaged)
      << "super index shorter than its header";
  for (const auto& c : cases) {
    const Result r = load(c.bytes);
    EXPECT_EQ(r.result.failure, mv::LoadFailure::Damaged) << c.name;
  }
}

// What an OpenDML index lists beyond what the file holds is not counted: a standard index named
// twice by the super index, entries whose chunk lies past the end.
TEST_F(AviRecovery, OpenDmlIndexesCountWhatTheFileHolds) {
  const Bytes good = avi::OdmlFile{.partFrames = {250, 250}, .withIdx1 = false, .dmlhFrames = 250}.build();
  const size_t super = find(good, "indx") + 8 + 24, ix = find(good, "ix00") + 8;
  Bytes twice = good;  // both super entries name the first part's index
  std::copy_n(good.begin() + long(super), 8, twice.begin() + long(super + 16));
  expectSame(load(twice), plain(250, 1000), kNone);

  Bytes past = good;  // the first part's last chunk lies far beyond the end
  const size_t lastEntry = ix + 24 + 249 * 8;
  std::copy_n(Bytes{0xF0, 0xFF, 0xFF, 0x7F}.begin(), 4, past.begin() + long(lastEntry));
  const Result r = load(past);
  ASSERT_TRUE(r.result.ok());
  ASSERT_FALSE(r.a.tracks.empty());
  EXPECT_EQ(r.a.tracks[0].unitCount, 499u);
  EXPECT_EQ(r.a.tracks[0].bytes, 499u * 1000);
  EXPECT_EQ(r.a.notes, Notes{"cut-short"});
}

TEST_F(AviRecovery, FilesWithoutIndexAreReadFromTheirChunks) {
  const Result want = plain(250, 1000, 40);
  auto f = avi::simpleVideo(250, 1000);
  avi::Stream a;
  a.header.fccType = "auds";
  a.format = avi::waveFormat(1, 1, 25, 25, 1, 8);
  f.streams.push_back(a);
  f.index.clear();
  for (uint32_t i = 0; i < 250; ++i) {
    f.add(0, "dc", 1000);
    f.add(1, "wb", 40);
  }
  f.writePayloads = true;
  f.withIndex = false;
  expectSame(load(f.build()), want, kRebuilt);

  // The same chunks grouped in LIST rec, with JUNK and an ix00 between them.
  Bytes movi;
  for (uint32_t i = 0; i < 250; ++i) {
    movi = avi::concat(
        {movi, avi::LIST("rec ", {avi::chunk("00dc", Bytes(1000, 1)), avi::chunk("01wb", Bytes(40, 2))})});
    if (i == 100)
      movi = avi::concat({movi, avi::chunk("JUNK", Bytes(9, 0)), avi::standardIndex("ix00", "00dc", {5, 5})});
  }
  f.writePayloads = false;
  Bytes grouped = f.build();
  const size_t at = find(grouped, "movi") - 8;
  Bytes list = avi::list("LIST", "movi", {movi});
  grouped.erase(grouped.begin() + long(at), grouped.begin() + long(at) + 12);
  grouped.insert(grouped.begin() + long(at), list.begin(), list.end());
  mvtest::ByteWriter size;
  size.u32le(uint32_t(grouped.size() - 8));
  std::copy(size.data().begin(), size.data().end(), grouped.begin() + 4);
  expectSame(load(grouped), want, kRebuilt);
}

TEST_F(AviRecovery, FilesCutShortKeepWhatTheyHold) {
  auto f = avi::simpleVideo(250, 1000);
  f.writePayloads = true;
  const Bytes full = f.build();
  const size_t movi = find(full, "movi") - 8;
  const size_t firstChunk = movi + 12, chunkBytes = 1008;

  // Cut inside the 200th frame's chunk: 199 whole frames remain.
  const Bytes insideMovi(full.begin(), full.begin() + long(firstChunk + 199 * chunkBytes + 500));
  expectSame(load(insideMovi), plain(199, 1000), kCut);

  // Cut inside idx1: every frame is there, read from the chunks.
  const size_t idx1 = find(full, "idx1");
  expectSame(load(Bytes(full.begin(), full.begin() + long(idx1 + 8 + 100))), plain(250, 1000), kCut);

  // Cut right where movi ends, or inside idx1's header: damage as before.
  EXPECT_EQ(load(Bytes(full.begin(), full.begin() + long(idx1))).result.failure, mv::LoadFailure::Damaged);
  EXPECT_EQ(load(Bytes(full.begin(), full.begin() + long(idx1 + 6))).result.failure,
            mv::LoadFailure::Damaged);

  // Cut inside the second part of an OpenDML file: its indexes are lost, its chunks are not.
  const Bytes odml = avi::OdmlFile{.partFrames = {250, 250}}.build();
  const size_t avix = find(odml, "AVIX") - 8;
  const Bytes cutAvix(odml.begin(), odml.begin() + long(avix + 24 + 120 * chunkBytes + 3));
  expectSame(load(cutAvix), plain(370, 1000), kCut);

  // GStreamer writes an empty movi into the header first and appends chunks after the RIFF.
  Bytes header = avi::simpleVideo(0, 0).build();
  const size_t emptyMovi = find(header, "movi");
  header.resize(emptyMovi + 4);  // drop idx1: the header as written before the first chunk
  mvtest::ByteWriter riffSize;
  riffSize.u32le(uint32_t(header.size() - 8));
  std::copy(riffSize.data().begin(), riffSize.data().end(), header.begin() + 4);
  Bytes appended = header;
  for (int i = 0; i < 100; ++i) appended = avi::concat({appended, avi::chunk("00dc", Bytes(1000, 1))});
  expectSame(load(appended), plain(100, 1000), kCut);
}

TEST_F(AviRecovery, IndexCutShortIsDroppedNotAllocated) {
  auto f = avi::simpleVideo(25, 10);
  f.writePayloads = true;
  f.extraTopLevel = avi::chunk("idx1", Bytes(16, 1), 0xFFFFFFF0);
  const Result r = load(f.build());
  ASSERT_TRUE(r.result.ok());
  EXPECT_EQ(r.a.notes, kCut);
}

// Positions past 4 GiB: a sparse file whose second indexed part lies beyond them.
TEST_F(AviRecovery, FilesOverFourGigabytesLoad) {
  const Bytes odml = avi::OdmlFile{.partFrames = {50, 50}, .withIdx1 = false}.build();
  const size_t avix = find(odml, "AVIX") - 8;
  constexpr uint32_t kGap = 0x7FFFFFF0;  // two AVIX parts of JUNK, holes on disk
  const uint64_t moved = avix + 2 * (8 + uint64_t(kGap));
  Bytes first(odml.begin(), odml.begin() + long(avix));
  const size_t entry = find(first, "indx") + 8 + 24 + 16;  // the second part's standard index
  uint64_t oldIx = 0;
  for (int i = 0; i < 8; ++i) oldIx |= uint64_t(first[entry + i]) << (8 * i);
  for (int i = 0; i < 8; ++i) first[entry + i] = uint8_t((oldIx - avix + moved) >> (8 * i));

  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::pwrite(fd, first.data(), first.size(), 0), ssize_t(first.size()));
  for (int i = 0; i < 2; ++i) {
    mvtest::ByteWriter w;
    w.chars("RIFF").u32le(kGap).chars("AVIX").chars("JUNK").u32le(kGap - 12);
    ASSERT_EQ(::pwrite(fd, w.data().data(), w.size(), off_t(avix + i * (8 + uint64_t(kGap)))),
              ssize_t(w.size()));
  }
  const Bytes second(odml.begin() + long(avix), odml.end());
  ASSERT_EQ(::pwrite(fd, second.data(), second.size(), off_t(moved)), ssize_t(second.size()));
  ::close(fd);
  Result r;
  ASSERT_TRUE(mvtest::load<mv::walkAvi>(path, r.a).ok());
  EXPECT_EQ(r.a.fileLength, moved + second.size());
  EXPECT_GT(r.a.fileLength, uint64_t(1) << 32);
  const Result want = plain(100, 1000);
  EXPECT_EQ(r.a.durationSeconds, want.a.durationSeconds);
  EXPECT_EQ(std::vector<uint32_t>(r.a.videoSeries->data() + 8,
                                  r.a.videoSeries->data() + r.a.videoSeries->elementCount()),
            want.video);
  ::unlink(path.c_str());
}

}  // namespace
