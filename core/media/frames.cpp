#include "media/frames.h"

#include <algorithm>

namespace mv {

double clockSeconds(const UnitClock& clock, int64_t ticks) {
  return (double(Int128(ticks)) * double(clock.mul) + double(clock.add)) / double(clock.den);
}

std::vector<VideoFrame> videoFrames(const FileAnalysis& analysis) {
  const TrackUnits& track = analysis.videoUnits;
  // No unit is earlier than the origin; rounding must not make one so.
  const auto since = [&](int64_t ticks) {
    return std::max(0.0, clockSeconds(track.clock, ticks) - analysis.unitOriginSeconds);
  };
  std::vector<VideoFrame> frames;
  frames.reserve(size_t(track.unitCount()));
  for (const TimedUnit& u : track.units)
    frames.push_back({since(u.ticks), u.bytes, uint8_t(u.key ? 1 : 0), char(u.type)});
  for (size_t k = 0; k < track.numbered.size(); ++k)
    frames.push_back({since(int64_t(k)), track.numbered[k] & ~kNumberedKey,
                      uint8_t(track.numbered[k] & kNumberedKey ? 1 : 0)});
  for (const UnitRun& r : track.runs)
    for (uint64_t k = 0; k < r.count; ++k)
      frames.push_back({since(r.ticks + int64_t(k * r.delta)), r.bytes, 1});
  return frames;
}

std::vector<Gop> groupsOfPictures(const std::vector<VideoFrame>& frames) {
  std::vector<Gop> gops;
  for (size_t i = 0; i < frames.size(); ++i) {
    if (gops.empty() || frames[i].key) gops.push_back({uint32_t(i), 0, 0});
    ++gops.back().frames;
    gops.back().bytes += frames[i].bytes;
  }
  return gops;
}

FrameStats frameStats(const std::vector<VideoFrame>& frames, const std::vector<Gop>& gops) {
  FrameStats s;
  if (frames.empty()) return s;
  s.frames = uint32_t(frames.size());
  s.minBytes = UINT32_MAX;
  uint64_t total = 0;
  for (const VideoFrame& f : frames) {
    s.keyFrames += f.key ? 1 : 0;
    for (int t = 0; t < 3; ++t) {
      if (f.type != kPictureTypes[t]) continue;
      ++s.typeCount[t];
      s.typeBytes[t] += f.bytes;
    }
    s.maxBytes = std::max(s.maxBytes, f.bytes);
    s.minBytes = std::min(s.minBytes, f.bytes);
    total += f.bytes;
  }
  s.averageBytes = double(total) / double(frames.size());
  // Frames before the first key frame are no GOP of the encoder's making.
  uint64_t gopFrames = 0, gopCount = 0;
  for (const Gop& g : gops) {
    if (!frames[g.firstFrame].key) continue;
    s.shortestGop = gopCount ? std::min(s.shortestGop, g.frames) : g.frames;
    s.longestGop = std::max(s.longestGop, g.frames);
    gopFrames += g.frames;
    ++gopCount;
  }
  s.averageGopFrames = gopCount ? double(gopFrames) / double(gopCount) : 0;
  return s;
}

std::string gopStructure(const std::vector<VideoFrame>& frames, const Gop& gop) {
  std::string letters;
  const size_t end = std::min(frames.size(), size_t(gop.firstFrame) + gop.frames);
  for (size_t i = gop.firstFrame; i < end; ++i) letters += frames[i].type ? frames[i].type : '-';
  return letters;
}

std::optional<bool> isOpenGop(const std::vector<VideoFrame>& frames, const Gop& gop) {
  const size_t first = gop.firstFrame;
  if (first >= frames.size() || !frames[first].type) return std::nullopt;
  return gop.frames > 1 && first + 1 < frames.size() && frames[first + 1].type == 'B';
}

}  // namespace mv
