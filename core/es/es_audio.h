#pragma once
// Raw audio streams: MPEG audio (Layers I–III), ADTS AAC, AC-3 and E-AC-3, read frame by frame
// from their sync headers.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

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

// The stream the first bytes of a file hold (ID3v2 tags and junk skipped, two frames in a row
// seen), or nothing when they hold no audio stream.
std::optional<AudioStreamInfo> audioStreamInfo(const uint8_t* head, size_t n);

// The walk of a raw audio stream: every frame an audio unit timed by the samples before it.
LoadResult walkAudioStream(InputFile& file, FileAnalysis& out, WalkNotes& notes, LoadControl* control);

}  // namespace mv
