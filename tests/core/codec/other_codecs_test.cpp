// Picture types of VP8, VP9, AV1, RealVideo and VC-1 read from the first bytes of each picture:
// against ffprobe's decoded types for files ffmpeg writes, and against pictures built bit by bit
// for what no encoder here writes.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "codec/picture.h"
#include "fixtures/byte_writer.h"

namespace {

using mv::codec::Codec;
using mv::codec::PictureReader;
using mv::codec::PictureType;
using mv::codec::TrackCoding;
using mvtest::Bytes;

PictureReader::Probe probe(PictureReader& r, const Bytes& b) {
  return r.probe(b.data(), std::min(b.size(), PictureReader::kHeadBytes), 0, b.size());
}

// Bits most significant first, for headers built field by field.
class BitWriter {
 public:
  BitWriter& put(uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) {
      if (bits_ % 8 == 0) b_.push_back(0);
      b_.back() |= uint8_t(((value >> i) & 1) << (7 - bits_ % 8));
      ++bits_;
    }
    return *this;
  }
  BitWriter& bytes(const Bytes& v) {
    for (uint8_t x : v) put(x, 8);
    return *this;
  }
  // Ones after the last field, so that a reader misplaced by a bit reads a wrong type.
  Bytes take() {
    while (bits_ % 8) put(1, 1);
    put(0xFFFF, 16);
    return b_;
  }

 private:
  Bytes b_;
  size_t bits_ = 0;
};

// A picture built by hand and the type and key its reader must find.
struct HeaderCase {
  const char* name;
  Codec codec;
  Bytes config;
  Bytes picture;
  PictureType type;
  bool key;
};

template <size_t N>
void expectTypes(const HeaderCase (&cases)[N]) {
  for (const HeaderCase& c : cases) {
    SCOPED_TRACE(c.name);
    PictureReader reader(TrackCoding{c.codec, c.config});
    const PictureReader::Probe got = probe(reader, c.picture);
    EXPECT_EQ(got.type, c.type);
    EXPECT_EQ(got.key, c.key);
  }
}

// ---- Files ffmpeg writes, each packet against ffprobe's decoded picture of the same position.

struct Packet {
  uint64_t pos = 0;
  Bytes data;
};

std::vector<Packet> packetsOf(const std::string& path) {
  std::istringstream in(
      mvtest::runCommand("ffprobe -v error -select_streams v:0 -show_packets -show_data "
                         "-show_entries packet=pos,data '" +
                         path + "'"));
  std::vector<Packet> out;
  for (std::string line; std::getline(in, line);) {
    if (line == "[PACKET]")
      out.emplace_back();
    else if (line.rfind("pos=", 0) == 0 && !out.empty())
      out.back().pos = std::stoull(line.substr(4));
    else if (line.size() > 10 && line[8] == ':' && !out.empty()) {
      const std::string hex = line.substr(10, 40);
      for (size_t i = 0; i + 1 < hex.size(); ++i) {
        if (hex[i] == ' ') continue;
        out.back().data.push_back(uint8_t(std::stoi(hex.substr(i, 2), nullptr, 16)));
        ++i;
      }
    }
  }
  return out;
}

struct Decoded {
  std::string type;
  bool key = false;
};

std::map<uint64_t, Decoded> framesOf(const std::string& path) {
  std::istringstream in(
      mvtest::runCommand("ffprobe -v error -select_streams v:0 -show_frames -show_entries "
                         "frame=key_frame,pkt_pos,pict_type -of csv=p=0 '" +
                         path + "'"));
  std::map<uint64_t, Decoded> out;
  for (std::string line; std::getline(in, line);) {
    std::istringstream f(line);
    std::string key, pos, type;
    if (std::getline(f, key, ',') && std::getline(f, pos, ',') && std::getline(f, type, ',') && !pos.empty())
      out[std::stoull(pos)] = {type, key == "1"};
  }
  return out;
}

TEST(OtherCodecs, TypesOfEncodedFilesMatchTheDecoder) {
  if (!mvtest::haveProgram("ffmpeg") || !mvtest::haveProgram("ffprobe"))
    GTEST_SKIP() << "ffmpeg not installed";
  mvtest::TempDir dir;
  const struct {
    const char* name;
    Codec codec;
    const char* args;
    int height = 48;  // SVT-AV1 codes no less than 64
  } cases[] = {
      {"vp8.ivf", Codec::Vp8, "-c:v libvpx -auto-alt-ref 1 -lag-in-frames 16 -g 20"},
      {"vp8.webm", Codec::Vp8, "-c:v libvpx -auto-alt-ref 1 -lag-in-frames 16 -g 20"},
      {"vp9.ivf", Codec::Vp9, "-c:v libvpx-vp9 -auto-alt-ref 1 -lag-in-frames 16 -g 20"},
      {"vp9.webm", Codec::Vp9, "-c:v libvpx-vp9 -auto-alt-ref 1 -lag-in-frames 16 -g 20"},
      {"av1.ivf", Codec::Av1, "-c:v libaom-av1 -cpu-used 8 -g 20"},
      // Hidden frames shown later by a frame header of a few bytes (show_existing_frame).
      {"av1-svt.ivf", Codec::Av1, "-c:v libsvtav1 -g 20", 64},
      {"rv20.rm", Codec::RealVideo2, "-c:v rv20 -g 10"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.file(c.name);
    int status = 0;
    mvtest::runCommand(std::string("ffmpeg -v error -y -f lavfi -i testsrc=s=64x") +
                           std::to_string(c.height) + ":r=25 -t 1.6 -pix_fmt yuv420p " + c.args + " '" +
                           path + "' 2>&1",
                       &status);
    if (status != 0) {
      ADD_FAILURE() << "ffmpeg could not write it";
      continue;
    }
    const std::vector<Packet> packets = packetsOf(path);
    const std::map<uint64_t, Decoded> frames = framesOf(path);
    const Bytes file = mvtest::readFile(path);
    PictureReader reader(TrackCoding{c.codec});
    size_t compared = 0, intra = 0;
    for (const Packet& p : packets) {
      const PictureReader::Probe got = probe(reader, p.data);
      const auto f = frames.find(p.pos);
      if (f == frames.end()) continue;
      ++compared;
      intra += got.type == PictureType::I;
      EXPECT_EQ(mv::codec::typeName(got.type), f->second.type) << "packet at " << p.pos;
      EXPECT_EQ(got.key, f->second.key) << "packet at " << p.pos;
      // The same frame as it lies in the file: ffmpeg's muxer puts a media packet header and a
      // seven-byte video packet header before the bitstream ffprobe's position names.
      if (c.codec == Codec::RealVideo2 && p.pos >= 19) {
        const Bytes stored(file.begin() + ptrdiff_t(p.pos - 19), file.begin() + ptrdiff_t(p.pos + 8));
        EXPECT_EQ(probe(reader, stored).type, got.type) << "stored packet at " << p.pos - 19;
      }
    }
    EXPECT_GE(compared, 30u);
    EXPECT_GE(intra, 2u);
    if (c.codec != Codec::RealVideo2) {
      EXPECT_EQ(reader.info().width, 64);
      EXPECT_EQ(reader.info().height, c.height);
    }
  }
}

// ---- VP8, VP9, AV1 headers no encoder here writes.

TEST(OtherCodecs, VpxAndAv1HeadersByHand) {
  const auto obu = [](uint8_t header, const Bytes& body) {
    Bytes out = {header, uint8_t(body.size())};
    out.insert(out.end(), body.begin(), body.end());
    return out;
  };
  // Profile 0, still picture with the reduced header, level 0, six-bit sizes: 64 x 48.
  const Bytes av1SeqHeaderObu = obu(
      0x0A,
      BitWriter().put(0, 3).put(1, 1).put(1, 1).put(0, 5).put(5, 4).put(5, 4).put(63, 6).put(47, 6).take());
  const Bytes av1FullSeqHeaderObu = [&] {
    // Not reduced: timing info 1/30, one operating point at level 8 (with a tier bit).
    BitWriter w;
    w.put(1, 3).put(0, 1).put(0, 1).put(1, 1).put(1, 32).put(30, 32).put(0, 1).put(0, 1);
    w.put(0, 1).put(0, 5).put(0, 12).put(8, 5).put(0, 1).put(15, 4).put(15, 4).put(63, 16).put(47, 16);
    return obu(0x0A, w.take());
  }();
  const auto frameObu = [](uint8_t firstByte) { return Bytes{0x32, 0x02, firstByte, 0xFF}; };
  const Bytes temporalDelimiter = {0x12, 0x00};
  const auto join = [](std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
  };
  Bytes av1C = {0x81, 0x00, 0x0C, 0x00};
  av1C.insert(av1C.end(), av1FullSeqHeaderObu.begin(), av1FullSeqHeaderObu.end());

  const HeaderCase cases[] = {
      // VP8: an inter frame that is not shown (an alt-ref) is still a picture.
      {"vp8 key",
       Codec::Vp8,
       {},
       {0x50, 0x02, 0x00, 0x9D, 0x01, 0x2A, 0x40, 0x00, 0x30, 0x00},
       PictureType::I,
       true},
      {"vp8 hidden alt-ref", Codec::Vp8, {}, {0x01, 0x05, 0x00, 0xFF}, PictureType::P, false},
      // VP9: marker 10, profile bits, show_existing_frame, frame_type, show_frame, error_res.
      {"vp9 show existing", Codec::Vp9, {}, {0b10'00'1'000, 0x00}, PictureType::P, false},
      {"vp9 intra only", Codec::Vp9, {}, {0b10'00'0'1'0'0, 0b1'00'00000, 0xFF}, PictureType::I, false},
      {"vp9 hidden inter", Codec::Vp9, {}, {0b10'00'0'1'0'0, 0b0'00'00000, 0xFF}, PictureType::P, false},
      {"vp9 profile 3 inter", Codec::Vp9, {}, {0b10'11'0'0'1'1, 0b0'000'0000, 0xFF}, PictureType::P, false},
      {"vp9 profile 3 key", Codec::Vp9, {}, {0b10'11'0'0'0'1, 0b1'0000000, 0xFF}, PictureType::I, true},
      {"vp9 no marker", Codec::Vp9, {}, {0x00, 0x00}, PictureType::None, false},
      // AV1: a key frame after a sequence header, an inter frame, show_existing_frame, switch and
      // intra-only frames; a reduced still picture header has none of these fields.
      {"av1 key",
       Codec::Av1,
       {},
       join({temporalDelimiter, av1FullSeqHeaderObu, frameObu(0b0'00'10000)}),
       PictureType::I,
       true},
      {"av1 inter", Codec::Av1, {}, join({temporalDelimiter, frameObu(0b0'01'10000)}), PictureType::P, false},
      {"av1 intra only",
       Codec::Av1,
       {},
       join({temporalDelimiter, frameObu(0b0'10'00000)}),
       PictureType::I,
       false},
      {"av1 switch",
       Codec::Av1,
       {},
       join({temporalDelimiter, frameObu(0b0'11'10000)}),
       PictureType::P,
       false},
      {"av1 show existing",
       Codec::Av1,
       {},
       join({temporalDelimiter, frameObu(0b1'00'00000)}),
       PictureType::P,
       false},
      {"av1 extension header",
       Codec::Av1,
       {},
       join({{0x16, 0x00, 0x00}, {0x36, 0x20, 0x02, 0x20, 0xFF}}),
       PictureType::P,
       false},
      {"av1 reduced still picture", Codec::Av1, av1SeqHeaderObu, frameObu(0b1'11'00000), PictureType::I,
       true},
      {"av1 av1C before an inter frame", Codec::Av1, av1C, frameObu(0b0'01'00000), PictureType::P, false},
      {"av1 no frame header",
       Codec::Av1,
       {},
       join({temporalDelimiter, temporalDelimiter}),
       PictureType::None,
       false},
  };
  expectTypes(cases);

  PictureReader vp8(TrackCoding{Codec::Vp8});
  probe(vp8, cases[0].picture);
  EXPECT_EQ(vp8.info().width, 64);
  EXPECT_EQ(vp8.info().height, 48);
  PictureReader av1(TrackCoding{Codec::Av1, av1C});
  EXPECT_EQ(av1.info().width, 64);
  EXPECT_EQ(av1.info().height, 48);
  EXPECT_EQ(av1.info().rateNum, 30u);
  EXPECT_EQ(av1.info().rateDen, 1u);
  EXPECT_EQ(av1.info().level, 8);
  EXPECT_EQ(av1.info().profile, "High");
}

// Metadata longer than the bytes looked at: the frame header is looked for after it.
TEST(OtherCodecs, Av1LooksPastLongObus) {
  Bytes picture = {0x12, 0x00, 0x2A, 0xD0, 0x0F};  // temporal delimiter; metadata of 2000 bytes
  picture.resize(5 + 2000, 0x55);
  picture.insert(picture.end(), {0x32, 0x02, 0x20, 0xFF});  // an inter frame
  PictureReader reader(TrackCoding{Codec::Av1});
  const PictureReader::Probe first = probe(reader, picture);
  EXPECT_EQ(first.type, PictureType::None);
  ASSERT_EQ(first.readAt, 2005u);
  const PictureReader::Probe then = reader.probe(picture.data() + first.readAt, picture.size() - first.readAt,
                                                 first.readAt, picture.size());
  EXPECT_EQ(then.type, PictureType::P);
}

// ---- RealVideo 3 and 4 (no encoder), and frames as they lie in a RealMedia file.

TEST(OtherCodecs, RealVideoFrameHeaders) {
  // As a demuxer hands a frame on: slice count less one, then a 1 and an offset a slice.
  const auto handedOn = [](Bytes header) {
    Bytes b = {0x00, 1, 0, 0, 0, 0, 0, 0, 0};
    b.insert(b.end(), header.begin(), header.end());
    return b;
  };
  // As in a RealMedia file: the media packet header, then a whole-frame video packet header.
  const auto wholePacket = [](Bytes header) {
    Bytes b = {0x00, 0x00, 0x00, uint8_t(14 + header.size()), 0x00, 0x00, 0, 0, 0x10, 0x00, 0x00,
               0x02, 0x40, 0x07};
    b.insert(b.end(), header.begin(), header.end());
    return b;
  };
  // The first part of a frame cut over packets: lengths and positions of 2 and 4 bytes.
  const auto firstPart = [](Bytes header) {
    Bytes b = {0x00, 0x00, 0x00, uint8_t(21 + header.size()),
               0x00, 0x00, 0,    0,
               0x10, 0x00, 0x00, 0x02,
               0x01, 0x07, 0x05, 0x00,
               0x00, 0x00, 0x40, 0x00,
               0x09};
    b.insert(b.end(), header.begin(), header.end());
    return b;
  };
  const struct {
    const char* name;
    Codec codec;
    Bytes picture;
    PictureType type;
  } cases[] = {
      // RealVideo 4: a zero bit, then the type in two bits (0 and 1 intra, 2 inter, 3 B).
      {"rv40 intra", Codec::RealVideo4, handedOn({0b0'00'11111, 0xFF}), PictureType::I},
      {"rv40 intra 1", Codec::RealVideo4, handedOn({0b0'01'11111, 0xFF}), PictureType::I},
      {"rv40 inter", Codec::RealVideo4, handedOn({0b0'10'11111, 0xFF}), PictureType::P},
      {"rv40 B", Codec::RealVideo4, handedOn({0b0'11'00000, 0xFF}), PictureType::B},
      {"rv40 bad first bit", Codec::RealVideo4, handedOn({0b1'10'00000, 0xFF}), PictureType::None},
      // RealVideo 3: three bits, then the type.
      {"rv30 intra", Codec::RealVideo3, handedOn({0b111'00'111, 0xFF}), PictureType::I},
      {"rv30 inter", Codec::RealVideo3, handedOn({0b111'10'111, 0xFF}), PictureType::P},
      {"rv30 B", Codec::RealVideo3, handedOn({0b000'11'000, 0xFF}), PictureType::B},
      {"rv30 two slices",
       Codec::RealVideo3,
       {0x01, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 9, 0, 0, 0, 0b000'11'000},
       PictureType::B},
      {"rv40 in a packet", Codec::RealVideo4, wholePacket({0b0'11'00000}), PictureType::B},
      {"rv40 in a first part", Codec::RealVideo4, firstPart({0b0'10'00000}), PictureType::P},
      {"rv20 in a packet", Codec::RealVideo2, wholePacket({0b11'000000}), PictureType::B},
      {"rv20 in a first part", Codec::RealVideo2, firstPart({0b01'000000}), PictureType::I},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PictureReader reader(TrackCoding{c.codec});
    EXPECT_EQ(probe(reader, c.picture).type, c.type);
  }

  const Bytes rv40Data = mvtest::ByteWriter()
                             .u32be(34)
                             .chars("VIDORV40")
                             .u16be(64)
                             .u16be(48)
                             .u16be(12)
                             .zeros(4)
                             .u32be(25u << 16)
                             .zeros(8)
                             .take();
  PictureReader rv40(TrackCoding{Codec::RealVideo4, rv40Data});
  EXPECT_EQ(rv40.info().width, 64);
  EXPECT_EQ(rv40.info().height, 48);
  EXPECT_EQ(rv40.info().rateNum, 25u * 65536);
  EXPECT_EQ(rv40.info().rateDen, 65536u);
}

// ---- VC-1 (no encoder): simple/main profile with the four-byte sequence header, advanced profile
// with start codes.

Bytes wmv3Config(uint32_t profile, bool rangeRed, uint32_t maxB, bool interp) {
  // Every flag not asked for set, so that a field read from the wrong place shows.
  return BitWriter()
      .put(profile, 4)
      .put(7, 3)
      .put(31, 5)
      .put(0xFFF, 12)  // LOOPFILTER ... SYNCMARKER
      .put(rangeRed, 1)
      .put(maxB, 3)
      .put(3, 2)
      .put(interp, 1)
      .put(1, 1)
      .take();
}

Bytes advancedSequence(bool interlace) {
  // Level 2, 64 x 48, display extension with 25 frames a second.
  BitWriter w;
  w.put(0, 8).put(0, 8).put(1, 8).put(0x0F, 8);
  w.put(3, 2).put(2, 3).put(1, 2).put(0, 3).put(0, 5).put(0, 1).put(31, 12).put(23, 12);
  w.put(0, 1).put(interlace, 1).put(0, 1).put(0, 1).put(1, 1).put(0, 1);
  w.put(1, 1).put(63, 14).put(47, 14).put(0, 1).put(1, 1).put(0, 1).put(2, 8).put(1, 4);
  w.put(0, 1).put(0, 1);  // HRD_PARAM_FLAG ...
  Bytes b = w.take();
  // An entry point after it.
  b.insert(b.end(), {0x00, 0x00, 0x01, 0x0E, 0x48, 0x00, 0x00, 0x80});
  return b;
}

using Fields = std::initializer_list<std::pair<uint32_t, int>>;

// A picture header of (value, bits) fields, after a frame start code when `startCode`.
Bytes pictureBits(Fields fields, bool startCode = false) {
  BitWriter w;
  if (startCode) w.put(0x0000010D, 32);
  for (const auto& [v, n] : fields) w.put(v, n);
  return w.take();
}
Bytes advancedFrame(Fields fields) { return pictureBits(fields, true); }

TEST(OtherCodecs, Vc1PictureLayer) {
  const Bytes simple = wmv3Config(0, false, 0, false);
  const Bytes mainB = wmv3Config(4, true, 2, true);
  const Bytes progressive = advancedSequence(false);
  const Bytes interlaced = advancedSequence(true);
  const auto wmv3 = [](Fields fields) { return pictureBits(fields); };
  Bytes inBand = progressive;  // a key frame carrying its own sequence header
  const Bytes inBandI = advancedFrame({{0b110, 3}});
  inBand.insert(inBand.end(), inBandI.begin(), inBandI.end());

  const HeaderCase cases[] = {
      // Simple: FRMCNT, then PTYPE 0 I / 1 P.
      {"simple I", Codec::Wmv3, simple, wmv3({{3, 2}, {0, 1}, {0, 7}}), PictureType::I, true},
      {"simple P", Codec::Wmv3, simple, wmv3({{0, 2}, {1, 1}}), PictureType::P, false},
      // Main with B-frames, range reduction and frame interpolation: INTERPFRM, FRMCNT,
      // RANGEREDFRM, then PTYPE 1 P, 01 I, 00 B (BFRACTION 1111111: BI).
      {"main P", Codec::Wmv3, mainB, wmv3({{0, 1}, {0, 2}, {0, 1}, {1, 1}, {0, 7}}), PictureType::P, false},
      {"main I", Codec::Wmv3, mainB, wmv3({{1, 1}, {3, 2}, {1, 1}, {0b01, 2}, {0, 7}}), PictureType::I, true},
      {"main B", Codec::Wmv3, mainB, wmv3({{1, 1}, {3, 2}, {1, 1}, {0b00, 2}, {0b001, 3}, {0, 5}}),
       PictureType::B, false},
      {"main B 7-bit fraction", Codec::Wmv3, mainB,
       wmv3({{1, 1}, {3, 2}, {1, 1}, {0b00, 2}, {0b1111101, 7}, {0, 5}}), PictureType::B, false},
      {"main BI", Codec::Wmv3, mainB, wmv3({{1, 1}, {3, 2}, {1, 1}, {0b00, 2}, {0b1111111, 7}, {0, 5}}),
       PictureType::I, false},
      {"main without config", Codec::Wmv3, {}, wmv3({{0, 2}, {1, 1}, {0, 5}}), PictureType::P, false},
      // Advanced, progressive: PTYPE 0 P, 10 B, 110 I, 1110 BI, 1111 skipped (P).
      {"advanced I", Codec::Vc1, progressive, advancedFrame({{0b110, 3}, {0, 5}}), PictureType::I, true},
      {"advanced P", Codec::Vc1, progressive, advancedFrame({{0b0, 1}}), PictureType::P, false},
      {"advanced B", Codec::Vc1, progressive, advancedFrame({{0b10, 2}, {0, 6}}), PictureType::B, false},
      {"advanced BI", Codec::Vc1, progressive, advancedFrame({{0b1110, 4}, {0, 4}}), PictureType::I, false},
      {"advanced skipped", Codec::Vc1, progressive, advancedFrame({{0b1111, 4}, {0, 4}}), PictureType::P,
       false},
      {"advanced in-band header", Codec::Vc1, {}, inBand, PictureType::I, true},
      {"advanced without start code", Codec::Vc1, progressive, wmv3({{0b10, 2}, {0, 6}}), PictureType::B,
       false},
      // Interlaced: FCM (0 progressive, 10 frame, 11 field) first; a field pair by its first field.
      {"interlaced progressive B", Codec::Vc1, interlaced, advancedFrame({{0, 1}, {0b10, 2}, {0, 5}}),
       PictureType::B, false},
      {"interlaced frame I", Codec::Vc1, interlaced, advancedFrame({{0b10, 2}, {0b110, 3}, {0, 3}}),
       PictureType::I, true},
      {"interlaced fields I/P", Codec::Vc1, interlaced, advancedFrame({{0b11, 2}, {0b001, 3}, {0, 3}}),
       PictureType::I, true},
      {"interlaced fields P/I", Codec::Vc1, interlaced, advancedFrame({{0b11, 2}, {0b010, 3}, {0, 3}}),
       PictureType::P, false},
      {"interlaced fields B/BI", Codec::Vc1, interlaced, advancedFrame({{0b11, 2}, {0b101, 3}, {0, 3}}),
       PictureType::B, false},
      {"interlaced fields BI/B", Codec::Vc1, interlaced, advancedFrame({{0b11, 2}, {0b110, 3}, {0, 3}}),
       PictureType::I, false},
  };
  expectTypes(cases);

  PictureReader adv(TrackCoding{Codec::Vc1, interlaced});
  EXPECT_EQ(adv.info().width, 64);
  EXPECT_EQ(adv.info().height, 48);
  EXPECT_EQ(adv.info().rateNum, 25000u);
  EXPECT_EQ(adv.info().rateDen, 1000u);
  EXPECT_TRUE(adv.info().interlaced);
  EXPECT_EQ(adv.info().level, 2);
  EXPECT_EQ(adv.info().profile, "Advanced");
  EXPECT_EQ(PictureReader(TrackCoding{Codec::Wmv3, mainB}).info().profile, "Main");
}

// ---- Damaged and short pictures: every prefix and garbage, for every codec of the family.

TEST(OtherCodecs, DamagedPicturesNeverReadOutside) {
  const Codec codecs[] = {Codec::Vp8, Codec::Vp9,        Codec::Av1,        Codec::Wmv3,
                          Codec::Vc1, Codec::RealVideo2, Codec::RealVideo3, Codec::RealVideo4};
  std::vector<Bytes> inputs = {
      Bytes(64, 0xFF),
      Bytes(64, 0x00),
      // AV1 OBUs whose sizes run past the end, and a leb128 that never ends.
      {0x32, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F, 0x10},
      {0x0A, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80},
      {0x0A, 0x03, 0x00, 0x00},
      // VC-1 start codes back to back and a sequence header cut short.
      {0, 0, 1, 0x0F, 0, 0, 1, 0x0E, 0, 0, 1, 0x0D},
      {0, 0, 1, 0x0F, 0xC0},
      // A RealMedia packet whose video header lies past its end; a slice count without slices.
      {0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0, 0, 0, 0, 0x00, 0x02, 0x00},
      {0xFF, 1, 0, 0, 0, 0, 0, 0, 0, 0x40},
  };
  uint32_t seed = 12345;
  for (int k = 0; k < 32; ++k) {
    Bytes noise(48);
    for (uint8_t& x : noise) x = uint8_t((seed = seed * 1103515245u + 12345u) >> 16);
    inputs.push_back(noise);
  }
  for (Codec codec : codecs) {
    for (const Bytes& config : {Bytes{}, Bytes(40, 0xFF), inputs[3], inputs[5]}) {
      PictureReader reader(TrackCoding{codec, config});
      for (const Bytes& in : inputs) {
        for (size_t n = 1; n <= in.size(); ++n) {
          // Each prefix in a buffer of its own size, so that ASan sees a read past it.
          const Bytes cut(in.begin(), in.begin() + ptrdiff_t(n));
          const PictureReader::Probe got = reader.probe(cut.data(), cut.size(), 0, cut.size());
          EXPECT_EQ(got.readAt, 0u);
        }
      }
      reader.info();
    }
  }
}

}  // namespace
