#include "mkv/mkv_reader.h"

namespace mv {

LoadResult loadMatroska(const std::string&, FileAnalysis& out, LoadControl*) {
  out.videoSeries.reset();
  out.audioSeries.reset();
  return LoadResult::fail(LoadFailure::NotThisFormat);
}

}  // namespace mv
