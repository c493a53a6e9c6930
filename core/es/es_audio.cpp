#include "es/es_audio.h"

namespace mv {

std::optional<AudioStreamInfo> audioStreamInfo(const uint8_t*, size_t) { return std::nullopt; }

LoadResult walkAudioStream(InputFile&, FileAnalysis&, WalkNotes&, LoadControl*) {
  return LoadResult::fail(LoadFailure::NotThisFormat);
}

}  // namespace mv
