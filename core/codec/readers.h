#pragma once
// The codecs' own readers behind PictureReader and UnitCutter: one factory a codec family,
// each in its file.
#include <memory>

#include "codec/picture.h"

namespace mv::codec {

class CodecReader {
 public:
  virtual ~CodecReader() = default;
  virtual PictureReader::Probe probe(const uint8_t* data, size_t n, uint64_t at, uint64_t size) = 0;
  virtual StreamInfo info() const = 0;
};

// Null when the family does not read `coding.codec`.
std::unique_ptr<CodecReader> makeMpegVideoReader(const TrackCoding& coding);   // Mpeg12, Mpeg4Part2
std::unique_ptr<CodecReader> makeH263FamilyReader(const TrackCoding& coding);  // H263, Flv1, RealVideo1,
                                                                               // MsMpeg4v1-3, Wmv1, Wmv2
std::unique_ptr<CodecReader> makeAvcReader(const TrackCoding& coding);         // H264, Hevc
std::unique_ptr<CodecReader> makeVc1Reader(const TrackCoding& coding);         // Wmv3, Vc1
std::unique_ptr<CodecReader> makeRealVideoReader(const TrackCoding& coding);   // RealVideo2-4
std::unique_ptr<CodecReader> makeVpxReader(const TrackCoding& coding);         // Vp8, Vp9, Av1

// Where a RealVideo frame's bitstream begins in `d`: after the slice table a demuxer hands a
// frame on with, or after the (media and) video packet header of RealMedia's packing as it lies
// in a file; n when it does not lie within.
size_t realVideoBitstreamStart(const uint8_t* d, size_t n);

std::unique_ptr<UnitCutter> makeMpegVideoCutter(Codec codec);  // Mpeg12, Mpeg4Part2
std::unique_ptr<UnitCutter> makeAvcCutter(Codec codec);        // H264, Hevc

}  // namespace mv::codec
