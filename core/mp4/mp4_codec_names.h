#pragma once
// Readable names of MP4 sample entry types for the information text.
#include <cstdint>
#include <string>

namespace mv {

// What an MPEG-4 elementary stream descriptor (esds) says about a stream; -1 where it is absent.
struct Mp4EsInfo {
  int objectType = -1;       // DecoderConfigDescriptor objectTypeIndication
  int audioObjectType = -1;  // AudioSpecificConfig, for AAC
};

// The esds inside a sample entry (header included), also inside a QuickTime `wave` box.
Mp4EsInfo readEsds(const uint8_t* entry, size_t size, bool audio);

// "H.264/AVC", "AAC LC", …; empty for codes outside the table.
std::string mp4CodecName(uint32_t type, const Mp4EsInfo& es);

}  // namespace mv
