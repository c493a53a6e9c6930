// buffer: will it play — the decoder buffer of a preset or of a given rate and size over the
// file's frames; exit 3 when some frame does not fit, as gaps does for seconds without video.
#include <cmath>
#include <cstdio>
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

// The lowest fullness in kbit, two decimals as every rate the program prints.
std::string kbitText(double bits) {
  char text[48];
  std::snprintf(text, sizeof text, "%.2f kbit", bits / double(mv::kBitsPerKbit));
  return text;
}

// The verdict, the runs with their kinds and the lowest fullness, as a block of the batch check.
std::string bufferText(const std::string& path, const mv::BufferCheck& check) {
  const bool english = englishMessages();
  std::string text = mv::printableName(path) + '\n';
  if (check.ok()) text += english ? "buffer check passed\n" : "缓冲区检查通过\n";
  for (const mv::BufferRun& r : check.runs)
    text += mv::zeroRunText(r.seconds) + ' ' + std::string(mv::violationName(r.kind)) + '\n';
  char time[32];
  std::snprintf(time, sizeof time, "%.6f", secondsOut(check.lowestSeconds));
  text += english ? "lowest fullness " + kbitText(check.lowest) + " at " + time + " s\n"
                  : "最低充满度 " + kbitText(check.lowest) + "，于 " + time + " 秒\n";
  return text + '\n';
}

void writeBufferJson(mv::OutputFile& out, const std::string& path, const mv::BufferCheck& check) {
  const auto put = [&out](const std::string& text) { out.append(text.data(), text.size()); };
  nlohmann::ordered_json head;
  head["ok"] = true;
  head["path"] = path;
  head["preset"] = mv::bufferPresetName(check.model.preset);
  head["rate"] = check.model.rate;
  head["buffer"] = check.model.bits;
  head["passed"] = check.ok();
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

// --rate and --buffer: bits, or the program's kbit units.
CLI::Option* addValueOption(CLI::App* cmd, const char* name, uint64_t& value, bool rate,
                            const std::string& description) {
  return cmd
      ->add_option_function<std::string>(
          name,
          [&value, rate](const std::string& text) {
            if (const std::optional<uint64_t> v = mv::bufferValueOfText(text, rate)) value = *v;
          },
          description)
      ->check(CLI::Validator(
          [rate](const std::string& text) {
            return mv::bufferValueOfText(text, rate) ? ""
                   : rate                            ? "not a rate of 1 to 2^53 bit/s"
                                                     : "not a size of 1 to 2^53 bits";
          },
          rate ? "BITS_PER_S" : "BITS"));
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
                      "dvd (9,800,000 bit/s, 1,835,008 bits, GOP limits), vcd (1,151,929 bit/s, "
                      "327,680 bits), bluray (40,000,000 bit/s, 30,000,000 bits), or stream (what an "
                      "MPEG-1/2 sequence header declares)")
          ->check(CLI::IsMember({"dvd", "vcd", "bluray", "stream"}));
  auto* rate = addValueOption(cmd, "--rate", opts->rate, true,
                              "Fill rate (with --buffer): bits per second, or kbit/s (1024 bit/s; also "
                              "kbps), 1 to 2^53 bit/s");
  auto* bits = addValueOption(cmd, "--buffer", opts->bits, false,
                              "Buffer size (with --rate): bits, or kbit (1024 bits), 1 to 2^53 bits");
  preset->excludes(rate)->excludes(bits);
  rate->needs(bits);
  bits->needs(rate);
  cmd->add_flag("--json", opts->json, "One JSON object instead of the runs' lines");
  addTrackOptions(cmd, opts->tracks);
  cmd->callback([opts, preset, result] {
    if (preset->count() == 0 && opts->rate == 0) throw CLI::RequiredError("--preset or --rate with --buffer");
    mv::FileSlot slot;
    if (const mv::LoadResult loaded =
            loadFile(slot, opts->path, mv::kDefaultMarkedSeconds, mv::kDefaultMarkedSeconds, opts->tracks);
        !loaded.ok()) {
      *result = loadFailed(opts->path, loaded, opts->json);
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
    if (const mv::LoadResult read = readBufferCheck(slot, *model, check); !read.ok()) {
      *result = loadFailed(opts->path, read, opts->json);
      return;
    }
    const bool written = writeStreamOutput("-", {}, [&](mv::OutputFile& out) {
      if (opts->json) return writeBufferJson(out, slot.analysis.path, check);
      const std::string text = bufferText(slot.analysis.path, check);
      out.append(text.data(), text.size());
    });
    *result = !written ? kExitFailed : check.ok() ? kExitOk : kExitProblemsFound;
  });
}

}  // namespace mvcli
