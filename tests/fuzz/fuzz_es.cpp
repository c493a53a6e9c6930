// libFuzzer target over the elementary stream loader: any input must load or fail, never crash or leak.
#include "es/es_reader.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = mvfuzz::inputFile(data, size, ".264");
  if (!path.empty()) mvfuzz::walkAndCheck(path, mv::walkElementaryStream);
  return 0;
}
