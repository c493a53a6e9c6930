#pragma once
// Matroska and WebM (.mkv .webm) reader: the per-second series of the first video and the first audio track.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "media/file_analysis.h"
#include "media/load.h"
#include "media/reader.h"
#include "platform/input_file.h"

namespace mv {

// A TrackEntry, with the defaults the format gives its absent fields.
struct MkvTrack {
  uint64_t number = 0;
  uint64_t type = 0;  // 1 video, 2 audio, 17 subtitle, …
  std::string codecId;
  std::vector<uint8_t> codecPrivate;  // its first bytes only (kMaxCodecPrivateKept)
  uint64_t codecPrivateSize = 0;      // as the file declares it
  uint64_t codecPrivateAt = 0;        // where it lies in the file
  std::string language = "eng";
  std::string name;
  uint64_t defaultDuration = 0;  // ns, 0 when absent
  uint64_t pixelWidth = 0, pixelHeight = 0;
  uint64_t displayWidth = 0, displayHeight = 0;  // 0 when absent
  double samplingFrequency = 8000.0;
  uint64_t channels = 1;
  uint64_t bitDepth = 0;  // 0 when absent
};

// What one walk over a file learns: the headers and the units of the two chosen tracks, and
// with everyTrack those of the other kept tracks.
struct MkvFile {
  static constexpr size_t kMaxTracksKept = 128;
  static constexpr size_t kMaxCodecPrivateKept = 64;

  std::string docType;
  uint64_t docTypeVersion = 1;
  uint64_t timestampScale = 1000000;  // ns per tick
  bool hasDuration = false;
  double duration = 0;  // ticks
  std::string muxingApp, writingApp, title;
  uint64_t trackCount = 0;       // TrackEntry elements seen
  std::vector<MkvTrack> tracks;  // the first kMaxTracksKept of them
  bool hasVideo = false, hasAudio = false;
  MkvTrack video, audio;              // the chosen tracks, when present
  TrackUnits videoUnits, audioUnits;  // on the Matroska clock (TimestampScale ns)
  // The chosen tracks' indexes in `tracks`, -1 when absent or not kept.
  int videoIndex = -1, audioIndex = -1;
  // Kept by readMatroska: set, `units` holds one entry a kept track, the units of those besides
  // the chosen two (whose entries stay empty); a number that two entries share is the first's.
  bool everyTrack = false;
  std::vector<TrackUnits> units;
  bool cutShort = false;  // something the file declares lies past its end
};

// Walks the whole file through `file`. On success `out` holds everything above; the failure
// says why the file is not a readable Matroska file (or that the walk was cancelled).
// `out.videoUnits.keepPlaces` and `out.everyTrack` are kept: with the first set, the video
// tracks' units also keep where their frames lie.
LoadResult readMatroska(InputFile& file, MkvFile& out, LoadControl* control = nullptr);

// The walk the load entry (media/reader.h) runs for this container.
LoadResult walkMatroska(InputFile& file, FileAnalysis& out, WalkNotes& notes, LoadControl* control);

// Whether the first `n` bytes of a file open this container: the EBML header's ID and a valid size.
bool looksLikeMatroska(const uint8_t* head, size_t n);

// The coding of a video track by its CodecID, `codecPrivate` its whole CodecPrivate.
codec::TrackCoding mkvVideoCoding(const std::string& codecId, const std::vector<uint8_t>& codecPrivate);

}  // namespace mv
