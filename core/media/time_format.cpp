#include "media/time_format.h"

#include <cstdio>

namespace mv {

std::string formatSeconds(uint32_t s) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02u:%02u:%02u", s / 3600, s % 3600 / 60, s % 60);
  return buf;
}

std::string formatMilliseconds(uint32_t ms) {
  const uint32_t s = ms / 1000;
  uint32_t h = (ms % 1000 + 5) / 10;
  if (h >= 100) h = 99;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%02u:%02u:%02u.%02u", s / 3600, s % 3600 / 60, s % 60, h);
  return buf;
}

}  // namespace mv
