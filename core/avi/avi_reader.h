#pragma once
// AVI (RIFF "AVI " / "AVIX") tree walk and the per-second attribution of its legacy index.
#include <array>
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

// Body of the avih chunk (56 bytes), little-endian fields.
struct AviMainHeader {
  uint32_t dwMicroSecPerFrame = 0;
  uint32_t dwMaxBytesPerSec = 0;
  uint32_t dwPaddingGranularity = 0;
  uint32_t dwFlags = 0;
  uint32_t dwTotalFrames = 0;
  uint32_t dwInitialFrames = 0;
  uint32_t dwStreams = 0;
  uint32_t dwSuggestedBufferSize = 0;
  uint32_t dwWidth = 0;
  uint32_t dwHeight = 0;
  std::array<uint32_t, 4> dwReserved{};
  static constexpr size_t kSize = 56;
  void parse(const uint8_t* body);
};

// Body of the strh chunk (56 bytes).
struct AviStreamHeader {
  uint32_t fccType = 0;  // four characters as a little-endian value ("vids", "auds")
  uint32_t fccHandler = 0;
  uint32_t dwFlags = 0;
  uint16_t wPriority = 0;
  uint16_t wLanguage = 0;
  uint32_t dwInitialFrames = 0;
  uint32_t dwScale = 0;
  uint32_t dwRate = 0;
  uint32_t dwStart = 0;
  uint32_t dwLength = 0;
  uint32_t dwSuggestedBufferSize = 0;
  uint32_t dwQuality = 0;
  uint32_t dwSampleSize = 0;
  std::array<int16_t, 4> rcFrame{};  // left, top, right, bottom
  static constexpr size_t kSize = 56;
  void parse(const uint8_t* body);
};

struct AviStream {
  AviStreamHeader header;
  std::vector<uint8_t> format;      // strf body: WAVEFORMATEX for audio, BITMAPINFOHEADER for video
  std::string name;                 // strn body as text
  std::vector<uint8_t> superIndex;  // indx chunk with its id and size in front, or empty

  // Wave format fields of an audio stream's format block (0 when the block is too short).
  uint16_t wFormatTag() const;
  uint16_t nChannels() const;
  uint32_t nSamplesPerSec() const;
  uint32_t nAvgBytesPerSec() const;
  uint16_t nBlockAlign() const;
  uint16_t wBitsPerSample() const;
};

// Where a file's chunk sizes come from: its idx1, its OpenDML indexes, or the chunks in movi.
enum class AviIndexSource { Legacy, OpenDml, MoviWalk };

// A LIST movi: where it starts and where its body ends (the declared end, or the end of the
// file where the file was cut short).
struct AviMovi {
  uint64_t start = 0;
  uint64_t end = 0;
};

// Chunk sizes of every video and audio stream, by stream position (none for other streams), in
// the order the index or the file holds them. OpenDML sizes keep their bit 31 (set: not a key
// frame); the legacy index's come as numbered units (media/timed_units.h).
struct AviStreamEntries {
  std::vector<std::vector<uint32_t>> sizes;
  // With keepPlaces, where each video chunk's data begins (after its 8-byte header), by stream.
  bool keepPlaces = false;
  std::vector<std::vector<UnitPlace>> places;
  // OpenDML entries whose data lies (partly) past the end of the file: not kept.
  uint64_t pastEnd = 0;
};

// One 16-byte entry of the idx1 body.
struct AviIndexEntry {
  uint32_t ckid;
  uint32_t dwFlags;
  uint32_t dwChunkOffset;
  uint32_t dwChunkLength;
};

class AviReader {
 public:
  // Parses at once; result() tells how it went.
  explicit AviReader(InputFile* file);
  virtual ~AviReader();

  LoadResult result() const { return result_; }
  // The file starts as a RIFF AVI file; a failure after that is damage, before it another format.
  bool signatureSeen() const { return signatureSeen_; }
  // Where the walk stopped.
  uint64_t position() const { return pos_; }

  const AviMainHeader& mainHeader() const { return mainHeader_; }
  // File position of the avih body (its first field, the frame time).
  uint64_t mainHeaderPosition() const { return mainHeaderAt_; }
  uint32_t odmlTotalFrames() const { return odmlTotalFrames_; }
  const std::vector<std::unique_ptr<AviStream>>& streams() const { return streams_; }
  // Whether an idx1 chunk was found; the last one counts.
  bool hasIndex() const { return indexFound_; }
  // Entries of that chunk. Its body, megabytes in a long file, stays in the file and is read
  // when the entries are: a read that fails then shows in the file's readFailed().
  size_t indexEntryCount() const { return indexFound_ ? indexSize_ / kIndexEntrySize : 0; }
  AviIndexEntry indexEntry(size_t i) const;  // zeros when it cannot be read
  const std::vector<AviMovi>& movis() const { return movis_; }
  bool hasDmlh() const { return dmlhFound_; }
  // Top-level RIFF chunks ("AVI " and "AVIX" parts).
  uint32_t riffParts() const { return riffParts_; }
  bool hasAvixPart() const { return avixFound_; }
  // A stream's indx is a super index (bIndexType 0).
  bool hasSuperIndex() const;
  // The file ends inside its movi, inside an AVIX part or inside its idx1; the walk kept what
  // lies before the cut.
  bool cutShort() const { return cutShort_; }
  AviIndexSource indexSource() const;

  // Position in streams() of the first stream of a type ("vids", "auds"), or -1.
  int firstStream(uint32_t fccType) const;
  // A video or audio stream: one whose entries are kept.
  bool keepsEntries(size_t position) const;

  // Entries of the OpenDML standard indexes the streams' super indexes list. Every stream's
  // indexes are read and checked; the video and audio streams' sizes are kept.
  LoadResult readOpenDmlIndex(AviStreamEntries& out, ProgressGate& gate) const;
  // Entries of the chunks in the movi lists, in file order: what the file holds when no index
  // can be trusted. Reads every chunk header, so it costs a pass over the file.
  LoadResult walkMovi(AviStreamEntries& out, ProgressGate& gate) const;

  // Sets per-second bytes of the first video and the first audio stream into their series,
  // whose element 0 is N. One pass over the index (two when a header rate proves implausible),
  // read block by block through the file's buffer; false when a block could not be read.
  // `headerSeconds` is the play time the plausibility check trusts.
  // Every video and audio stream's entries go to `kept` in index order as numbered units, the
  // key flag from AVIIF_KEYFRAME, with the video chunks' places when `kept` keeps places.
  // `videoRateReplaced` tells whether the video stream's header rate was given up for the
  // entry count over `headerSeconds`.
  bool attribute(uint32_t durationSeconds, double headerSeconds, PerSecondSeries& video,
                 PerSecondSeries& audio, AviStreamEntries& kept, bool& videoRateReplaced) const;
  // The same over entries gathered by readOpenDmlIndex or walkMovi; true when the video stream's
  // header rate was given up.
  bool attribute(const AviStreamEntries& entries, uint32_t durationSeconds, double headerSeconds,
                 PerSecondSeries& video, PerSecondSeries& audio) const;

  // Lists nested deeper than this are treated as damage; real files nest three or four deep.
  static constexpr int kMaxDepth = 32;
  static constexpr size_t kIndexEntrySize = 16;

 private:
  bool parse();
  bool walk(uint64_t end, uint64_t topEnd, int depth);
  void endWalkCutShort() { cutShort_ = stop_ = true; }
  bool read(void* dst, size_t n);
  bool readU32(uint32_t& v);
  bool readBody(uint32_t size, std::vector<uint8_t>& out, size_t prefix);
  bool readWholeChunk(uint64_t start, uint32_t size, std::vector<uint8_t>& out);
  template <typename Visit>
  bool forEachIndexEntry(Visit visit) const;
  // What idx1's offsets count from: 0 when they are file positions, else the movi list's type.
  uint64_t indexOffsetBase() const;

  InputFile* file_;
  ByteCursor in_;  // the whole file
  uint64_t pos_ = 0;
  uint64_t end_ = 0;
  AviMainHeader mainHeader_;
  uint64_t mainHeaderAt_ = 0;
  uint32_t odmlTotalFrames_ = 0;
  std::vector<std::unique_ptr<AviStream>> streams_;
  bool indexFound_ = false;
  uint64_t indexPos_ = 0;   // file position of the idx1 body
  uint32_t indexSize_ = 0;  // its size field
  std::vector<AviMovi> movis_;
  bool dmlhFound_ = false;
  uint32_t riffParts_ = 0;
  bool avixFound_ = false;
  bool cutShort_ = false;
  bool stop_ = false;  // the walk met the cut and ends as if the file ended there
  LoadResult result_;
  bool signatureSeen_ = false;
};

// The walk the load entry (media/reader.h) runs for this container.
LoadResult walkAvi(InputFile& file, FileAnalysis& out, WalkNotes& notes, LoadControl* control);

// The series of the chosen tracks from their kept entries, by the rule the walk counts with.
LoadResult fillAviChosenSeries(FileAnalysis& analysis);

// Whether the first `n` bytes of a file open this container: "RIFF" of the form "AVI ".
bool looksLikeAvi(const uint8_t* head, size_t n);

}  // namespace mv
