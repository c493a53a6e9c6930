#include "analysis/picture_types.h"

#include <algorithm>

#include "analysis/containers.h"
#include "codec/picture.h"
#include "media/container.h"
#include "platform/input_file.h"

namespace mv {
namespace {

char letterOf(codec::PictureType type) {
  const std::string_view name = codec::typeName(type);
  return name.empty() ? 0 : name[0];
}

}  // namespace

LoadResult readPictureTypes(const FileSlot& slot, std::vector<VideoFrame>& frames, LoadControl* control) {
  const FileAnalysis& opened = slot.analysis;
  const Container* container = slot.container();
  if (!container || frames.empty() || opened.videoCoding.codec == codec::Codec::Unknown) return {};

  FileAnalysis walked;
  walked.videoUnits.keepPlaces = true;
  // The tracks chosen since the file opened, not the default ones.
  if (opened.videoTrack != opened.defaultVideo || opened.audioTrack != opened.defaultAudio) {
    walked.askedVideo = opened.videoTrack;
    walked.askedAudio = opened.audioTrack;
  }
  LoadResult r = container->load(opened.path, walked, control);
  if (!r.ok()) return r;
  // The frames are the chosen video track's, which need not be the one a load chooses.
  if (opened.videoTrack != walked.videoTrack &&
      (walked.tracks.size() != opened.tracks.size() ||
       !swapChosenTracks(walked, opened.videoTrack, walked.audioTrack)))
    return {};
  std::vector<VideoFrame> now = videoFrames(walked);
  const std::vector<UnitPlace>& places = walked.videoUnits.places;
  if (places.size() == now.size()) {
    InputFile file;
    if (!file.open(opened.path)) return LoadResult::fail(LoadFailure::CouldNotRead);
    codec::PictureReader reader(walked.videoCoding);
    ProgressGate gate(control, file.length());
    for (size_t i = 0; i < now.size(); ++i) {
      if (!gate.at(places[i].at)) return LoadResult::fail(LoadFailure::Cancelled);
      if (now[i].type != 0) continue;
      // A few KiB: enough for the next small pictures too, without reading big ones whole.
      const uint64_t size = std::min<uint64_t>(places[i].contiguous, now[i].bytes);
      now[i].type = letterOf(reader.probeFile(file, places[i].at, size, 0).type);
    }
  }
  frames = std::move(now);
  return {};
}

}  // namespace mv
