#pragma once
// UTF-8 as the program checks it: byte patterns only, no locale.
#include <cstddef>
#include <string_view>

namespace mv {

// Length of the UTF-8 sequence starting at s[i], or 0 when it is not valid UTF-8 there.
constexpr size_t utf8SequenceLength(std::string_view s, size_t i) {
  const auto c = static_cast<unsigned char>(s[i]);
  const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (n == 0 || n > s.size() - i) return 0;
  for (size_t k = 1; k < n; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  return n;
}

constexpr bool isUtf8(std::string_view s) {
  for (size_t i = 0, n = 0; i < s.size(); i += n)
    if ((n = utf8SequenceLength(s, i)) == 0) return false;
  return true;
}

// A byte inside a sequence, never the first of a character.
constexpr bool isUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace mv
