// libFuzzer target over the RealMedia loader: any input must load or fail, never crash or leak.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "analysis/rm_reader.h"
#include "platform/messages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = [] {
    mv::setMessageSink([](const std::string&) {});
    return "/tmp/fuzz_rm_" + std::to_string(getpid()) + ".rm";
  }();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  std::unique_ptr<mv::PerSecondSeries> video, audio;
  uint64_t length = 0;
  int32_t duration = 0, rate = 0, width = 0, height = 0;
  if (mv::loadRealMedia(path, video, audio, length, duration, rate, width, height)) {
    // A loaded file has both series, sized by the duration.
    if (!video || !audio || video->elementCount() != uint32_t(duration) + 8 ||
        audio->elementCount() != video->elementCount()) {
      __builtin_trap();
    }
  } else if (video || audio) {
    __builtin_trap();
  }
  return 0;
}
