#include "settings/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>

#include "platform/ascii.h"
#include "platform/output_file.h"
#include "platform/utf8.h"

namespace mv {
namespace {

constexpr std::string_view kSpace = " \t\r\v\f";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool isSpace(char c) { return kSpace.find(c) != std::string_view::npos; }

std::string_view trim(std::string_view s) {
  const auto first = s.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(kSpace) - first + 1);
}

// Offsets of one line in the file: its text runs to contentEnd, its line end to end.
struct Line {
  std::size_t begin = 0;
  std::size_t contentEnd = 0;
  std::size_t end = 0;
  bool hasEnd() const { return contentEnd != end; }
};

bool nextLine(std::string_view s, std::size_t& pos, Line& line) {
  if (pos >= s.size()) return false;
  line.begin = pos;
  const auto nl = s.find('\n', pos);
  if (nl == std::string_view::npos) {
    line.contentEnd = line.end = s.size();
  } else {
    line.end = nl + 1;
    line.contentEnd = (nl > pos && s[nl - 1] == '\r') ? nl - 1 : nl;
  }
  pos = line.end;
  return true;
}

enum class Kind { Blank, Other, Section, Key };

struct Parsed {
  Kind kind = Kind::Other;
  std::string_view name;   // section name or key
  std::string_view value;  // trimmed, quotes still on
};

Parsed classify(std::string_view text) {
  if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom) text.remove_prefix(kUtf8Bom.size());
  text = trim(text);
  Parsed p;
  if (text.empty()) {
    p.kind = Kind::Blank;
  } else if (text.front() == ';') {
    p.kind = Kind::Other;
  } else if (text.front() == '[') {
    const auto close = text.find(']');
    if (close != std::string_view::npos) {
      p.kind = Kind::Section;
      p.name = trim(text.substr(1, close - 1));
    }
  } else if (const auto eq = text.find('='); eq != std::string_view::npos) {
    p.name = trim(text.substr(0, eq));
    if (!p.name.empty()) {
      p.kind = Kind::Key;
      p.value = trim(text.substr(eq + 1));
    }
  }
  return p;
}

// Windows drops one pair of enclosing quotes when reading; the writer relies on that to keep
// leading and trailing blanks of a value.
std::string_view unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

std::string encodeValue(std::string_view v) {
  const bool needsQuotes =
      !v.empty() && (isSpace(v.front()) || isSpace(v.back()) || unquote(v).size() != v.size());
  return needsQuotes ? "\"" + std::string(v) + "\"" : std::string(v);
}

std::string capValue(std::string_view v) {
  if (v.size() <= kIniMaxValueBytes) return std::string(v);
  std::size_t n = kIniMaxValueBytes;
  // Back off to the first byte of the character that would be split.
  while (n > 0 && isUtf8Continuation(v[n])) --n;
  return std::string(v.substr(0, n));
}

enum class ReadResult { Ok, Missing, TooLarge, Failed };

// Reads a regular file of at most `limit` bytes (or its first `limit` bytes when `truncate`).
// Opened non-blocking so that a FIFO in the file's place cannot hang the program.
ReadResult readRegularFile(const std::string& path, std::size_t limit, bool truncate, std::string& out) {
  out.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return ReadResult::Failed;
  }
  if (!truncate && std::uintmax_t(st.st_size) > limit) {
    ::close(fd);
    return ReadResult::TooLarge;
  }
  char buf[16384];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return ReadResult::Failed;
    }
    if (n == 0) break;
    const std::size_t room = limit - out.size();
    if (std::size_t(n) > room) {
      out.append(buf, room);
      ::close(fd);
      // The file grew past the limit since fstat.
      return truncate ? ReadResult::Ok : ReadResult::TooLarge;
    }
    out.append(buf, std::size_t(n));
  }
  ::close(fd);
  return ReadResult::Ok;
}

// Last resort when the folder does not let us create a file but the file itself is writable:
// what Windows did all along. Only a plain file with no other name is rewritten, so that the
// settings never land in a file a link leads to. The file is a few hundred bytes.
bool rewriteInPlace(const std::string& target, std::string_view content) {
  const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1 && ::ftruncate(fd, 0) == 0 &&
            writeAll(fd, content) && ::fsync(fd) == 0;
  return ::close(fd) == 0 && ok;
}

// Calls fn(section, key, value) for each key line inside a section, in file order, until fn
// returns true.
template <class Fn>
void forEachKey(std::string_view s, Fn fn) {
  std::optional<std::string_view> section;
  std::size_t pos = 0;
  Line line;
  while (nextLine(s, pos, line)) {
    const Parsed p = classify(s.substr(line.begin, line.contentEnd - line.begin));
    if (p.kind == Kind::Section) {
      section = p.name;
    } else if (section && p.kind == Kind::Key && fn(*section, p.name, capValue(unquote(p.value)))) {
      return;
    }
  }
}

}  // namespace

IniFile IniFile::load(const std::string& path) {
  std::string content;
  if (readRegularFile(path, kIniMaxFileBytes, true, content) != ReadResult::Ok) content.clear();
  return IniFile(std::move(content));
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const {
  std::optional<std::string> found;
  forEachKey(content_, [&](std::string_view s, std::string_view k, std::string v) {
    if (!equalsIgnoreAsciiCase(s, section) || !equalsIgnoreAsciiCase(k, key)) return false;
    found = std::move(v);
    return true;
  });
  return found;
}

std::vector<IniEntry> IniFile::entries() const {
  std::vector<IniEntry> out;
  forEachKey(content_, [&](std::string_view s, std::string_view k, std::string v) {
    out.push_back({std::string(s), std::string(k), std::move(v)});
    return false;
  });
  return out;
}

int IniFile::intValue(std::string_view section, std::string_view key, int fallback) const {
  return profileIntOr(value(section, key), fallback);
}

int profileIntOr(const std::optional<std::string>& value, int fallback) {
  // A key with nothing after "=" counts as absent, as GetPrivateProfileInt has it.
  return value && !value->empty() ? parseProfileInt(*value) : fallback;
}

int parseProfileInt(std::string_view text) {
  text = trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  std::int64_t n = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') break;
    n = n * 10 + (c - '0');
    if (n > std::int64_t(INT_MAX) + 1) n = std::int64_t(INT_MAX) + 1;  // stays saturated
  }
  if (negative) n = -n;
  if (n > INT_MAX) n = INT_MAX;
  return int(n);
}

std::string withIniValue(std::string_view content, std::string_view section, std::string_view key,
                         std::string_view value) {
  std::string eol = "\n";
  if (const auto nl = content.find('\n'); nl != std::string_view::npos && nl > 0 && content[nl - 1] == '\r')
    eol = "\r\n";
  const std::string newLine = std::string(key) + "=" + encodeValue(value);

  bool inSection = false;
  bool inFirstSection = false;
  bool sectionSeen = false;
  Line anchor;  // last non-blank line of the first matching section
  std::size_t pos = 0;
  Line line;
  while (nextLine(content, pos, line)) {
    const Parsed p = classify(content.substr(line.begin, line.contentEnd - line.begin));
    if (p.kind == Kind::Section) {
      inFirstSection = false;
      inSection = equalsIgnoreAsciiCase(p.name, section);
      if (inSection && !sectionSeen) {
        sectionSeen = inFirstSection = true;
        anchor = line;
      }
      continue;
    }
    if (inSection && p.kind == Kind::Key && equalsIgnoreAsciiCase(p.name, key)) {
      std::string out(content.substr(0, line.begin));
      out += newLine;
      out += content.substr(line.contentEnd);
      return out;
    }
    if (inFirstSection && p.kind != Kind::Blank) anchor = line;
  }

  std::string out;
  if (sectionSeen) {
    out = content.substr(0, anchor.end);
    if (!anchor.hasEnd()) out += eol;
    out += newLine + eol;
    out += content.substr(anchor.end);
    return out;
  }
  out = content;
  if (!out.empty() && out.back() != '\n') out += eol;
  out += "[" + std::string(section) + "]" + eol + newLine + eol;
  return out;
}

bool writeIniValue(const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value) {
  if (path.empty() || value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
    return false;

  std::string old;
  const ReadResult read = readRegularFile(path, kIniMaxFileBytes, false, old);
  if (read == ReadResult::Failed || read == ReadResult::TooLarge) return false;
  const bool exists = read == ReadResult::Ok;
  // A read-only settings file stays as it is, as with the Windows profile functions.
  if (exists && ::access(path.c_str(), W_OK) != 0) return false;

  const std::string content = withIniValue(old, section, key, value);
  if (exists && content == old) return true;

  OutputFile out;
  if (out.open(path)) {
    out.append(content.data(), content.size());
    return out.close();
  }
  const int err = out.systemError();
  const bool folderLocked = out.error() == OutputError::CannotCreate && (err == EACCES || err == EPERM);
  return exists && folderLocked && rewriteInPlace(path, content);
}

}  // namespace mv
