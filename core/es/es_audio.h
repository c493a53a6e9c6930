#pragma once
// Raw audio streams: MPEG audio (Layers I–III), ADTS AAC, AC-3 and E-AC-3, read frame by frame
// from their sync headers.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "media/reader.h"

namespace mv {

class InputFile;
struct FileAnalysis;

struct AudioStreamInfo {
  std::string_view codec;  // "MP1", "MP2", "MP3", "AAC", "AC-3", "E-AC-3"
  int sampleRate = 0;
  int channels = 0;
  uint32_t bitRate = 0;  // of the first frame, bits per second; 0 when it does not say
};

// The stream the first bytes of a file hold (ID3v2 tags and junk skipped, frames of one stream
// covering most of them), or nothing when they hold no audio stream or open as a container.
std::optional<AudioStreamInfo> audioStreamInfo(const uint8_t* head, size_t n);

// A raw stream's first bytes past the ID3v2 tags it opens with, which may take megabytes (cover
// art): what the stream's kind is told from.
struct StreamHead {
  uint64_t start = 0;          // where the leading tags end
  bool tagsCut = false;        // a tag claims more bytes than the file holds
  std::vector<uint8_t> bytes;  // up to kStreamHeadBytes from start
};
// The searched megabyte, and what confirms a run of frames found near its end.
inline constexpr size_t kStreamHeadBytes = (size_t(1) << 20) + 20 * 1024;
// False when the file could not be read.
bool readStreamHead(InputFile& file, StreamHead& head);

// The walk of a raw audio stream: every frame an audio unit timed by the samples before it.
LoadResult walkAudioStream(InputFile& file, FileAnalysis& out, WalkNotes& notes, LoadControl* control);
// The same from a head already read; its bytes are released before the walk.
LoadResult walkAudioStream(InputFile& file, StreamHead& head, FileAnalysis& out, WalkNotes& notes,
                           LoadControl* control);

}  // namespace mv
