#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "analysis/file_slot.h"
#include "commands.h"
#include "platform/printable_name.h"
#include "search/batch_check.h"

namespace mvcli {

// The seconds without video of any file the program reads, as the batch check lists them for
// RealMedia files: exit 3 when there are some, so that scripts can sort recordings.
void addGapsCommand(CLI::App& app, int* result) {
  auto* cmd = app.add_subcommand("gaps", "List the runs of inner seconds without video data of a media file");
  struct Options {
    std::string path;
    bool json = false;
    TrackChoice tracks;
  };
  auto opts = std::make_shared<Options>();
  cmd->add_option("FILE", opts->path, mediaFileHelp())->required();
  cmd->add_flag("--json", opts->json, "One JSON object instead of the batch check's lines");
  addTrackOptions(cmd, opts->tracks);
  cmd->callback([opts, result] {
    mv::FileSlot slot;
    if (const mv::LoadResult loaded =
            loadFile(slot, opts->path, mv::kDefaultMarkedSeconds, mv::kDefaultMarkedSeconds, opts->tracks);
        !loaded.ok()) {
      *result = loadFailed(opts->path, loaded, opts->json);
      return;
    }
    // Without a video track every second lacks video: that is no break of a recording.
    const bool video = slot.analysis.videoUnits.present;
    const std::vector<mv::ZeroRun> runs =
        video ? mv::zeroRuns(*slot.analysis.videoSeries) : std::vector<mv::ZeroRun>();
    const bool written = writeStreamOutput("-", {}, [&](mv::OutputFile& out) {
      const auto put = [&out](const std::string& text) { out.append(text.data(), text.size()); };
      if (!opts->json) {
        put(video ? mv::zeroRunBlock(slot.analysis.path, *slot.analysis.videoSeries)
                  : mv::printableName(slot.analysis.path) + ": " +
                        (englishMessages() ? "no video track" : "无视频轨道") + '\n');
        return;
      }
      // A run a time: a file of millions of seconds may have a million runs.
      nlohmann::ordered_json j;
      j["ok"] = true;
      j["path"] = slot.analysis.path;
      j["video"] = video;
      std::string head = dumpJson(j);
      head.pop_back();
      put(head + ",\"gaps\":[");
      for (size_t i = 0; i < runs.size() && !out.failed(); ++i)
        put((i ? "," : "") + dumpJson(zeroRunsJson({runs[i]}).front()));
      put("]}\n");
    });
    *result = !written ? kExitFailed : runs.empty() ? kExitOk : kExitProblemsFound;
  });
}

}  // namespace mvcli
