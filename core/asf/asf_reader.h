#pragma once
// ASF reader (.asf .wmv .wma): the per-second series of the video and audio media objects, and
// the header values the information text shows.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "media/file_analysis.h"
#include "media/load.h"
#include "media/reader.h"
#include "media/timed_units.h"
#include "platform/input_file.h"

namespace mv {

enum class AsfStreamKind { Other, Video, Audio };

// One Stream Properties object, standalone or inside an Extended Stream Properties object.
struct AsfStream {
  uint16_t number = 0;  // 1..127
  AsfStreamKind kind = AsfStreamKind::Other;
  bool extended = false;  // found inside the header extension
  // From the Extended Stream Properties of its number and the Language List; empty when none.
  std::string language, name;
  // Video: encoded size, then the BITMAPINFOHEADER's.
  uint32_t encodedWidth = 0, encodedHeight = 0;
  int32_t bitmapWidth = 0, bitmapHeight = 0;
  uint16_t bitCount = 0;
  uint32_t compression = 0;         // fourcc, characters in file order from the low byte
  std::vector<uint8_t> bitmapInfo;  // the BITMAPINFOHEADER with its codec data
  // Audio: WAVEFORMATEX.
  uint16_t formatTag = 0, channels = 0, bitsPerSample = 0;
  uint32_t sampleRate = 0, avgBytesPerSecond = 0;
};

// What one walk over the header and the data packets learns.
struct AsfFile {
  // File Properties.
  uint64_t declaredPackets = 0;
  uint64_t playDuration = 0;  // 100 ns
  uint64_t sendDuration = 0;  // 100 ns
  uint64_t preroll = 0;       // ms
  uint32_t flags = 0;         // 1: broadcast, 2: seekable
  uint32_t packetSize = 0;
  uint32_t maxBitrate = 0;
  bool fileProperties = false;
  // Content Description, in UTF-8.
  std::string title, author, copyright, description;
  std::vector<AsfStream> streams;  // header order
  // Extended Stream Properties: average time per frame (100 ns) by stream number, 0 when none.
  uint64_t avgTimePerFrame[128] = {};
  int videoStream = -1;  // index into streams of the chosen tracks
  int audioStream = -1;
  uint64_t dataOffset = 0;   // the data object
  uint64_t packetsRead = 0;  // whole packets walked
  uint64_t badPackets = 0;   // packets whose payloads did not fit and were passed over
  bool cutShort = false;     // the data ended inside a packet
  TrackUnits video;
  TrackUnits audio;
  // Set by the caller: `units` then holds one entry a stream, the units of those besides the
  // chosen two (whose entries stay empty); a number that two streams share is the first's.
  bool everyStream = false;
  std::vector<TrackUnits> units;
};

// Walks the header and the data packets. NotThisFormat when the file does not begin with the
// header object; Damaged without file properties, a fixed packet size or the data object.
LoadResult readAsf(InputFile& file, AsfFile& out, LoadControl* control = nullptr);

// The walk the load entry (media/reader.h) runs for this container.
LoadResult walkAsf(InputFile& file, FileAnalysis& out, WalkNotes& notes, LoadControl* control);

// Whether the first `n` bytes of a file open this container: the ASF header object's GUID.
bool looksLikeAsf(const uint8_t* head, size_t n);

}  // namespace mv
