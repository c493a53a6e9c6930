#include "codec/readers.h"

namespace mv::codec {

std::unique_ptr<CodecReader> makeRealVideoReader(const TrackCoding&) { return nullptr; }

}  // namespace mv::codec
