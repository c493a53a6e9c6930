#pragma once
// The settings file: "[Section]" lines and "KEY=value" lines, UTF-8, LF or CR LF.
// Sections and keys match without regard to ASCII case, as the Windows profile functions do.
// Within a section the first line with a key wins; a section named twice is searched in
// file order, and the writer changes the very line the reader would read.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mv {

// A settings file is a few hundred bytes; anything past this is not ours to read, and such a
// file is never rewritten (it would have to be held whole in memory).
inline constexpr std::size_t kIniMaxFileBytes = std::size_t(16) << 20;
// Longest value handed out: a Linux path (PATH_MAX less the terminator). Longer values are
// cut at a UTF-8 character boundary.
inline constexpr std::size_t kIniMaxValueBytes = 4095;

// One KEY=value line of a file, its value as IniFile::value gives it.
struct IniEntry {
  std::string section;
  std::string key;
  std::string value;
};

class IniFile {
 public:
  IniFile() = default;
  explicit IniFile(std::string content) : content_(std::move(content)) {}

  // A missing or unreadable file reads as an empty one; at most kIniMaxFileBytes are read.
  static IniFile load(const std::string& path);

  // The value with surrounding whitespace and one pair of enclosing quotes removed;
  // nullopt when the section or the key is absent.
  std::optional<std::string> value(std::string_view section, std::string_view key) const;

  // The value read as GetPrivateProfileInt does: an optional sign and decimal digits,
  // anything after them ignored, no digits at all gives 0. `fallback` when the key is absent
  // or its value empty.
  // Out-of-range numbers saturate instead of wrapping.
  int intValue(std::string_view section, std::string_view key, int fallback) const;

  // Every key inside a section, in file order (the first of equal keys is the one value() reads).
  std::vector<IniEntry> entries() const;

  const std::string& content() const { return content_; }

 private:
  std::string content_;
};

// Parses the number part of a profile value (see IniFile::intValue).
int parseProfileInt(std::string_view text);
// A looked-up value read as IniFile::intValue does.
int profileIntOr(const std::optional<std::string>& value, int fallback);

// `content` with KEY=value set in the section: the key's line is replaced in place, or the key
// is added after the section's last non-blank line, or the section is appended to the end.
// Every other byte is kept; new lines take the line end the file already uses (LF when none).
std::string withIniValue(std::string_view content, std::string_view section, std::string_view key,
                         std::string_view value);

// Sets KEY=value in the file, creating it when missing. The file is replaced in one rename, so
// a crash leaves either the old or the new file; a symbolic link in its place is replaced, not
// written through. Only when the folder takes no new file is a plain file with no other name
// rewritten in place. Returns false, with the file untouched, when
// it cannot be read or written, is read-only, is larger than kIniMaxFileBytes, or the value
// holds a line break or NUL (it could not be read back as one value).
bool writeIniValue(const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value);

}  // namespace mv
