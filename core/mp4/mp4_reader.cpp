#include "mp4/mp4_reader.h"

#include "mp4/mp4_codec_names.h"
#include "mp4/mp4_file.h"
#include "platform/byte_order.h"
#include "platform/input_file.h"

namespace mv {
namespace {

constexpr uint32_t kSubtitleHandlers[] = {fourccBe("sbtl"), fourccBe("subt"), fourccBe("text"),
                                          fourccBe("clcp")};

TrackKind kindOf(const Mp4Track& t) {
  if (t.isVideo()) return TrackKind::Video;
  if (t.isAudio()) return TrackKind::Audio;
  for (uint32_t h : kSubtitleHandlers)
    if (t.handler == h) return TrackKind::Subtitle;
  return TrackKind::Other;
}

std::string typeText(uint32_t type) {
  std::string s;
  for (int i = 3; i >= 0; --i) {
    const char c = char(type >> (8 * i));
    s += c >= 0x20 && c < 0x7F ? c : '?';
  }
  return s;
}

// Three letters a to z, else (a Macintosh language code, or nothing) empty.
std::string languageText(uint16_t packed) {
  std::string s;
  for (int shift = 10; shift >= 0; shift -= 5) {
    const char c = char(((packed >> shift) & 31) + 0x60);
    if (c < 'a' || c > 'z') return {};
    s += c;
  }
  return s;
}

}  // namespace

LoadResult walkMp4(InputFile& file, FileAnalysis& out, WalkNotes& notes, LoadControl* control) {
  Mp4File mp4(file, control, Mp4File::Keep::Units, out.videoUnits.keepPlaces);
  if (!mp4.result().ok()) return mp4.result();
  out.tracks.reserve(mp4.tracks().size());
  for (Mp4Track& m : mp4.tracks()) {
    Track& t = out.tracks.emplace_back();
    t.kind = kindOf(m);
    t.codec = m.codec ? typeText(m.codec) : std::string();
    t.language = languageText(m.language);
    t.name = m.name;
    t.id = m.trackId;
    // MP4 declares no frame rate: the load entry measures it from the decode times.
    if (t.kind == TrackKind::Video) {
      t.frameWidth = int32_t(m.width());
      t.frameHeight = int32_t(m.height());
      t.coding = mp4VideoCoding(m.codec, m.sampleEntry.data(), m.sampleEntry.size());
    }
    TrackUnits& units = t.units;
    units.present = true;
    units.clock = m.clock(mp4.movieTimescale());
    units.units = std::move(m.units);
    units.runs = std::move(m.runs);
    units.stamps = m.stamps;
    units.keepPlaces = m.keepPlaces;
    units.places = std::move(m.places);
    t.unitCount = m.sampleCount;
    t.bytes = m.sampleBytes;
  }
  out.defaultVideo = mp4.videoIndex();
  out.defaultAudio = mp4.audioIndex();
  swapChosenTracks(out, out.defaultVideo, out.defaultAudio);
  notes.cutShort = mp4.cutShort();
  return LoadResult::success();
}

}  // namespace mv
