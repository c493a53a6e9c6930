#include "codec/pes_pictures.h"

#include <algorithm>
#include <climits>
#include <numeric>

#include "media/mpeg_timestamps.h"

namespace mv::codec {
namespace {

constexpr uint64_t kOpen = UINT64_MAX;
// A finer clock than 90 kHz makes each field's duration whole; beyond this the duration is rounded.
constexpr uint64_t kMaxScale = 1024;

}  // namespace

void PesPictures::beginPes(bool stamped, int64_t ticks, uint64_t unit) {
  if (rateOnly_) return;
  const uint64_t at = cutter_->fed();
  lastPes_ = at;
  if (!stamps_.empty() && stamps_.back().end == kOpen) stamps_.back().end = at;
  if (stamped) stamps_.push_back({at, kOpen, ticks, unit});
}

void PesPictures::payload(const uint8_t* p, size_t n) {
  if (done()) return;
  cutter_->feed(p, n, cut_);
  if (rateOnly_) {
    cut_.clear();
    rateKnown_ = cutter_->info().rateNum > 0 && cutter_->info().rateDen > 0;
    return;
  }
  if (!cut_.empty()) take();
}

void PesPictures::take() {
  for (const AccessUnit& u : cut_) {
    // A cut may take the zero byte just before a PES payload that opens with its start code.
    const uint64_t at = u.start + 1;
    while (!stamps_.empty() && stamps_.front().end <= at) stamps_.pop_front();
    const bool stamped = !stamps_.empty() && stamps_.front().start <= at;
    const int64_t ticks = stamped ? stamps_.front().ticks : 0;
    const uint64_t unit = stamped ? stamps_.front().unit : 0;
    if (stamped) stamps_.pop_front();
    stamped_ = stamped_ || stamped;
    if (stamped_)
      pictures_.push_back({u.start, ticks, unit, stamped, uint8_t(u.key ? 1 : 0),
                           uint8_t(typeName(u.type).empty() ? 0 : typeName(u.type)[0]), u.fields});
  }
  cut_.clear();
}

int32_t PesPictures::declaredRateMilli() const {
  const StreamInfo info = cutter_->info();
  if (info.rateNum == 0 || info.rateDen == 0) return 0;
  return int32_t(std::min<uint64_t>(uint64_t(info.rateNum) * 1000 / info.rateDen, INT32_MAX));
}

int64_t PesPictures::frameTicks() const {
  const StreamInfo info = cutter_->info();
  if (info.rateNum == 0 || info.rateDen == 0) return 0;
  return int64_t((90000 * uint64_t(info.rateDen) + info.rateNum / 2) / info.rateNum);
}

PesPictures::Result PesPictures::finish(TrackUnits& out, const StampJumps& track) {
  Result r;
  if (rateOnly_) {
    r.frameRateMilli = declaredRateMilli();
    return r;
  }
  cutter_->finish(cut_);
  take();
  stamps_.clear();
  // Pictures that begin in a PES left out are none (a cut may take the zero byte before it).
  const uint64_t streamEnd = std::min(cutter_->fed(), end_);
  while (!pictures_.empty() && pictures_.back().start + 1 >= streamEnd) pictures_.pop_back();
  if (pictures_.empty()) return r;
  const StreamInfo info = cutter_->info();
  const bool declared = info.rateNum > 0 && info.rateDen > 0;
  // A field lasts 45000 × rateDen / rateNum ticks of 90 kHz; on a clock `scale` times finer, whole.
  uint64_t fieldNum = 45000 * uint64_t(declared ? info.rateDen : 1);
  uint64_t fieldDen = declared ? info.rateNum : 25;
  const uint64_t g = std::gcd(fieldNum, fieldDen);
  fieldNum /= g;
  fieldDen /= g;
  uint64_t scale = fieldDen, field = fieldNum;
  if (scale > kMaxScale) {
    scale = 1;
    field = std::max<uint64_t>(1, (fieldNum + fieldDen / 2) / fieldDen);
  }
  field = std::min<uint64_t>(field, uint64_t(INT64_MAX) / 8);
  out.clock = {1, 0, 90000 * scale};
  out.jumps = track;
  for (int64_t& t : out.jumps.at)
    if (int64_t fine = 0; __builtin_mul_overflow(t, int64_t(scale), &fine))
      t = t < 0 ? INT64_MIN / 2 : INT64_MAX / 2;
    else
      t = fine;
  out.units.clear();
  out.units.reserve(pictures_.size());
  int64_t ticks = 0;
  // The shift of each picture's PES unit: the pictures come in the order of their units.
  int64_t shift = 0;
  size_t nextShift = 0;
  for (size_t i = 0; i < pictures_.size(); ++i) {
    const Picture& p = pictures_[i];
    if (p.stamped) {
      for (; nextShift < track.shifts.size() && track.shifts[nextShift].from <= p.unit; ++nextShift)
        shift = int64_t(uint64_t(shift) + uint64_t(track.shifts[nextShift].by));
      int64_t placed = 0;
      if (__builtin_add_overflow(p.ticks, shift, &placed)) placed = p.ticks;
      if (__builtin_mul_overflow(placed, int64_t(scale), &ticks))
        ticks = placed < 0 ? INT64_MIN / 2 : INT64_MAX / 2;
    } else {
      const Picture& before = pictures_[i - 1];  // the first picture kept is stamped
      if (__builtin_add_overflow(ticks, int64_t(field * before.fields), &ticks)) ticks = INT64_MAX / 2;
      r.rateAssumed = r.rateAssumed || !declared;
    }
    const uint64_t end = i + 1 < pictures_.size() ? pictures_[i + 1].start : streamEnd;
    const uint32_t bytes = uint32_t(std::min<uint64_t>(end - p.start, UINT32_MAX));
    TimedUnit unit{ticks, bytes, p.key};
    unit.type = p.type;
    out.units.push_back(unit);
    out.stamps.note(ticks, LoadResult::kNoPosition);
  }
  pictures_.clear();
  pictures_.shrink_to_fit();
  r.any = true;
  r.frameRateMilli = declared ? declaredRateMilli() : measuredFrameRateMilli(out);
  return r;
}

LoadResult takePictures(TrackUnits& pictures, int32_t frameRateMilli, bool rateAssumed, FileAnalysis& out,
                        WalkNotes& notes) {
  if (!pictures.present || !out.videoUnits.present) {
    if (frameRateMilli > 0) out.frameRateMilli = frameRateMilli;
    return LoadResult::success();
  }
  if (const LoadResult r = fillTimedSeries(out.videoUnits, out.audioUnits, out); !r.ok()) return r;
  pictures.keepPlaces = out.videoUnits.keepPlaces;
  out.videoUnits = std::move(pictures);
  out.frameRateMilli = frameRateMilli;
  notes.rateAssumed = rateAssumed;
  return LoadResult::success();
}

}  // namespace mv::codec
