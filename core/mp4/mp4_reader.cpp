#include "mp4/mp4_reader.h"

#include "mp4/mp4_codec_names.h"
#include "mp4/mp4_file.h"
#include "platform/input_file.h"

namespace mv {

LoadResult walkMp4(InputFile& file, FileAnalysis& out, WalkNotes& notes, LoadControl* control) {
  Mp4File mp4(file, control, Mp4File::Keep::ChosenUnits, out.videoUnits.keepPlaces);
  if (!mp4.result().ok()) return mp4.result();
  const auto take = [&](int index, TrackUnits& units) {
    if (index < 0) return;
    Mp4Track& t = mp4.tracks()[size_t(index)];
    units.present = true;
    units.clock = t.clock(mp4.movieTimescale());
    units.units = std::move(t.units);
    units.runs = std::move(t.runs);
    units.stamps = t.stamps;
    units.places = std::move(t.places);
  };
  take(mp4.videoIndex(), out.videoUnits);
  take(mp4.audioIndex(), out.audioUnits);
  // MP4 declares no frame rate: the load entry measures it from the decode times.
  if (mp4.videoIndex() >= 0) {
    const Mp4Track& v = mp4.tracks()[size_t(mp4.videoIndex())];
    out.frameWidth = int32_t(v.width());
    out.frameHeight = int32_t(v.height());
    out.videoCoding = mp4VideoCoding(v.codec, v.sampleEntry.data(), v.sampleEntry.size());
  }
  notes.cutShort = mp4.cutShort();
  return LoadResult::success();
}

}  // namespace mv
