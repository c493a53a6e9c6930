#pragma once
// RealMedia (.rm, .rmvb) chunk walk and the per-second attribution of its media packets.
// Every number in the file is big-endian.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/file_analysis.h"
#include "media/load.h"
#include "media/per_second_series.h"
#include "media/reader.h"
#include "platform/byte_cursor.h"
#include "platform/input_file.h"

namespace mv {

// Body of the PROP chunk.
struct RmProperties {
  uint32_t maxBitRate = 0;     // bits/s
  uint32_t avgBitRate = 0;     // bits/s
  uint32_t maxPacketSize = 0;  // bytes
  uint32_t avgPacketSize = 0;  // bytes
  uint32_t numPackets = 0;
  uint32_t duration = 0;  // ms
  uint32_t preroll = 0;   // ms
  uint32_t indexOffset = 0;
  uint32_t dataOffset = 0;
  uint16_t numStreams = 0;
  uint32_t flags = 0;  // bit 0 save enabled, bit 1 perfect play, bit 2 live broadcast
};

// Texts of the CONT chunk, as the bytes stand in the file.
struct RmContent {
  std::string title;
  std::string author;
  std::string copyright;
  std::string comment;
};

// One MDPR chunk.
struct RmStream {
  uint16_t streamNumber = 0;
  uint32_t maxBitRate = 0;     // bits/s
  uint32_t avgBitRate = 0;     // bits/s
  uint32_t maxPacketSize = 0;  // bytes
  uint32_t avgPacketSize = 0;  // bytes
  uint32_t startTime = 0;      // ms
  uint32_t preroll = 0;        // ms
  uint32_t duration = 0;       // ms
  std::string streamName;
  std::string mimeType;
  std::vector<uint8_t> typeSpecificData;

  // Decoded from a RealVideo type-specific block when a DATA chunk is reached; 0 until then and
  // for any other stream.
  uint32_t frameWidth = 0;   // pixels
  uint32_t frameHeight = 0;  // pixels
  uint32_t frameRate = 0;    // frames per second, integer part
  uint32_t codecFourcc = 0;  // big-endian value of the four characters ("RV40")
};

// One DATA chunk: where its packets lie.
struct RmDataChunk {
  uint64_t firstPacket = 0;  // right after the 18-byte DATA header
  uint64_t end = 0;          // end of the chunk, or of the file when the chunk is truncated
  // The end of the file cut the chunk: it declares more bytes than the file holds, beyond the ten
  // ffmpeg always declares too many.
  bool cut = false;
  uint32_t numPackets = 0;
  uint32_t nextDataHeader = 0;
};

// One version-0 record of an INDX chunk.
struct RmIndexEntry {
  uint32_t timestamp = 0;  // ms
  uint32_t offset = 0;
  uint32_t packetCountForThisPacket = 0;
};

// Header of one media packet.
struct RmPacketHeader {
  uint16_t objectVersion = 0;
  uint16_t length = 0;  // whole packet, this header included
  uint16_t streamNumber = 0;
  uint32_t timestamp = 0;  // ms
  uint8_t packetGroup = 0;
  uint8_t flags = 0;
};

inline constexpr const char* kRealVideoMime = "video/x-pn-realvideo";
inline constexpr const char* kRealAudioMime = "audio/x-pn-realaudio";

class RmReader {
 public:
  // Walks the top-level chunks at once; result() tells how it went. The file stays the caller's.
  explicit RmReader(InputFile* file);
  virtual ~RmReader();
  RmReader(const RmReader&) = delete;
  RmReader& operator=(const RmReader&) = delete;

  LoadResult result() const { return result_; }
  // The file starts with a .RMF chunk; a failure after that is damage, before it another format.
  bool signatureSeen() const { return signatureSeen_; }
  uint64_t position() const { return pos_; }
  // The walk stopped at a chunk (other than DATA) cut by the end of the file, or where no chunk
  // could be found.
  bool cutShort() const { return cutShort_; }

  uint32_t fileVersion() const { return fileVersion_; }
  uint32_t numHeaders() const { return numHeaders_; }
  const RmContent& content() const { return content_; }
  const RmProperties& properties() const { return properties_; }
  const std::vector<RmStream>& streams() const { return streams_; }
  const std::vector<RmDataChunk>& dataChunks() const { return dataChunks_; }
  const std::vector<RmIndexEntry>& indexEntries() const { return indexEntries_; }

  // Reads the packet at the cursor (over a DATA chunk's packets) and moves it to the next packet.
  // A packet of a version other than 0 or 1 is only its two version bytes. False when the
  // header does not fit.
  static bool readPacket(ByteCursor& packets, RmPacketHeader& header);

  // Packets lie back to back, so one large read serves hundreds of headers; reads of this size
  // also skip the file's small-read buffer and its extra copy. Small enough to stay in the
  // processor's cache while its headers are walked, and to cost few page faults in a fresh
  // process; larger windows save system calls but lose more to cache misses than they gain.
  static constexpr size_t kPacketWindow = 256 * 1024;

 private:
  bool walk();
  bool readFileHeader(uint32_t chunkSize);
  bool readProperties();
  bool readContent();
  bool readMediaProperties();
  bool readData(uint64_t chunkEnd);
  bool readIndex();
  void decodeRealVideo();

  // Reads at the position and advances it; fails when the bytes pass the current limit.
  bool read(void* dst, size_t n);
  bool readU8(uint8_t& v);
  bool readU16(uint16_t& v);
  bool readU32(uint32_t& v);
  bool readBytes(size_t n, std::string& out);
  bool readBytes(size_t n, std::vector<uint8_t>& out);
  uint64_t remaining() const { return pos_ <= limit_ ? limit_ - pos_ : 0; }

  InputFile* file_;
  ByteCursor in_;  // the whole file
  uint64_t pos_ = 0;
  uint64_t end_ = 0;
  uint64_t limit_ = 0;  // end of the chunk being read, never past end_
  uint32_t fileVersion_ = 0;
  uint32_t numHeaders_ = 0;
  RmContent content_;
  RmProperties properties_;
  std::vector<RmStream> streams_;
  std::vector<RmDataChunk> dataChunks_;
  std::vector<RmIndexEntry> indexEntries_;
  LoadResult result_;
  bool signatureSeen_ = false;
  bool cutShort_ = false;
};

// The walk the load entry (media/reader.h) runs for this container.
LoadResult walkRealMedia(InputFile& file, FileAnalysis& out, WalkNotes& notes, LoadControl* control);

// The series of the chosen tracks from their kept units, by the rule the walk counts with.
LoadResult fillRealMediaChosenSeries(FileAnalysis& analysis);

// Whether the first `n` bytes of a file open this container: a ".RMF" chunk of version 0 or 1.
bool looksLikeRealMedia(const uint8_t* head, size_t n);

}  // namespace mv
