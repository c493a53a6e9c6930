#include "es/audio_frames.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace mv::es {
namespace {

// kbit/s by bit-rate index: MPEG-1 Layers I, II, III; MPEG-2/2.5 Layer I; MPEG-2/2.5 Layers II, III.
constexpr uint16_t kMpegBitRates[5][15] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
};
constexpr int kMpegRates[3] = {44100, 48000, 32000};  // MPEG-1; halved for 2, quartered for 2.5
constexpr int kAdtsRates[13] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                22050, 16000, 12000, 11025, 8000,  7350};
constexpr uint16_t kAc3BitRates[19] = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                                       192, 224, 256, 320, 384, 448, 512, 576, 640};
constexpr int kAc3Rates[3] = {48000, 44100, 32000};
constexpr uint8_t kAc3Channels[8] = {2, 1, 2, 3, 3, 4, 4, 5};

bool mpegHeader(const uint8_t* p, AudioFrame& f) {
  const int versionBits = (p[1] >> 3) & 3, layerBits = (p[1] >> 1) & 3;
  const int rateIndex = p[2] >> 4, freqIndex = (p[2] >> 2) & 3;
  if (versionBits == 1 || layerBits == 0 || rateIndex == 15 || freqIndex == 3) return false;
  f.family = AudioFamily::Mpeg;
  f.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
  f.layer = uint8_t(4 - layerBits);
  f.sampleRate = kMpegRates[freqIndex] >> (f.version == 1 ? 0 : f.version == 2 ? 1 : 2);
  f.channels = (p[3] >> 6) == 3 ? 1 : 2;
  const int table = f.version == 1 ? f.layer - 1 : f.layer == 1 ? 3 : 4;
  f.bitRate = uint32_t(kMpegBitRates[table][rateIndex]) * 1000;
  const uint32_t padding = (p[2] >> 1) & 1;
  const bool halfFrames = f.layer == 3 && f.version != 1;
  f.samples = f.layer == 1 ? 384 : halfFrames ? 576 : 1152;
  if (f.bitRate == 0) {
    f.size = 0;
  } else if (f.layer == 1) {
    f.size = (12 * f.bitRate / uint32_t(f.sampleRate) + padding) * 4;
  } else {
    f.size = (halfFrames ? 72 : 144) * f.bitRate / uint32_t(f.sampleRate) + padding;
  }
  return true;
}

bool adtsHeader(const uint8_t* p, AudioFrame& f) {
  const int freqIndex = (p[2] >> 2) & 0xF;
  if (freqIndex >= 13) return false;
  f.family = AudioFamily::Adts;
  f.sampleRate = kAdtsRates[freqIndex];
  f.channels = ((p[2] & 1) << 2) | (p[3] >> 6);
  f.size = (uint32_t(p[3] & 3) << 11) | (uint32_t(p[4]) << 3) | (p[5] >> 5);
  f.samples = 1024 * ((p[6] & 3) + 1u);
  if (f.size < ((p[1] & 1) ? 7u : 9u)) return false;
  f.bitRate = uint32_t(uint64_t(f.size) * 8 * uint64_t(f.sampleRate) / f.samples);
  return true;
}

bool ac3Header(const uint8_t* p, AudioFrame& f) {
  const int bsid = p[5] >> 3;
  if (bsid > 16) return false;
  f.family = AudioFamily::Ac3;
  const int fscod = p[4] >> 6;
  if (bsid <= 10) {
    const int frmsizecod = p[4] & 0x3F;
    if (fscod == 3 || frmsizecod > 37) return false;
    const uint32_t kbps = kAc3BitRates[frmsizecod >> 1];
    f.layer = 0;
    f.sampleRate = kAc3Rates[fscod];
    f.bitRate = kbps * 1000;
    const uint32_t words = fscod == 0   ? 2 * kbps
                           : fscod == 2 ? 3 * kbps
                                        : kbps * 96000 / 44100 + (frmsizecod & 1);
    f.size = words * 2;
    f.samples = 1536;
    const int acmod = p[6] >> 5;
    int lfeBit = 3 + ((acmod & 1) && acmod != 1 ? 2 : 0) + (acmod & 4 ? 2 : 0) + (acmod == 2 ? 2 : 0);
    const bool lfe = ((((p[6] << 8) | p[7]) << lfeBit) & 0x8000) != 0;
    f.channels = kAc3Channels[acmod] + (lfe ? 1 : 0);
    return true;
  }
  if (bsid < 11) return false;
  const int streamType = p[2] >> 6, substream = (p[2] >> 3) & 7;
  if (streamType == 3) return false;
  f.layer = 1;
  f.size = ((uint32_t(p[2] & 7) << 8 | p[3]) + 1) * 2;
  int blocks = 6;
  if (fscod == 3) {
    const int fscod2 = (p[4] >> 4) & 3;
    if (fscod2 == 3) return false;
    f.sampleRate = kAc3Rates[fscod2] / 2;
  } else {
    f.sampleRate = kAc3Rates[fscod];
    constexpr int kBlocks[4] = {1, 2, 3, 6};
    blocks = kBlocks[(p[4] >> 4) & 3];
  }
  f.samples = 256 * uint32_t(blocks);
  f.channels = kAc3Channels[(p[4] >> 1) & 7] + (p[4] & 1);
  f.addsTime = streamType != 1 && substream == 0;
  f.bitRate = uint32_t(uint64_t(f.size) * 8 * uint64_t(f.sampleRate) / f.samples);
  return true;
}

bool headerAt(const uint8_t* p, size_t avail, AudioFrame& f) {
  if (avail < kAudioHeaderBytes) return false;
  f = AudioFrame();
  if (p[0] == 0xFF && (p[1] & 0xE0) == 0xE0) {
    return (p[1] & 0x06) != 0 ? mpegHeader(p, f) : (p[1] & 0xF0) == 0xF0 && adtsHeader(p, f);
  }
  return p[0] == 0x0B && p[1] == 0x77 && ac3Header(p, f);
}

// The next header that agrees with a free-format frame's fixed fields (its bit-rate index too).
uint32_t freeFormatSize(const uint8_t* p, size_t avail, bool endsHere) {
  const size_t limit = avail < kFreeFormatWindow ? avail : kFreeFormatWindow;
  for (size_t at = 4; at + 4 <= limit;) {
    const void* hit = std::memchr(p + at, 0xFF, limit - 3 - at);
    if (!hit) break;
    at = size_t(static_cast<const uint8_t*>(hit) - p);
    if (p[at + 1] == p[1] && (p[at + 2] & 0xFC) == (p[2] & 0xFC)) return uint32_t(at);
    ++at;
  }
  return endsHere && avail <= kFreeFormatWindow ? uint32_t(avail) : 0;
}

// The largest free-format frame: at twice the layer's highest listed rate (encoders write free
// format for rates above the table, 640 kbit/s Layer III). Larger ones are chance matches, which
// periodic PCM repeats at every period.
uint32_t largestFreeFormatFrame(const AudioFrame& f) {
  const int table = f.version == 1 ? f.layer - 1 : f.layer == 1 ? 3 : 4;
  const uint32_t bitRate = 2 * uint32_t(kMpegBitRates[table][14]) * 1000;
  if (f.layer == 1) return (12 * bitRate / uint32_t(f.sampleRate) + 1) * 4;
  return (f.layer == 3 && f.version != 1 ? 72 : 144) * bitRate / uint32_t(f.sampleRate) + 1;
}

}  // namespace

bool audioFrameAt(const uint8_t* p, size_t avail, bool endsHere, AudioFrame& f) {
  if (!headerAt(p, avail, f)) return false;
  if (f.size == 0) {
    f.size = freeFormatSize(p, avail, endsHere);
    if (f.size > largestFreeFormatFrame(f)) f.size = 0;
  }
  return f.size != 0;
}

bool sameAudioStream(const AudioFrame& a, const AudioFrame& b) {
  if (a.family != b.family || a.layer != b.layer || a.version != b.version || a.sampleRate != b.sampleRate)
    return false;
  // Free format keeps one size but for the padding slot; its measure finds any matching bytes.
  const bool free = a.family == AudioFamily::Mpeg && a.bitRate == 0;
  const uint32_t slot = a.layer == 1 ? 4 : 1;
  return free == (b.bitRate == 0) && (!free || (a.size <= b.size + slot && b.size <= a.size + slot));
}

uint64_t id3v2TagSize(const uint8_t* p, size_t avail) {
  if (avail < 10 || std::memcmp(p, "ID3", 3) != 0 || p[3] == 0xFF || p[4] == 0xFF) return 0;
  if ((p[6] | p[7] | p[8] | p[9]) & 0x80) return 0;
  const uint64_t body = (uint64_t(p[6]) << 21) | (uint64_t(p[7]) << 14) | (uint64_t(p[8]) << 7) | p[9];
  return 10 + body + ((p[5] & 0x10) ? 10 : 0);
}

bool audioTagAt(const uint8_t* p, size_t avail) {
  return id3v2TagSize(p, avail) != 0 || (avail == 128 && std::memcmp(p, "TAG", 3) == 0) ||
         (avail >= 8 && std::memcmp(p, "APETAGEX", 8) == 0);
}

std::string_view audioCodecName(const AudioFrame& f) {
  switch (f.family) {
    case AudioFamily::Mpeg:
      return f.layer == 1 ? "MP1" : f.layer == 2 ? "MP2" : "MP3";
    case AudioFamily::Adts:
      return "AAC";
    case AudioFamily::Ac3:
      return f.layer == 0 ? "AC-3" : "E-AC-3";
  }
  return {};
}

namespace {

// One layout within a stream: an E-AC-3 dependent substream carries other channels.
bool sameLayout(const AudioFrame& a, const AudioFrame& b) { return !b.addsTime || a.channels == b.channels; }

bool sameRun(const AudioFrame& a, const AudioFrame& b) { return sameAudioStream(a, b) && sameLayout(a, b); }

// Whether the frames of the stream `first` opens at `at`, its runs resumed after bytes that
// are none, cover most of p[0, n): sync patterns turn up by chance in PCM and in other data,
// and even periodic signals chain them only for a while.
bool coversMost(const uint8_t* p, size_t n, size_t at, const AudioFrame& first) {
  const uint8_t syncByte = first.family == AudioFamily::Ac3 ? 0x0B : 0xFF;
  size_t covered = 0, pos = at;
  AudioFrame f = first;
  bool inFrame = true;
  while (pos < n) {
    if (n - (pos - covered) < (n + 1) / 2) return false;  // the rest cannot make up half
    if (inFrame) {
      covered += std::min<size_t>(f.size, n - pos);
      pos += f.size;
      if (pos + kAudioHeaderBytes > n || audioTagAt(p + pos, n - pos)) break;
      inFrame = audioFrameAt(p + pos, n - pos, true, f) && sameRun(first, f);
      continue;
    }
    const void* hit = std::memchr(p + pos + 1, syncByte, n - pos - 1);
    if (!hit) break;
    pos = size_t(static_cast<const uint8_t*>(hit) - p);
    AudioFrame g;
    inFrame = audioFrameAt(p + pos, n - pos, true, f) && sameRun(first, f) &&
              (pos + f.size + kAudioHeaderBytes > n ||
               (audioFrameAt(p + pos + f.size, n - pos - f.size, true, g) && sameRun(first, g)));
  }
  return 2 * covered >= n;
}

}  // namespace

std::optional<FoundAudio> findAudioStream(const uint8_t* p, size_t n, size_t searchLimit) {
  const size_t limit = searchLimit < n ? searchLimit : n;
  // The next 0xFF (MPEG audio, ADTS) and 0x0B (AC-3) at or after `at`, each searched again only
  // once passed.
  size_t nextFF = SIZE_MAX, next0B = SIZE_MAX;
  const auto nextOf = [&](uint8_t byte, size_t& cached, size_t at) {
    if (cached == SIZE_MAX || cached < at) {
      const void* hit = std::memchr(p + at, byte, limit - at);
      cached = hit ? size_t(static_cast<const uint8_t*>(hit) - p) : limit;
    }
    return cached;
  };
  for (size_t at = 0; at < limit; ++at) {
    at = std::min(nextOf(0xFF, nextFF, at), nextOf(0x0B, next0B, at));
    if (at >= limit) break;
    AudioFrame first;
    if (!audioFrameAt(p + at, n - at, true, first)) continue;
    // Follow the run of frames from here: a stream that opens the bytes with a run of its own
    // is one; one found further in must also cover most of them.
    const int needFollowers = at == 0 ? 1 : 2;
    const size_t needSpan = kAudioRunAfterJunk;
    size_t pos = at + first.size;
    int followers = 0;
    bool good = false;
    for (;;) {
      if (followers >= needFollowers && pos - at >= needSpan) {
        good = true;
        break;
      }
      if (pos + kAudioHeaderBytes > n || audioTagAt(p + pos, n - pos)) {
        good = at == 0 || followers >= needFollowers;  // the bytes end within the run
        break;
      }
      AudioFrame next;
      if (!audioFrameAt(p + pos, n - pos, true, next) || !sameRun(first, next)) break;
      ++followers;
      pos += next.size;
    }
    if (good && (at == 0 || coversMost(p, n, at, first))) return FoundAudio{at, first};
  }
  return std::nullopt;
}

}  // namespace mv::es
