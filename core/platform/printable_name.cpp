#include "platform/printable_name.h"

namespace mv {

std::string printableName(std::string_view name) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(name.size());
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x20 && c != 0x7f && c != '\\') {
      out += ch;
      continue;
    }
    out += '\\';
    switch (c) {
      case '\\':
        out += '\\';
        break;
      case '\t':
        out += 't';
        break;
      case '\n':
        out += 'n';
        break;
      case '\r':
        out += 'r';
        break;
      case 0x1b:
        out += 'e';
        break;
      default:
        out += 'x';
        out += kHex[c >> 4];
        out += kHex[c & 0xf];
    }
  }
  return out;
}

}  // namespace mv
