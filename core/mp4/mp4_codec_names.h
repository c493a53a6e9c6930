#pragma once
// Readable names of MP4 sample entry types for the information text, and the codec a video
// sample entry holds.
#include <cstddef>
#include <cstdint>
#include <string>

#include "media/video_coding.h"

namespace mv {

// What an MPEG-4 elementary stream descriptor (esds) says about a stream; -1 where it is absent.
struct Mp4EsInfo {
  int objectType = -1;       // DecoderConfigDescriptor objectTypeIndication
  int audioObjectType = -1;  // AudioSpecificConfig, for AAC
  // The DecoderSpecificInfo, inside the entry it was read from; null when absent.
  const uint8_t* specific = nullptr;
  size_t specificSize = 0;
};

// The esds inside a sample entry (header included), also inside a QuickTime `wave` box.
Mp4EsInfo readEsds(const uint8_t* entry, size_t size, bool audio);

// "H.264/AVC", "AAC LC", …; empty for codes outside the table.
std::string mp4CodecName(uint32_t type, const Mp4EsInfo& es);

// The codec of a visual sample entry of `type` (the entry `size` bytes, header included) and
// its record (avcC, hvcC, av1C, dvc1, the esds DecoderSpecificInfo, else a glbl box).
codec::TrackCoding mp4VideoCoding(uint32_t type, const uint8_t* entry, size_t size);

}  // namespace mv
