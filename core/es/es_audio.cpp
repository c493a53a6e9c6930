#include "es/es_audio.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <vector>

#include "es/audio_frames.h"
#include "es/signatures.h"
#include "media/file_analysis.h"
#include "media/per_second_series.h"
#include "platform/input_file.h"

namespace mv {
namespace {

using es::AudioFrame;

// A stream with no sync at its start is searched this far for its first frame.
constexpr size_t kFirstSyncSearch = size_t(1) << 20;

// Where the ID3v2 tags at the start of a file end (0 without tags); past the end when the last
// claims more than the file holds.
uint64_t afterLeadingTags(InputFile& file) {
  uint64_t pos = 0;
  while (file.contains(pos, 10)) {
    const uint8_t* h = file.peek(pos, 10);
    const uint64_t size = h ? es::id3v2TagSize(h, 10) : 0;
    if (size == 0) break;
    pos += size;
  }
  return pos;
}

// The walk through the frames of one stream, each frame kept once its successor (or the end)
// confirms where it ends.
class AudioWalk {
 public:
  AudioWalk(InputFile& file, TrackUnits& units) : file_(file), units_(units), length_(file.length()) {
    if (length_ >= 128) {
      const uint8_t* t = file_.peek(length_ - 128, 3);
      if (t && std::memcmp(t, "TAG", 3) == 0) tagStart_ = length_ - 128;
    }
  }

  LoadResult run(uint64_t pos, const AudioFrame& first, LoadControl* control, bool& cutShort) {
    stream_ = first;
    tickRate_ = uint64_t(first.sampleRate);
    ProgressGate gate(control, length_);
    AudioFrame cur = first;
    for (;;) {
      if (!gate.at(pos)) return LoadResult::fail(LoadFailure::Cancelled, pos);
      const uint64_t next = pos + cur.size;
      if (next > length_) {  // the last frame, cut by the end
        cutShort = true;
        break;
      }
      if (next == length_ || next == tagStart_) {
        if (!keep(cur, pos)) return LoadResult::fail(LoadFailure::Damaged, pos);
        break;
      }
      AudioFrame following;
      if (frameAt(next, following) && es::sameAudioStream(stream_, following)) {
        if (!keep(cur, pos)) return LoadResult::fail(LoadFailure::Damaged, pos);
        pos = next;
        cur = following;
        continue;
      }
      // Asked first: its look may refill the buffer `rest` points into.
      const bool hole = file_.zerosUpToHole(next);
      size_t avail = 0;
      const uint8_t* rest = peekUpTo(next, es::kAudioHeaderBytes, avail);
      uint64_t from = pos + 1;  // the sync is lost: the frame is not confirmed
      if (hole || (rest && (es::audioTagAt(rest, avail) ||
                            (avail < es::kAudioHeaderBytes && syncStart(rest, avail))))) {
        // A tag, a hole, or a frame's first bytes cut by the end.
        if (!keep(cur, pos)) return LoadResult::fail(LoadFailure::Damaged, pos);
        if (!hole && avail < es::kAudioHeaderBytes) {
          cutShort = true;
          break;
        }
        from = hole ? next : next + es::id3v2TagSize(rest, avail);
      }
      const uint64_t found = resync(from, stream_, gate);
      if (gate.stopped()) return LoadResult::fail(LoadFailure::Cancelled, from);
      if (found == kNone) {
        if (lostTooLong_) cutShort = true;
        break;
      }
      pos = found;
    }
    if (file_.readFailed()) return LoadResult::fail(LoadFailure::CouldNotRead, pos);
    units_.clock = {1, 0, tickRate_};
    return LoadResult::success();
  }

 private:
  static constexpr uint64_t kNone = UINT64_MAX;

  // Up to `want` bytes at pos, fewer at the end of the file.
  const uint8_t* peekUpTo(uint64_t pos, size_t want, size_t& avail) {
    avail = pos >= length_ ? 0 : length_ - pos < want ? size_t(length_ - pos) : want;
    return avail ? file_.peek(pos, avail) : nullptr;
  }

  bool frameAt(uint64_t pos, AudioFrame& f) {
    size_t avail = 0;
    const uint8_t* p = peekUpTo(pos, es::kAudioHeaderBytes, avail);
    if (!p) return false;
    // A free-format MPEG audio frame (bit-rate index 0) is measured to the next header.
    if (avail == es::kAudioHeaderBytes && p[0] == 0xFF && (p[1] & 0x06) != 0 && (p[2] >> 4) == 0) {
      p = peekUpTo(pos, es::kFreeFormatWindow, avail);
      return p && es::audioFrameAt(p, avail, pos + avail == length_ || pos + avail == tagStart_, f);
    }
    return es::audioFrameAt(p, avail, false, f);
  }

  bool syncStart(const uint8_t* p, size_t avail) const {
    const uint8_t first = stream_.family == es::AudioFamily::Ac3 ? 0x0B : 0xFF;
    return avail >= 1 && p[0] == first;
  }

  // The first frame at or after `from` of the same stream whose successor follows (or that ends
  // the file); kNone when there is none, or none within kResyncLimit.
  uint64_t resync(uint64_t from, const AudioFrame& like, ProgressGate& gate) {
    const uint8_t syncByte = like.family == es::AudioFamily::Ac3 ? 0x0B : 0xFF;
    for (uint64_t at = from; at < length_;) {
      if (at - from >= kResyncLimit) {
        lostTooLong_ = true;
        return kNone;
      }
      if (!gate.at(at)) return kNone;
      // A hole's zeros hold no sync; they count to no search, and one that runs to the end is
      // a file never written whole.
      if (const uint64_t data = file_.dataFrom(at); data > at) {
        from += data - at;
        at = data;
        lostTooLong_ = lostTooLong_ || at == length_;
        continue;
      }
      size_t avail = 0;
      const uint8_t* p =
          peekUpTo(at, size_t(std::min<uint64_t>(InputFile::kBufferSize, file_.dataUntil(at) - at)), avail);
      if (!p) return kNone;
      const void* hit = std::memchr(p, syncByte, avail);
      if (!hit) {
        at += avail;
        continue;
      }
      at += uint64_t(static_cast<const uint8_t*>(hit) - p);
      AudioFrame f, g;
      if (frameAt(at, f) && es::sameAudioStream(like, f)) {
        const uint64_t next = at + f.size;
        if (next == length_ || next == tagStart_ || (frameAt(next, g) && es::sameAudioStream(like, g)))
          return at;
      }
      ++at;
    }
    return kNone;
  }

  // Adds the frame at `pos`; false once the stream plays longer than any series can hold.
  bool keep(const AudioFrame& f, uint64_t pos) {
    if (!f.addsTime && !units_.units.empty()) {
      units_.units.back().bytes += f.size;
      return true;
    }
    if (tickRate_ % uint64_t(f.sampleRate) != 0) rescale(std::lcm(tickRate_, uint64_t(f.sampleRate)));
    units_.add({int64_t(ticks_), f.size, 1}, pos);
    ticks_ += uint64_t(f.samples) * (tickRate_ / uint64_t(f.sampleRate));
    return ticks_ / tickRate_ < kMaxDurationSeconds;
  }

  // A sample rate that changes within the stream: every time so far on a clock both rates divide.
  void rescale(uint64_t rate) {
    const uint64_t factor = rate / tickRate_;
    for (TimedUnit& u : units_.units) u.ticks *= int64_t(factor);
    units_.stamps.low *= int64_t(factor);
    units_.stamps.high *= int64_t(factor);
    ticks_ *= factor;
    tickRate_ = rate;
  }

  InputFile& file_;
  TrackUnits& units_;
  const uint64_t length_;
  uint64_t tagStart_ = kNone;  // an ID3v1 tag's, when the file ends with one
  AudioFrame stream_;
  uint64_t tickRate_ = 1;
  uint64_t ticks_ = 0;
  bool lostTooLong_ = false;
};

}  // namespace

std::optional<AudioStreamInfo> audioStreamInfo(const uint8_t* head, size_t n) {
  size_t at = 0;
  while (const uint64_t tag = es::id3v2TagSize(head + at, n - at)) {
    if (tag >= n - at) return std::nullopt;
    at += size_t(tag);
  }
  if (es::beginsAsContainer(head + at, n - at)) return std::nullopt;
  const std::optional<es::FoundAudio> found = es::findAudioStream(head + at, n - at, kFirstSyncSearch);
  if (!found) return std::nullopt;
  const AudioFrame& f = found->frame;
  return AudioStreamInfo{es::audioCodecName(f), f.sampleRate, f.channels, f.bitRate};
}

bool readStreamHead(InputFile& file, StreamHead& head) {
  head.start = afterLeadingTags(file);
  head.tagsCut = head.start > file.length();
  head.bytes.clear();
  if (file.readFailed()) return false;
  if (head.tagsCut) return true;
  // Up to a hole of a sparse file, whose zeros are no stream's bytes.
  const uint64_t until = file.dataUntil(head.start);
  head.bytes.resize(size_t(std::min<uint64_t>(until - head.start, kStreamHeadBytes)));
  if (!file.readAt(head.start, head.bytes.data(), head.bytes.size())) return false;
  // The zeros that fill the last block before a hole are the hole's.
  if (until < file.length() && head.start + head.bytes.size() == until)
    while (!head.bytes.empty() && head.bytes.back() == 0) head.bytes.pop_back();
  return true;
}

LoadResult walkAudioStream(InputFile& file, FileAnalysis& out, WalkNotes& notes, LoadControl* control) {
  StreamHead head;
  if (!readStreamHead(file, head)) return LoadResult::fail(LoadFailure::CouldNotRead, head.start);
  return walkAudioStream(file, head, out, notes, control);
}

LoadResult walkAudioStream(InputFile& file, StreamHead& head, FileAnalysis& out, WalkNotes& notes,
                           LoadControl* control) {
  if (head.tagsCut) {  // a tag cut by the end: the file holds nothing more
    out.audioUnits.present = true;
    notes.cutShort = true;
    return LoadResult::success();
  }
  if (es::beginsAsContainer(head.bytes.data(), head.bytes.size()))
    return LoadResult::fail(LoadFailure::NotThisFormat, head.start);
  const std::optional<es::FoundAudio> found =
      es::findAudioStream(head.bytes.data(), head.bytes.size(), kFirstSyncSearch);
  if (!found) return LoadResult::fail(LoadFailure::NotThisFormat, head.start);
  head.bytes = {};
  out.audioUnits.present = true;
  AudioWalk walk(file, out.audioUnits);
  return walk.run(head.start + found->at, found->frame, control, notes.cutShort);
}

}  // namespace mv
