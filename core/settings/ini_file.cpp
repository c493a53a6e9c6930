#include "settings/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <filesystem>

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

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
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
  while (n > 0 && (static_cast<unsigned char>(v[n]) & 0xC0) == 0x80) --n;
  return std::string(v.substr(0, n));
}

enum class ReadResult { Ok, Missing, TooLarge, Failed };

// Reads a regular file of at most `limit` bytes (or its first `limit` bytes when `truncate`).
// Opened non-blocking so that a FIFO in the file's place cannot hang the program.
ReadResult readRegularFile(const std::string& path, std::size_t limit, bool truncate, std::string& out,
                           struct stat* info) {
  out.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return ReadResult::Failed;
  }
  if (info) *info = st;
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

bool writeAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(std::size_t(n));
  }
  return true;
}

// Creates a fresh file beside `target` (mode 0666 less the umask, as a new file would get).
int createTempBeside(const std::string& target, std::string& tempPath) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = target + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter++);
    const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

void syncFolderOf(const std::string& path) {
  const auto folder = std::filesystem::path(path).parent_path();
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Last resort when the folder does not let us create a file but the file itself is writable:
// what Windows did all along. The file is a few hundred bytes, written by one write call.
bool rewriteInPlace(const std::string& target, std::string_view content) {
  const int fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = writeAll(fd, content) && ::fsync(fd) == 0;
  return ::close(fd) == 0 && ok;
}

}  // namespace

IniFile IniFile::load(const std::string& path) {
  std::string content;
  if (readRegularFile(path, kIniMaxFileBytes, true, content, nullptr) != ReadResult::Ok) content.clear();
  return IniFile(std::move(content));
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const {
  const std::string_view s = content_;
  bool inSection = false;
  std::size_t pos = 0;
  Line line;
  while (nextLine(s, pos, line)) {
    const Parsed p = classify(s.substr(line.begin, line.contentEnd - line.begin));
    if (p.kind == Kind::Section) {
      inSection = equalsNoCase(p.name, section);
    } else if (inSection && p.kind == Kind::Key && equalsNoCase(p.name, key)) {
      return capValue(unquote(p.value));
    }
  }
  return std::nullopt;
}

int IniFile::intValue(std::string_view section, std::string_view key, int fallback) const {
  const auto v = value(section, key);
  return v ? parseProfileInt(*v) : fallback;
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
      inSection = equalsNoCase(p.name, section);
      if (inSection && !sectionSeen) {
        sectionSeen = inFirstSection = true;
        anchor = line;
      }
      continue;
    }
    if (inSection && p.kind == Kind::Key && equalsNoCase(p.name, key)) {
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

  // Write through a symbolic link to the file it names instead of replacing the link.
  std::string target = path;
  std::error_code ec;
  if (std::filesystem::is_symlink(path, ec)) {
    const auto resolved = std::filesystem::canonical(path, ec);
    if (!ec) target = resolved.string();
  }

  std::string old;
  struct stat info {};
  const ReadResult read = readRegularFile(target, kIniMaxFileBytes, false, old, &info);
  if (read == ReadResult::Failed || read == ReadResult::TooLarge) return false;
  const bool exists = read == ReadResult::Ok;
  // A read-only settings file stays as it is, as with the Windows profile functions.
  if (exists && ::access(target.c_str(), W_OK) != 0) return false;

  const std::string content = withIniValue(old, section, key, value);
  if (exists && content == old) return true;

  std::string temp;
  const int fd = createTempBeside(target, temp);
  if (fd < 0) {
    const bool folderLocked = errno == EACCES || errno == EPERM;
    return exists && folderLocked && rewriteInPlace(target, content);
  }
  if (exists) {
    // Keep the owner and who may read the file. Only root may hand a file to someone else;
    // otherwise the new file is ours, as the old one most likely was.
    if (::fchown(fd, info.st_uid, info.st_gid) != 0) {
    }
    if (::fchmod(fd, info.st_mode & 07777) != 0) {
    }
  }
  bool ok = writeAll(fd, content) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (!ok || ::rename(temp.c_str(), target.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  syncFolderOf(target);
  return true;
}

}  // namespace mv
