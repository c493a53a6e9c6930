#pragma once
// How a load ended, and how a long load reports progress and is asked to stop.
#include <cstdint>
#include <string_view>

namespace mv {

// Kept apart inside the program although the user sees one message for the first three.
enum class LoadFailure {
  None,
  NotThisFormat,  // the file does not start as the container its name promises
  Damaged,        // it does, but its structure breaks somewhere
  CouldNotRead,   // the file could not be opened or read
  OutOfMemory,
  Cancelled,  // the user asked the load to stop
};

// "not-this-format", "damaged", "could-not-read", "out-of-memory", "cancelled"; "" for None.
std::string_view reasonName(LoadFailure failure);

struct LoadResult {
  static constexpr uint64_t kNoPosition = ~uint64_t(0);
  LoadFailure failure = LoadFailure::None;
  uint64_t position = kNoPosition;  // byte offset where the reader gave up, when known

  bool ok() const { return failure == LoadFailure::None; }
  static LoadResult success() { return {}; }
  static LoadResult fail(LoadFailure f, uint64_t at = kNoPosition) { return {f, at}; }
};

// Why a reader did not get through a file: the file could not be read, it never started as the
// container, or it broke after it had.
inline LoadResult parseFailure(bool readFailed, bool signatureSeen, uint64_t at) {
  const LoadFailure why = readFailed      ? LoadFailure::CouldNotRead
                          : signatureSeen ? LoadFailure::Damaged
                                          : LoadFailure::NotThisFormat;
  return LoadResult::fail(why, at);
}

// A search for the next sync (packet, start code, tag or chunk) that finds none in this many
// bytes, holes counted, ends the walk: what was read stays, and the file counts as cut short.
inline constexpr uint64_t kResyncLimit = uint64_t(64) << 20;

// Told how far a load has come; answers false to stop it. Called on the thread that loads (the
// window loads on its user-interface thread and handles pending events from here).
class LoadControl {
 public:
  virtual ~LoadControl() = default;
  virtual bool Continue(uint64_t done, uint64_t total) = 0;
};

// Asks a LoadControl only every so often, so that readers may call it per packet.
class ProgressGate {
 public:
  ProgressGate(LoadControl* control, uint64_t total)
      : control_(control), total_(total), step_(total / 256 > kMinStep ? total / 256 : kMinStep) {}
  // False once the load is to stop.
  bool at(uint64_t done) {
    if (!control_ || done < next_) return !stopped_;
    next_ = done + step_;
    if (!control_->Continue(done, total_)) stopped_ = true;
    return !stopped_;
  }
  bool stopped() const { return stopped_; }

 private:
  static constexpr uint64_t kMinStep = 1 << 20;
  LoadControl* control_;
  uint64_t total_;
  uint64_t step_;
  uint64_t next_ = 0;
  bool stopped_ = false;
};

}  // namespace mv
