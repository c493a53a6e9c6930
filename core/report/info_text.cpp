#include "report/info_text.h"

#include <algorithm>
#include <cstdio>

#include "analysis/containers.h"
#include "analysis/picture_types.h"
#include "media/time_format.h"
#include "media/zero_runs.h"
#include "report/text_report.h"

namespace mv {
namespace {

// One line per picture type: how many, their bytes and their share of the video's bytes.
void writePictureTypes(TextFile& out, const std::vector<VideoFrame>& frames, bool en) {
  const FrameStats st = frameStats(frames, {});
  uint64_t total = 0;
  for (const VideoFrame& f : frames) total += f.bytes;
  if (st.typeCount[0] + st.typeCount[1] + st.typeCount[2] == 0 || total == 0) return;
  out.write(en ? "\nPicture types\n" : "\n画面类型\n");
  for (int k = 0; k < 3; ++k) {
    char line[128];
    std::snprintf(
        line, sizeof line,
        en ? "%c frames: %u, %llu bytes, %.1f%% of the video\n" : "%c 帧：%u 个，%llu 字节，占视频 %.1f%%\n",
        kPictureTypes[k], unsigned(st.typeCount[k]), (unsigned long long)st.typeBytes[k],
        100.0 * double(st.typeBytes[k]) / double(total));
    out.write(line);
  }
}

const char* kindName(TrackKind kind, bool en) {
  switch (kind) {
    case TrackKind::Video:
      return en ? "video" : "视频";
    case TrackKind::Audio:
      return en ? "audio" : "音频";
    case TrackKind::Subtitle:
      return en ? "subtitles" : "字幕";
    case TrackKind::Other:
      break;
  }
  return en ? "other" : "其他";
}

// Every track's bytes, and what the container's own structures take besides them.
void writeTracks(TextFile& out, const FileAnalysis& a, bool en) {
  if (a.tracks.empty()) return;
  out.write(en ? "\nTracks\n" : "\n轨道\n");
  const std::string comma = en ? ", " : "，";
  uint64_t sum = 0;
  for (size_t i = 0; i < a.tracks.size(); ++i) {
    const Track& t = a.tracks[i];
    std::string line =
        (en ? "Track " : "轨道 ") + std::to_string(i) + (en ? ": " : "：") + kindName(t.kind, en);
    if (!t.codec.empty()) line += comma + t.codec;
    if (!t.language.empty()) line += comma + (en ? "language " : "语言 ") + t.language;
    out.write(line + comma + std::to_string(t.bytes) + (en ? " bytes\n" : " 字节\n"));
    sum += t.bytes;
  }
  const uint64_t overhead = a.fileLength > sum ? a.fileLength - sum : 0;
  out.printf(
      en ? "Container overhead: %llu bytes, %.1f%% of the file\n" : "容器开销：%llu 字节，占文件 %.1f%%\n",
      (unsigned long long)overhead, a.fileLength ? 100.0 * double(overhead) / double(a.fileLength) : 0.0);
}

// Where the time stamps jumped, on the series' time line after closing up.
void writeJumps(TextFile& out, const FileAnalysis& a, bool en) {
  if (a.jumpCount == 0) return;
  std::string line = (en ? "Time stamp jumps: " : "时间戳跳变：") + std::to_string(a.jumpCount) +
                     (en ? ", after closing up at" : " 处，接续后位于");
  for (size_t i = 0; i < a.jumpSeconds.size(); ++i) {
    const double s = std::max(0.0, a.jumpSeconds[i]);
    line += (i ? (en ? ", " : "、") : " ") + formatMilliseconds(uint32_t(std::min(s * 1000.0, 4294967295.0)));
  }
  if (a.jumpCount > a.jumpSeconds.size()) line += en ? " and more" : " 等";
  out.write(line + "\n");
}

}  // namespace

void writeInformation(TextFile& out, const FileSlot& slot, const std::vector<VideoFrame>* typedFrames,
                      bool english) {
  const bool en = english;
  writeReportHeader(out);
  writeFileSummary(out, slot, en);
  // What the reader had to do to read the file, so nobody takes a repaired reading for a whole one.
  if (const auto& notes = slot.analysis.notes; !notes.empty()) {
    for (const std::string& n : notes)
      out.write((en ? "Reading note: " : "读取说明：") + noteDescription(n, en) + "\n");
    writeJumps(out, slot.analysis, en);
    out.write("\n");
  }
  if (const Container* c = slot.container()) c->describe(slot.analysis.path, out, en);
  writeTracks(out, slot.analysis, en);
  if (typedFrames) {
    writePictureTypes(out, *typedFrames, en);
  } else {
    std::vector<VideoFrame> frames = videoFrames(slot.analysis);
    if (readPictureTypes(slot, frames).ok()) writePictureTypes(out, frames, en);
  }
  // The seconds without video close the text, for files of every kind that have video: in an
  // audio-only file every second is one, which says nothing.
  if (slot.analysis.videoSeries && slot.analysis.videoUnits.present) {
    const std::vector<ZeroRun> runs = zeroRuns(*slot.analysis.videoSeries);
    if (!runs.empty()) {
      out.write(en ? "\nSeconds without video data\n" : "\n无视频数据的秒\n");
      for (const ZeroRun& r : runs) out.write(zeroRunText(r) + "\n");
    }
  }
}

}  // namespace mv
