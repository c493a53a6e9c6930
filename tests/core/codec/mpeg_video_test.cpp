// MPEG-1/2 and MPEG-4 Part 2 pictures: types read from headers against ffprobe's decoded types,
// streams cut into access units, and crafted streams for what ffmpeg does not write.
#include <gtest/gtest.h>

#include <algorithm>

#include "codec/picture.h"
#include "fixtures/bit_writer.h"
#include "fixtures/byte_writer.h"
#include "fixtures/probed_pictures.h"

namespace {

using mv::codec::AccessUnit;
using mv::codec::Codec;
using mv::codec::PictureReader;
using mv::codec::PictureType;
using mv::codec::UnitCutter;
using mvtest::BitWriter;
using mvtest::Bytes;

std::vector<AccessUnit> cutAll(Codec codec, const Bytes& stream, size_t piece) {
  auto cutter = UnitCutter::make(codec);
  std::vector<AccessUnit> units;
  for (size_t at = 0; at < stream.size(); at += piece)
    cutter->feed(stream.data() + at, std::min(piece, stream.size() - at), units);
  cutter->finish(units);
  return units;
}

// The type of a whole picture, looking further in as the reader asks.
PictureReader::Probe probeWhole(PictureReader& reader, const Bytes& picture) {
  return mvtest::probePicture(reader, picture.data(), picture.size(), picture.size());
}

TEST(MpegVideo, TypesAndUnitsOfFfmpegStreams) {
  if (!mvtest::haveProgram("ffmpeg") || !mvtest::haveProgram("ffprobe"))
    GTEST_SKIP() << "ffmpeg not installed";
  mvtest::TempDir dir;
  const struct {
    const char* args;
    const char* name;
    Codec codec;
    bool raw = true;  // an elementary stream the cutter is checked on too
    bool interlaced = false;
    uint32_t rate = 25;  // ffmpeg's MPEG-4 VOL declares no fixed rate
  } cases[] = {
      {"-c:v mpeg1video -bf 2 -g 12", "a.m1v", Codec::Mpeg12},
      {"-c:v mpeg2video -bf 2 -g 12", "a.m2v", Codec::Mpeg12},
      {"-c:v mpeg2video -bf 2 -flags +ilme+ildct -top 1", "i.m2v", Codec::Mpeg12, true, true},
      {"-c:v mpeg4 -bf 2 -g 12 -f m4v", "a.m4v", Codec::Mpeg4Part2, true, false, 0},
      {"-c:v mpeg4 -bf 2 -vtag DX50", "a.avi", Codec::Mpeg4Part2, false, false, 0},
      {"-c:v mpeg2video -bf 2", "a.mkv", Codec::Mpeg12, false},
  };
  for (const auto& c : cases) {
    const std::string path = dir.file(c.name);
    int status = 0;
    mvtest::runCommand(std::string("ffmpeg -v error -y -f lavfi -i testsrc=s=64x48:r=25 -t 1.5 ") + c.args +
                           " '" + path + "' 2>&1",
                       &status);
    ASSERT_EQ(status, 0) << c.name;
    const auto pictures = mvtest::probedPictures(path);
    ASSERT_GT(pictures.size(), 30u) << c.name;

    PictureReader reader({c.codec, {}, false});
    int bs = 0;
    for (size_t i = 0; i < pictures.size(); ++i) {
      const PictureReader::Probe p = probeWhole(reader, pictures[i].data);
      EXPECT_EQ(mv::codec::typeName(p.type), pictures[i].type) << c.name << " picture " << i;
      EXPECT_EQ(p.key, p.type == PictureType::I) << c.name << " picture " << i;
      bs += p.type == PictureType::B;
    }
    EXPECT_GT(bs, 0) << c.name;
    const auto info = reader.info();
    EXPECT_EQ(info.width, 64) << c.name;
    EXPECT_EQ(info.height, 48) << c.name;
    EXPECT_EQ(info.rateNum, c.rate) << c.name;
    EXPECT_EQ(info.rateDen, c.rate ? 1u : 0u) << c.name;
    EXPECT_EQ(info.interlaced, c.interlaced) << c.name;
    if (!c.raw) continue;

    const Bytes stream = mvtest::readFile(path);
    for (size_t piece : {size_t(1), size_t(5), size_t(4096)}) {
      const auto units = cutAll(c.codec, stream, piece);
      ASSERT_EQ(units.size(), pictures.size()) << c.name << " in pieces of " << piece;
      for (size_t i = 0; i < units.size(); ++i) {
        // Headers before a picture belong to it; ffprobe counts them as the packet's or not. A
        // zero byte before the next start code is the next unit's, as ffprobe does not count it.
        const uint64_t end = i + 1 < units.size() ? units[i + 1].start : stream.size();
        const uint64_t packetEnd = pictures[i].pos + pictures[i].data.size();
        EXPECT_LE(units[i].start, pictures[i].pos) << c.name << " unit " << i;
        EXPECT_TRUE(end == packetEnd || (end + 1 == packetEnd && stream[end] == 0))
            << c.name << " unit " << i;
        EXPECT_EQ(mv::codec::typeName(units[i].type), pictures[i].type) << c.name << " unit " << i;
        EXPECT_EQ(units[i].fields, 2) << c.name << " unit " << i;
      }
      EXPECT_EQ(units.front().start, 0u) << c.name;
    }
  }
}

struct Sequence {
  uint32_t rateCode = 3;
  uint32_t bitRate = 5000;  // units of 400 bit/s
  uint32_t vbv = 112;       // units of 16 kbit
  bool mpeg2 = true;
  bool progressive = false;
  uint32_t bitRateExt = 0, vbvExt = 0, rateN = 0, rateD = 0;
};

void sequence(BitWriter& w, const Sequence& s) {
  w.code(0xB3).bits(720, 12).bits(576, 12).bits(2, 4).bits(s.rateCode, 4).bits(s.bitRate, 18).bits(1, 1);
  w.bits(s.vbv, 10).bits(0, 3);
  if (!s.mpeg2) return;
  w.code(0xB5).bits(1, 4).bits(0x48, 8).bits(s.progressive, 1).bits(1, 2).bits(0, 4).bits(s.bitRateExt, 12);
  w.bits(1, 1).bits(s.vbvExt, 8).bits(0, 1).bits(s.rateN, 2).bits(s.rateD, 5);
}

struct Picture {
  uint32_t type = 1;
  uint32_t structure = 3;
  bool topFirst = false;
  bool repeatFirst = false;
};

void picture(BitWriter& w, const Picture& p, bool mpeg2 = true) {
  w.code(0x00).bits(0, 10).bits(p.type, 3).bits(0xFFFF, 16);
  if (p.type != 1) w.bits(0x5, 4);
  if (p.type == 3) w.bits(0x5, 4);
  w.bits(0, 1);
  if (mpeg2) {
    w.code(0xB5).bits(8, 4).bits(0x1111, 16).bits(0, 2).bits(p.structure, 2).bits(p.topFirst, 1).bits(1, 5);
    w.bits(p.repeatFirst, 1).bits(0, 3);
  }
  w.code(0x01).raw({0x12, 0x34, 0x56, 0x78});  // a slice
}

TEST(MpegVideo, CraftedMpeg2Units) {
  struct Expected {
    PictureType type;
    uint8_t fields;
  };
  const struct {
    const char* what;
    Sequence seq;
    std::vector<Picture> pictures;
    std::vector<Expected> units;
  } cases[] = {
      {"two fields are one frame",
       {},
       {{1, 1}, {2, 2}, {3, 3}, {2, 2}, {2, 1}},
       {{PictureType::I, 2}, {PictureType::B, 2}, {PictureType::P, 2}}},
      {"repeat_first_field of an interlaced sequence: 3 fields",
       {},
       {{1, 3, true, true}, {3, 3, false, false}, {2, 3, false, true}},
       {{PictureType::I, 3}, {PictureType::B, 2}, {PictureType::P, 3}}},
      {"progressive sequence: repeats double or triple",
       {.progressive = true},
       {{1, 3, false, true}, {2, 3, true, true}, {2, 3, true, false}},
       {{PictureType::I, 4}, {PictureType::P, 6}, {PictureType::P, 2}}},
      {"D pictures are intra", {.mpeg2 = false}, {{4}, {4}}, {{PictureType::I, 2}, {PictureType::I, 2}}},
  };
  for (const auto& c : cases) {
    BitWriter w;
    sequence(w, c.seq);
    w.code(0xB8).bits(0, 32);
    for (const Picture& p : c.pictures) picture(w, p, c.seq.mpeg2);
    const Bytes stream = w.take();
    for (size_t piece : {size_t(1), size_t(3), stream.size()}) {
      const auto units = cutAll(Codec::Mpeg12, stream, piece);
      ASSERT_EQ(units.size(), c.units.size()) << c.what;
      for (size_t i = 0; i < units.size(); ++i) {
        EXPECT_EQ(units[i].type, c.units[i].type) << c.what << " unit " << i;
        EXPECT_EQ(units[i].fields, c.units[i].fields) << c.what << " unit " << i;
        EXPECT_EQ(units[i].key, c.units[i].type == PictureType::I) << c.what << " unit " << i;
      }
    }
  }
}

TEST(MpegVideo, CutsBeforeLeadingZeroAndKeepsSequenceEnd) {
  BitWriter first, second;
  sequence(first, {});
  picture(first, {});
  first.code(0xB7);
  sequence(second, {});
  picture(second, {});
  Bytes stream = first.take();
  const size_t secondAt = stream.size();
  stream.push_back(0);  // 00 00 00 01: the zero byte is the next unit's
  const Bytes tail = second.take();
  stream.insert(stream.end(), tail.begin(), tail.end());
  const auto units = cutAll(Codec::Mpeg12, stream, 2);
  ASSERT_EQ(units.size(), 2u);
  EXPECT_EQ(units[0].start, 0u);
  EXPECT_EQ(units[1].start, secondAt);
}

TEST(MpegVideo, StreamFactsOfSequenceHeaders) {
  const struct {
    const char* what;
    Sequence seq;
    uint32_t rateNum, rateDen;
    uint64_t bitRate, vbvBits;
    bool interlaced;
  } cases[] = {
      {"MPEG-2 with extensions",
       {.rateCode = 4, .bitRateExt = 1, .vbvExt = 2, .rateN = 1, .rateD = 0},
       60000,
       1001,
       ((1ull << 18) | 5000) * 400,
       ((2ull << 10) | 112) * 16384,
       true},
      {"MPEG-1 variable rate",
       {.rateCode = 3, .bitRate = 0x3FFFF, .mpeg2 = false},
       25,
       1,
       0,
       112 * 16384,
       false},
      {"MPEG-1 constant rate",
       {.rateCode = 1, .bitRate = 2880, .mpeg2 = false},
       24000,
       1001,
       1152000,
       112 * 16384,
       false},
  };
  for (const auto& c : cases) {
    BitWriter w;
    sequence(w, c.seq);
    picture(w, {}, c.seq.mpeg2);
    const Bytes stream = w.take();
    PictureReader reader({Codec::Mpeg12, {}, false});
    EXPECT_EQ(probeWhole(reader, stream).type, PictureType::I) << c.what;
    auto cutter = UnitCutter::make(Codec::Mpeg12);
    std::vector<AccessUnit> units;
    cutter->feed(stream.data(), stream.size(), units);
    for (const auto& info : {reader.info(), cutter->info()}) {
      EXPECT_EQ(info.width, 720) << c.what;
      EXPECT_EQ(info.height, 576) << c.what;
      EXPECT_EQ(info.rateNum, c.rateNum) << c.what;
      EXPECT_EQ(info.rateDen, c.rateDen) << c.what;
      EXPECT_EQ(info.bitRate, c.bitRate) << c.what;
      EXPECT_EQ(info.vbvBits, c.vbvBits) << c.what;
      EXPECT_EQ(info.interlaced, c.interlaced) << c.what;
    }
    if (c.seq.mpeg2) {
      EXPECT_EQ(reader.info().profile, "Main");
      EXPECT_EQ(reader.info().level, 8);
    }
  }
}

// A picture header behind more user data than the first look covers.
TEST(MpegVideo, LooksFurtherForALatePictureHeader) {
  BitWriter w;
  sequence(w, {});
  w.code(0xB2).raw(Bytes(3000, 0x55));
  picture(w, {3});
  const Bytes stream = w.take();
  PictureReader reader({Codec::Mpeg12, {}, false});
  const auto first = reader.probe(stream.data(), PictureReader::kHeadBytes, 0, stream.size());
  EXPECT_EQ(first.type, PictureType::None);
  EXPECT_GT(first.readAt, 0u);
  EXPECT_EQ(probeWhole(reader, stream).type, PictureType::B);
}

Bytes vop(uint32_t codingType, bool coded = true) {
  BitWriter w;
  // vop_coding_type, modulo_time_base "0", marker, a 5-bit increment, marker, vop_coded
  w.code(0xB6).bits(codingType, 2).bits(0, 1).bits(1, 1).bits(3, 5).bits(1, 1).bits(coded, 1);
  if (coded) w.bits(0x2AAA, 14).raw({0x11, 0x22, 0x33});
  return w.take();
}

// DivX's packed bitstream in AVI: a chunk with a P-VOP and the B-VOP shown before it, then a
// placeholder chunk for the frame the B-VOP took.
TEST(MpegVideo, PackedBitstreamChunks) {
  Bytes packed = vop(1);
  const Bytes b = vop(2);
  packed.insert(packed.end(), b.begin(), b.end());
  const struct {
    const char* what;
    Bytes chunk;
    PictureType type;
  } cases[] = {
      {"P-VOP with a B-VOP", packed, PictureType::P}, {"not-coded VOP", vop(1, false), PictureType::P},
      {"stuffing byte", {0x7F}, PictureType::P},      {"B-VOP", vop(2), PictureType::B},
      {"sprite VOP", vop(3), PictureType::P},         {"I-VOP", vop(0), PictureType::I},
  };
  PictureReader reader({Codec::Mpeg4Part2, {}, false});
  for (const auto& c : cases) EXPECT_EQ(probeWhole(reader, c.chunk).type, c.type) << c.what;
}

TEST(MpegVideo, VolTimeBase) {
  BitWriter w;
  w.code(0xB0).bits(0xF5, 8).code(0xB5).bits(0x09, 8).code(0x00).code(0x20);
  // random_accessible_vol, object type, no identifier, aspect 1, no control parameters,
  // rectangular, marker, resolution 30000, marker, fixed rate with increment 1001 (15 bits)
  w.bits(0, 1).bits(1, 8).bits(0, 1).bits(1, 4).bits(0, 1).bits(0, 2).bits(1, 1).bits(30000, 16).bits(1, 1);
  w.bits(1, 1).bits(1001, 15).bits(1, 1).bits(320, 13).bits(1, 1).bits(240, 13).bits(1, 1).bits(1, 1);
  w.bits(0x3F, 6);
  const Bytes vol = w.take();
  PictureReader reader({Codec::Mpeg4Part2, vol, false});
  auto info = reader.info();
  EXPECT_EQ(info.rateNum, 30000u);
  EXPECT_EQ(info.rateDen, 1001u);
  EXPECT_EQ(info.width, 320);
  EXPECT_EQ(info.height, 240);
  EXPECT_TRUE(info.interlaced);
  EXPECT_EQ(info.profile, "Advanced Simple");
  EXPECT_EQ(info.level, 5);

  Bytes stream = vol;
  for (uint32_t t : {0u, 1u, 2u}) {
    const Bytes v = vop(t);
    stream.insert(stream.end(), v.begin(), v.end());
  }
  const auto units = cutAll(Codec::Mpeg4Part2, stream, 3);
  ASSERT_EQ(units.size(), 3u);
  EXPECT_EQ(units[0].start, 0u);
  EXPECT_TRUE(units[0].key);
  EXPECT_EQ(units[2].type, PictureType::B);
}

// Damaged and cut streams: every prefix and a flipped byte at every place, for every codec the
// cutter and reader take. Run under the sanitizers this shows no read outside the bytes.
TEST(MpegVideo, DamagedInputsAreReadWithinTheirBytes) {
  BitWriter w;
  sequence(w, {});
  w.code(0xB8).bits(0, 32);
  picture(w, {1, 1});
  picture(w, {2, 2});
  w.raw(vop(2));
  const Bytes good = w.take();
  for (Codec codec : {Codec::Mpeg12, Codec::Mpeg4Part2}) {
    for (size_t cut = 1; cut <= good.size(); ++cut) {
      for (size_t flip = 0; flip < cut; flip += 3) {
        Bytes damaged(good.begin(), good.begin() + long(cut));
        damaged[flip] ^= 0xA5;
        PictureReader reader({codec, damaged, false});
        probeWhole(reader, damaged);
        const auto units = cutAll(codec, damaged, 7);
        for (const auto& u : units) EXPECT_LT(u.start, damaged.size());
      }
    }
  }
}

}  // namespace
