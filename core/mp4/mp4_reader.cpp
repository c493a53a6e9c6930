#include "mp4/mp4_reader.h"

#include "mp4/mp4_file.h"
#include "platform/input_file.h"

namespace mv {

LoadResult loadMp4(const std::string& path, FileAnalysis& out, LoadControl* control) {
  out.videoSeries.reset();
  out.audioSeries.reset();
  out.videoUnits = TrackUnits{};
  out.audioUnits = TrackUnits{};
  out.notes.clear();
  InputFile file;
  if (!file.open(path)) return LoadResult::fail(LoadFailure::CouldNotRead);
  out.fileLength = file.length();
  Mp4File mp4(file, control, Mp4File::Keep::ChosenUnits);
  if (!mp4.result().ok()) return mp4.result();

  const auto take = [&](int index, TrackUnits& units) {
    if (index < 0) return;
    Mp4Track& t = mp4.tracks()[size_t(index)];
    units.present = true;
    units.clock = t.clock(mp4.movieTimescale());
    units.units = std::move(t.units);
    units.runs = std::move(t.runs);
    units.stamps = t.stamps;
  };
  take(mp4.videoIndex(), out.videoUnits);
  take(mp4.audioIndex(), out.audioUnits);
  if (mp4.videoIndex() >= 0) {
    const Mp4Track& v = mp4.tracks()[size_t(mp4.videoIndex())];
    out.frameWidth = int32_t(v.width());
    out.frameHeight = int32_t(v.height());
    // MP4 declares no frame rate: it is measured from the decode times.
    out.frameRateMilli = measuredFrameRateMilli(out.videoUnits);
  } else {
    out.frameWidth = out.frameHeight = out.frameRateMilli = 0;
  }
  if (mp4.cutShort()) out.notes.push_back(kNoteCutShort);
  const LoadResult r = fillTimedSeries(out.videoUnits, out.audioUnits, out);
  if (!r.ok()) {
    out.videoSeries.reset();
    out.audioSeries.reset();
  }
  return r;
}

}  // namespace mv
