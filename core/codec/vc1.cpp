#include "codec/readers.h"

namespace mv::codec {

std::unique_ptr<CodecReader> makeVc1Reader(const TrackCoding&) { return nullptr; }

}  // namespace mv::codec
