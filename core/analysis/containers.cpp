#include "analysis/containers.h"

#include "asf/asf_info.h"
#include "asf/asf_reader.h"
#include "avi/avi_info.h"
#include "avi/avi_reader.h"
#include "flv/flv_info.h"
#include "flv/flv_reader.h"
#include "mkv/mkv_info.h"
#include "mkv/mkv_reader.h"
#include "mp4/mp4_info.h"
#include "mp4/mp4_reader.h"
#include "platform/ascii.h"
#include "ps/ps_info.h"
#include "ps/ps_reader.h"
#include "rm/rm_info.h"
#include "rm/rm_reader.h"
#include "ts/ts_info.h"
#include "ts/ts_reader.h"

namespace mv {
namespace {

constexpr std::string_view kAviSuffixes[] = {".avi"};
constexpr std::string_view kRmSuffixes[] = {".rm", ".rmvb"};
constexpr std::string_view kMp4Suffixes[] = {".mp4", ".mov", ".m4v"};
constexpr std::string_view kMkvSuffixes[] = {".mkv", ".webm"};
constexpr std::string_view kFlvSuffixes[] = {".flv"};
constexpr std::string_view kTsSuffixes[] = {".ts", ".m2ts"};
constexpr std::string_view kPsSuffixes[] = {".mpg", ".mpeg", ".vob", ".dat"};
constexpr std::string_view kAsfSuffixes[] = {".asf", ".wmv", ".wma"};

const Container kContainers[] = {
    {MEDIA_AVI, "AVI", kAviSuffixes, "Avi Files(*.avi)|*.avi", "*.avi", walkAvi, writeAviInfo, false},
    {MEDIA_RM, "RM", kRmSuffixes, "RM Files(*.RM)|*.rm;*.rmvb", "*.rmvb;*.rm", walkRealMedia, writeRealMediaInfo,
     true},
    {MEDIA_MP4, "MP4", kMp4Suffixes, "MP4 Files(*.mp4;*.mov;*.m4v)|*.mp4;*.mov;*.m4v", "*.mp4;*.mov;*.m4v", walkMp4,
     writeMp4Info, false},
    {MEDIA_MKV, "MKV", kMkvSuffixes, "Matroska Files(*.mkv;*.webm)|*.mkv;*.webm", "*.mkv;*.webm", walkMatroska,
     writeMatroskaInfo, false},
    {MEDIA_FLV, "FLV", kFlvSuffixes, "FLV Files(*.flv)|*.flv", "*.flv", walkFlv, writeFlvInfo, false},
    {MEDIA_TS, "TS", kTsSuffixes, "MPEG-TS Files(*.ts;*.m2ts)|*.ts;*.m2ts", "*.ts;*.m2ts", walkTs, writeTsInfo,
     false},
    {MEDIA_PS, "PS", kPsSuffixes, "MPEG-PS Files(*.mpg;*.mpeg;*.vob;*.dat)|*.mpg;*.mpeg;*.vob;*.dat",
     "*.mpg;*.mpeg;*.vob;*.dat", walkPs, writePsInfo, false},
    {MEDIA_ASF, "ASF", kAsfSuffixes, "Windows Media Files(*.asf;*.wmv;*.wma)|*.asf;*.wmv;*.wma", "*.asf;*.wmv;*.wma",
     walkAsf, writeAsfInfo, false},
};

}  // namespace

std::span<const Container> containers() { return kContainers; }

const Container* containerOfPath(const std::string& path) {
  const auto dot = path.find_last_of('.');
  if (dot == std::string::npos) return nullptr;
  const std::string_view suffix = std::string_view(path).substr(dot);
  for (const Container& c : kContainers)
    for (std::string_view s : c.suffixes)
      if (equalsIgnoreAsciiCase(suffix, s)) return &c;
  return nullptr;
}

const Container* containerOfType(MediaType type) {
  for (const Container& c : kContainers)
    if (c.type == type) return &c;
  return nullptr;
}

std::string openFileFilter() {
  std::string supported, entries;
  for (const Container& c : kContainers) {
    if (!supported.empty()) supported += ';';
    supported += c.supportedPatterns;
    entries += std::string(c.filter) + "|";
  }
  return "Supported Files|" + supported + "|" + entries + "All Files(*.*)|*.*||";
}

std::string searchMask(const Container& container) {
  std::string mask;
  for (std::string_view s : container.suffixes) {
    if (!mask.empty()) mask += ';';
    mask += "*" + std::string(s);
  }
  return mask;
}

}  // namespace mv
