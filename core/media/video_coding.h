#pragma once
// Which codec a container's video track holds and how it stores its pictures: what the readers
// record, so that the codec layer can read each picture's header when a frame list asks.
#include <cstdint>
#include <vector>

namespace mv::codec {

enum class Codec : uint8_t {
  Unknown,
  Mpeg12,      // MPEG-1/2 video
  Mpeg4Part2,  // XVID, DIVX, DX50, FMP4, mp4v
  H264,
  Hevc,
  MsMpeg4v1,
  MsMpeg4v2,
  MsMpeg4v3,
  Wmv1,
  Wmv2,
  Wmv3,  // VC-1 simple/main profile
  Vc1,   // VC-1 advanced profile (WVC1)
  H263,
  Flv1,  // Sorenson H.263
  RealVideo1,
  RealVideo2,
  RealVideo3,
  RealVideo4,
  Vp8,
  Vp9,
  Av1,
  IntraOnly,  // MJPEG, DV, ProRes, HuffYUV, FFV1, raw: every picture is I
};

// How a container stores the pictures of one track.
struct TrackCoding {
  Codec codec = Codec::Unknown;
  // Codec private data: avcC, hvcC, the VC-1 sequence header (WMV3: the 4-byte struct C of the
  // BITMAPINFOHEADER extra data; WVC1: the sequence header and entry point), the MPEG-4 VOL, the
  // AV1 sequence header OBU (av1C), RealVideo's type-specific data. May be empty.
  std::vector<uint8_t> config;
  // H.264/HEVC NAL units prefixed by their length (its size from the record) rather than by
  // start codes.
  bool lengthPrefixed = false;
};

}  // namespace mv::codec
