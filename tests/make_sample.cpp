// Writes a small sample AVI (video and audio, 20 seconds) for trying the tools without media.
#include <cstdio>

#include "fixtures/avi_builder.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_sample OUT.avi\n");
    return 2;
  }
  namespace avi = mvtest::avi;
  auto f = avi::simpleVideo(500, 0);
  f.index.clear();
  avi::Stream audio;
  audio.header.fccType = "auds";
  audio.header.scale = 1152;
  audio.header.rate = 44100;
  audio.format = avi::waveFormat(0x55, 2, 44100, 16000, 1152, 0);
  f.streams.push_back(audio);
  for (uint32_t i = 0; i < 500; ++i) {
    // A key frame every 50 frames and a slow swell, so the curve has something to show.
    const uint32_t frame = (i % 50 == 0 ? 12000 : 3000) + (i % 125) * 20;
    f.add(0, "dc", frame);
    if (i % 2 == 0 || i % 25 == 1) f.add(1, "wb", 418);
  }
  try {
    mvtest::writeFile(argv[1], f.build());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
