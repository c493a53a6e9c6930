#pragma once
// Sync headers of raw audio streams (MPEG audio, ADTS AAC, AC-3, E-AC-3): a frame's size and
// samples from its first bytes, and where a stream begins in a file's first bytes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace mv::es {

enum class AudioFamily : uint8_t { Mpeg, Adts, Ac3 };

struct AudioFrame {
  AudioFamily family = AudioFamily::Mpeg;
  uint8_t layer = 0;     // MPEG audio: 1–3; E-AC-3: 1 (AC-3 0)
  uint8_t version = 0;   // MPEG audio: 1, 2, or 25 for 2.5
  bool addsTime = true;  // false for an E-AC-3 dependent substream: it plays with the frame before
  uint32_t size = 0;     // whole frame in bytes; 0 before a free-format frame has been measured
  uint32_t samples = 0;
  int sampleRate = 0;
  int channels = 0;
  uint32_t bitRate = 0;  // bits per second; 0 for free format
};

// Bytes a header needs to be read; fewer at the end of a file cannot start a frame.
inline constexpr size_t kAudioHeaderBytes = 8;

// A free-format MPEG audio frame is measured to the next sync within this many bytes.
inline constexpr size_t kFreeFormatWindow = 16 * 1024;

// The frame whose header starts at p (avail bytes readable there). A free-format frame is
// measured to the next matching header within p[0, avail); when none is there and `endsHere`,
// it runs to the end.
bool audioFrameAt(const uint8_t* p, size_t avail, bool endsHere, AudioFrame& f);

// One stream's frames: the same family, layer, version and sample rate (free format: the same
// size but for padding). Looser matches let random bytes pass for frames.
bool sameAudioStream(const AudioFrame& a, const AudioFrame& b);

// Size of the ID3v2 tag at p (header, footer included), 0 when none starts there.
uint64_t id3v2TagSize(const uint8_t* p, size_t avail);

// A tag that may follow a stream's last frame: ID3v2, ID3v1 ("TAG" with exactly its 128 bytes
// left) or APEv2.
bool audioTagAt(const uint8_t* p, size_t avail);

// "MP1", "MP2", "MP3", "AAC", "AC-3", "E-AC-3".
std::string_view audioCodecName(const AudioFrame& f);

// The first frame of a stream within p[0, n): at 0 it needs a matching successor (or the bytes
// end within it); after junk, a run of matching frames over kAudioRunAfterJunk bytes or to the
// end, since containers holding audio carry short runs of frames between their own headers.
struct FoundAudio {
  size_t at = 0;
  AudioFrame frame;
};
inline constexpr size_t kAudioRunAfterJunk = 4096;
std::optional<FoundAudio> findAudioStream(const uint8_t* p, size_t n, size_t searchLimit);

}  // namespace mv::es
