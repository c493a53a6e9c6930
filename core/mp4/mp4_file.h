#pragma once
// The box structure of an MP4 family file as far as the series and the information text need it:
// the movie header, each track's headers and sample entry, and the samples of the tracks asked
// for, from the moov sample tables and every moof in file order. Only boxes are read; media data
// is passed over by its size.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "media/load.h"
#include "media/timed_units.h"
#include "platform/input_file.h"

namespace mv {

struct Mp4EditList {
  uint32_t count = 0;          // entries in elst; 0 without an edit list
  uint64_t leadingEmpty = 0;   // movie timescale: segment durations of the leading media_time −1 edits
  bool hasMediaEdit = false;   // an edit other than the leading empty ones exists
  int64_t firstMediaTime = 0;  // media timescale: media_time of that edit
};

struct Mp4Track {
  uint32_t trackId = 0;
  uint32_t handler = 0;              // hdlr handler_type ("vide", "soun", …)
  uint32_t timescale = 1;            // mdhd; 0 in the file reads as 1
  uint64_t mediaDuration = 0;        // mdhd, media timescale
  uint16_t language = 0;             // mdhd packed ISO-639-2/T
  std::string name;                  // udta/name, else the hdlr name
  uint32_t tkhdWidth = 0;            // 16.16
  uint32_t tkhdHeight = 0;           // 16.16
  uint32_t codec = 0;                // type of the first stsd entry, 0 when there is none
  std::vector<uint8_t> sampleEntry;  // the first stsd entry as it stands (header included)
  Mp4EditList edits;
  // Fragment defaults from trex.
  uint32_t trexDuration = 0, trexSize = 0, trexFlags = 0;

  // Samples whose bytes lie in the file, counted for the tracks read; units kept when asked for.
  bool read = false;
  bool keepUnits = false;
  // Units the track may still keep: its own room (the first video and audio track), else a room
  // the other tracks share; past it the first two refuse the file, the others drop their units.
  bool sharesRoom = false;
  uint64_t room = 0;
  bool unitsDropped = false;
  UnitVector units;
  // Audio samples of one size (uncompressed audio: one a sample) are kept as runs.
  bool asRuns = false;
  std::vector<UnitRun> runs;
  // Where each kept sample's data lies (the chosen video track, when a frame list asks).
  bool keepPlaces = false;
  std::vector<UnitPlace> places;
  uint64_t sampleCount = 0;
  uint64_t sampleBytes = 0;
  int64_t firstDts = 0, lastDts = 0;  // of the counted samples
  StampBounds stamps;                 // of the kept samples, at the boxes that declared them
  uint64_t nextDts = 0;               // decode time the next sample would take

  // Where the sample tables lie in the moov block (offset of the body after version/flags, size).
  struct Span {
    size_t at = 0, size = 0;
    bool present = false;
    uint64_t box = 0;  // file position of the box
  };
  Span stts, stsz, stz2, stsc, stco, co64, stss;

  bool isVideo() const;
  bool isAudio() const;
  // Picture size of the visual sample entry, else tkhd's; 0 for others.
  uint32_t width() const;
  uint32_t height() const;
  // seconds = (dts × mul + add) / den on the movie clock, edit list applied.
  UnitClock clock(uint32_t movieTimescale) const;
};

class Mp4File {
 public:
  // What to read: the units of every track (the series), or the sample counts, bytes and times
  // of every track without keeping units (the information text). `keepPlaces`: the video
  // tracks' samples also keep where their data lies.
  enum class Keep { Units, AllCounts };

  Mp4File(InputFile& file, LoadControl* control, Keep keep, bool keepPlaces = false);

  // Success, or why the file could not be read as MP4.
  const LoadResult& result() const { return result_; }

  uint32_t majorBrand() const { return majorBrand_; }
  uint32_t minorVersion() const { return minorVersion_; }
  const std::vector<uint32_t>& compatibleBrands() const { return compatible_; }
  bool hasFtyp() const { return hasFtyp_; }
  uint32_t movieTimescale() const { return movieTimescale_; }
  uint64_t movieDuration() const { return movieDuration_; }
  bool fragmented() const { return hasMvex_ || fragmentCount_ > 0; }
  uint64_t fragmentCount() const { return fragmentCount_; }
  // The file ends inside a box or a sample: it was cut short.
  bool cutShort() const { return cutShort_; }
  const std::vector<Mp4Track>& tracks() const { return tracks_; }
  std::vector<Mp4Track>& tracks() { return tracks_; }
  // Index in tracks() of the first video / audio track, -1 without one.
  int videoIndex() const { return video_; }
  int audioIndex() const { return audio_; }

 private:
  LoadResult parse();
  LoadResult readMoov(uint64_t body, uint64_t end);
  bool fillMoov(size_t pos, size_t end, int depth);
  void readFtyp(uint64_t body, uint64_t end);
  void readTrak(size_t at, size_t end);
  void readHdlrName(size_t at, size_t end, Mp4Track& t);
  void readMdia(size_t at, size_t end, Mp4Track& t);
  void readStbl(size_t at, size_t end, Mp4Track& t);
  void readElst(size_t at, size_t end, Mp4Track& t);
  void readTrex(size_t at, size_t end);
  void readTkhd(size_t at, size_t end, Mp4Track& t);
  void collectMoovSamples(Mp4Track& t);
  LoadResult readMoof(uint64_t start, uint64_t body, uint64_t end);
  void readTraf(size_t at, size_t end, uint64_t moofStart, uint64_t& implicitOffset);
  // Counts a sample and keeps it when asked; a kept sample past the track's limit refuses the
  // file as damaged at `declaredAt`, the box that declared it. `timedAt`: the box that gave its
  // decode time; `offset`: where its data lies.
  void addSample(Mp4Track& t, int64_t dts, uint32_t size, bool key, uint64_t declaredAt, uint64_t timedAt,
                 uint64_t offset);
  bool full(const Mp4Track& t) const { return t.sampleCount >= unitCap_ || !refused_.ok(); }
  uint64_t& roomOf(Mp4Track& t) { return t.sharesRoom ? sharedRoom_ : t.room; }
  // A track out of room: the file is refused, or the track keeps counts only.
  void outOfRoom(Mp4Track& t, uint64_t declaredAt);

  InputFile& file_;
  ProgressGate gate_;
  Keep keep_;
  bool keepPlaces_ = false;
  LoadResult result_;
  uint64_t length_ = 0;
  uint64_t unitCap_ = 0;
  uint64_t keptLimit_ = 0;   // units a track may keep
  uint64_t sharedRoom_ = 0;  // units the tracks besides the first video and audio may still keep
  LoadResult refused_;
  struct Free {
    void operator()(uint8_t* p) const { std::free(p); }
  };
  // The moov body at its own offsets, sample table entries left out (they are read from the
  // file in blocks): zero-filled pages that are never written are never touched.
  std::unique_ptr<uint8_t[], Free> moov_;
  size_t moovSize_ = 0;
  uint64_t moovBody_ = 0;      // file position of moov_[0]
  std::vector<uint8_t> moof_;  // the moof being read, reused
  uint64_t moofBody_ = 0;      // file position of moof_[0]
  bool hasFtyp_ = false;
  uint32_t majorBrand_ = 0, minorVersion_ = 0;
  std::vector<uint32_t> compatible_;
  uint32_t movieTimescale_ = 1;
  uint64_t movieDuration_ = 0;
  bool hasMvex_ = false;
  uint64_t fragmentCount_ = 0;
  bool cutShort_ = false;
  std::vector<Mp4Track> tracks_;
  int video_ = -1, audio_ = -1;
};

}  // namespace mv
