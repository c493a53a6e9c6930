// libFuzzer target over the TS loader: any input must load or fail, never crash or leak.
#include "fuzz_input.h"
#include "ts/ts_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = mvfuzz::inputFile(data, size, ".ts");
  if (!path.empty()) mvfuzz::walkAndCheck(path, mv::walkTs);
  return 0;
}
