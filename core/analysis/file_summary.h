#pragma once
// One file in a line: what a folder's summary table shows of it, from one load and one walk for
// its pictures, with nothing of its series kept.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/buffer_check.h"
#include "media/file_analysis.h"
#include "media/load.h"
#include "media/peaks.h"
#include "media/zero_runs.h"
#include "platform/file_identity.h"

namespace mv {

struct SummaryOptions {
  uint32_t peakWindow = kDefaultPeakWindow;  // seconds
  std::optional<BufferPreset> buffer;        // no custom model: a preset or none
};

// kbit/s of the series' statistics (1 kbit = 128 bytes).
struct SummaryRates {
  double average = 0, highest = 0, lowest = 0;
};

struct SummaryRow {
  std::string path;
  LoadResult load;  // not ok: only the path and this are set
  std::string container;
  // False for a file without a video track (audio only): it has no seconds without video, and
  // its picture facts and video columns are empty.
  bool hasVideo = true;
  // The codecs by their common names (commonCodecName) and as the container tags them; empty
  // without such a track.
  std::string videoCodec, audioCodec, videoCodecTag, audioCodecTag;
  int32_t durationSeconds = 0;
  uint64_t fileLength = 0;
  int32_t frameWidth = 0, frameHeight = 0, frameRateMilli = 0;
  SummaryRates video, audio, total;
  PeakWindow videoPeak, totalPeak;
  uint32_t zeroSeconds = 0;  // inner seconds without video
  std::optional<ZeroRun> firstZeroRun;
  uint32_t frames = 0, keyFrames = 0, shortestGop = 0, longestGop = 0;
  double averageGop = 0;
  // With a preset: whether the file gives a model, and then the frames that violate it and the
  // first run of seconds with a violation (none: the buffer check passed).
  bool bufferChecked = false;
  uint32_t bufferViolations = 0;
  std::optional<ZeroRun> firstBufferRun;
  std::vector<std::string> notes;
  // Set for a row that stands for a folder that could not be read (load says CouldNotRead): the
  // error column gives this cause instead of a file's.
  std::string folderCause;

  bool ok() const { return load.ok(); }
  // Seconds without video, or a buffer check that failed.
  bool problem() const { return ok() && ((hasVideo && zeroSeconds != 0) || firstBufferRun.has_value()); }
};

// Whether a loaded file has a video track: a file without one has no seconds without video.
bool hasVideoTrack(const FileAnalysis& analysis);

// The row of a folder below the summed-up one that could not be read, with `cause`.
SummaryRow unreadableFolderRow(const std::string& folder, const std::string& cause);

// Loads `path` and sums it up; a file that does not load gives a row with the cause. `control`
// may stop it.
SummaryRow summarizeFile(const std::string& path, const SummaryOptions& options,
                         LoadControl* control = nullptr);

// The table as CSV: UTF-8, a header row, one row a file, numbers with a decimal point whatever
// the locale, "\n" line ends; `english` words the causes of files that did not load. `forTerminal`
// escapes the control bytes of the cells (printableName), which a file keeps.
std::string summaryCsv(const std::vector<SummaryRow>& rows, bool english, bool forTerminal = false);
// The header of that table: the CSV's column names, which the JSON keys follow, and what each
// column holds.
const std::vector<std::string>& summaryColumns();
enum class SummaryCellKind { Text, Number, Flag };  // a flag is "true" or "false"
std::vector<SummaryCellKind> summaryColumnKinds();
// One row's cells in the order of summaryColumns(): numbers as written, texts unquoted; an empty
// cell where the row has no value.
std::vector<std::string> summaryCells(const SummaryRow& row, bool english);

// The window's export: summaryCsv() written whole to `path`, which must not replace one of `keep`
// (the files of the table); the user is told of a failure. False when it was not written.
bool exportSummaryCsv(const std::string& path, const std::vector<SummaryRow>& rows,
                      std::span<const FileIdentity> keep, bool english);

}  // namespace mv
