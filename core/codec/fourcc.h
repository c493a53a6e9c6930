#pragma once
// The codec a four-character code names (AVI and ASF's biCompression, RealMedia's video
// fourcc), and a track's coding from a BITMAPINFOHEADER.
#include <cstddef>
#include <cstdint>

#include "media/video_coding.h"

namespace mv::codec {

// `code` holds the four characters in file order as a little-endian value. Compared without
// regard to case: writers spell the same code both ways. 0 (BI_RGB) and 3 (BI_BITFIELDS) are
// uncompressed. Unknown for any other code.
Codec codecOfFourcc(uint32_t code);

// The coding of a video stream whose format is a BITMAPINFOHEADER of `n` bytes: its
// biCompression and, as the codec's private data, the bytes after the 40-byte header (WMV3: its
// 4-byte struct C). H.264/HEVC with an avcC/hvcC there are taken as length-prefixed.
TrackCoding codingOfBitmapInfo(const uint8_t* header, size_t n);

}  // namespace mv::codec
