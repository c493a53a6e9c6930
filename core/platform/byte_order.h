#pragma once
// Byte order lives here and nowhere else: AVI is little-endian, RealMedia big-endian.
#include <cstddef>
#include <cstdint>
#include <span>

namespace mv {

inline uint16_t readU16le(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t readU32le(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint64_t readU64le(const uint8_t* p) { return readU32le(p) | (uint64_t(readU32le(p + 4)) << 32); }
inline uint16_t readU16be(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }
inline uint32_t readU32be(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

// A field of a block that may be shorter than the structure it holds: bytes past the block read
// as zero, as if the structure had been cleared before the block was copied into it.
inline uint16_t fieldU16le(std::span<const uint8_t> block, size_t offset) {
  return offset <= block.size() && block.size() - offset >= 2 ? readU16le(block.data() + offset) : 0;
}
inline uint32_t fieldU32le(std::span<const uint8_t> block, size_t offset) {
  return offset <= block.size() && block.size() - offset >= 4 ? readU32le(block.data() + offset) : 0;
}
inline uint16_t fieldU16be(std::span<const uint8_t> block, size_t offset) {
  return offset <= block.size() && block.size() - offset >= 2 ? readU16be(block.data() + offset) : 0;
}
inline uint32_t fieldU32be(std::span<const uint8_t> block, size_t offset) {
  return offset <= block.size() && block.size() - offset >= 4 ? readU32be(block.data() + offset) : 0;
}

// Four-character code as the little-endian value of its characters in file order ("RIFF").
constexpr uint32_t fourccLe(const char (&s)[5]) {
  return uint32_t(uint8_t(s[0])) | (uint32_t(uint8_t(s[1])) << 8) | (uint32_t(uint8_t(s[2])) << 16) |
         (uint32_t(uint8_t(s[3])) << 24);
}
// Four-character code as the big-endian value of its characters in file order (".RMF").
constexpr uint32_t fourccBe(const char (&s)[5]) {
  return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) | (uint32_t(uint8_t(s[2])) << 8) |
         uint32_t(uint8_t(s[3]));
}

}  // namespace mv
