// Where the readers of AVI, RealMedia, ASF and FLV say each picture begins: the types the codec
// layer reads there, picture after picture, must be those ffprobe's decoder gives the packets.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "asf/asf_reader.h"
#include "avi/avi_reader.h"
#include "codec/picture.h"
#include "fixtures/byte_writer.h"
#include "fixtures/loaders.h"
#include "fixtures/probed_pictures.h"
#include "flv/flv_reader.h"
#include "platform/input_file.h"
#include "rm/rm_reader.h"

namespace {

using mv::codec::Codec;
using mv::codec::PictureReader;

// The type read at one place, following the reader's requests further into the picture.
std::string typeAt(PictureReader& reader, mv::InputFile& file, const mv::UnitPlace& place, uint64_t size) {
  std::vector<uint8_t> bytes(place.contiguous);
  if (!file.readAt(place.at, bytes.data(), bytes.size())) return "?";
  return std::string(
      mv::codec::typeName(mvtest::probePicture(reader, bytes.data(), bytes.size(), size).type));
}

struct Case {
  const char* name;
  mv::WalkFunction walk;
  const char* args;
  Codec codec;
  bool sameBytes = true;  // ffprobe's packet is the unit's bytes as stored
  // Cut to this share of its length, so that the reader walks the chunks instead of an index.
  double cutTo = 1;
};

TEST(PacketPlaces, TypesAtThePlacesMatchTheProbe) {
  if (!mvtest::haveProgram("ffmpeg") || !mvtest::haveProgram("ffprobe"))
    GTEST_SKIP() << "ffmpeg not installed";
  const char* x264 = "-c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p";
  const Case cases[] = {
      {"x264.flv", mv::walkFlv, x264, Codec::H264},
      {"flv1.flv", mv::walkFlv, "-c:v flv1 -g 12", Codec::Flv1},
      {"x264.avi", mv::walkAvi, x264, Codec::H264},
      {"mpeg4.avi", mv::walkAvi, "-c:v mpeg4 -vtag XVID -bf 2 -g 12", Codec::Mpeg4Part2},
      {"cut.avi", mv::walkAvi, "-c:v mpeg4 -vtag DX50 -bf 1 -g 12", Codec::Mpeg4Part2, true, 0.7},
      {"msmpeg4.avi", mv::walkAvi, "-c:v msmpeg4 -g 12", Codec::MsMpeg4v3},
      {"mjpeg.avi", mv::walkAvi, "-c:v mjpeg", Codec::IntraOnly},
      {"rv20.rm", mv::walkRealMedia, "-c:v rv20 -g 12 -c:a ac3", Codec::RealVideo2, false},
      {"wmv2.asf", mv::walkAsf, "-c:v wmv2 -g 12", Codec::Wmv2},
      {"x264.asf", mv::walkAsf, x264, Codec::H264},
      {"mpeg4.wmv", mv::walkAsf, "-c:v mpeg4 -bf 2 -g 12", Codec::Mpeg4Part2},
  };
  mvtest::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.file(c.name);
    int status = 0;
    mvtest::runCommand(
        std::string("ffmpeg -v error -y -f lavfi -i testsrc2=s=160x120:r=25 -f lavfi -i sine -t 2 ") +
            c.args + (std::string(c.args).find("-c:a") == std::string::npos ? " -c:a mp3" : "") + " '" +
            path + "' 2>&1",
        &status);
    ASSERT_EQ(status, 0);
    const auto probed = mvtest::probedPictures(path);
    if (c.cutTo < 1) {
      const mvtest::Bytes whole = mvtest::readFile(path);
      mvtest::writeFile(path,
                        mvtest::Bytes(whole.begin(), whole.begin() + long(double(whole.size()) * c.cutTo)));
    }
    mv::FileAnalysis plain;
    ASSERT_TRUE(mv::loadWith(c.walk, path, plain).ok());
    EXPECT_TRUE(plain.videoUnits.places.empty());
    EXPECT_EQ(plain.videoCoding.codec, c.codec);

    mv::FileAnalysis a;
    a.videoUnits.keepPlaces = true;
    ASSERT_TRUE(mv::loadWith(c.walk, path, a).ok());
    ASSERT_EQ(a.videoUnits.places.size(), a.videoUnits.unitCount());
    // ffprobe lists no packet for an empty chunk (a frame the encoder dropped).
    std::vector<mv::UnitPlace> places;
    std::copy_if(a.videoUnits.places.begin(), a.videoUnits.places.end(), std::back_inserter(places),
                 [](const mv::UnitPlace& p) { return p.contiguous > 0; });
    if (c.cutTo < 1) {
      ASSERT_LT(places.size(), probed.size());
    } else {
      ASSERT_EQ(places.size(), probed.size());
    }
    mv::InputFile file;
    ASSERT_TRUE(file.open(path));
    PictureReader reader(a.videoCoding);
    size_t typed = 0;
    for (size_t i = 0; i < places.size(); ++i) {
      const mv::UnitPlace& place = places[i];
      if (c.sameBytes) {
        // The packet's first bytes are those at the place.
        mvtest::Bytes head(std::min<size_t>(probed[i].data.size(), place.contiguous));
        ASSERT_TRUE(file.readAt(place.at, head.data(), head.size()));
        EXPECT_EQ(head, mvtest::Bytes(probed[i].data.begin(), probed[i].data.begin() + long(head.size())))
            << i;
      }
      const std::string type = typeAt(reader, file, place, place.contiguous);
      // ffprobe matches frames to packets by position: ASF packets that hold several objects
      // give their frames one position, and no type to compare.
      const auto samePos = [&](const mvtest::ProbedPicture& q) { return q.pos == probed[i].pos; };
      if (probed[i].type.empty() || std::count_if(probed.begin(), probed.end(), samePos) > 1) continue;
      EXPECT_EQ(type, probed[i].type) << i;
      ++typed;
    }
    EXPECT_GT(typed, 3u);
  }
}

}  // namespace
