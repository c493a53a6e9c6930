// Writes a packaging file from its template with the MIME types of the container table, so that
// the desktop entry and the AppStream data offer the program exactly the files it reads.
//   fill_container_lists TEMPLATE OUTPUT
// @MIME_TYPES@ becomes the desktop entry's list ("video/x-msvideo;…;"), @MEDIA_TYPES@ one
// AppStream <mediatype> a line, indented as the placeholder is.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "analysis/containers.h"

namespace {

std::string desktopList() {
  std::string list;
  for (const mv::Container& c : mv::containers())
    for (std::string_view type : c.mimeTypes) list += std::string(type) + ';';
  return list;
}

std::string appStreamLines(const std::string& indent) {
  std::string lines;
  for (const mv::Container& c : mv::containers())
    for (std::string_view type : c.mimeTypes)
      lines += (lines.empty() ? "" : "\n" + indent) + "<mediatype>" + std::string(type) + "</mediatype>";
  return lines;
}

void replace(std::string& text, const std::string& placeholder, bool lines) {
  const size_t at = text.find(placeholder);
  if (at == std::string::npos) return;
  const size_t lineStart = text.rfind('\n', at) + 1;  // npos + 1 is 0: the first line
  const std::string indent = text.substr(lineStart, at - lineStart);
  text.replace(at, placeholder.size(), lines ? appStreamLines(indent) : desktopList());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: fill_container_lists TEMPLATE OUTPUT\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  if (!in) {
    std::fprintf(stderr, "fill_container_lists: %s cannot be read\n", argv[1]);
    return 1;
  }
  std::string filled = text.str();
  replace(filled, "@MIME_TYPES@", false);
  replace(filled, "@MEDIA_TYPES@", true);
  // Written whole, so that an interrupted build leaves no half file that looks up to date.
  const std::string partial = std::string(argv[2]) + ".part";
  std::ofstream out(partial, std::ios::binary | std::ios::trunc);
  out << filled;
  out.close();
  std::error_code error;
  if (!out || (std::filesystem::rename(partial, argv[2], error), error)) {
    std::fprintf(stderr, "fill_container_lists: %s cannot be written\n", argv[2]);
    return 1;
  }
  return 0;
}
