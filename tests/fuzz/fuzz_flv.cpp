// libFuzzer target over the FLV loader: any input must load or fail, never crash or leak.
#include "flv/flv_reader.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = mvfuzz::inputFile(data, size, ".flv");
  if (!path.empty()) mvfuzz::walkAndCheck(path, mv::walkFlv);
  return 0;
}
