#pragma once
// The opening bytes of containers, those this program reads and those it does not: a file that
// begins as one is no raw stream, whatever chance start codes or sync words its bytes hold.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace mv::es {

// True when `head` (a file's first bytes) begins with a container's signature: MP4/QuickTime,
// Matroska, FLV, ASF, RIFF (AVI, WAV, CDXA), RealMedia, MPEG-TS, an MPEG-PS pack, and formats
// not read here (AIFF, CAF, FLAC, Ogg, MXF, HLS and DASH playlists).
bool beginsAsContainer(const uint8_t* head, size_t n);

// The name of a format not read here that `head` begins as ("WAV", "FLAC", "HLS playlist"…);
// empty for any other.
std::string_view unreadFormatName(const uint8_t* head, size_t n);

}  // namespace mv::es
