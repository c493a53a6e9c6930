#pragma once
// The two time formats of the reports, the list, the chart and the batch result.
#include <cstdint>
#include <string>

namespace mv {

std::string formatSeconds(uint32_t seconds);  // "%02d:%02d:%02d"; hours may pass two digits
std::string formatMilliseconds(uint32_t ms);  // "%02d:%02d:%02d.%02d", hundredths rounded

}  // namespace mv
