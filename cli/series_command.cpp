#include <unistd.h>

#include <charconv>
#include <cmath>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "analysis/containers.h"
#include "analysis/failure_causes.h"
#include "analysis/file_slot.h"
#include "commands.h"
#include "es/es_reader.h"
#include "media/peaks.h"
#include "media/statistics.h"
#include "platform/messages.h"

namespace mvcli {
namespace {

// The series are written straight as text, as they go: one JSON node per second made this
// command spend more time building and freeing nodes than reading the file, and a series of
// millions of seconds need not be held twice.
void writeSeries(mv::OutputFile& out, std::string_view key, const mv::PerSecondSeries& s) {
  out.append(",\"", 2);
  out.append(key.data(), key.size());
  out.append("\":[", 3);
  char number[16];
  for (uint32_t i = 0; i < s.elementCount(); ++i) {
    if (i) out.put(',');
    out.append(number, size_t(std::to_chars(number, number + sizeof number, s[i]).ptr - number));
  }
  out.put(']');
}

}  // namespace

std::string dumpJson(const nlohmann::ordered_json& j) {
  return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

double twoDecimals(double value) { return std::round(value * 100) / 100; }

std::string loadFailureJson(const std::string& path, const mv::LoadResult& why) {
  nlohmann::ordered_json j;
  j["ok"] = false;
  j["path"] = path;
  j["message"] = loadFailureCause(path, why);
  j["reason"] = std::string(mv::reasonName(why.failure));
  if (why.position != mv::LoadResult::kNoPosition) j["position"] = why.position;
  return dumpJson(j);
}

void addSeriesCommand(CLI::App& app, int* result) {
  auto* cmd = app.add_subcommand("series", "Print the per-second series of a media file as JSON");
  struct Options {
    std::string path;
    int top = 5;
    int bottom = 5;
    unsigned window = 0;  // 0: no peak windows
    TrackChoice tracks;
  };
  auto opts = std::make_shared<Options>();
  cmd->add_option("FILE", opts->path, mediaFileHelp())->required();
  cmd->add_option("--top", opts->top, "How many highest seconds the threshold marks")
      ->check(CLI::Range(1, 99));
  cmd->add_option("--bottom", opts->bottom, "How many lowest non-zero seconds the threshold marks")
      ->check(CLI::Range(1, 99));
  cmd->add_option("--window", opts->window,
                  "Add each series' peak: the highest average over this many consecutive inner seconds")
      ->check(CLI::Range(int(mv::kMinPeakWindow), int(mv::kMaxPeakWindow)));
  addTrackOptions(cmd, opts->tracks);
  cmd->callback([opts, result] {
    mv::FileSlot slot;
    if (const mv::LoadResult loaded = loadFile(slot, opts->path, opts->top, opts->bottom, opts->tracks);
        !loaded.ok()) {
      *result = loadFailed(opts->path, loaded, true);
      return;
    }
    const mv::FileAnalysis& a = slot.analysis;
    nlohmann::ordered_json j;
    j["ok"] = true;
    j["path"] = a.path;
    j["mediaType"] = std::string(slot.container()->name);
    if (slot.container()->type == mv::MEDIA_ES) j["stream"] = mv::elementaryStreamName(a.path);
    j["fileLength"] = a.fileLength;
    j["durationSeconds"] = a.durationSeconds;
    j["frameWidth"] = a.frameWidth;
    j["frameHeight"] = a.frameHeight;
    j["frameRateMilli"] = a.frameRateMilli;
    if (!a.notes.empty()) j["notes"] = a.notes;
    // Only a choice is told: the default record stays as scripts know it.
    if (a.videoTrack != a.defaultVideo || a.audioTrack != a.defaultAudio) {
      j["videoTrack"] = a.videoTrack;
      j["audioTrack"] = a.audioTrack;
    }
    if (opts->window != 0) {
      for (const auto& [key, item] :
           {std::pair{"videoPeak", mv::ITEM_VIDEO}, std::pair{"audioPeak", mv::ITEM_AUDIO},
            std::pair{"totalPeak", mv::ITEM_TOTAL}}) {
        const mv::PeakWindow p = mv::peakWindow(a, item, opts->window);
        j[key] = p.found ? nlohmann::ordered_json{{"seconds", p.seconds},
                                                  {"start", p.start + 1},
                                                  {"rate", twoDecimals(p.rate)}}
                         : nlohmann::ordered_json();
      }
    }
    std::string head = dumpJson(j);
    head.pop_back();  // the object's closing brace; the series follow
    mv::OutputFile out;
    out.attach(STDOUT_FILENO);
    out.append(head.data(), head.size());
    writeSeries(out, "video", *a.videoSeries);
    writeSeries(out, "audio", *a.audioSeries);
    writeSeries(out, "total", *a.totalSeries);
    out.append("}\n", 2);
    if (out.close()) {
      *result = kExitOk;
      return;
    }
    printDiagnostic(outputName("-"), writeFailureCause(mv::OutputError::WriteFailed, out.systemError()));
    *result = kExitFailed;
  });
}

}  // namespace mvcli
