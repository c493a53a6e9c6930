#pragma once
// Raw elementary streams: MPEG-1/2 video, MPEG-4 Visual, H.264 and HEVC Annex B, VP8/VP9/AV1 in IVF, and the
// raw audio streams of es_audio.h. The kind is told by the first bytes, not by the name.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "codec/picture.h"
#include "es/es_audio.h"
#include "media/reader.h"

namespace mv {

class InputFile;
struct FileAnalysis;

// What the first bytes of a stream say it is.
struct ElementaryStreamKind {
  codec::Codec video = codec::Codec::Unknown;  // Mpeg12, Mpeg4Part2, H264, Hevc, Vp8, Vp9, Av1
  bool ivf = false;
  bool mpeg2 = false;                    // an MPEG-1/2 stream with a sequence extension
  std::optional<AudioStreamInfo> audio;  // a raw audio stream
  bool any() const { return video != codec::Codec::Unknown || audio.has_value(); }
};

// The stream `head` (a file's first bytes, up to 1 MiB of them) opens, searched for its first
// start code or sync word; nothing when none tells a stream.
ElementaryStreamKind elementaryStreamKind(const uint8_t* head, size_t n);

// The codec as users read it: "MPEG-2 video", "MPEG-4 Visual", "H.264", "HEVC", "VP9", "MP3"; empty for none.
std::string_view elementaryStreamName(const ElementaryStreamKind& kind);
// The same for the file at `path`; empty when it holds no stream this reader knows.
std::string elementaryStreamName(const std::string& path);

// The first bytes alone, strict enough that the damaged head of another container does not pass:
// a sequence header, visual object sequence, SPS, AUD or VPS right at the start, an IVF header,
// or a raw audio stream (or the ID3v2 tag before one). Never what begins as a container.
bool looksLikeElementaryStream(const uint8_t* head, size_t n);

LoadResult walkElementaryStream(InputFile& file, FileAnalysis& out, WalkNotes& notes, LoadControl* control);

// What the walk learnt beyond the analysis, for the information text.
struct ElementaryStreamFacts {
  ElementaryStreamKind kind;
  codec::StreamInfo video;             // the first sequence header / SPS / IVF header
  uint32_t ivfScale = 0, ivfRate = 0;  // IVF time base: scale / rate seconds a tick
};
LoadResult readElementaryStream(InputFile& file, FileAnalysis& out, WalkNotes& notes, LoadControl* control,
                                ElementaryStreamFacts& facts);

}  // namespace mv
