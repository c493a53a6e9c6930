#include "analysis/containers.h"

#include <algorithm>

#include "asf/asf_info.h"
#include "asf/asf_reader.h"
#include "avi/avi_info.h"
#include "avi/avi_reader.h"
#include "es/es_info.h"
#include "es/es_reader.h"
#include "flv/flv_info.h"
#include "flv/flv_reader.h"
#include "media/mpeg_timestamps.h"
#include "mkv/mkv_info.h"
#include "mkv/mkv_reader.h"
#include "mp4/mp4_info.h"
#include "mp4/mp4_reader.h"
#include "platform/ascii.h"
#include "platform/input_file.h"
#include "ps/ps_info.h"
#include "ps/ps_reader.h"
#include "rm/rm_info.h"
#include "rm/rm_reader.h"
#include "ts/ts_info.h"
#include "ts/ts_reader.h"

namespace mv {
namespace {

constexpr std::string_view kAviSuffixes[] = {".avi", ".divx"};
constexpr std::string_view kRmSuffixes[] = {".rm", ".rmvb"};
constexpr std::string_view kMp4Suffixes[] = {".mp4", ".mov", ".m4v", ".3gp", ".3g2", ".f4v", ".m4a", ".m4b"};
constexpr std::string_view kMkvSuffixes[] = {".mkv", ".webm", ".mka", ".mk3d"};
constexpr std::string_view kFlvSuffixes[] = {".flv"};
constexpr std::string_view kTsSuffixes[] = {".ts", ".m2ts", ".mts", ".m2t", ".tp", ".trp"};
constexpr std::string_view kPsSuffixes[] = {".mpg", ".mpeg", ".vob", ".dat", ".mod", ".tod", ".vro", ".evo"};
constexpr std::string_view kAsfSuffixes[] = {".asf", ".wmv", ".wma"};
constexpr std::string_view kEsSuffixes[] = {".m1v", ".m2v",  ".mpv",  ".264", ".h264", ".avc",
                                            ".265", ".h265", ".hevc", ".ivf", ".mp3",  ".mp2",
                                            ".mpa", ".aac",  ".ac3",  ".eac3"};

constexpr std::string_view kAviMimeTypes[] = {"video/x-msvideo", "video/avi", "video/vnd.avi"};
constexpr std::string_view kRmMimeTypes[] = {"application/vnd.rn-realmedia",
                                             "application/vnd.rn-realmedia-vbr"};
constexpr std::string_view kMp4MimeTypes[] = {"video/mp4",   "video/quicktime", "video/x-m4v", "video/3gpp",
                                              "video/3gpp2", "audio/mp4",       "audio/x-m4b"};
constexpr std::string_view kMkvMimeTypes[] = {"video/x-matroska", "video/webm", "audio/x-matroska",
                                              "video/x-matroska-3d"};
constexpr std::string_view kFlvMimeTypes[] = {"video/x-flv"};
constexpr std::string_view kTsMimeTypes[] = {"video/mp2t"};
constexpr std::string_view kPsMimeTypes[] = {"video/mpeg", "video/x-mpeg", "video/dvd"};
constexpr std::string_view kAsfMimeTypes[] = {"video/x-ms-asf", "video/x-ms-wmv", "audio/x-ms-wma",
                                              "application/vnd.ms-asf"};
constexpr std::string_view kEsMimeTypes[] = {"video/MPV", "video/H264", "video/H265", "audio/mpeg",
                                             "audio/aac", "audio/ac3",  "audio/eac3"};

const Container kContainers[] = {
    {.type = MEDIA_AVI,
     .name = "AVI",
     .displayName = "AVI",
     .nameTakesAn = true,
     .suffixes = kAviSuffixes,
     .mimeTypes = kAviMimeTypes,
     .filterName = "Avi Files(*.avi)",
     .walk = walkAvi,
     .looksLike = looksLikeAvi,
     .describe = writeAviInfo,
     .marksZeroSeconds = false,
     .fillChosenSeries = fillAviChosenSeries},
    {.type = MEDIA_RM,
     .name = "RM",
     .displayName = "RealMedia",
     .nameTakesAn = false,
     .suffixes = kRmSuffixes,
     .mimeTypes = kRmMimeTypes,
     .filterName = "RM Files(*.RM)",
     .walk = walkRealMedia,
     .looksLike = looksLikeRealMedia,
     .describe = writeRealMediaInfo,
     .marksZeroSeconds = true,
     .fillChosenSeries = fillRealMediaChosenSeries},
    {.type = MEDIA_MP4,
     .name = "MP4",
     .displayName = "MP4",
     .nameTakesAn = true,
     .suffixes = kMp4Suffixes,
     .mimeTypes = kMp4MimeTypes,
     .filterName = "MP4 Files(*.mp4;*.mov;*.m4v)",
     .walk = walkMp4,
     .looksLike = looksLikeMp4,
     .describe = writeMp4Info,
     .marksZeroSeconds = false},
    {.type = MEDIA_MKV,
     .name = "MKV",
     .displayName = "Matroska",
     .nameTakesAn = false,
     .suffixes = kMkvSuffixes,
     .mimeTypes = kMkvMimeTypes,
     .filterName = "Matroska Files(*.mkv;*.webm)",
     .walk = walkMatroska,
     .looksLike = looksLikeMatroska,
     .describe = writeMatroskaInfo,
     .marksZeroSeconds = false},
    {.type = MEDIA_FLV,
     .name = "FLV",
     .displayName = "FLV",
     .nameTakesAn = true,
     .suffixes = kFlvSuffixes,
     .mimeTypes = kFlvMimeTypes,
     .filterName = "FLV Files(*.flv)",
     .walk = walkFlv,
     .looksLike = looksLikeFlv,
     .describe = writeFlvInfo,
     .marksZeroSeconds = false},
    {.type = MEDIA_TS,
     .name = "TS",
     .displayName = "MPEG-TS",
     .nameTakesAn = true,
     .suffixes = kTsSuffixes,
     .mimeTypes = kTsMimeTypes,
     .filterName = "MPEG-TS Files(*.ts;*.m2ts)",
     .walk = walkTs,
     .looksLike = looksLikeTransportStream,
     .describe = writeTsInfo,
     .marksZeroSeconds = false,
     .fillChosenSeries = fillMpegChosenSeries},
    {.type = MEDIA_PS,
     .name = "PS",
     .displayName = "MPEG-PS",
     .nameTakesAn = true,
     .suffixes = kPsSuffixes,
     .mimeTypes = kPsMimeTypes,
     .filterName = "MPEG-PS Files(*.mpg;*.mpeg;*.vob;*.dat)",
     .walk = walkPs,
     .looksLike = looksLikeProgramStream,
     .describe = writePsInfo,
     .marksZeroSeconds = false,
     .fillChosenSeries = fillMpegChosenSeries},
    {.type = MEDIA_ASF,
     .name = "ASF",
     .displayName = "ASF",
     .nameTakesAn = true,
     .suffixes = kAsfSuffixes,
     .mimeTypes = kAsfMimeTypes,
     .filterName = "Windows Media Files(*.asf;*.wmv;*.wma)",
     .walk = walkAsf,
     .looksLike = looksLikeAsf,
     .describe = writeAsfInfo,
     .marksZeroSeconds = false},
    {.type = MEDIA_ES,
     .name = "ES",
     .displayName = "ES",
     .nameTakesAn = true,
     .suffixes = kEsSuffixes,
     .mimeTypes = kEsMimeTypes,
     .filterName = "Elementary Stream Files(*.m2v;*.264;*.265;*.ivf;*.mp3;*.aac;*.ac3 ...)",
     .walk = walkElementaryStream,
     .looksLike = looksLikeElementaryStream,
     .describe = writeElementaryStreamInfo,
     .marksZeroSeconds = false},
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

static_assert(kContentHeadBytes <= InputFile::kBufferSize, "the head is peeked at once");

const Container* containerOfContent(const uint8_t* head, size_t n) {
  for (const Container& c : kContainers)
    if (c.looksLike && c.looksLike(head, n)) return &c;
  return nullptr;
}

const Container* containerOfFileContent(const std::string& path) {
  InputFile file;
  if (!file.open(path)) return nullptr;
  const size_t n = size_t(std::min<uint64_t>(file.length(), kContentHeadBytes));
  const uint8_t* head = file.peek(0, n);
  return head ? containerOfContent(head, n) : nullptr;
}

std::string openFileFilter() {
  std::string supported, entries;
  for (const Container& c : kContainers) {
    if (!supported.empty()) supported += ';';
    supported += searchMask(c);
    entries += fileFilter(c) + "|";
  }
  return "Supported Files|" + supported + "|" + entries + "All Files(*.*)|*.*||";
}

std::string containerNames(std::string_view separator, bool zeroSecondsOnly) {
  std::string names;
  for (const Container& c : kContainers) {
    if (zeroSecondsOnly && !c.marksZeroSeconds) continue;
    if (!names.empty()) names += separator;
    names += c.displayName;
  }
  return names;
}

std::string searchMask(const Container& container) {
  std::string mask;
  for (std::string_view s : container.suffixes) {
    if (!mask.empty()) mask += ';';
    mask += '*';
    mask += s;
  }
  return mask;
}

std::string fileFilter(const Container& container) {
  return std::string(container.filterName) + "|" + searchMask(container);
}

}  // namespace mv
