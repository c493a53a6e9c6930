#include "codec/readers.h"

namespace mv::codec {

std::unique_ptr<CodecReader> makeMpegVideoReader(const TrackCoding&) { return nullptr; }

std::unique_ptr<UnitCutter> makeMpegVideoCutter(Codec) { return nullptr; }

}  // namespace mv::codec
