// frames: every video frame's time, size and key flag, with the groups of pictures they make.
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
  out.printf("frame%ctime%cbytes%ckey\n", sep, sep, sep);
  for (size_t i = 0; i < frames.size(); ++i)
    out.printf("%zu%c%.6f%c%u%c%u\n", i + 1, sep, frames[i].seconds, sep, frames[i].bytes, sep,
               frames[i].key ? 1u : 0u);
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
    put(dumpJson({{"time", f.seconds}, {"bytes", f.bytes}, {"key", f.key != 0}}));
  }
  put("],\"gops\":[");
  for (size_t i = 0; i < gops.size(); ++i) {
    const mv::Gop& g = gops[i];
    if (i) out.put(',');
    put(dumpJson({{"frame", g.firstFrame}, {"frames", g.frames}, {"bytes", g.bytes}}));
  }
  const mv::FrameStats s = mv::frameStats(frames, gops);
  put("],\"stats\":" +
      dumpJson({{"frames", s.frames},
                {"keyFrames", s.keyFrames},
                {"maxBytes", s.maxBytes},
                {"minBytes", s.minBytes},
                {"averageBytes", s.averageBytes},
                {"averageGopFrames", s.averageGopFrames}}) +
      "}\n");
}

}  // namespace

void addFramesCommand(CLI::App& app, int* result) {
  struct Options {
    std::string file, output = "-";
    bool json = false, csv = false;
  };
  auto o = std::make_shared<Options>();
  auto* cmd = app.add_subcommand("frames", "List the video frames in decode order: time, bytes, key frame");
  cmd->add_option("FILE", o->file, mediaFileHelp())->required();
  auto* json =
      cmd->add_flag("--json", o->json, "One JSON object with the frames, groups of pictures and statistics");
  cmd->add_flag("--csv", o->csv, "Comma-separated columns instead of tab-separated")->excludes(json);
  addOutputOption(cmd, o->output, "File to write, exactly as named; - (the default) for standard output");
  cmd->callback([o, result] {
    mv::FileSlot slot;
    if (const mv::LoadResult loaded = loadFile(slot, o->file); !loaded.ok()) {
      // As series tells it; a file named by -o is not made for a file that did not load.
      if (o->json && o->output == "-") writeBytesOutput("-", {}, loadFailureJson(o->file, loaded) + "\n");
      *result = kExitFailed;
      return;
    }
    const std::vector<mv::VideoFrame> frames = mv::videoFrames(slot.analysis);
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
