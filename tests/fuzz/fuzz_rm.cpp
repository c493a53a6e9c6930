// libFuzzer target over the RealMedia loader: any input must load or fail, never crash or leak.
#include "fuzz_input.h"
#include "rm/rm_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = mvfuzz::inputFile(data, size, ".rm");
  if (!path.empty()) mvfuzz::walkAndCheck(path, mv::walkRealMedia);
  return 0;
}
