#include "platform/text_file.h"

#include <iconv.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "platform/c_numbers.h"
#include "platform/utf8.h"

namespace mv {
namespace {

bool isAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0x80) == 0; });
}

// Converts one character at a time so that an unencodable one becomes "?" on its own.
std::string convert(std::string_view text, const char* to, const char* from, bool fromUtf8,
                    std::string_view replacement) {
  std::string out;
  out.reserve(text.size());
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    for (char c : text)
      out += (static_cast<unsigned char>(c) & 0x80) ? std::string(replacement) : std::string(1, c);
    return out;
  }
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      out += char(c);
      ++i;
      continue;
    }
    size_t n = fromUtf8 ? utf8SequenceLength(text, i) : (i + 1 < text.size() ? 2 : 0);
    bool done = false;
    if (n > 0) {
      char inBuf[4];
      std::copy_n(text.data() + i, n, inBuf);
      char outBuf[16];
      char* in = inBuf;
      char* o = outBuf;
      size_t inLeft = n, outLeft = sizeof outBuf;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      if (iconv(cd, &in, &inLeft, &o, &outLeft) != size_t(-1) && inLeft == 0) {
        out.append(outBuf, size_t(o - outBuf));
        done = true;
      }
    }
    if (!done) {
      out += replacement;
      n = n ? n : 1;
    }
    i += n;
  }
  iconv_close(cd);
  return out;
}

}  // namespace

std::string utf8ToGbk(std::string_view text) {
  if (isAscii(text)) return std::string(text);
  return convert(text, "GBK", "UTF-8", true, "?");
}

std::string gbkToUtf8(std::string_view text) {
  if (isAscii(text)) return std::string(text);
  return convert(text, "UTF-8", "GBK", false, "\xEF\xBF\xBD");
}

std::string toTextFileBytes(std::string_view text) {
  const std::string gbk = utf8ToGbk(text);
  std::string out;
  out.reserve(gbk.size() + gbk.size() / 16);
  // GBK trail bytes never take the value of '\n', so the line ends can be found in the bytes.
  for (char c : gbk) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

void TextFile::write(std::string_view text) {
  const std::string bytes = toTextFileBytes(text);
  out_.append(bytes.data(), bytes.size());
}

void TextFile::printf(const char* format, ...) {
  const ClassicNumbers classic;
  char small[512];
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (n < 0) {
    va_end(copy);
    formatFailed_ = true;
    return;
  }
  if (size_t(n) < sizeof small) {
    va_end(copy);
    write(std::string_view(small, size_t(n)));
    return;
  }
  std::vector<char> big(size_t(n) + 1);
  std::vsnprintf(big.data(), big.size(), format, copy);
  va_end(copy);
  write(std::string_view(big.data(), size_t(n)));
}

}  // namespace mv
