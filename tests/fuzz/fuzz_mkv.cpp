// libFuzzer target over the Matroska and WebM (.mkv .webm) loader: any input must load or fail, never crash
// or leak.
#include "fuzz_input.h"
#include "mkv/mkv_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = mvfuzz::inputFile(data, size, ".mkv");
  if (!path.empty()) mvfuzz::walkAndCheck(path, mv::walkMatroska);
  return 0;
}
