// libFuzzer target over the ASF loader: any input must load or fail, never crash or leak.
#include "asf/asf_reader.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = mvfuzz::inputFile(data, size, ".asf");
  if (!path.empty()) mvfuzz::walkAndCheck(path, mv::walkAsf);
  return 0;
}
