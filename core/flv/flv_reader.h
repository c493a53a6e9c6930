#pragma once
// FLV reader: the per-second series of the video tags and the audio tags, and the onMetaData
// values the information text shows.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "codec/video_headers.h"
#include "media/file_analysis.h"
#include "media/load.h"
#include "media/reader.h"
#include "platform/input_file.h"

namespace mv {

// What one walk over the tags learns.
struct FlvFile {
  uint8_t version = 0;
  uint8_t flags = 0;        // 4: audio present, 1: video present
  uint32_t dataOffset = 0;  // header size
  // onMetaData: numbers, booleans (1/0) and strings by name, first level only.
  std::map<std::string, double> numbers;
  std::map<std::string, std::string> texts;
  // First coded frame's codec byte of each kind (-1: none).
  int videoCodec = -1;               // CodecID 2 Sorenson H.263 ... 7 AVC, 12 HEVC
  int audioFormat = -1;              // the whole first byte: SoundFormat, rate, size, type
  uint64_t tags = 0;                 // complete tags of any type
  PictureSize coded;                 // from the first AVC/HEVC sequence header
  std::vector<uint8_t> videoConfig;  // the first AVC/HEVC sequence header's record
  bool cutShort = false;
  TrackUnits video;
  TrackUnits audio;
};

// Walks the file's tags. NotThisFormat when it does not begin with "FLV".
LoadResult readFlv(InputFile& file, FlvFile& out, LoadControl* control = nullptr);

// The walk the load entry (media/reader.h) runs for this container. It lists the video track
// (id 9, the tag type) before the audio track (id 8), each when the file has tags of its type.
LoadResult walkFlv(InputFile& file, FileAnalysis& out, WalkNotes& notes, LoadControl* control);

// The name of a video tag's CodecID and of an audio tag's SoundFormat; "" for a value FLV does
// not define.
const char* flvVideoCodecName(int id);
const char* flvSoundFormatName(int format);

// Whether the first `n` bytes of a file open this container: "FLV", version 1 and a header of at least 9
// bytes.
bool looksLikeFlv(const uint8_t* head, size_t n);

}  // namespace mv
