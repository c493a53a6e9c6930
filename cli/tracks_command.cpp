// tracks: every track a file lists; and the track options of the commands that read one file.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "analysis/file_slot.h"
#include "commands.h"
#include "platform/printable_name.h"

namespace mvcli {
namespace {

const char* tr(const char* chinese, const char* english) { return englishMessages() ? english : chinese; }

// The rate the statistics give, in their kbit (1024 bits), over the file's play time.
double averageKbit(const mv::Track& t, const mv::FileAnalysis& a) {
  return a.durationSeconds > 0 ? double(t.bytes) / 128.0 / a.durationSeconds : 0.0;
}

// The numbers of the tracks of one kind, for the message that names a wrong one.
std::string numbersOf(const mv::FileAnalysis& a, mv::TrackKind kind) {
  std::string list;
  for (size_t i = 0; i < a.tracks.size(); ++i)
    if (a.tracks[i].kind == kind) list += (list.empty() ? "" : ", ") + std::to_string(i);
  return list.empty() ? tr("无", "none") : list;
}

// Terminal columns of a UTF-8 text: a CJK character takes two.
size_t columns(const std::string& s) {
  size_t n = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const auto c = uint8_t(s[i]);
    if ((c & 0xC0) == 0x80) continue;
    n += c >= 0xE3 && c <= 0xED ? 2 : 1;  // U+3000 to U+DFFF: the wide scripts
  }
  return n;
}

std::string tableOf(const mv::FileAnalysis& a, bool programs) {
  std::vector<std::vector<std::string>> rows;
  rows.push_back({"#", "kind", "codec", "language", "name", "id"});
  if (programs) rows[0].push_back("program");
  for (const char* h : {"units", "bytes", "kbit/s", "default"}) rows[0].push_back(h);
  for (size_t i = 0; i < a.tracks.size(); ++i) {
    const mv::Track& t = a.tracks[i];
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.2f", averageKbit(t, a));
    std::vector<std::string> row = {std::to_string(i),
                                    std::string(mv::trackKindName(t.kind)),
                                    mv::printableName(t.codec),
                                    t.language.empty() ? "-" : mv::printableName(t.language),
                                    t.name.empty() ? "-" : mv::printableName(t.name),
                                    std::to_string(t.id)};
    if (programs) row.push_back(std::to_string(t.program));
    row.push_back(std::to_string(t.unitCount));
    row.push_back(std::to_string(t.bytes));
    row.push_back(rate);
    const int index = int(i);
    row.push_back(index == a.defaultVideo || index == a.defaultAudio ? "yes" : "");
    rows.push_back(std::move(row));
  }
  std::vector<size_t> width(rows[0].size(), 0);
  for (const auto& row : rows)
    for (size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], columns(row[c]));
  // Numbers right-aligned, words left-aligned; the last column is not padded.
  const auto numeric = [&](size_t c) {
    const std::string& h = rows[0][c];
    return h == "#" || h == "id" || h == "program" || h == "units" || h == "bytes" || h == "kbit/s";
  };
  std::string text;
  for (const auto& row : rows) {
    std::string line;
    for (size_t c = 0; c < row.size(); ++c) {
      const std::string pad(width[c] - columns(row[c]), ' ');
      if (c) line += "  ";
      line += numeric(c) ? pad + row[c] : c + 1 < row.size() ? row[c] + pad : row[c];
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    text += line + '\n';
  }
  return text;
}

nlohmann::ordered_json jsonOf(const mv::FileAnalysis& a, bool programs) {
  nlohmann::ordered_json j;
  j["ok"] = true;
  j["path"] = a.path;
  j["tracks"] = nlohmann::ordered_json::array();
  for (size_t i = 0; i < a.tracks.size(); ++i) {
    const mv::Track& t = a.tracks[i];
    nlohmann::ordered_json o;
    o["number"] = i;
    o["kind"] = std::string(mv::trackKindName(t.kind));
    o["codec"] = t.codec;
    o["language"] = t.language;
    o["name"] = t.name;
    o["id"] = t.id;
    if (programs) o["program"] = t.program;
    o["units"] = t.unitCount;
    o["bytes"] = t.bytes;
    o["kbitPerSecond"] = twoDecimals(averageKbit(t, a));
    o["default"] = int(i) == a.defaultVideo || int(i) == a.defaultAudio;
    j["tracks"].push_back(std::move(o));
  }
  return j;
}

}  // namespace

void addTrackOptions(CLI::App* cmd, TrackChoice& choice) {
  cmd->add_option("--video-track", choice.video,
                  "Count this video track (its number in the tracks list) instead of the default one")
      ->check(CLI::NonNegativeNumber);
  cmd->add_option("--audio-track", choice.audio,
                  "Count this audio track (its number in the tracks list) instead of the default one")
      ->check(CLI::NonNegativeNumber);
  cmd->add_option("--program", choice.program,
                  "MPEG-TS: count the first video and audio track of this program (its program number)")
      ->check(CLI::Range(1, 65535));
}

bool chooseTracks(mv::FileSlot& slot, const TrackChoice& choice) {
  if (!choice.any()) return true;
  const mv::FileAnalysis& a = slot.analysis;
  const std::string path = a.path;
  const auto usage = [&](const std::string& cause) {
    printDiagnostic(path, cause);
    throw CLI::RuntimeError(kExitUsage);
  };
  // A reader that lists no tracks counts its own first video and audio track, which have no
  // number to ask for.
  if (a.tracks.empty())
    usage(tr("此类文件不列出轨道，只能统计默认的视频轨和音频轨",
             "this file lists no tracks: only its default video and audio track are counted"));
  int video = a.videoTrack, audio = a.audioTrack;
  if (choice.program != 0) {
    const auto first = [&](mv::TrackKind kind) {
      for (size_t i = 0; i < a.tracks.size(); ++i)
        if (a.tracks[i].program == choice.program && a.tracks[i].kind == kind) return int(i);
      return -1;
    };
    const bool listed = std::any_of(a.tracks.begin(), a.tracks.end(),
                                    [&](const mv::Track& t) { return t.program == choice.program; });
    if (!listed)
      usage((englishMessages()
                 ? "--program " + std::to_string(choice.program) + ": the file has no such program"
                 : "--program " + std::to_string(choice.program) + "：文件中没有这个节目"));
    video = first(mv::TrackKind::Video);
    audio = first(mv::TrackKind::Audio);
  }
  const auto pick = [&](int asked, mv::TrackKind kind, const char* option, const char* chinese,
                        const char* english, int& chosen) {
    if (asked < 0) return;
    if (size_t(asked) < a.tracks.size() && a.tracks[size_t(asked)].kind == kind) {
      chosen = asked;
      return;
    }
    const std::string n = std::to_string(asked);
    usage(englishMessages() ? std::string(option) + " " + n + ": track " + n + " is no " + english +
                                  " track (" + english + " tracks: " + numbersOf(a, kind) + ")"
                            : std::string(option) + " " + n + "：第 " + n + " 轨不是" + chinese + "轨（" +
                                  chinese + "轨：" + numbersOf(a, kind) + "）");
  };
  pick(choice.video, mv::TrackKind::Video, "--video-track", "视频", "video", video);
  pick(choice.audio, mv::TrackKind::Audio, "--audio-track", "音频", "audio", audio);
  if (slot.chooseTracks(video, audio)) return true;
  printDiagnostic(path, loadFailureCause(path, mv::LoadResult::fail(mv::LoadFailure::OutOfMemory)));
  return false;
}

void addTracksCommand(CLI::App& app, int* result) {
  struct Options {
    std::string path;
    bool json = false;
  };
  auto opts = std::make_shared<Options>();
  auto* cmd =
      app.add_subcommand("tracks", "List the tracks of a media file and which ones are counted by default");
  cmd->add_option("FILE", opts->path, mediaFileHelp())->required();
  cmd->add_flag("--json", opts->json, "One JSON object instead of the table");
  cmd->callback([opts, result] {
    mv::FileSlot slot;
    if (const mv::LoadResult loaded = loadFile(slot, opts->path); !loaded.ok()) {
      *result = loadFailed(opts->path, loaded, opts->json);
      return;
    }
    const mv::FileAnalysis& a = slot.analysis;
    if (a.tracks.empty())
      printDiagnostic(a.path, tr("提示：此类文件不列出轨道", "note: this file lists no tracks"));
    const bool programs = slot.mediaType() == mv::MEDIA_TS;
    const std::string text = opts->json ? dumpJson(jsonOf(a, programs)) + "\n" : tableOf(a, programs);
    *result = writeBytesOutput("-", {}, text) ? kExitOk : kExitFailed;
  });
}

}  // namespace mvcli
