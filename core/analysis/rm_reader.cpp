#include "analysis/rm_reader.h"

namespace mv {

// RealMedia files are not read yet: every load fails with the usual message.
int loadRealMedia(const std::string&, std::unique_ptr<PerSecondSeries>&, std::unique_ptr<PerSecondSeries>&,
                  uint64_t&, int32_t&, int32_t&, int32_t&, int32_t&) {
  return 0;
}

}  // namespace mv
