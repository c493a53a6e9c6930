#include "report/text_report.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <string>

#include "media/statistics.h"
#include "platform/c_numbers.h"
#include "platform/version.h"

#ifndef MORV_HOME_PAGE
#define MORV_HOME_PAGE "https://morvatelline.example.org/"
#endif

namespace mv {

void writeReportHeader(TextFile& out) {
  out.write(std::string("Morvatelline Version ") + kVersion + "\n");
  out.write(MORV_HOME_PAGE "\n\n");
  writeSeparator(out);
}

void writeSeparator(TextFile& out) { out.write(std::string(80, '=') + "\n"); }

namespace {

// " (视频轨 1，音频轨 3)" after the path when the series count other tracks than the container's
// rules choose; nothing for the default ones, so that default reports stay as they were.
std::string trackChoiceText(const FileAnalysis& a, bool en) {
  if (a.videoTrack == a.defaultVideo && a.audioTrack == a.defaultAudio) return "";
  const auto one = [en](const char* kind, int index) {
    if (index < 0) return std::string(en ? "no " : "无") + kind;
    return std::string(kind) + " " + std::to_string(index);
  };
  if (en) return " (" + one("video track", a.videoTrack) + ", " + one("audio track", a.audioTrack) + ")";
  return " (" + one("视频轨", a.videoTrack) + "，" + one("音频轨", a.audioTrack) + ")";
}

}  // namespace

void writeFileSummary(TextFile& out, const FileSlot& slot, bool en) {
  const FileAnalysis& a = slot.analysis;
  if (!a.videoSeries) return;
  out.write((en ? "File: " : "文件: ") + a.path + trackChoiceText(a, en) + "\n");
  out.printf(en ? "File length = %" PRIu64 " byte = %.2f kb = %.2f MB\n"
                : "文件长度 = %" PRIu64 " byte = %.2f kb = %.2f MB\n",
             a.fileLength, double(a.fileLength) / 1024, double(a.fileLength) / 1048576);
  out.printf(en ? "Play time = %d seconds (" : "播放时间 = %d seconds (", a.durationSeconds);
  out.write(formatSeconds(uint32_t(a.durationSeconds)) + ")\n");
  // A file shorter than a second has no rate to speak of.
  const double rate = a.durationSeconds > 0 ? double(a.fileLength / uint64_t(a.durationSeconds)) / 128 : 0.0;
  out.printf(en ? "Total rate = file length / play time = %.2f kbps (1024 bits/second)\n"
                : "总码率 = 文件长度 / 播放时间 = %.2f kbps (1024 bits/second)\n",
             rate);
  out.printf(en ? "Picture = %d x %d @ %.3f fps\n" : "图像尺寸 = %d x %d @ %.3f fps\n", a.frameWidth,
             a.frameHeight, a.frameRateMilli / 1000.0);
  out.write("\n");
}

void writeVideoDistribution(TextFile& out, const FileSlot& slot) {
  if (!slot.analysis.videoSeries) return;
  const RateHistogram h = rateHistogram(*slot.analysis.videoSeries, 100);
  out.write("视频流码率发布:\n");
  out.write("码率\t频数\t百分比\n");
  for (size_t j = 0; j < h.counts.size(); ++j) {
    const double share = h.seconds ? h.counts[j] * 100.0 / h.seconds : 0.0;
    out.printf("< %u\t%u\t%.1f%%\n", unsigned(h.lower + j * h.step), h.counts[j], share);
  }
  out.write("\n");
}

void TextReport::writeTo(TextFile& out) const {
  const ClassicNumbers classic;
  writeReportHeader(out);
  if (options_.fileInfo) {
    for (const FileSlot* slot : slots_) {
      if (!slot->isLoaded()) continue;
      writeFileSummary(out, *slot);
      if (options_.video) writeVideoDistribution(out, *slot);
      writeSeparator(out);
    }
  }
  if (options_.header) {
    // Two tabs: the first column of every row is an 8-byte label and a tab, so each heading
    // stands above its values at eight-column tab stops.
    std::string line = "\t";
    for (const FileSlot* slot : slots_) {
      if (!slot->isLoaded()) continue;
      if (options_.video) line += "\t视频";
      if (options_.audio) line += "\t音频";
      if (options_.total) line += "\t总码率";
    }
    out.write(line + "\n");
  }
  const uint32_t rows = std::max(slots_[0]->elementCount(), slots_[1]->elementCount());
  std::string line;
  for (uint32_t index = options_.statistics ? 1 : 8; index < kFirstSecond && index < rows; ++index) {
    if (index == 6 || index == 7) continue;
    line = rowLabel(index);
    for (const FileSlot* slot : slots_) {
      if (!slot->isLoaded()) continue;
      const bool inside = index < slot->elementCount();
      for (int item = 0; item < 3; ++item) {
        if (!options_.item(item)) continue;
        if (!inside) {
          line += '\t';
          continue;
        }
        char cell[48];
        std::snprintf(cell, sizeof cell, index == 5 ? "\t%.3f" : "\t%.2f", cellValue(*slot, index, item));
        line += cell;
      }
    }
    line += '\n';
    out.write(line);
  }
  // A file may declare weeks of seconds: their rows, all ASCII, are written without a string or
  // a printf each.
  const FileAnalysis* shown[2] = {};
  int files = 0;
  for (const FileSlot* slot : slots_)
    if (slot->isLoaded()) shown[files++] = &slot->analysis;
  char row[16 + 2 * 3 * 17 + 2];
  for (uint32_t index = kFirstSecond; index < rows; ++index) {
    char* at = writeSecondLabel(row, index - (kFirstSecond - 1));
    for (int f = 0; f < files; ++f) {
      const FileAnalysis& a = *shown[f];
      const bool inside = index < a.videoSeries->elementCount();
      const PerSecondSeries* series[3] = {a.videoSeries.get(), a.audioSeries.get(), a.totalSeries.get()};
      for (int item = 0; item < 3; ++item) {
        if (!options_.item(item)) continue;
        *at++ = '\t';
        if (inside && index < series[item]->capacity())
          at = writeSecondCell(at, (*series[item])[index]);
        else if (inside)
          at = writeSecondCell(at, 0);
      }
    }
    *at++ = '\r';
    *at++ = '\n';
    out.writeBytes(row, size_t(at - row));
  }
}

int TextReport::Export(const std::string& path) const {
  return exportTextFile(path, mediaIdentities({slots_[0], slots_[1]}),
                        [this](TextFile& out) { writeTo(out); });
}

std::vector<FileIdentity> mediaIdentities(std::initializer_list<const FileSlot*> slots) {
  std::vector<FileIdentity> ids;
  for (const FileSlot* slot : slots) slot->addMediaIdentities(ids);
  return ids;
}

}  // namespace mv
