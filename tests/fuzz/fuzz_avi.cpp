// libFuzzer target over the AVI loader: any input must load or fail, never crash or leak.
#include "avi/avi_reader.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = mvfuzz::inputFile(data, size, ".avi");
  if (!path.empty()) mvfuzz::walkAndCheck(path, mv::walkAvi);
  return 0;
}
