#include "mp4/mp4_reader.h"

namespace mv {

LoadResult loadMp4(const std::string&, FileAnalysis& out, LoadControl*) {
  out.videoSeries.reset();
  out.audioSeries.reset();
  return LoadResult::fail(LoadFailure::NotThisFormat);
}

}  // namespace mv
