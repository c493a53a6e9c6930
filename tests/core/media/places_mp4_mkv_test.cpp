// Where MP4 and Matroska video units begin: files made by ffmpeg, every picture's type read at
// its place as the frame list reads it, against ffprobe's decoded types; laced blocks crafted.
#include <gtest/gtest.h>

#include <algorithm>

#include "codec/picture.h"
#include "fixtures/byte_writer.h"
#include "fixtures/loaders.h"
#include "fixtures/mkv_builder.h"
#include "fixtures/probed_pictures.h"
#include "mkv/mkv_reader.h"
#include "mp4/mp4_reader.h"

namespace {

using mv::codec::Codec;
using mv::codec::PictureReader;

// The type of the picture at `place`, reading at most its contiguous bytes as the reader asks.
std::string typeAt(PictureReader& reader, const mvtest::Bytes& file, const mv::UnitPlace& place,
                   uint64_t size) {
  return std::string(
      mv::codec::typeName(mvtest::probePicture(reader, file.data() + place.at, place.contiguous, size).type));
}

TEST(PicturePlaces, TypesReadAtEachPlaceMatchFfprobe) {
  if (!mvtest::haveProgram("ffmpeg") || !mvtest::haveProgram("ffprobe"))
    GTEST_SKIP() << "ffmpeg not installed";
  mvtest::TempDir dir;
  const struct {
    const char* name;
    const char* args;
    mv::WalkFunction walk;
    Codec codec;
  } cases[] = {
      {"x264.mp4", "-c:v libx264 -bf 3 -g 12 -x264-params b-adapt=0", mv::walkMp4, Codec::H264},
      {"frag.mp4",
       "-c:v libx264 -bf 2 -g 10 -x264-params b-adapt=0 -movflags frag_keyframe+empty_moov+default_base_moof",
       mv::walkMp4, Codec::H264},
      {"mpeg4.mp4", "-c:v mpeg4 -bf 2 -g 12", mv::walkMp4, Codec::Mpeg4Part2},
      {"x265.mp4", "-c:v libx265 -x265-params log-level=none:bframes=3 -tag:v hvc1", mv::walkMp4,
       Codec::Hevc},
      {"mjpeg.mov", "-c:v mjpeg", mv::walkMp4, Codec::IntraOnly},
      {"x264.mkv", "-c:v libx264 -bf 3 -g 12 -x264-params b-adapt=0", mv::walkMatroska, Codec::H264},
      {"mpeg4.mkv", "-c:v mpeg4 -bf 2 -g 12", mv::walkMatroska, Codec::Mpeg4Part2},
      {"mpeg2.mkv", "-c:v mpeg2video -bf 2 -g 12", mv::walkMatroska, Codec::Mpeg12},
      {"vp8.webm", "-c:v libvpx -g 8 -auto-alt-ref 0", mv::walkMatroska, Codec::Vp8},
      {"x265.mkv", "-c:v libx265 -x265-params log-level=none:bframes=3", mv::walkMatroska, Codec::Hevc},
  };
  for (const auto& c : cases) {
    const std::string path = dir.file(c.name);
    int status = 0;
    mvtest::runCommand(
        std::string("ffmpeg -v error -y -f lavfi -i testsrc=s=128x96:r=25 -f lavfi -i sine -t 2 ") + c.args +
            " '" + path + "' 2>&1",
        &status);
    ASSERT_EQ(status, 0) << c.name;
    const auto pictures = mvtest::probedPictures(path);
    const mvtest::Bytes file = mvtest::readFile(path);

    mv::FileAnalysis plain;
    ASSERT_TRUE(mv::loadWith(c.walk, path, plain).ok()) << c.name;
    EXPECT_TRUE(plain.videoUnits.places.empty()) << c.name;
    EXPECT_EQ(plain.videoCoding.codec, c.codec) << c.name;

    mv::FileAnalysis out;
    out.videoUnits.keepPlaces = true;
    ASSERT_TRUE(mv::loadWith(c.walk, path, out).ok()) << c.name;
    const auto& units = out.videoUnits.units;
    const auto& places = out.videoUnits.places;
    ASSERT_EQ(places.size(), units.size()) << c.name;
    ASSERT_EQ(units.size(), pictures.size()) << c.name;
    EXPECT_TRUE(out.audioUnits.places.empty()) << c.name;
    EXPECT_EQ(out.videoCoding.lengthPrefixed, c.codec == Codec::H264 || c.codec == Codec::Hevc) << c.name;

    PictureReader reader(out.videoCoding);
    int bs = 0;
    for (size_t i = 0; i < units.size(); ++i) {
      const mvtest::Bytes& packet = pictures[i].data;
      ASSERT_EQ(places[i].contiguous, packet.size()) << c.name << " unit " << i;
      ASSERT_LE(places[i].at + places[i].contiguous, file.size()) << c.name << " unit " << i;
      EXPECT_TRUE(std::equal(packet.begin(), packet.end(), file.begin() + ptrdiff_t(places[i].at)))
          << c.name << " unit " << i;
      EXPECT_EQ(typeAt(reader, file, places[i], units[i].bytes), pictures[i].type) << c.name << " unit " << i;
      bs += pictures[i].type == "B";
    }
    if (c.codec == Codec::H264 || c.codec == Codec::Mpeg4Part2) {
      EXPECT_GT(bs, 0) << c.name;
    }
  }
}

// A laced video block: its place is its first frame's, after the lace sizes.
TEST(PicturePlaces, LacedBlocksGiveTheirFirstFrame) {
  namespace mkv = mvtest::mkv;
  mvtest::TempDir dir;
  const mvtest::Bytes avcC = {1, 0x64, 0, 0x1F, 0xFF, 0xE0, 0};
  const struct {
    mkv::Lacing lacing;
    std::vector<uint32_t> frames;
  } cases[] = {
      {mkv::Lacing::None, {300}},
      {mkv::Lacing::Xiph, {300, 20, 40}},
      {mkv::Lacing::Ebml, {300, 20, 40}},
      {mkv::Lacing::Fixed, {60, 60, 60}},
  };
  for (const auto& c : cases) {
    const mvtest::Bytes block = mkv::simpleBlock(1, 0, c.frames, true, c.lacing);
    const mvtest::Bytes file = mkv::concat(
        {mkv::ebmlHeader(),
         mkv::segment({mkv::info(), mkv::tracks({{.codecId = "V_MPEG4/ISO/AVC", .codecPrivate = avcC}}),
                       mkv::cluster(0, {block, mkv::blockGroup(1, 40, c.frames, true, c.lacing)})})});
    const std::string path = dir.file("laced.mkv");
    mvtest::writeFile(path, file);
    mv::FileAnalysis out;
    out.videoUnits.keepPlaces = true;
    ASSERT_TRUE(mv::loadWith(mv::walkMatroska, path, out).ok());
    ASSERT_EQ(out.videoUnits.places.size(), 2u);
    EXPECT_EQ(out.videoCoding.codec, Codec::H264);
    EXPECT_EQ(out.videoCoding.config, avcC);
    // The group's block ends the file less its ReferenceBlock (3 bytes): its frames lie before.
    uint64_t frames = 0;
    for (uint32_t f : c.frames) frames += f;
    const mv::UnitPlace& grouped = out.videoUnits.places[1];
    EXPECT_EQ(grouped.at, file.size() - 3 - frames) << int(c.lacing);
    EXPECT_EQ(grouped.contiguous, c.frames[0]) << int(c.lacing);
    EXPECT_EQ(out.videoUnits.units[1].bytes, frames) << int(c.lacing);
    EXPECT_EQ(out.videoUnits.places[0].contiguous, c.frames[0]) << int(c.lacing);
  }
}

}  // namespace
