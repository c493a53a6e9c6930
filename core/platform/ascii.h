#pragma once
// Case folding of plain ASCII letters only: file suffixes must compare the same in every locale
// (a Turkish locale folds "I" to a dotless "ı" and would make ".AVI" differ from ".avi").
#include <string_view>

namespace mv {

constexpr char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

constexpr bool equalsIgnoreAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  return true;
}

}  // namespace mv
