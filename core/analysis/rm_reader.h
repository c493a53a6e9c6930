#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "analysis/per_second_series.h"

namespace mv {

int loadRealMedia(const std::string& path, std::unique_ptr<PerSecondSeries>& videoSeries,
                  std::unique_ptr<PerSecondSeries>& audioSeries, uint64_t& fileLength,
                  int32_t& durationSeconds, int32_t& frameRateMilli, int32_t& frameWidth,
                  int32_t& frameHeight);

}  // namespace mv
