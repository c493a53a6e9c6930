#include "analysis/file_summary.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <exception>
#include <new>
#include <tuple>
#include <utility>

#include "analysis/codec_display.h"
#include "analysis/containers.h"
#include "analysis/failure_causes.h"
#include "analysis/file_slot.h"
#include "analysis/picture_types.h"
#include "es/es_reader.h"
#include "media/frames.h"
#include "media/statistics.h"
#include "platform/byte_order.h"
#include "platform/input_file.h"
#include "platform/messages.h"
#include "platform/output_file.h"
#include "platform/printable_name.h"
#include "rm/rm_reader.h"

namespace mv {
namespace {

SummaryRates ratesOf(const PerSecondSeries& s) {
  // Elements 1-3 hold hundredths of kbit/s.
  return {s[3] * 0.01, s[1] * 0.01, s[2] * 0.01};
}

// RealMedia names a stream by its MIME type; its codec's four characters stand in the stream's
// type-specific block ("RV40" at 8; RealAudio's "cook" after the interleaver's name in version 4,
// at 66 in version 5). Empty when the block does not hold them.
std::string realMediaFourcc(const std::string& path, uint64_t streamNumber) {
  InputFile file;
  if (!file.open(path)) return {};
  const RmReader reader(&file);
  for (const RmStream& s : reader.streams()) {
    if (s.streamNumber != streamNumber) continue;
    const std::vector<uint8_t>& b = s.typeSpecificData;
    size_t at = 0, length = 4;
    if (s.mimeType == kRealVideoMime) {
      at = 8;
    } else if (s.mimeType == kRealAudioMime && b.size() >= 18 && readU16be(b.data() + 16) == 5) {
      at = 66;
    } else if (s.mimeType == kRealAudioMime && b.size() > 57 && readU16be(b.data() + 16) == 4) {
      const size_t lengthAt = 57 + b[56];
      if (lengthAt >= b.size()) return {};
      at = lengthAt + 1;
      length = b[lengthAt];
    }
    if (at == 0 || at + length > b.size()) return {};
    std::string code(b.begin() + ptrdiff_t(at), b.begin() + ptrdiff_t(at + length));
    for (char& c : code)
      if (c < 0x20 || c >= 0x7F) c = '?';
    return code;
  }
  return {};
}

// The chosen track's codec: its common name and its container's tag.
std::pair<std::string, std::string> chosenCodec(const FileSlot& slot, TrackKind kind) {
  const FileAnalysis& a = slot.analysis;
  const int index = kind == TrackKind::Video ? a.videoTrack : a.audioTrack;
  if (index >= 0 && size_t(index) < a.tracks.size()) {
    const Track& t = a.tracks[size_t(index)];
    const std::string fourcc = slot.mediaType() == MEDIA_RM ? realMediaFourcc(a.path, t.id) : std::string();
    if (!fourcc.empty()) return {commonCodecName(fourcc, kind, t.coding.codec), fourcc};
    return {commonCodecName(t.codec, kind, t.coding.codec), t.codec};
  }
  // A raw stream lists no track: it is one stream of the kind its units are, named by its head.
  const TrackUnits& units = kind == TrackKind::Video ? a.videoUnits : a.audioUnits;
  if (slot.mediaType() == MEDIA_ES && units.unitCount() != 0) {
    const std::string name = elementaryStreamName(a.path);
    return {
        commonCodecName(name, kind, kind == TrackKind::Video ? a.videoCoding.codec : codec::Codec::Unknown),
        name};
  }
  return {};
}

}  // namespace

bool hasVideoTrack(const FileAnalysis& analysis) { return analysis.videoUnits.present; }

SummaryRow unreadableFolderRow(const std::string& folder, const std::string& cause) {
  SummaryRow row;
  row.path = folder;
  row.load = LoadResult::fail(LoadFailure::CouldNotRead);
  row.folderCause = cause;
  return row;
}

SummaryRow summarizeFile(const std::string& path, const SummaryOptions& options, LoadControl* control) {
  SummaryRow row;
  row.path = path;
  try {
    FileSlot slot;
    if (row.load = slot.open(path, control); !row.load.ok()) return row;
    const FileAnalysis& a = slot.analysis;
    // The frame list as `frames` gives it: in MPEG-TS/PS the pictures, walked again.
    std::vector<VideoFrame> frames = videoFrames(a);
    if (const LoadResult typed = readPictureTypes(slot, frames, control); !typed.ok()) {
      row.load = typed;
      return row;
    }
    row.container = std::string(slot.container()->name);
    row.hasVideo = hasVideoTrack(a);
    std::tie(row.videoCodec, row.videoCodecTag) = chosenCodec(slot, TrackKind::Video);
    std::tie(row.audioCodec, row.audioCodecTag) = chosenCodec(slot, TrackKind::Audio);
    row.durationSeconds = a.durationSeconds;
    row.fileLength = a.fileLength;
    row.frameWidth = a.frameWidth;
    row.frameHeight = a.frameHeight;
    row.frameRateMilli = a.frameRateMilli;
    row.video = ratesOf(*a.videoSeries);
    row.audio = ratesOf(*a.audioSeries);
    row.total = ratesOf(*a.totalSeries);
    row.videoPeak = peakWindow(a, ITEM_VIDEO, options.peakWindow);
    row.totalPeak = peakWindow(a, ITEM_TOTAL, options.peakWindow);
    const std::vector<ZeroRun> runs = row.hasVideo ? zeroRuns(*a.videoSeries) : std::vector<ZeroRun>();
    for (const ZeroRun& r : runs) row.zeroSeconds += r.last - r.first + 1;
    if (!runs.empty()) row.firstZeroRun = runs.front();
    const FrameStats stats = frameStats(frames, groupsOfPictures(frames));
    row.frames = stats.frames;
    row.keyFrames = stats.keyFrames;
    row.shortestGop = stats.shortestGop;
    row.longestGop = stats.longestGop;
    row.averageGop = stats.averageGopFrames;
    if (options.buffer) {
      StreamModelGap gap{};
      if (const auto model = slotModel(slot, *options.buffer, gap)) {
        const BufferCheck check = checkBuffer(frames, *model);
        row.bufferChecked = true;
        row.bufferViolations = uint32_t(check.violatingFrames.size());
        if (!check.runs.empty()) row.firstBufferRun = check.runs.front().seconds;
      }
    }
    row.notes = a.notes;
  } catch (const std::exception& e) {
    // One file too large for memory (or for a container's size) is that file's row, not the end
    // of the table: the worker threads must not end the program.
    SummaryRow failed;
    failed.path = path;
    failed.load = LoadResult::fail(LoadFailure::OutOfMemory);
    return failed;
  }
  return row;
}

namespace {

using Kind = SummaryCellKind;

struct Column {
  const char* name;
  Kind kind;
  std::string (*cell)(const SummaryRow& row, bool english);
};

std::string decimal(double v) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, v).ptr;
  return std::string(text, end);
}
// Hundredths exactly as the series hold them, without binary noise.
std::string hundredths(double v) {
  const long long h = std::llround(v * 100);
  char text[32];
  std::snprintf(text, sizeof text, "%lld.%02lld", h / 100, h % 100);
  return text;
}
std::string integer(uint64_t v) { return std::to_string(v); }
std::string flag(bool v) { return v ? "true" : "false"; }
std::string runText(const std::optional<ZeroRun>& r) { return r ? zeroRunText(*r) : std::string(); }
std::string peak(const PeakWindow& p) { return p.found ? hundredths(p.rate) : std::string(); }

#define MV_LOADED(expr) [](const SummaryRow& r, bool) { return r.ok() ? (expr) : std::string(); }
// The columns a file without video has nothing for.
#define MV_VIDEO(expr) [](const SummaryRow& r, bool) { return r.ok() && r.hasVideo ? (expr) : std::string(); }
#define MV_CHECKED(expr) [](const SummaryRow& r, bool) { return r.bufferChecked ? (expr) : std::string(); }

const Column kColumns[] = {
    {"path", Kind::Text, [](const SummaryRow& r, bool) { return r.path; }},
    {"ok", Kind::Flag, [](const SummaryRow& r, bool) { return flag(r.ok()); }},
    {"error", Kind::Text,
     [](const SummaryRow& r, bool english) {
       return r.ok()                   ? std::string()
              : !r.folderCause.empty() ? r.folderCause
                                       : loadFailureCause(r.path, r.load, english);
     }},
    {"container", Kind::Text, MV_LOADED(r.container)},
    {"video", Kind::Flag, MV_LOADED(flag(r.hasVideo))},
    {"videoCodec", Kind::Text, MV_VIDEO(r.videoCodec)},
    {"videoCodecTag", Kind::Text, MV_VIDEO(r.videoCodecTag)},
    {"audioCodec", Kind::Text, MV_LOADED(r.audioCodec)},
    {"audioCodecTag", Kind::Text, MV_LOADED(r.audioCodecTag)},
    {"durationSeconds", Kind::Number, MV_LOADED(integer(uint64_t(r.durationSeconds)))},
    {"fileLength", Kind::Number, MV_LOADED(integer(r.fileLength))},
    {"frameWidth", Kind::Number, MV_VIDEO(integer(uint64_t(r.frameWidth)))},
    {"frameHeight", Kind::Number, MV_VIDEO(integer(uint64_t(r.frameHeight)))},
    {"frameRate", Kind::Number, MV_VIDEO(decimal(r.frameRateMilli / 1000.0))},
    {"videoAverage", Kind::Number, MV_VIDEO(hundredths(r.video.average))},
    {"videoHighest", Kind::Number, MV_VIDEO(hundredths(r.video.highest))},
    {"videoLowest", Kind::Number, MV_VIDEO(hundredths(r.video.lowest))},
    {"audioAverage", Kind::Number, MV_LOADED(hundredths(r.audio.average))},
    {"audioHighest", Kind::Number, MV_LOADED(hundredths(r.audio.highest))},
    {"audioLowest", Kind::Number, MV_LOADED(hundredths(r.audio.lowest))},
    {"totalAverage", Kind::Number, MV_LOADED(hundredths(r.total.average))},
    {"totalHighest", Kind::Number, MV_LOADED(hundredths(r.total.highest))},
    {"totalLowest", Kind::Number, MV_LOADED(hundredths(r.total.lowest))},
    {"peakWindow", Kind::Number, MV_LOADED(integer(r.videoPeak.seconds))},
    {"videoPeak", Kind::Number, MV_VIDEO(peak(r.videoPeak))},
    {"totalPeak", Kind::Number, MV_LOADED(peak(r.totalPeak))},
    {"zeroSeconds", Kind::Number, MV_VIDEO(integer(r.zeroSeconds))},
    {"firstZeroRun", Kind::Text, MV_VIDEO(runText(r.firstZeroRun))},
    {"frames", Kind::Number, MV_VIDEO(integer(r.frames))},
    {"keyFrames", Kind::Number, MV_VIDEO(integer(r.keyFrames))},
    {"shortestGop", Kind::Number, MV_VIDEO(integer(r.shortestGop))},
    {"longestGop", Kind::Number, MV_VIDEO(integer(r.longestGop))},
    {"averageGop", Kind::Number, MV_VIDEO(hundredths(r.averageGop))},
    {"bufferOk", Kind::Flag, MV_CHECKED(flag(!r.firstBufferRun))},
    {"bufferViolations", Kind::Number, MV_CHECKED(integer(r.bufferViolations))},
    {"firstBufferRun", Kind::Text, MV_CHECKED(runText(r.firstBufferRun))},
    {"notes", Kind::Text,
     [](const SummaryRow& r, bool) {
       std::string out;
       for (const std::string& n : r.notes) out += (out.empty() ? "" : " ") + n;
       return out;
     }},
};

#undef MV_LOADED
#undef MV_VIDEO
#undef MV_CHECKED

std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + '"';
}

}  // namespace

const std::vector<std::string>& summaryColumns() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> out;
    for (const Column& c : kColumns) out.emplace_back(c.name);
    return out;
  }();
  return names;
}

std::vector<SummaryCellKind> summaryColumnKinds() {
  std::vector<SummaryCellKind> out;
  for (const Column& c : kColumns) out.push_back(c.kind);
  return out;
}

std::vector<std::string> summaryCells(const SummaryRow& row, bool english) {
  std::vector<std::string> out;
  for (const Column& c : kColumns) out.push_back(c.cell(row, english));
  return out;
}

std::string summaryCsv(const std::vector<SummaryRow>& rows, bool english, bool forTerminal) {
  std::string out;
  for (const std::string& name : summaryColumns()) out += (out.empty() ? "" : ",") + name;
  out += '\n';
  for (const SummaryRow& row : rows) {
    const std::vector<std::string> cells = summaryCells(row, english);
    for (size_t i = 0; i < cells.size(); ++i)
      out += (i ? "," : "") + csvField(forTerminal ? printableName(cells[i]) : cells[i]);
    out += '\n';
  }
  return out;
}

bool exportSummaryCsv(const std::string& path, const std::vector<SummaryRow>& rows,
                      std::span<const FileIdentity> keep, bool english) {
  const std::string bytes = summaryCsv(rows, english);
  OutputFile out;
  if (!out.open(path, keep) || (out.append(bytes.data(), bytes.size()), !out.close())) {
    showMessage(msg::kWriteFailed);
    return false;
  }
  return true;
}

}  // namespace mv
