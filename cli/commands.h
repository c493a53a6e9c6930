#pragma once
#include <CLI/CLI.hpp>
#include <functional>
#include <nlohmann/json.hpp>
#include <span>
#include <string>
#include <vector>

#include "analysis/buffer_check.h"
#include "analysis/file_slot.h"
#include "media/frames.h"
#include "platform/output_file.h"
#include "search/batch_check.h"

namespace mv {
class TextFile;
}

namespace mvcli {

// Exit codes of every command; --help and the README list them.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // a file did not load or an output was not written
inline constexpr int kExitUsage = 2;
inline constexpr int kExitProblemsFound =
    3;  // check: files with seconds without video data; buffer: violations

// Each command registers its subcommand and returns the exit code through `*result` when run.
void addSeriesCommand(CLI::App& app, int* result);
void addExportCommands(CLI::App& app, int* result);
void addInfoCommand(CLI::App& app, int* result);
void addCheckCommand(CLI::App& app, int* result);
void addGapsCommand(CLI::App& app, int* result);
void addFramesCommand(CLI::App& app, int* result);
void addBufferCommand(CLI::App& app, int* result);
void addTracksCommand(CLI::App& app, int* result);
void addSummaryCommand(CLI::App& app, int* result);

// Ctrl+C asks a folder run to stop, as the window's Stop button does; the file being loaded is
// finished first. A second Ctrl+C ends the program at once, should one file take long, and
// leaves no half-written output behind. The caller puts SIGINT back to its default after the run.
void installInterruptHandler();
bool interruptRequested();
// "checked/total path" on stderr, one line a file of a folder run.
void printProgress(const std::string& path, int checked, int total);
// A folder of a run that could not be read, on stderr.
void printUnreadableFolder(const std::string& folder);
// A link to a folder outside a run's, which the run did not follow, on stderr.
void printSkippedLink(const std::string& link);

// --video-track, --audio-track and --program of the commands that read one file: the tracks
// counted instead of the default ones.
struct TrackChoice {
  int video = -1, audio = -1;  // track numbers (indexes of FileAnalysis::tracks); -1 not given
  uint32_t program = 0;        // 0 not given
  bool any() const { return video >= 0 || audio >= 0 || program != 0; }
};
void addTrackOptions(CLI::App* cmd, TrackChoice& choice);
// Makes a loaded slot count the chosen tracks; false when it ran out of memory, told, with the
// slot empty. A choice that names no track of its kind is a usage error: told, then thrown as
// CLI::RuntimeError(kExitUsage).
bool chooseTracks(mv::FileSlot& slot, const TrackChoice& choice);

// Every container of the table with its suffixes: "AVI (.avi), RM (.rm .rmvb), …".
std::string containersHelp();
// The FILE argument of a command that reads one media file: "Media file (AVI, RealMedia, …)".
std::string mediaFileHelp();

// A rate or average as the text columns give it: two decimals, no binary noise.
double twoDecimals(double value);

// Runs of zero seconds as JSON: start/end as the list labels them, and as second numbers.
nlohmann::ordered_json zeroRunsJson(const std::vector<mv::ZeroRun>& runs);

// Opens `path` into `slot` with the given marked-seconds counts and the chosen tracks
// (chooseTracks); on a terminal a load that takes more than a second shows its progress on
// stderr. A failure has been told on stderr with its cause; a file that ends early is loaded and
// noted there.
mv::LoadResult loadFile(mv::FileSlot& slot, const std::string& path, int top = mv::kDefaultMarkedSeconds,
                        int bottom = mv::kDefaultMarkedSeconds, const TrackChoice& tracks = {});
// Reads the picture types of a loaded slot's frames (videoFrames of its analysis), with the same
// progress line, and tells the cause when the file no longer reads.
mv::LoadResult readFrameTypes(const mv::FileSlot& slot, std::vector<mv::VideoFrame>& frames);

// Checks a loaded slot's frames against `model`, with the same progress line, and tells the
// cause when the file no longer reads.
mv::LoadResult readBufferCheck(const mv::FileSlot& slot, const mv::BufferModel& model,
                               mv::BufferCheck& check);

// Installs a message sink that prints each message to stderr.
void captureMessages();

// The language of the causes below: English when the first of LANGUAGE, LC_ALL, LC_MESSAGES
// and LANG that is set asks for it, else Chinese.
bool englishMessages();
// One line "morvatelline-cli: WHAT: CAUSE" on stderr.
void printDiagnostic(const std::string& what, const std::string& cause);
// Why `path` did not load, from the load's result and what the file system says of the path.
std::string loadFailureCause(const std::string& path, const mv::LoadResult& result);
// Why an output was not written; `err` is the errno of the call that failed (0 when unknown).
std::string writeFailureCause(mv::OutputError error, int err);
// How the user's failure lines name an output: "-" is standard output.
std::string outputName(const std::string& target);

// Adds -o/--output: a file name, or - for standard output.
CLI::Option* addOutputOption(CLI::App* cmd, std::string& target, const std::string& description);

// The outputs: `target` is a file written whole, which must not replace one of `keep`, or "-"
// for standard output. A written file's path is printed on stdout, as the window would open it.
// False after the failure has been told.
bool writeTextOutput(const std::string& target, std::span<const mv::FileIdentity> keep,
                     const std::function<void(mv::TextFile&)>& write);
bool writeBytesOutput(const std::string& target, std::span<const mv::FileIdentity> keep,
                      const std::string& bytes);
// The same for an output written piece by piece as it is made.
bool writeStreamOutput(const std::string& target, std::span<const mv::FileIdentity> keep,
                       const std::function<void(mv::OutputFile&)>& write);

// Paths are bytes on Linux; a name that is not UTF-8 is printed with replacement characters.
std::string dumpJson(const nlohmann::ordered_json& j);
// The object a JSON command prints for `path` that did not load: ok false, the path, the cause
// as the stderr line tells it, the reason and, when known, the position.
std::string loadFailureJson(const std::string& path, const mv::LoadResult& why);
// The exit code of a command whose file did not load (told on stderr already); with `json`
// standard output gets that object too.
int loadFailed(const std::string& path, const mv::LoadResult& why, bool json);

// The file the command is working on (the last one it began to load): a command that runs out
// of memory names it.
const std::string& currentFile();

}  // namespace mvcli
