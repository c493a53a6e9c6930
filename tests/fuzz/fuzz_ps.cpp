// libFuzzer target over the program stream loader: any input must load or fail, never crash or leak.
#include "fuzz_input.h"
#include "ps/ps_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = mvfuzz::inputFile(data, size, ".mpg");
  if (!path.empty()) mvfuzz::walkAndCheck(path, mv::walkPs);
  return 0;
}
