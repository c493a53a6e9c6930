// Writes a small sample AVI (video and audio, 20 seconds) for trying the tools without media;
// with --opendml a small file of two RIFF parts with OpenDML indexes (a fuzzing seed).
#include <cstdio>
#include <cstring>
#include <exception>

#include "fixtures/avi_builder.h"
#include "fixtures/sample_media.h"

int main(int argc, char** argv) {
  const bool odml = argc == 3 && std::strcmp(argv[2], "--opendml") == 0;
  if (argc != 2 && !odml) {
    std::fprintf(stderr, "usage: make_sample OUT.avi [--opendml]\n");
    return 2;
  }
  try {
    mvtest::writeFile(
        argv[1],
        odml ? mvtest::avi::OdmlFile{.partFrames = {20, 20}, .frameBytes = 50, .audioBytes = 10}.build()
             : mvtest::sampleAvi(20));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
