// Writes a small sample AVI (video and audio, 20 seconds) for trying the tools without media.
#include <cstdio>
#include <exception>

#include "fixtures/sample_media.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_sample OUT.avi\n");
    return 2;
  }
  try {
    mvtest::writeFile(argv[1], mvtest::sampleAvi(20));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
