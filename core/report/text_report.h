#pragma once
// The tab-separated text report of one or two slots, and the header and summary pieces that the
// file information text shares with it.
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "analysis/file_slot.h"
#include "platform/text_file.h"

namespace mv {

// Which parts the exports contain; the window keeps them in its settings and passes them down.
struct ReportOptions {
  bool fileInfo = true;
  bool header = true;
  bool statistics = true;
  bool video = true;
  bool audio = true;
  bool total = true;
  // The enabled items in report order: video, audio, total.
  bool item(int index) const { return index == 0 ? video : index == 1 ? audio : total; }
};

// "Morvatelline Version " and the version, the home page address and an empty line, then the
// separator.
void writeReportHeader(TextFile& out);
// 80 '=' and a line end.
void writeSeparator(TextFile& out);
// Path, length, play time, total rate and picture of a loaded slot; nothing for an empty one.
void writeFileSummary(TextFile& out, const FileSlot& slot, bool english = false);
// The histogram of the slot's video rate.
void writeVideoDistribution(TextFile& out, const FileSlot& slot);

class TextReport {
 public:
  TextReport(const FileSlot& first, const FileSlot& second, ReportOptions options)
      : slots_{&first, &second}, options_(options) {}

  // Writes the report to `path` (extension already added) and hands it to the shell. 0 after
  // telling the user, when the file cannot be written.
  int Export(const std::string& path) const;
  void writeTo(TextFile& out) const;

 private:
  const FileSlot* slots_[2];
  ReportOptions options_;
};

// Writes through `write`, then closes and opens the result with the shell; on any failure the
// user is told and the file is not opened. Shared by every export that writes a text file.
// `keep` are the input media files, which the output must not replace.
template <typename Write>
int exportTextFile(const std::string& path, std::span<const FileIdentity> keep, Write write);

// The files of the loaded slots among `slots`, which no export of theirs may replace.
std::vector<FileIdentity> mediaIdentities(std::initializer_list<const FileSlot*> slots);

}  // namespace mv

#include "platform/messages.h"
#include "platform/shell.h"

template <typename Write>
int mv::exportTextFile(const std::string& path, std::span<const FileIdentity> keep, Write write) {
  TextFile out;
  if (!out.open(path, keep)) {
    showMessage(msg::kWriteFailed);
    return 0;
  }
  write(out);
  if (!out.close()) {
    showMessage(msg::kWriteFailed);
    return 0;
  }
  openWithShell(path);
  return 1;
}
