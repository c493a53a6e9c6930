// H.263 and its relatives: picture types from picture headers against ffprobe's decoded types,
// and crafted headers for the variants no encoder here writes.
#include <gtest/gtest.h>

#include "codec/picture.h"
#include "fixtures/bit_writer.h"
#include "fixtures/byte_writer.h"
#include "fixtures/probed_pictures.h"

namespace {

using mv::codec::Codec;
using mv::codec::PictureReader;
using mv::codec::PictureType;
using mvtest::BitWriter;
using mvtest::Bytes;

PictureType typeOf(PictureReader& reader, const Bytes& picture) {
  const size_t n = std::min(picture.size(), PictureReader::kHeadBytes);
  const PictureReader::Probe p = reader.probe(picture.data(), n, 0, picture.size());
  EXPECT_EQ(p.key, p.type == PictureType::I);
  return p.type;
}

TEST(H263Family, TypesOfFfmpegFiles) {
  if (!mvtest::haveProgram("ffmpeg") || !mvtest::haveProgram("ffprobe"))
    GTEST_SKIP() << "ffmpeg not installed";
  mvtest::TempDir dir;
  const struct {
    const char* args;
    const char* name;
    Codec codec;
    int width = 0;  // the header's own size, where it has one
  } cases[] = {
      {"-s 128x96 -c:v h263 -g 10", "h263.avi", Codec::H263, 128},
      {"-s 64x48 -c:v h263p -g 10", "h263p.mkv", Codec::H263, 64},
      {"-s 64x48 -c:v flv -g 10", "a.flv", Codec::Flv1, 64},
      {"-s 64x48 -c:v rv10 -g 10", "a.rm", Codec::RealVideo1},
      {"-s 64x48 -c:v msmpeg4 -g 10", "v3.avi", Codec::MsMpeg4v3},
      {"-s 64x48 -c:v msmpeg4v2 -g 10", "v2.avi", Codec::MsMpeg4v2},
      {"-s 64x48 -c:v wmv2 -g 10", "wmv2.avi", Codec::Wmv2},
  };
  for (const auto& c : cases) {
    const std::string path = dir.file(c.name);
    int status = 0;
    mvtest::runCommand(
        std::string("ffmpeg -v error -y -f lavfi -i testsrc=r=25 -t 1.5 ") + c.args + " '" + path + "' 2>&1",
        &status);
    ASSERT_EQ(status, 0) << c.name;
    const auto pictures = mvtest::probedPictures(path);
    ASSERT_GT(pictures.size(), 30u) << c.name;
    PictureReader reader({c.codec, {}, false});
    int intra = 0;
    for (size_t i = 0; i < pictures.size(); ++i) {
      EXPECT_EQ(mv::codec::typeName(typeOf(reader, pictures[i].data)), pictures[i].type)
          << c.name << " " << i;
      intra += pictures[i].type == "I";
    }
    EXPECT_GT(intra, 2) << c.name;
    if (c.width) {
      EXPECT_EQ(reader.info().width, c.width) << c.name;
    }
  }
}

// H.263+ with PLUSPTYPE: the picture type code and a custom size.
Bytes plusPicture(uint32_t typeCode) {
  BitWriter w;
  w.bits(0x20, 22).bits(7, 8).bits(2, 2).bits(0, 3).bits(7, 3);  // PSC, TR, PTYPE with format 7
  w.bits(1, 3).bits(6, 3).bits(0, 11).bits(8, 4);                // UFEP 1, custom format, OPPTYPE
  w.bits(typeCode, 3).bits(1, 6);                                // MPPTYPE
  w.bits(0, 1).bits(1, 4).bits(79, 9).bits(1, 1).bits(60, 9);    // CPM, PAR, 320 x 240
  return w.take();
}

TEST(H263Family, CraftedPictureHeaders) {
  const Bytes flvI = BitWriter().bits(1, 17).bits(0, 5).bits(0, 8).bits(4, 3).bits(0, 2).take();
  const Bytes flvTagged = BitWriter()
                              .bits(0x22, 8)
                              .bits(1, 17)
                              .bits(1, 5)
                              .bits(9, 8)
                              .bits(0, 3)
                              .bits(64, 8)
                              .bits(48, 8)
                              .bits(0, 2)
                              .take();
  const Bytes flvDisposable =
      BitWriter().bits(0x32, 8).bits(1, 17).bits(1, 5).bits(9, 8).bits(6, 3).bits(2, 2).take();
  const struct {
    const char* what;
    Codec codec;
    Bytes picture;
    PictureType type;
  } cases[] = {
      {"H.263+ I", Codec::H263, plusPicture(0), PictureType::I},
      {"H.263+ B", Codec::H263, plusPicture(3), PictureType::B},
      {"H.263+ improved PB", Codec::H263, plusPicture(2), PictureType::P},
      {"H.263+ reserved code", Codec::H263, plusPicture(6), PictureType::None},
      {"no picture start code", Codec::H263, {0x12, 0x34, 0x56, 0x78}, PictureType::None},
      {"Sorenson intra", Codec::Flv1, flvI, PictureType::I},
      {"Sorenson after the FLV tag byte", Codec::Flv1,
       BitWriter().bits(0x22, 8).bits(1, 17).bits(0, 13).bits(3, 3).bits(1, 2).take(), PictureType::P},
      {"Sorenson disposable", Codec::Flv1, flvDisposable, PictureType::P},
      {"MS-MPEG-4 v1 intra", Codec::MsMpeg4v1, BitWriter().bits(0x100, 32).bits(3, 5).bits(0, 2).take(),
       PictureType::I},
      {"MS-MPEG-4 v1 inter", Codec::MsMpeg4v1, BitWriter().bits(0x100, 32).bits(3, 5).bits(1, 2).take(),
       PictureType::P},
      {"MS-MPEG-4 v1 without start code", Codec::MsMpeg4v1, {0x40, 0, 0, 0, 0}, PictureType::None},
      {"WMV1 intra", Codec::Wmv1, BitWriter().bits(0, 2).bits(5, 5).take(), PictureType::I},
      {"WMV1 inter", Codec::Wmv1, BitWriter().bits(1, 2).bits(5, 5).take(), PictureType::P},
      {"WMV1 invalid type", Codec::Wmv1, BitWriter().bits(3, 2).take(), PictureType::None},
      {"RealVideo 1 whole frame of a RealMedia packet",
       Codec::RealVideo1,
       {0x40, 0x01, 0xC0, 0x12},
       PictureType::P},
      {"RealVideo 1 intra after a slice table",
       Codec::RealVideo1,
       {0, 1, 0, 0, 0, 0, 0, 0, 0, 0x80, 0x12},
       PictureType::I},
  };
  for (const auto& c : cases) {
    PictureReader reader({c.codec, {}, false});
    EXPECT_EQ(typeOf(reader, c.picture), c.type) << c.what;
  }
  PictureReader plus({Codec::H263, {}, false});
  typeOf(plus, plusPicture(1));
  EXPECT_EQ(plus.info().width, 320);
  EXPECT_EQ(plus.info().height, 240);
  PictureReader tagged({Codec::Flv1, {}, false});
  EXPECT_EQ(typeOf(tagged, flvTagged), PictureType::I);
  EXPECT_EQ(tagged.info().width, 64);
  EXPECT_EQ(tagged.info().height, 48);
}

// Every prefix of every crafted header, under the sanitizers: no read outside the bytes.
TEST(H263Family, ShortPicturesAreReadWithinTheirBytes) {
  const Bytes picture = plusPicture(3);
  for (Codec codec : {Codec::H263, Codec::Flv1, Codec::RealVideo1, Codec::MsMpeg4v1, Codec::MsMpeg4v2,
                      Codec::MsMpeg4v3, Codec::Wmv1, Codec::Wmv2}) {
    PictureReader reader({codec, {}, false});
    for (size_t n = 1; n <= picture.size(); ++n) {
      const Bytes head(picture.begin(), picture.begin() + long(n));
      reader.probe(head.data(), head.size(), 0, head.size());
    }
    const Bytes table = {200, 1, 0, 0, 0, 0, 0, 0, 0, 0x80};
    reader.probe(table.data(), table.size(), 0, table.size());
  }
}

}  // namespace
