// buffer: will it play — the decoder buffer of a preset or of a given rate and size over the
// file's frames; exit 3 when some frame does not fit, as gaps does for seconds without video.
#include <cmath>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "analysis/buffer_check.h"
#include "commands.h"
#include "media/time_format.h"
#include "platform/printable_name.h"

namespace mvcli {
namespace {

// Bits to the whole bit and seconds to the microsecond, as the frames' tables give them.
int64_t bitsOut(double bits) { return int64_t(std::llround(bits)); }
double secondsOut(double seconds) { return std::round(seconds * 1e6) / 1e6; }

void writeBufferJson(mv::OutputFile& out, const std::string& path, const mv::BufferCheck& check) {
  const auto put = [&out](const std::string& text) { out.append(text.data(), text.size()); };
  nlohmann::ordered_json head;
  head["ok"] = true;
  head["path"] = path;
  head["preset"] = mv::bufferPresetName(check.model.preset);
  head["rate"] = check.model.rate;
  head["buffer"] = check.model.bits;
  head["lowest"] = {{"fullness", bitsOut(check.lowest)}, {"time", secondsOut(check.lowestSeconds)}};
  std::string text = dumpJson(head);
  text.pop_back();
  put(text + ",\"violations\":[");
  // A run a time: a long file may have very many.
  for (size_t i = 0; i < check.runs.size() && !out.failed(); ++i) {
    const mv::BufferRun& r = check.runs[i];
    nlohmann::ordered_json j = zeroRunsJson({r.seconds}).front();
    j["kind"] = mv::violationName(r.kind);
    j["lowest"] = r.lowest ? nlohmann::ordered_json(bitsOut(*r.lowest)) : nlohmann::ordered_json();
    put((i ? "," : "") + dumpJson(j));
  }
  put("]}\n");
}

}  // namespace

void addBufferCommand(CLI::App& app, int* result) {
  auto* cmd = app.add_subcommand(
      "buffer",
      "Check that a decoder buffer of a preset (or of a given rate and size) takes every video frame");
  struct Options {
    std::string path;
    std::string preset;
    uint64_t rate = 0;
    uint64_t bits = 0;
    bool json = false;
    TrackChoice tracks;
  };
  auto opts = std::make_shared<Options>();
  cmd->add_option("FILE", opts->path, mediaFileHelp())->required();
  auto* preset =
      cmd->add_option("--preset", opts->preset,
                      "dvd (9.8 Mbit/s, 224 KiB, GOP limits), vcd (1,151,929 bit/s, 40 KiB), "
                      "bluray (40 Mbit/s, 30 Mbit), or stream (what an MPEG-1/2 sequence header declares)")
          ->check(CLI::IsMember({"dvd", "vcd", "bluray", "stream"}));
  const auto inRange = CLI::Range(uint64_t(1), mv::kMaxBufferValue);
  auto* rate = cmd->add_option("--rate", opts->rate, "Fill rate, bits per second (with --buffer), 1 to 2^53")
                   ->check(inRange);
  auto* bits =
      cmd->add_option("--buffer", opts->bits, "Buffer size, bits (with --rate), 1 to 2^53")->check(inRange);
  preset->excludes(rate)->excludes(bits);
  rate->needs(bits);
  bits->needs(rate);
  cmd->add_flag("--json", opts->json, "One JSON object instead of the runs' lines");
  addTrackOptions(cmd, opts->tracks);
  cmd->callback([opts, preset, result] {
    if (preset->count() == 0 && opts->rate == 0) throw CLI::RequiredError("--preset or --rate with --buffer");
    mv::FileSlot slot;
    if (!loadFile(slot, opts->path, mv::kDefaultMarkedSeconds, mv::kDefaultMarkedSeconds, opts->tracks)
             .ok()) {
      *result = kExitFailed;
      return;
    }
    std::optional<mv::BufferModel> model;
    if (preset->count() == 0) {
      model = mv::presetModel(mv::BufferPreset::Custom, 0, opts->rate, opts->bits);
    } else {
      mv::StreamModelGap gap{};
      model = mv::slotModel(slot, *mv::bufferPresetOfName(opts->preset), gap);
      if (!model) {
        printDiagnostic(opts->path, std::string(mv::streamModelWhy(gap, englishMessages())));
        *result = kExitUsage;
        return;
      }
    }
    mv::BufferCheck check;
    if (!readBufferCheck(slot, *model, check).ok()) {
      *result = kExitFailed;
      return;
    }
    const bool written = writeStreamOutput("-", {}, [&](mv::OutputFile& out) {
      if (opts->json) return writeBufferJson(out, slot.analysis.path, check);
      if (check.ok()) return;  // as gaps: a block only for a file with findings
      std::string text = mv::printableName(slot.analysis.path) + '\n';
      for (const mv::BufferRun& r : check.runs)
        text += mv::zeroRunText(r.seconds) + ' ' + std::string(mv::violationName(r.kind)) + '\n';
      text += '\n';
      out.append(text.data(), text.size());
    });
    *result = !written ? kExitFailed : check.ok() ? kExitOk : kExitProblemsFound;
  });
}

}  // namespace mvcli
