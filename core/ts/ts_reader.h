#pragma once
// MPEG transport stream reader (.ts, and .m2ts with its 4-byte time codes): every program's
// streams as tracks, and the per-second series of the PES packets of the chosen video and audio
// stream (by default the first program's first ones).
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

// One entry of a program's stream loop.
struct TsStream {
  uint16_t pid = 0;
  uint8_t streamType = 0;
  uint8_t audioTag = 0;       // the first AC-3/E-AC-3/DTS/AAC descriptor tag among its descriptors
  uint32_t registration = 0;  // format identifier of its registration descriptor, 0 without
  // What the first PES payload starts with, for private data: 0 none seen, 1 ADTS, 2 MPEG audio,
  // 3 AC-3, 4 LATM, 5 anything else.
  uint8_t syncWord = 0;
  bool video = false;
  bool audio = false;
  uint8_t subtitleTag = 0;  // 0x59 (DVB subtitling) or, for private data, 0x56 (teletext)
  std::string language;     // of its ISO 639 language descriptor (else its subtitling one)
  uint64_t pesPackets = 0;  // PES packets seen on the PID, counted or not
};

struct TsProgram {
  uint16_t number = 0;
  uint16_t pmtPid = 0;
  bool havePmt = false;
  std::vector<TsStream> streams;  // its PMT's, in its order
};

enum TsSyncWord : uint8_t { kSyncNone = 0, kSyncAdts, kSyncMpegAudio, kSyncAc3, kSyncLatm, kSyncOther };

// What one walk over the packets learns.
struct TsFile {
  uint32_t packetSize = 0;          // 188, 192 (time code before the sync byte) or 204 (check bytes after)
  uint64_t firstSync = 0;           // offset of the first packet's sync byte
  uint64_t packets = 0;             // whole packets read
  uint64_t skippedBytes = 0;        // bytes passed over to find the sync byte again
  std::vector<TsProgram> programs;  // of the first complete PAT
  bool havePat = false;
  bool havePmt = false;
  uint16_t programNumber = 0;
  uint16_t pmtPid = 0;
  uint16_t pcrPid = 0x1FFF;
  std::vector<TsStream> streams;  // the first program's, in its order
  int videoIndex = -1;            // into streams: the default tracks
  int audioIndex = -1;
  bool cutShort = false;     // a PES or packet cut by the end of the file
  bool cutPictures = false;  // asked: the video is cut into pictures (else only its rate is read)
  // Asked: the tracks to choose instead of the default ones (FileAnalysis::askedVideo).
  int askedVideo = kDefaultTrack, askedAudio = kDefaultTrack;
  // Every program's streams (PAT order, then its PMT's), which are chosen and which the rules
  // choose. A chosen track's units are `video` or `audio`.
  std::vector<Track> tracks;
  int videoTrack = -1, audioTrack = -1, defaultVideo = -1, defaultAudio = -1;
  PictureSize coded;          // of the chosen video, from its sequence header
  uint64_t droppedUnits = 0;  // the chosen tracks' PES packets that lost a packet (counted with what is left)
  TrackUnits video;           // one unit a PES packet: the series
  TrackUnits audio;
  codec::TrackCoding coding;  // of the chosen video stream
  // The video's pictures cut from its PES payloads (none for a codec not cut by start codes),
  // the rate they were timed by (0: none declared) and whether 25 a second had to be assumed.
  TrackUnits pictures;
  int32_t frameRateMilli = 0;
  bool rateAssumed = false;
};

// Walks the file's packets. NotThisFormat without a packet size; Damaged without a PAT and its
// PMT.
LoadResult readTs(InputFile& file, TsFile& out, LoadControl* control = nullptr);

// The stream type's name ("H.264/AVC", "AAC (ADTS)" …); "" when unknown.
const char* tsStreamTypeName(uint8_t streamType);
// What private data (stream type 06) carries, by its descriptors or first bytes.
std::string tsPrivateDataName(const TsStream& stream);

// The walk the load entry (media/reader.h) runs for this container.
LoadResult walkTs(InputFile& file, FileAnalysis& out, WalkNotes& notes, LoadControl* control);

// Whether the first `n` bytes of a file open this container: sync bytes at the start of several packets in a
// row, of 188, 192 or 204 bytes.
bool looksLikeTransportStream(const uint8_t* head, size_t n);

}  // namespace mv
