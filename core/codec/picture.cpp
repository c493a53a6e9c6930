#include "codec/picture.h"

#include <algorithm>

#include "codec/bits.h"
#include "codec/readers.h"
#include "platform/input_file.h"

namespace mv::codec {

std::string_view typeName(PictureType type) {
  switch (type) {
    case PictureType::I:
      return "I";
    case PictureType::P:
      return "P";
    case PictureType::B:
      return "B";
    case PictureType::None:
      break;
  }
  return "";
}

std::vector<uint8_t> unescapeNal(const uint8_t* p, size_t n, size_t limit) {
  std::vector<uint8_t> out;
  out.reserve(n < limit ? n : limit);
  int zeros = 0;
  for (size_t i = 0; i < n && out.size() < limit; ++i) {
    if (zeros >= 2 && p[i] == 3) {
      zeros = 0;
      continue;
    }
    zeros = p[i] == 0 ? zeros + 1 : 0;
    out.push_back(p[i]);
  }
  return out;
}

namespace {

// Every picture of an intra-only codec is an I picture.
class IntraOnlyReader : public CodecReader {
 public:
  PictureReader::Probe probe(const uint8_t*, size_t, uint64_t, uint64_t) override {
    return {PictureType::I, true, 0};
  }
  StreamInfo info() const override { return {}; }
};

std::unique_ptr<CodecReader> readerFor(const TrackCoding& coding) {
  if (coding.codec == Codec::IntraOnly) return std::make_unique<IntraOnlyReader>();
  using Factory = std::unique_ptr<CodecReader> (*)(const TrackCoding&);
  for (Factory make : {makeMpegVideoReader, makeH263FamilyReader, makeAvcReader, makeVc1Reader,
                       makeRealVideoReader, makeVpxReader})
    if (auto reader = make(coding)) return reader;
  return nullptr;
}

}  // namespace

struct PictureReader::State {
  std::unique_ptr<CodecReader> reader;
};

PictureReader::PictureReader(TrackCoding coding) : state_(std::make_unique<State>()) {
  state_->reader = readerFor(coding);
}
PictureReader::~PictureReader() = default;
PictureReader::PictureReader(PictureReader&&) noexcept = default;
PictureReader& PictureReader::operator=(PictureReader&&) noexcept = default;

PictureReader::Probe PictureReader::probe(const uint8_t* data, size_t n, uint64_t at, uint64_t size) {
  if (!state_->reader || !data || n == 0) return {};
  Probe p = state_->reader->probe(data, n, at, size);
  // A further look must lie further in the picture, or the caller could loop.
  if (p.readAt <= at || p.readAt >= size) p.readAt = 0;
  return p;
}

PictureReader::Probe PictureReader::probeFile(InputFile& file, uint64_t at, uint64_t size, size_t readAhead) {
  uint64_t from = 0;
  // A reader asks only further in, so the looks end; a few are plenty for any header.
  for (int look = 0; look < 8 && from < size; ++look) {
    const size_t n = size_t(std::min<uint64_t>(kHeadBytes, size - from));
    const uint8_t* data = file.peek(at + from, n, std::max(n, readAhead));
    if (!data) return {};
    const Probe p = probe(data, n, from, size);
    if (p.readAt == 0) return p;
    from = p.readAt;
  }
  return {};
}

StreamInfo PictureReader::info() const { return state_->reader ? state_->reader->info() : StreamInfo{}; }

std::unique_ptr<UnitCutter> UnitCutter::make(Codec codec) {
  if (auto cutter = makeMpegVideoCutter(codec)) return cutter;
  return makeAvcCutter(codec);
}

}  // namespace mv::codec
