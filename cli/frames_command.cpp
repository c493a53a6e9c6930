// frames: every video frame's time, size, key flag and picture type, with the groups of pictures
// they make.
#include <cmath>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "analysis/file_slot.h"
#include "commands.h"
#include "media/frames.h"
#include "platform/text_file.h"
#include "report/text_report.h"

namespace mvcli {
namespace {

// Plain ASCII columns, one frame a line, for scripts; `sep` tab or comma.
void writeTable(mv::TextFile& out, const std::vector<mv::VideoFrame>& frames, char sep) {
  out.printf("frame%ctime%cbytes%ckey%ctype\n", sep, sep, sep, sep);
  for (size_t i = 0; i < frames.size(); ++i) {
    const char type[2] = {frames[i].type, 0};
    out.printf("%zu%c%.6f%c%u%c%u%c%s\n", i + 1, sep, frames[i].seconds, sep, frames[i].bytes, sep,
               frames[i].key ? 1u : 0u, sep, type);
  }
}

// The object is written element by element as it goes: a long file has millions of frames, too
// many to hold as one document.
void writeFramesJson(mv::OutputFile& out, const std::string& path, const std::vector<mv::VideoFrame>& frames,
                     const std::vector<mv::Gop>& gops) {
  const auto put = [&out](const std::string& text) { out.append(text.data(), text.size()); };
  nlohmann::ordered_json head;
  head["ok"] = true;
  head["path"] = path;
  std::string text = dumpJson(head);
  text.pop_back();  // the closing brace: the lists follow
  put(text + ",\"frames\":[");
  for (size_t i = 0; i < frames.size(); ++i) {
    const mv::VideoFrame& f = frames[i];
    if (i) out.put(',');
    // Six decimals, as the tables give them: no binary noise such as 0.03999999999999996.
    put(dumpJson({{"time", std::round(f.seconds * 1e6) / 1e6},
                  {"bytes", f.bytes},
                  {"key", f.key != 0},
                  {"type", std::string(f.type ? 1 : 0, f.type)}}));
  }
  put("],\"gops\":[");
  for (size_t i = 0; i < gops.size(); ++i) {
    const mv::Gop& g = gops[i];
    if (i) out.put(',');
    const std::optional<bool> open = mv::isOpenGop(frames, g);
    put(dumpJson({{"frame", g.firstFrame},
                  {"frames", g.frames},
                  {"bytes", g.bytes},
                  {"structure", mv::gopStructure(frames, g)},
                  {"open", open ? nlohmann::json(*open) : nlohmann::json()}}));
  }
  const mv::FrameStats s = mv::frameStats(frames, gops);
  nlohmann::ordered_json types;
  for (int t = 0; t < 3; ++t)
    types[std::string(1, mv::kPictureTypes[t])] = {
        {"count", s.typeCount[t]},
        {"averageBytes", twoDecimals(s.typeCount[t] ? double(s.typeBytes[t]) / s.typeCount[t] : 0.0)}};
  put("],\"stats\":" +
      dumpJson({{"frames", s.frames},
                {"keyFrames", s.keyFrames},
                {"maxBytes", s.maxBytes},
                {"minBytes", s.minBytes},
                {"averageBytes", twoDecimals(s.averageBytes)},
                {"averageGopFrames", twoDecimals(s.averageGopFrames)},
                {"shortestGop", s.shortestGop},
                {"longestGop", s.longestGop},
                {"types", types}}) +
      "}\n");
}

}  // namespace

void addFramesCommand(CLI::App& app, int* result) {
  struct Options {
    std::string file, output = "-";
    bool json = false, csv = false;
    TrackChoice tracks;
  };
  auto o = std::make_shared<Options>();
  auto* cmd = app.add_subcommand(
      "frames", "List the video frames in decode order: time, bytes, key frame, picture type");
  cmd->add_option("FILE", o->file, mediaFileHelp())->required();
  auto* json =
      cmd->add_flag("--json", o->json, "One JSON object with the frames, groups of pictures and statistics");
  cmd->add_flag("--csv", o->csv, "Comma-separated columns instead of tab-separated")->excludes(json);
  addOutputOption(cmd, o->output, "File to write, exactly as named; - (the default) for standard output");
  addTrackOptions(cmd, o->tracks);
  cmd->callback([o, result] {
    mv::FileSlot slot;
    if (const mv::LoadResult loaded =
            loadFile(slot, o->file, mv::kDefaultMarkedSeconds, mv::kDefaultMarkedSeconds, o->tracks);
        !loaded.ok()) {
      // A file named by -o is not made for a file that did not load.
      *result = loadFailed(o->file, loaded, o->json && o->output == "-");
      return;
    }
    std::vector<mv::VideoFrame> frames = mv::videoFrames(slot.analysis);
    if (const mv::LoadResult typed = readFrameTypes(slot, frames); !typed.ok()) {
      *result = loadFailed(o->file, typed, o->json && o->output == "-");
      return;
    }
    const auto keep = mv::mediaIdentities({&slot});
    // JSON stays UTF-8 as every JSON output does; the tables are texts like the others.
    const bool written = o->json ? writeStreamOutput(o->output, keep,
                                                     [&](mv::OutputFile& out) {
                                                       writeFramesJson(out, slot.analysis.path, frames,
                                                                       mv::groupsOfPictures(frames));
                                                     })
                                 : writeTextOutput(o->output, keep, [&](mv::TextFile& out) {
                                     writeTable(out, frames, o->csv ? ',' : '\t');
                                   });
    *result = written ? kExitOk : kExitFailed;
  });
}

}  // namespace mvcli
