// info: the file information text of one file, to a file or to standard output.
#include <langinfo.h>
#include <locale.h>
#include <sys/mman.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <string_view>

#include "analysis/file_slot.h"
#include "commands.h"
#include "platform/text_file.h"
#include "report/info_text.h"
#include "report/text_report.h"

namespace mvcli {
namespace {

// A terminal that shows UTF-8 shows the text as it reads; a file or a pipe gets the file's bytes.
bool utf8Terminal(int fd) {
  if (!::isatty(fd)) return false;
  const locale_t user = ::newlocale(LC_CTYPE_MASK, "", locale_t(0));
  if (user == locale_t(0)) return false;
  const bool utf8 = std::string_view(::nl_langinfo_l(CODESET, user)) == "UTF-8";
  ::freelocale(user);
  return utf8;
}

// The text as the file holds it (GBK, CR LF), made in memory; false when it could not be.
bool informationBytes(const mv::FileSlot& slot, std::string& bytes) {
  const int fd = ::memfd_create("morvatelline-info", MFD_CLOEXEC);
  if (fd < 0) return false;
  mv::TextFile out;
  out.attach(fd);
  mv::writeInformation(out, slot);
  bool ok = out.close() && ::lseek(fd, 0, SEEK_SET) == 0;
  char piece[65536];
  for (ssize_t n = 0; ok && (n = ::read(fd, piece, sizeof piece)) != 0;) {
    if (n < 0)
      ok = false;
    else
      bytes.append(piece, size_t(n));
  }
  ::close(fd);
  return ok;
}

// The file's bytes as a UTF-8 terminal reads them: "\n" line ends.
std::string terminalText(const std::string& bytes) {
  std::string text = mv::gbkToUtf8(bytes), out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] != '\r' || i + 1 >= text.size() || text[i + 1] != '\n') out += text[i];
  return out;
}

}  // namespace

void addInfoCommand(CLI::App& app, int* result) {
  struct Options {
    std::string file, output = "-";
    TrackChoice tracks;
  };
  auto o = std::make_shared<Options>();
  auto* cmd = app.add_subcommand(
      "info", "Describe the container's headers and streams (GBK, CR LF; UTF-8 on a UTF-8 terminal)");
  cmd->add_option("FILE", o->file, mediaFileHelp())->required();
  addOutputOption(cmd, o->output, "File to write, exactly as named; - (the default) for standard output");
  addTrackOptions(cmd, o->tracks);
  cmd->callback([o, result] {
    mv::FileSlot slot;
    if (!loadFile(slot, o->file, mv::kDefaultMarkedSeconds, mv::kDefaultMarkedSeconds, o->tracks).ok()) {
      *result = kExitFailed;
      return;
    }
    std::string bytes;
    if (o->output == "-" && utf8Terminal(STDOUT_FILENO) && informationBytes(slot, bytes)) {
      *result = writeBytesOutput("-", {}, terminalText(bytes)) ? kExitOk : kExitFailed;
      return;
    }
    const bool written = writeTextOutput(o->output, mv::mediaIdentities({&slot}),
                                         [&slot](mv::TextFile& out) { mv::writeInformation(out, slot); });
    *result = written ? kExitOk : kExitFailed;
  });
}

}  // namespace mvcli
