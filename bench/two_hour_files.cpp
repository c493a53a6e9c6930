#include "two_hour_files.h"

#include <fstream>
#include <stdexcept>
#include <vector>

#include "fixtures/avi_builder.h"
#include "fixtures/rm_builder.h"

namespace mvbench {

namespace avi = mvtest::avi;

namespace {

avi::File twoHourAvi() {
  auto f = avi::simpleVideo(kAviFrames, 0);
  f.index.clear();
  f.index.reserve(kAviFrames * 5 / 2);
  avi::Stream a;
  a.header.fccType = "auds";
  a.header.scale = 2;
  a.header.rate = 75;
  a.format = avi::waveFormat(0x55, 2, 48000, 24000, 1, 0);
  f.streams.push_back(a);
  for (uint32_t i = 0; i < kAviFrames; ++i) {
    f.add(0, "dc", i % 250 == 0 ? 60000 : 8000 + i % 997);
    f.add(1, "wb", 640);
    if (i % 2 == 0) f.add(1, "wb", 640);
  }
  return f;
}

void putU32le(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

}  // namespace

void writeTwoHourAvi(const std::string& path) { mvtest::writeFile(path, twoHourAvi().build()); }

void writeTwoHourAviWithPayloads(const std::string& path) {
  avi::File f = twoHourAvi();
  std::vector<avi::IndexEntry> entries = std::move(f.index);
  f.index.clear();
  f.withIndex = false;
  // RIFF AVI [LIST hdrl, LIST movi]: keep everything up to the movi list type.
  mvtest::Bytes head = f.build();
  head.resize(head.size() - 4);  // "movi"
  const size_t moviAt = head.size() - 8;
  uint64_t moviSize = 4;
  for (auto& e : entries) {
    e.offset = uint32_t(moviSize);
    moviSize += 8 + e.length + (e.length & 1);
  }
  const mvtest::Bytes index = avi::idx1(entries);
  const uint64_t riffSize = (moviAt + 8 + moviSize + index.size()) - 8;
  if (riffSize > 0xFFFFFFFFu) throw std::runtime_error("too long for one RIFF");
  putU32le(head.data() + 4, uint32_t(riffSize));
  putU32le(head.data() + moviAt + 4, uint32_t(moviSize));
  head.insert(head.end(), {'m', 'o', 'v', 'i'});

  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(head.data()), std::streamsize(head.size()));
  uint64_t at = head.size();
  for (const auto& e : entries) {
    uint8_t chunk[8];
    for (int i = 0; i < 4; ++i) chunk[i] = uint8_t(e.ckid[size_t(i)]);
    putU32le(chunk + 4, e.length);
    out.seekp(std::streamoff(at));
    out.write(reinterpret_cast<const char*>(chunk), sizeof chunk);
    at += 8 + e.length + (e.length & 1);
  }
  out.seekp(std::streamoff(at));
  out.write(reinterpret_cast<const char*>(index.data()), std::streamsize(index.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path);
}

RmFileFacts writeTwoHourRm(const std::string& path) {
  constexpr uint32_t kFrames = kRmSeconds * 25;             // two packets each: 360,000
  constexpr uint32_t kAudioPackets = kRmSeconds * 100 / 3;  // one every 30 ms: 240,000
  std::vector<mvtest::RmPacket> packets;
  packets.reserve(kFrames * 2 + kAudioPackets);
  uint64_t payload = 0;
  uint32_t a = 0;
  for (uint32_t f = 0; f < kFrames; ++f) {
    const uint32_t t = f * 40;
    for (; a < kAudioPackets && a * 30 <= t; ++a) {
      packets.push_back({.stream = 1, .timestamp = a * 30, .length = uint16_t(420 + a % 160)});
    }
    const uint16_t slice = f % 250 == 0 ? 24000 : uint16_t(1200 + (f * 7919u) % 800);
    packets.push_back({.stream = 0, .timestamp = t, .length = slice});
    packets.push_back({.stream = 0, .timestamp = t, .length = uint16_t(slice - 100)});
  }
  for (const auto& p : packets) payload += p.length;

  mvtest::RmBuilder b;
  b.fileHeader(0, 5).properties({.maxPacketSize = 24000,
                                 .numPackets = uint32_t(packets.size()),
                                 .duration = kRmSeconds * 1000,
                                 .numStreams = 2});
  b.content("bench", "", "", "");
  b.mediaProperties({.streamNumber = 0,
                     .name = "Video",
                     .mime = "video/x-pn-realvideo",
                     .typeSpecific = mvtest::realVideoBlock("RV40", 640, 352, 25u << 16)});
  b.mediaProperties({.streamNumber = 1,
                     .name = "Audio",
                     .mime = "audio/x-pn-realaudio",
                     .typeSpecific = mvtest::realAudioBlock(5, 44100, 16, 2, "cook")});
  b.dataHeader(uint32_t(packets.size()), uint32_t(18 + payload));
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(b.bytes().data()), std::streamsize(b.bytes().size()));
  mvtest::ByteWriter chunk;
  for (size_t i = 0; i < packets.size(); ++i) {
    mvtest::RmBuilder::appendPacket(chunk, packets[i]);
    if (chunk.size() >= (8u << 20) || i + 1 == packets.size()) {
      const mvtest::Bytes bytes = chunk.take();
      out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
      chunk = mvtest::ByteWriter();
    }
  }
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path);
  return {packets.size(), b.bytes().size() + payload};
}

}  // namespace mvbench
