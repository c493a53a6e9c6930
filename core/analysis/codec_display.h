#pragma once
// Codec names as people know them ("H.264", "AAC", "RealVideo 4.0"), whatever container carries
// the stream: the tables and windows that set files side by side name a codec one way.
#include <string>
#include <string_view>

#include "media/tracks.h"
#include "media/video_coding.h"

namespace mv {

// The common name of a stream from its container's tag (Track::codec: an MP4 sample entry, a
// Matroska CodecID, an AVI or ASF fourcc or wave format tag, a TS stream type's name, ...) and,
// for video whose tag is not known, the codec its reader found. The tag itself when neither is
// known; empty for an empty tag.
std::string commonCodecName(std::string_view tag, TrackKind kind,
                            codec::Codec coding = codec::Codec::Unknown);
inline std::string commonCodecName(const Track& track) {
  return commonCodecName(track.codec, track.kind, track.coding.codec);
}

}  // namespace mv
