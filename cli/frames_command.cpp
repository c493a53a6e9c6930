// frames: every video frame's time, size and key flag, with the groups of pictures they make.
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "analysis/file_slot.h"
#include "commands.h"
#include "media/frames.h"
#include "platform/text_file.h"
#include "report/text_report.h"

namespace mvcli {
namespace {

// Plain ASCII columns, one frame a line, for scripts; `sep` tab or comma.
void writeTable(mv::TextFile& out, const std::vector<mv::VideoFrame>& frames, char sep) {
  out.printf("frame%ctime%cbytes%ckey\n", sep, sep, sep);
  for (size_t i = 0; i < frames.size(); ++i)
    out.printf("%zu%c%.6f%c%u%c%u\n", i + 1, sep, frames[i].seconds, sep, frames[i].bytes, sep, frames[i].key ? 1u : 0u);
}

std::string framesJson(const std::string& path, const std::vector<mv::VideoFrame>& frames,
                       const std::vector<mv::Gop>& gops) {
  nlohmann::ordered_json j;
  j["ok"] = true;
  j["path"] = path;
  auto& list = j["frames"] = nlohmann::ordered_json::array();
  for (const mv::VideoFrame& f : frames) list.push_back({{"time", f.seconds}, {"bytes", f.bytes}, {"key", f.key != 0}});
  auto& groups = j["gops"] = nlohmann::ordered_json::array();
  for (const mv::Gop& g : gops) groups.push_back({{"frame", g.firstFrame}, {"frames", g.frames}, {"bytes", g.bytes}});
  const mv::FrameStats s = mv::frameStats(frames, gops);
  j["stats"] = {{"frames", s.frames},           {"keyFrames", s.keyFrames},       {"maxBytes", s.maxBytes},
                {"minBytes", s.minBytes},       {"averageBytes", s.averageBytes}, {"averageGopFrames", s.averageGopFrames}};
  return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace

void addFramesCommand(CLI::App& app, int* result) {
  struct Options {
    std::string file, output = "-";
    bool json = false, csv = false;
  };
  auto o = std::make_shared<Options>();
  auto* cmd = app.add_subcommand("frames", "List the video frames in decode order: time, bytes, key frame");
  cmd->add_option("FILE", o->file, "Media file")->required();
  auto* json = cmd->add_flag("--json", o->json, "One JSON object with the frames, groups of pictures and statistics");
  cmd->add_flag("--csv", o->csv, "Comma-separated columns instead of tab-separated")->excludes(json);
  addOutputOption(cmd, o->output, "File to write, exactly as named; - (the default) for standard output");
  cmd->callback([o, result] {
    mv::FileSlot slot;
    if (!loadFile(slot, o->file)) {
      *result = kExitFailed;
      return;
    }
    const std::vector<mv::VideoFrame> frames = mv::videoFrames(slot.analysis);
    const auto keep = mv::mediaIdentities({&slot});
    // JSON stays UTF-8 as every JSON output does; the tables are texts like the others.
    const bool written =
        o->json ? writeBytesOutput(o->output, keep, framesJson(slot.analysis.path, frames, mv::groupsOfPictures(frames)))
                : writeTextOutput(o->output, keep,
                                  [&](mv::TextFile& out) { writeTable(out, frames, o->csv ? ',' : '\t'); });
    *result = written ? kExitOk : kExitFailed;
  });
}

}  // namespace mvcli
