// H.264 and HEVC picture types from slice headers: streams x264 and x265 write (Annex B cut by
// the cutter, MP4 samples read through the codec record) checked picture by picture against
// ffprobe's decoded frames, and crafted NAL units for what those encoders never write.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <sstream>

#include "codec/picture.h"
#include "fixtures/byte_writer.h"
#include "fixtures/probed_pictures.h"

namespace {

using mv::codec::AccessUnit;
using mv::codec::Codec;
using mv::codec::PictureReader;
using mv::codec::PictureType;
using mv::codec::TrackCoding;
using mv::codec::UnitCutter;
using mvtest::Bytes;

struct Frame {
  uint64_t pos = 0;
  std::string type;
  bool key = false;
};

// ffprobe's entries of one section ("frame", "packet"), in its order.
std::vector<std::map<std::string, std::string>> probed(const std::string& path, const std::string& section,
                                                       const std::string& entries) {
  const std::string text = mvtest::runCommand("ffprobe -v error -show_entries " + section + "=" + entries +
                                              " -of flat '" + path + "'");
  std::map<int, std::map<std::string, std::string>> items;
  const std::regex line(R"(\w+\.\w+\.(\d+)\.(\w+)=\"?([^"]*)\"?)");
  std::istringstream in(text);
  for (std::string s; std::getline(in, s);) {
    std::smatch m;
    if (std::regex_match(s, m, line)) items[std::stoi(m[1])][m[2]] = m[3];
  }
  std::vector<std::map<std::string, std::string>> out;
  for (auto& [index, item] : items) out.push_back(item);
  return out;
}

// ffprobe's decoded frames in decode order (by packet position).
std::vector<Frame> probedFrames(const std::string& path) {
  std::vector<Frame> out;
  for (auto& f : probed(path, "frame", "pkt_pos,pict_type,key_frame"))
    out.push_back({std::stoull(f["pkt_pos"]), f["pict_type"], f["key_frame"] == "1"});
  std::stable_sort(out.begin(), out.end(), [](const Frame& a, const Frame& b) { return a.pos < b.pos; });
  return out;
}

std::vector<std::pair<uint64_t, uint64_t>> packets(const std::string& path) {
  std::vector<std::pair<uint64_t, uint64_t>> out;
  for (auto& p : probed(path, "packet", "pos,size"))
    out.emplace_back(std::stoull(p["pos"]), std::stoull(p["size"]));
  return out;
}

// The payload of the first box of this type (the codec record of an MP4 sample entry).
Bytes boxPayload(const Bytes& file, const char* type) {
  const std::string_view t(type, 4);
  for (size_t i = 4; i + 4 <= file.size(); ++i) {
    if (std::string_view(reinterpret_cast<const char*>(&file[i]), 4) != t) continue;
    const size_t size =
        size_t(file[i - 4]) << 24 | size_t(file[i - 3]) << 16 | size_t(file[i - 2]) << 8 | file[i - 1];
    if (size >= 8 && i - 4 + size <= file.size())
      return Bytes(file.begin() + i + 4, file.begin() + i - 4 + size);
  }
  return {};
}

PictureReader::Probe probePicture(PictureReader& reader, const uint8_t* p, uint64_t size) {
  return mvtest::probePicture(reader, p, size, size);
}

std::vector<AccessUnit> cut(Codec codec, const Bytes& es, size_t piece,
                            mv::codec::StreamInfo* info = nullptr) {
  auto cutter = UnitCutter::make(codec);
  std::vector<AccessUnit> units;
  for (size_t i = 0; i < es.size(); i += piece)
    cutter->feed(es.data() + i, std::min(piece, es.size() - i), units);
  cutter->finish(units);
  EXPECT_EQ(cutter->fed(), es.size());
  if (info) *info = cutter->info();
  return units;
}

// Copies of `base` with bytes changed and cut short, read as both codecs in both framings:
// whatever comes out, no crash, no hang and no read outside the bytes (the ASan build).
void readDamaged(const Bytes& base, int rounds) {
  uint32_t seed = 7;
  for (int round = 0; round < rounds; ++round) {
    Bytes b = base;
    for (int k = 0; k < 6; ++k) {
      seed = seed * 1103515245u + 12345u;
      b[(seed >> 8) % b.size()] = uint8_t(seed >> 20);
    }
    b.resize((seed >> 4) % (b.size() + 1));
    for (Codec codec : {Codec::H264, Codec::Hevc}) {
      for (bool prefixed : {false, true}) {
        PictureReader reader(TrackCoding{codec, b, prefixed});
        if (!b.empty()) probePicture(reader, b.data(), b.size());
        reader.info();
      }
      cut(codec, b, 1 + round % 7);
    }
  }
}

struct Encoding {
  const char* name;
  Codec codec;
  const char* args;
  bool interlaced = false;
  std::string_view profile = "High";
  int level = 10;
};

const Encoding kEncodings[] = {
    {"x264 b-pyramid", Codec::H264, "-c:v libx264 -bf 3 -x264-params b-pyramid=normal:keyint=12"},
    {"x264 adaptive B", Codec::H264, "-c:v libx264 -bf 3 -b_strategy 2 -x264-params open-gop=1:keyint=20"},
    {"x264 MBAFF", Codec::H264, "-c:v libx264 -bf 2 -flags +ildct -x264opts interlaced=1", true, "High", 21},
    {"x264 baseline", Codec::H264, "-c:v libx264 -profile:v baseline", false, "Constrained Baseline"},
    {"x265 B-frames", Codec::Hevc, "-c:v libx265 -x265-params log-level=none:bframes=3:keyint=15", false,
     "Main", 30},
};

std::string encode(const mvtest::TempDir& dir, const Encoding& e, const char* suffix) {
  const std::string path = dir.file(std::string("stream") + suffix);
  int status = 0;
  mvtest::runCommand(
      std::string("ffmpeg -v error -y -f lavfi -i testsrc=s=64x48:r=25 -t 1.6 -pix_fmt yuv420p ") + e.args +
          " '" + path + "' 2>&1",
      &status);
  EXPECT_EQ(status, 0) << e.name;
  return path;
}

TEST(AvcPictures, AnnexBStreamsCutAsFfprobeDecodes) {
  if (!mvtest::haveProgram("ffmpeg") || !mvtest::haveProgram("ffprobe"))
    GTEST_SKIP() << "ffmpeg not installed";
  mvtest::TempDir dir;
  for (const Encoding& e : kEncodings) {
    const std::string path = encode(dir, e, e.codec == Codec::H264 ? ".264" : ".265");
    const Bytes es = mvtest::readFile(path);
    const std::vector<Frame> frames = probedFrames(path);
    ASSERT_GT(frames.size(), 20u) << e.name;
    for (size_t piece : {size_t(1), size_t(13), es.size()}) {
      mv::codec::StreamInfo info;
      const std::vector<AccessUnit> units = cut(e.codec, es, piece, &info);
      ASSERT_EQ(units.size(), frames.size()) << e.name << " in pieces of " << piece;
      for (size_t i = 0; i < units.size(); ++i) {
        // ffprobe places an HEVC picture but the first after the first zero of a four-byte start code.
        const bool shifted = e.codec == Codec::Hevc && i > 0 && es[units[i].start + 2] == 0;
        EXPECT_EQ(units[i].start + (shifted ? 1 : 0), frames[i].pos) << e.name << " picture " << i;
        EXPECT_EQ(mv::codec::typeName(units[i].type), frames[i].type) << e.name << " picture " << i;
        EXPECT_EQ(units[i].key, frames[i].key) << e.name << " picture " << i;
        EXPECT_EQ(units[i].fields, 2);
      }
      EXPECT_EQ(info.width, 64) << e.name;
      EXPECT_EQ(info.height, 48) << e.name;
      EXPECT_EQ(info.interlaced, e.interlaced) << e.name;
      EXPECT_EQ(info.profile, e.profile) << e.name;
      EXPECT_EQ(info.level, e.level) << e.name;
      EXPECT_EQ(info.rateNum, 25u) << e.name;
      EXPECT_EQ(info.rateDen, 1u) << e.name;
    }
    readDamaged(Bytes(es.begin(), es.begin() + long(std::min<size_t>(es.size(), 3000))), 40);
  }
}

TEST(AvcPictures, Mp4SamplesReadAsFfprobeDecodes) {
  if (!mvtest::haveProgram("ffmpeg") || !mvtest::haveProgram("ffprobe"))
    GTEST_SKIP() << "ffmpeg not installed";
  mvtest::TempDir dir;
  for (const Encoding& e : kEncodings) {
    const std::string path = encode(dir, e, ".mp4");
    const Bytes file = mvtest::readFile(path);
    TrackCoding coding{e.codec, boxPayload(file, e.codec == Codec::H264 ? "avcC" : "hvcC"), true};
    ASSERT_FALSE(coding.config.empty()) << e.name;
    PictureReader reader(coding);
    const std::vector<Frame> frames = probedFrames(path);
    const auto samples = packets(path);
    ASSERT_EQ(samples.size(), frames.size()) << e.name;
    for (size_t i = 0; i < samples.size(); ++i) {
      const auto [pos, size] = samples[i];
      ASSERT_LE(pos + size, file.size());
      ASSERT_EQ(pos, frames[i].pos);
      const PictureReader::Probe probe = probePicture(reader, file.data() + pos, size);
      EXPECT_EQ(mv::codec::typeName(probe.type), frames[i].type) << e.name << " sample " << i;
      EXPECT_EQ(probe.key, frames[i].key) << e.name << " sample " << i;
    }
    const mv::codec::StreamInfo info = reader.info();
    EXPECT_EQ(info.width, 64) << e.name;
    EXPECT_EQ(info.height, 48) << e.name;
    EXPECT_EQ(info.profile, e.profile) << e.name;
  }
}

// Exp-Golomb and fixed-width fields, most significant bit first, closed by a stop bit.
class BitWriter {
 public:
  BitWriter& u(int count, uint32_t v) {
    for (int i = count - 1; i >= 0; --i) bits_.push_back((v >> i) & 1);
    return *this;
  }
  BitWriter& ue(uint32_t v) {
    const uint32_t x = v + 1;
    int len = 0;
    while ((x >> len) > 1) ++len;
    return u(len, 0).u(len + 1, x);
  }
  Bytes nal(Bytes header) {
    std::vector<bool> b = bits_;
    b.push_back(true);
    while (b.size() % 8) b.push_back(false);
    for (size_t i = 0; i < b.size(); i += 8) {
      uint8_t v = 0;
      for (size_t j = 0; j < 8; ++j) v = uint8_t(v << 1 | b[i + j]);
      header.push_back(v);
    }
    return header;
  }

 private:
  std::vector<bool> bits_;
};

Bytes h264Slice(int nalType, uint32_t firstMb, uint32_t sliceType) {
  return BitWriter().ue(firstMb).ue(sliceType).ue(0).u(4, 0).nal({uint8_t(0x60 | nalType)});
}

Bytes annexB(const std::vector<Bytes>& nals) {
  Bytes out;
  for (const Bytes& n : nals) {
    out.insert(out.end(), {0, 0, 0, 1});
    out.insert(out.end(), n.begin(), n.end());
  }
  return out;
}

Bytes lengthPrefixed(const std::vector<Bytes>& nals) {
  mvtest::ByteWriter w;
  for (const Bytes& n : nals) w.u32be(uint32_t(n.size())).bytes(n);
  return w.take();
}

struct PictureCase {
  const char* name;
  std::vector<Bytes> nals;
  PictureType type;
  bool key;
};

// The picture's type and key read from its NAL units as MP4 and as Annex B store them.
void expectPicture(const PictureCase& c, Codec codec, const Bytes& config = {}) {
  for (bool prefixed : {false, true}) {
    PictureReader reader(TrackCoding{codec, config, prefixed});
    const Bytes p = prefixed ? lengthPrefixed(c.nals) : annexB(c.nals);
    const PictureReader::Probe probe = probePicture(reader, p.data(), p.size());
    EXPECT_EQ(probe.type, c.type) << c.name << (prefixed ? " length-prefixed" : " Annex B");
    EXPECT_EQ(probe.key, c.key) << c.name << (prefixed ? " length-prefixed" : " Annex B");
  }
}

const Bytes kRecoveryPointSei = {0x06, 0x06, 0x02, 0x80, 0x00, 0x80};
const Bytes kUserDataSei = {0x06, 0x05, 0x03, 0x11, 0x22, 0x33, 0x80};

TEST(AvcPictures, H264SliceTypesAndKeys) {
  const PictureCase cases[] = {
      {"SP slice", {h264Slice(1, 0, 3)}, PictureType::P, false},
      {"SI slice", {h264Slice(1, 0, 4)}, PictureType::I, false},
      {"SP, all slices alike", {h264Slice(1, 0, 8)}, PictureType::P, false},
      {"SI, all slices alike", {h264Slice(1, 0, 9)}, PictureType::I, false},
      {"B", {h264Slice(1, 0, 6)}, PictureType::B, false},
      {"IDR", {h264Slice(5, 0, 7)}, PictureType::I, true},
      {"I with a recovery point",
       {kUserDataSei, kRecoveryPointSei, h264Slice(1, 0, 2)},
       PictureType::I,
       true},
      {"I without one", {kUserDataSei, h264Slice(1, 0, 2)}, PictureType::I, false},
      {"P with a recovery point", {kRecoveryPointSei, h264Slice(1, 0, 0)}, PictureType::P, false},
      {"slice type out of range", {h264Slice(1, 0, 10)}, PictureType::None, false},
  };
  for (const auto& c : cases) {
    expectPicture(c, Codec::H264);
    std::vector<Bytes> two = c.nals;
    two.insert(two.end(), c.nals.begin(), c.nals.end());
    const std::vector<AccessUnit> units = cut(Codec::H264, annexB(two), 5);
    ASSERT_EQ(units.size(), 2u) << c.name;
    EXPECT_EQ(units[1].type, c.type) << c.name;
    EXPECT_EQ(units[1].key, c.key) << c.name;
  }
}

// An HEVC stream of 64x48 in 16x16 blocks (12 of them: 4-bit slice addresses) whose PPS allows
// dependent slice segments and two extra slice header bits.
Bytes hevcSps() {
  BitWriter b;
  b.u(4, 0).u(3, 0).u(1, 1);                                                    // VPS id, sub-layers, nesting
  b.u(2, 0).u(1, 0).u(5, 1).u(32, 0x60000000).u(16, 0x9000).u(32, 0).u(8, 30);  // Main, level 1
  b.ue(0).ue(1).ue(64).ue(48).u(1, 0).ue(0).ue(0).ue(4).u(1, 1).ue(0).ue(0).ue(0).ue(0).ue(1);
  return b.nal({0x42, 0x01});
}
Bytes hevcPps() { return BitWriter().ue(0).ue(0).u(1, 1).u(1, 0).u(3, 2).nal({0x44, 0x01}); }

Bytes hevcSegment(int nalType, bool first, bool dependent, uint32_t address, uint32_t sliceType) {
  BitWriter b;
  b.u(1, first);
  if (nalType >= 16 && nalType <= 23) b.u(1, 0);
  b.ue(0);
  if (!first) b.u(1, dependent).u(4, address);
  if (!dependent) b.u(2, 0).ue(sliceType);
  b.u(8, 0xA5);
  return b.nal({uint8_t(nalType << 1), 0x01});
}

TEST(AvcPictures, HevcDependentSliceSegments) {
  const Bytes irap = hevcSegment(19, true, false, 0, 2);
  const Bytes trailing = hevcSegment(1, true, false, 0, 1);
  const Bytes dependent = hevcSegment(1, false, true, 3, 0);
  const Bytes secondB = hevcSegment(1, false, false, 7, 0);
  const PictureCase cases[] = {
      {"IRAP then dependent segments", {irap, dependent, dependent}, PictureType::I, true},
      {"P then dependent segments", {trailing, dependent}, PictureType::P, false},
      // A picture seen from its middle: the dependent segment carries no type of its own.
      {"dependent, then an independent B", {dependent, secondB}, PictureType::B, false},
  };
  for (const auto& c : cases) expectPicture(c, Codec::Hevc, annexB({hevcSps(), hevcPps()}));
  // Segments that do not begin a picture never cut it.
  const std::vector<AccessUnit> units =
      cut(Codec::Hevc,
          annexB({hevcSps(), hevcPps(), irap, dependent, secondB, trailing, dependent, dependent}), 3);
  ASSERT_EQ(units.size(), 2u);
  EXPECT_EQ(units[0].start, 0u);
  // A second layer's slice, SPS and PPS stay in the base layer's picture and change no state.
  Bytes layer1 = trailing, layer1Sps = hevcSps(),
        layer1Pps = BitWriter().ue(0).ue(0).u(5, 0).nal({0x44, 0x09});
  layer1[1] = layer1Sps[1] = 0x09;
  const std::vector<AccessUnit> layered =
      cut(Codec::Hevc,
          annexB({hevcSps(), hevcPps(), irap, layer1Sps, layer1Pps, layer1, trailing, dependent}), 2);
  ASSERT_EQ(layered.size(), 2u);
  EXPECT_EQ(layered[1].type, PictureType::P);
  EXPECT_EQ(units[0].type, PictureType::I);
  EXPECT_TRUE(units[0].key);
  EXPECT_EQ(units[1].type, PictureType::P);
  EXPECT_FALSE(units[1].key);
}

TEST(AvcPictures, HevcRateFromTheVpsWhenTheSpsHasNone) {
  BitWriter vps;
  vps.u(4, 0).u(2, 3).u(6, 0).u(3, 0).u(1, 1).u(16, 0xFFFF);
  vps.u(8, 1).u(32, 0x60000000).u(16, 0x9000).u(32, 0).u(8, 30);  // Main, level 1
  vps.u(1, 1).ue(0).ue(0).ue(0).u(6, 0).ue(0).u(1, 1).u(32, 1001).u(32, 30000).u(1, 0);
  PictureReader reader(
      TrackCoding{Codec::Hevc, annexB({vps.nal({0x40, 0x01}), hevcSps(), hevcPps()}), false});
  const mv::codec::StreamInfo info = reader.info();
  EXPECT_EQ(info.rateNum, 30000u);
  EXPECT_EQ(info.rateDen, 1001u);
  EXPECT_EQ(info.width, 64);
  EXPECT_EQ(info.profile, "Main");
}

TEST(AvcPictures, SliceBeyondTheFirstBytesIsReadFurtherIn) {
  Bytes longSei = {0x06, 0x05, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x06};  // 1536 bytes of user data
  longSei.resize(longSei.size() + 1536, 0x55);
  longSei.push_back(0x80);
  const Bytes p = lengthPrefixed({longSei, kRecoveryPointSei, h264Slice(1, 0, 2)});
  PictureReader reader(TrackCoding{Codec::H264, {}, true});
  const PictureReader::Probe first = reader.probe(p.data(), PictureReader::kHeadBytes, 0, p.size());
  EXPECT_EQ(first.type, PictureType::None);
  EXPECT_EQ(first.readAt, 4 + longSei.size());
  const PictureReader::Probe second =
      reader.probe(p.data() + first.readAt, p.size() - first.readAt, first.readAt, p.size());
  EXPECT_EQ(second.type, PictureType::I);
  EXPECT_TRUE(second.key);
  // The same in Annex B: the look goes on from the last bytes it had.
  const Bytes a = annexB({longSei, h264Slice(1, 0, 1)});
  PictureReader annex(TrackCoding{Codec::H264, {}, false});
  EXPECT_EQ(probePicture(annex, a.data(), a.size()).type, PictureType::B);
}

TEST(AvcPictures, PicturesCutByTheEndOfTheData) {
  const Bytes slice = h264Slice(1, 0, 1);
  const Bytes sps = {0x67, 0x64, 0x00, 0x0A, 0xAC, 0xD9, 0x44, 0x7B, 0x01, 0x10};
  for (bool prefixed : {false, true}) {
    const Bytes whole = prefixed ? lengthPrefixed({sps, slice}) : annexB({sps, slice});
    // Every length of the picture: a type only once the slice header is there, no further look
    // beyond the picture's end, never a read outside the bytes (the ASan build).
    for (size_t n = 1; n <= whole.size(); ++n) {
      PictureReader reader(TrackCoding{Codec::H264, {}, prefixed});
      const Bytes p(whole.begin(), whole.begin() + long(n));
      const PictureReader::Probe probe = reader.probe(p.data(), n, 0, n);
      EXPECT_EQ(probe.readAt, 0u) << n;
      if (n == whole.size()) {
        EXPECT_EQ(probe.type, PictureType::B);
      }
    }
  }
  // The stream ends in a slice whose first_mb_in_slice (0) is there but not its type: a picture
  // of its own, untyped; a slice without even that stays in the picture before it.
  const std::vector<AccessUnit> units = cut(Codec::H264, annexB({slice, slice, {0x21}, {0x21, 0x80}}), 4);
  ASSERT_EQ(units.size(), 3u);
  EXPECT_EQ(units[1].type, PictureType::B);
  EXPECT_EQ(units[2].type, PictureType::None);
}

TEST(AvcPictures, DamagedStreamsNeverCrash) {
  readDamaged(annexB({hevcSps(), hevcPps(), hevcSegment(19, true, false, 0, 2), kRecoveryPointSei,
                      hevcSegment(1, false, false, 15, 1)}),
              400);
}

}  // namespace
