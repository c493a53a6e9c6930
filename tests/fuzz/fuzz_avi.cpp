// libFuzzer target over the AVI loader: any input must load or fail, never crash or leak.
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "analysis/avi_reader.h"
#include "platform/messages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = [] {
    mv::setMessageSink([](const std::string&) {});
    return "/tmp/fuzz_avi_" + std::to_string(getpid()) + ".avi";
  }();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  std::unique_ptr<mv::PerSecondSeries> video, audio;
  uint64_t length = 0;
  int32_t duration = 0, rate = 0, width = 0, height = 0;
  mv::loadAvi(path, video, audio, length, duration, rate, width, height);
  return 0;
}
