#pragma once
// The two-hour files the load benchmarks and the whole-process script time: one AVI with a
// 450,000-entry index and one RealMedia file of 600,000 packets (about 700 MB).
#include <cstdint>
#include <string>

namespace mvbench {

// 25 fps video (180,000 index entries) and audio at 37.5 entries a second (270,000). Payloads
// are not written: the loader skips movi by its size and never reads them.
inline constexpr uint32_t kAviFrames = 2 * 3600 * 25;
void writeTwoHourAvi(const std::string& path);
// The same headers and index, with every chunk in movi where the index says: headers written,
// payloads left as holes of zeros (the file is sparse, about 1.7 GB long). For tools that walk
// the packets, such as ffprobe.
void writeTwoHourAviWithPayloads(const std::string& path);

inline constexpr uint32_t kRmSeconds = 2 * 3600;
struct RmFileFacts {
  uint64_t packets = 0;
  uint64_t fileBytes = 0;
};
// Video frames in two slices sharing a timestamp, a larger key frame every ten seconds, audio
// every 30 ms interleaved by time. Throws when the file cannot be written.
RmFileFacts writeTwoHourRm(const std::string& path);

}  // namespace mvbench
