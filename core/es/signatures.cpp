#include "es/signatures.h"

#include <cstring>
#include <string_view>

namespace mv::es {
namespace {

bool at(const uint8_t* head, size_t n, size_t offset, std::string_view bytes) {
  return n >= offset + bytes.size() && std::memcmp(head + offset, bytes.data(), bytes.size()) == 0;
}

// Sync bytes at three packet starts: 188-byte packets, 192-byte ones behind their time code,
// 204-byte ones with their parity.
bool transportStream(const uint8_t* head, size_t n) {
  for (const auto& [first, size] : {std::pair<size_t, size_t>{0, 188}, {4, 192}, {0, 204}}) {
    if (n <= first + 2 * size) continue;
    if (head[first] == 0x47 && head[first + size] == 0x47 && head[first + 2 * size] == 0x47) return true;
  }
  return false;
}

// A text playlist or manifest, after a byte order mark and blanks: its name, else empty.
std::string_view playlistName(const uint8_t* head, size_t n) {
  size_t i = at(head, n, 0, "\xEF\xBB\xBF") ? 3 : 0;
  while (i < n && i < 64 && (head[i] == ' ' || head[i] == '\t' || head[i] == '\r' || head[i] == '\n')) ++i;
  if (at(head, n, i, "#EXTM3U")) return "HLS playlist";
  if (at(head, n, i, "<MPD") || at(head, n, i, "<?xml")) return "XML (DASH manifest)";
  return {};
}

}  // namespace

bool beginsAsContainer(const uint8_t* head, size_t n) {
  using namespace std::string_view_literals;
  for (std::string_view box : {"ftyp"sv, "moov"sv, "mdat"sv, "free"sv, "wide"sv, "skip"sv})
    if (at(head, n, 4, box)) return true;
  for (std::string_view magic : {"\x1A\x45\xDF\xA3"sv, "FLV"sv, "RIFF"sv, ".RMF"sv, "\x00\x00\x01\xBA"sv,
                                 // ASF's header object GUID.
                                 "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C"sv})
    if (at(head, n, 0, magic)) return true;
  return transportStream(head, n) || !unreadFormatName(head, n).empty();
}

std::string_view unreadFormatName(const uint8_t* head, size_t n) {
  if (at(head, n, 0, "RIFF") && at(head, n, 8, "WAVE")) return "WAV";
  if (at(head, n, 0, "FORM") && (at(head, n, 8, "AIFF") || at(head, n, 8, "AIFC"))) return "AIFF";
  if (at(head, n, 0, "caff")) return "CAF";
  if (at(head, n, 0, "fLaC")) return "FLAC";
  if (at(head, n, 0, "OggS")) return "Ogg";
  // An MXF header partition pack's key.
  if (at(head, n, 0, "\x06\x0E\x2B\x34\x02\x05\x01\x01\x0D\x01\x02\x01\x01")) return "MXF";
  return playlistName(head, n);
}

}  // namespace mv::es
