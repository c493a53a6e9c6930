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

// The type of one picture: a look at its first bytes, and further looks where the reader asks.
char typeAt(InputFile& file, codec::PictureReader& reader, const UnitPlace& place, uint32_t bytes) {
  const uint64_t size = std::min<uint64_t>(place.contiguous, bytes);
  uint64_t at = 0;
  // A reader asks only further in, so the looks end; a few are plenty for any header.
  for (int look = 0; look < 8 && at < size; ++look) {
    const size_t n = size_t(std::min<uint64_t>(codec::PictureReader::kHeadBytes, size - at));
    // A few KiB: enough for the next small pictures too, without reading big ones whole.
    const uint8_t* data = file.peek(place.at + at, n, n);
    if (!data) return 0;
    const codec::PictureReader::Probe p = reader.probe(data, n, at, size);
    if (p.readAt == 0) return letterOf(p.type);
    at = p.readAt;
  }
  return 0;
}

}  // namespace

LoadResult readPictureTypes(const FileSlot& slot, std::vector<VideoFrame>& frames, LoadControl* control) {
  const FileAnalysis& opened = slot.analysis;
  const Container* container = slot.container();
  if (!container || frames.empty() || opened.videoCoding.codec == codec::Codec::Unknown) return {};

  FileAnalysis walked;
  walked.videoUnits.keepPlaces = true;
  LoadResult r = container->load(opened.path, walked, control);
  if (!r.ok()) return r;
  // A load keeps the places of every video track: those of the one chosen since are wanted.
  if (walked.videoTrack != opened.videoTrack && !swapChosenTracks(walked, opened.videoTrack, -1)) return {};
  std::vector<VideoFrame> now = videoFrames(walked);
  const std::vector<UnitPlace>& places = walked.videoUnits.places;
  if (places.size() == now.size()) {
    InputFile file;
    if (!file.open(opened.path)) return LoadResult::fail(LoadFailure::CouldNotRead);
    codec::PictureReader reader(walked.videoCoding);
    ProgressGate gate(control, file.length());
    for (size_t i = 0; i < now.size(); ++i) {
      if (!gate.at(places[i].at)) return LoadResult::fail(LoadFailure::Cancelled);
      if (now[i].type == 0) now[i].type = typeAt(file, reader, places[i], now[i].bytes);
    }
  }
  frames = std::move(now);
  return {};
}

}  // namespace mv
