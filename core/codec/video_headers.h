#pragma once
// The picture size in a video stream's own sequence header, for containers whose headers do not
// carry it: MPEG-1/2 sequence header, MPEG-4 Part 2 video object layer, H.264 and H.265
// sequence parameter sets (with their cropping). Nothing is decoded beyond those headers.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace mv {

enum class VideoSyntax { Mpeg12, Mpeg4Part2, H264, H265 };

struct PictureSize {
  int32_t width = 0;
  int32_t height = 0;
};

// The first sequence header found after a start code (00 00 01) in `data`; false when none is
// complete there.
bool pictureSizeInStream(VideoSyntax syntax, const uint8_t* data, size_t n, PictureSize& out);

// The first MPEG-1/2 sequence header in `data` with the extensions and user data after it, from
// its start code on: what a codec record holds (its bit rate and buffer size among them). Empty
// when no sequence header is complete there.
std::vector<uint8_t> mpeg12SequenceRecord(const uint8_t* data, size_t n);

// The first sequence parameter set of an AVCDecoderConfigurationRecord ("avcC", the FLV and
// Matroska codec private data) or an HEVCDecoderConfigurationRecord ("hvcC").
bool pictureSizeInAvcConfig(const uint8_t* data, size_t n, PictureSize& out);
bool pictureSizeInHevcConfig(const uint8_t* data, size_t n, PictureSize& out);

// One NAL unit of a sequence parameter set, NAL header included.
bool pictureSizeInH264Sps(const uint8_t* nal, size_t n, PictureSize& out);
bool pictureSizeInH265Sps(const uint8_t* nal, size_t n, PictureSize& out);

// What a sequence parameter set says besides the size; timing 0/0 when its VUI has none.
struct H264Sps {
  uint32_t id = 0;
  uint8_t profile = 0;
  uint8_t constraints = 0;  // constraint_set0..5 flags, set0 the most significant bit
  uint8_t level = 0;
  bool frameMbsOnly = true;
  PictureSize size;
  uint32_t numUnitsInTick = 0;
  uint32_t timeScale = 0;
};
struct H265Sps {
  uint32_t id = 0;
  uint8_t profile = 0;
  uint8_t level = 0;
  PictureSize size;
  uint32_t ctbs = 0;  // coding tree blocks a picture: slice segment addresses are below it
  uint32_t numUnitsInTick = 0;
  uint32_t timeScale = 0;
};
// False when the set is not one or its size is unreadable; fields after the size that are cut
// off stay at their defaults.
bool parseH264Sps(const uint8_t* nal, size_t n, H264Sps& out);
bool parseH265Sps(const uint8_t* nal, size_t n, H265Sps& out);
// The timing info of an H.265 video parameter set; false when it has none.
bool h265VpsTiming(const uint8_t* nal, size_t n, uint32_t& numUnitsInTick, uint32_t& timeScale);

}  // namespace mv
