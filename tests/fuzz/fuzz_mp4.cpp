// libFuzzer target over the MP4 family (.mp4 .mov .m4v) loader: any input must load or fail, never crash or
// leak.
#include "fuzz_input.h"
#include "mp4/mp4_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = mvfuzz::inputFile(data, size, ".mp4");
  if (!path.empty()) mvfuzz::walkAndCheck(path, mv::walkMp4);
  return 0;
}
