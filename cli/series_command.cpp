#include <cerrno>
#include <charconv>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "analysis/containers.h"
#include "analysis/file_slot.h"
#include "commands.h"
#include "media/peaks.h"
#include "media/statistics.h"
#include "platform/messages.h"

namespace mvcli {
namespace {

std::string dumpJson(const nlohmann::ordered_json& j) {
  // Paths are bytes on Linux; a name that is not UTF-8 is printed with replacement characters.
  return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

// The series are written straight as text: one JSON node per second made this command spend
// more time building and freeing nodes than reading the file.
void appendSeries(std::string& out, std::string_view key, const mv::PerSecondSeries& s) {
  out += ",\"";
  out += key;
  out += "\":[";
  char number[16];
  for (uint32_t i = 0; i < s.elementCount(); ++i) {
    if (i) out += ',';
    out.append(number, std::to_chars(number, number + sizeof number, s[i]).ptr);
  }
  out += ']';
}

// False after telling that the text could not be written (a closed pipe, a full disk).
bool printText(std::string text) {
  text += '\n';
  errno = 0;
  std::cout.write(text.data(), std::streamsize(text.size()));
  std::cout.flush();
  if (std::cout) return true;
  printDiagnostic(outputName("-"), writeFailureCause(mv::OutputError::WriteFailed, errno));
  return false;
}

}  // namespace

void addSeriesCommand(CLI::App& app, int* result) {
  auto* cmd = app.add_subcommand("series", "Print the per-second series of a media file as JSON");
  struct Options {
    std::string path;
    int top = 5;
    int bottom = 5;
    unsigned window = 0;  // 0: no peak windows
  };
  auto opts = std::make_shared<Options>();
  cmd->add_option("FILE", opts->path, "Media file (AVI, RealMedia, MP4, Matroska, FLV, MPEG-TS, MPEG-PS, ASF)")->required();
  cmd->add_option("--top", opts->top, "How many highest seconds the threshold marks")->check(CLI::Range(1, 99));
  cmd->add_option("--bottom", opts->bottom, "How many lowest non-zero seconds the threshold marks")
      ->check(CLI::Range(1, 99));
  cmd->add_option("--window", opts->window,
                  "Add each series' peak: the highest average over this many consecutive inner seconds")
      ->check(CLI::Range(int(mv::kMinPeakWindow), int(mv::kMaxPeakWindow)));
  cmd->callback([opts, result] {
    mv::FileSlot slot;
    if (!loadFile(slot, opts->path, opts->top, opts->bottom)) {
      const mv::LoadResult& why = slot.lastResult();
      nlohmann::ordered_json j;
      j["ok"] = false;
      j["message"] = lastMessage();
      j["reason"] = std::string(mv::reasonName(why.failure));
      if (why.position != mv::LoadResult::kNoPosition) j["position"] = why.position;
      printText(dumpJson(j));
      *result = kExitFailed;
      return;
    }
    const mv::FileAnalysis& a = slot.analysis;
    nlohmann::ordered_json j;
    j["ok"] = true;
    j["path"] = a.path;
    j["mediaType"] = std::string(slot.container()->name);
    j["fileLength"] = a.fileLength;
    j["durationSeconds"] = a.durationSeconds;
    j["frameWidth"] = a.frameWidth;
    j["frameHeight"] = a.frameHeight;
    j["frameRateMilli"] = a.frameRateMilli;
    if (!a.notes.empty()) j["notes"] = a.notes;
    if (opts->window != 0) {
      for (const auto& [key, item] : {std::pair{"videoPeak", mv::ITEM_VIDEO}, std::pair{"audioPeak", mv::ITEM_AUDIO},
                                      std::pair{"totalPeak", mv::ITEM_TOTAL}}) {
        const mv::PeakWindow p = mv::peakWindow(a, item, opts->window);
        j[key] = p.found ? nlohmann::ordered_json{{"seconds", p.seconds}, {"start", p.start}, {"rate", p.rate}}
                         : nlohmann::ordered_json();
      }
    }
    std::string text = dumpJson(j);
    text.pop_back();  // the object's closing brace; the series follow
    text.reserve(text.size() + 11 * (size_t(a.videoSeries->elementCount()) + a.audioSeries->elementCount() +
                                     a.totalSeries->elementCount()) + 64);
    appendSeries(text, "video", *a.videoSeries);
    appendSeries(text, "audio", *a.audioSeries);
    appendSeries(text, "total", *a.totalSeries);
    text += '}';
    *result = printText(std::move(text)) ? kExitOk : kExitFailed;
  });
}

}  // namespace mvcli
