#pragma once
// MPEG program stream reader (.mpg .mpeg .vob, and .dat: plain, or VCD sectors in RIFF "CDXA"):
// every stream as a track, and the per-second series of the chosen video and audio stream (by
// default the first ones), one unit per PES.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "codec/video_headers.h"
#include "media/file_analysis.h"
#include "media/load.h"
#include "media/reader.h"
#include "media/video_coding.h"
#include "platform/input_file.h"

namespace mv {

// One elementary stream: a stream id, or a sub-stream of private stream 1.
struct PsStream {
  uint8_t streamId = 0;
  int16_t subId = -1;  // private stream 1 only
  uint64_t pesPackets = 0;
  uint64_t bytes = 0;  // payload bytes of its complete PES packets
};

// What one walk over the packs learns.
struct PsFile {
  bool vcd = false;           // RIFF CDXA sectors
  uint64_t form1Sectors = 0;  // of those read
  uint64_t form2Sectors = 0;
  int packSyntax = 0;  // of the first pack: 1 MPEG-1, 2 MPEG-2
  uint64_t packs = 0;
  uint32_t muxRate = 0;           // of the first pack, in 50 bytes/s
  uint64_t skippedBytes = 0;      // between packets, not a start code
  uint64_t paddingPackets = 0;    // padding stream
  uint64_t otherPackets = 0;      // system headers, private stream 2, maps, ...
  bool cutShort = false;          // the last pack or packet passes the end
  bool cutPictures = false;       // asked: the video is cut into pictures (else only its rate is read)
  std::vector<PsStream> streams;  // in the order of their first PES
  int videoIndex = -1;            // into streams: the default tracks
  int audioIndex = -1;
  // Asked: the tracks to choose instead of the default ones (FileAnalysis::askedVideo).
  int askedVideo = kDefaultTrack, askedAudio = kDefaultTrack;
  // The streams as tracks (one each, in their order), which are chosen and which the rules
  // choose. A chosen track's units are `video` or `audio`.
  std::vector<Track> tracks;
  int videoTrack = -1, audioTrack = -1, defaultVideo = -1, defaultAudio = -1;
  PictureSize coded;  // of the chosen video
  TrackUnits video;   // one unit a PES packet: the series
  TrackUnits audio;
  codec::TrackCoding coding;  // of the chosen video, told by its first start codes
  // The video's pictures cut from its PES payloads, the rate they were timed by (0: none
  // declared) and whether 25 a second had to be assumed.
  TrackUnits pictures;
  int32_t frameRateMilli = 0;
  bool rateAssumed = false;
};

// "MPEG video", "AC-3", "subpicture", ...
const char* psStreamKind(const PsStream& s);

// Walks the file's packs. NotThisFormat when it does not begin with a pack header.
LoadResult readPs(InputFile& file, PsFile& out, LoadControl* control = nullptr);

// The walk the load entry (media/reader.h) runs for this container.
LoadResult walkPs(InputFile& file, FileAnalysis& out, WalkNotes& notes, LoadControl* control);

// Whether the first `n` bytes of a file open this container: an MPEG-1 or MPEG-2 pack header, or a VCD's RIFF
// "CDXA".
bool looksLikeProgramStream(const uint8_t* head, size_t n);

}  // namespace mv
