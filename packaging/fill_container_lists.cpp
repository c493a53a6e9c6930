// Writes a file from its template with the lists of the container table, so that the desktop
// entry, the AppStream data and the help page name exactly the files the program reads.
//   fill_container_lists TEMPLATE OUTPUT
// {{MIME_TYPES}}: the desktop entry's list ("video/x-msvideo;…;"); {{MEDIA_TYPES}}: one AppStream
// <mediatype> a line, indented as the placeholder is; {{READ_CONTAINERS}}, {{SUPPORTED_PATTERNS}},
// {{FILTER_NAMES}}, {{SUFFIX_RULES}}: the help page's sentences; {{READ_CONTAINERS_EN}}: the
// English page's; {{MAN_CONTAINERS}}: the manual page's ("AVI (\&.avi), RealMedia (\&.rm,
// \&.rmvb), …"), each suffix behind roff's "\&".
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "analysis/containers.h"

namespace {

using mv::Container;

// Each row's part, joined by `separator`.
std::string joined(const std::string& separator, const std::function<std::string(const Container&)>& part) {
  std::string text;
  for (const Container& c : mv::containers()) text += (text.empty() ? "" : separator) + part(c);
  return text;
}

std::string joinedViews(std::span<const std::string_view> items, const std::string& before,
                        const std::string& after, const std::string& separator) {
  std::string text;
  for (std::string_view item : items)
    text += (text.empty() ? "" : separator) + before + std::string(item) + after;
  return text;
}

std::string codeSuffixes(const Container& c) { return joinedViews(c.suffixes, "<code>", "</code>", "、"); }

std::string fill(const std::string& name, const std::string& indent) {
  if (name == "MIME_TYPES")
    return joined("", [](const Container& c) { return joinedViews(c.mimeTypes, "", ";", ""); });
  if (name == "MEDIA_TYPES")
    return joined("\n" + indent, [&](const Container& c) {
      return joinedViews(c.mimeTypes, "<mediatype>", "</mediatype>", "\n" + indent);
    });
  if (name == "READ_CONTAINERS")
    return joined(
        "、", [](const Container& c) { return std::string(c.displayName) + "（" + codeSuffixes(c) + "）"; });
  if (name == "READ_CONTAINERS_EN")
    return joined(", ", [](const Container& c) {
      return std::string(c.displayName) + " (" + joinedViews(c.suffixes, "<code>", "</code>", ", ") + ")";
    });
  if (name == "SUPPORTED_PATTERNS") {
    std::string patterns = joined("、", [](const Container& c) { return searchMask(c); });
    for (size_t at; (at = patterns.find(';')) != std::string::npos;) patterns.replace(at, 1, "、");
    return patterns;
  }
  if (name == "FILTER_NAMES")
    return joined(
        "、", [](const Container& c) { return std::string(c.filterName.substr(0, c.filterName.find('('))); });
  if (name == "MAN_CONTAINERS")
    // roff takes a "." that starts a line for a request; "\&" keeps a suffix text wherever the
    // template puts the list.
    return joined(", ", [](const Container& c) {
      return std::string(c.displayName) + " (" + joinedViews(c.suffixes, "\\&", "", ", ") + ")";
    });
  if (name == "SUFFIX_RULES")
    return joined("，", [](const Container& c) {
      return codeSuffixes(c) + " 按 " + std::string(c.displayName) + " 文件读取";
    });
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: fill_container_lists TEMPLATE OUTPUT\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::stringstream read;
  read << in.rdbuf();
  if (!in) {
    std::fprintf(stderr, "fill_container_lists: %s cannot be read\n", argv[1]);
    return 1;
  }
  std::string text = read.str();
  for (size_t at = 0; (at = text.find("{{", at)) != std::string::npos;) {
    const size_t end = text.find("}}", at);
    if (end == std::string::npos) break;
    const std::string name = text.substr(at + 2, end - at - 2);
    const size_t lineStart = text.rfind('\n', at) + 1;  // npos + 1 is 0: the first line
    const std::string value = fill(name, text.substr(lineStart, at - lineStart));
    if (value.empty()) {
      std::fprintf(stderr, "fill_container_lists: %s: no list named %s\n", argv[1], name.c_str());
      return 1;
    }
    text.replace(at, end + 2 - at, value);
    at += value.size();
  }
  // Written whole, so that an interrupted build leaves no half file that looks up to date.
  const std::string partial = std::string(argv[2]) + ".part";
  std::ofstream out(partial, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  std::error_code error;
  if (!out || (std::filesystem::rename(partial, argv[2], error), error)) {
    std::fprintf(stderr, "fill_container_lists: %s cannot be written\n", argv[2]);
    return 1;
  }
  return 0;
}
