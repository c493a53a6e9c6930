// libFuzzer target over the raw audio stream walk and its first-bytes look: any input must load
// or fail, never crash or leak.
#include "es/es_audio.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  (void)mv::audioStreamInfo(data, size);
  const std::string path = mvfuzz::inputFile(data, size, ".mp3");
  if (!path.empty()) mvfuzz::walkAndCheck(path, mv::walkAudioStream);
  return 0;
}
