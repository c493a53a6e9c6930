#include "codec/readers.h"

namespace mv::codec {

std::unique_ptr<CodecReader> makeAvcReader(const TrackCoding&) { return nullptr; }

std::unique_ptr<UnitCutter> makeAvcCutter(Codec) { return nullptr; }

}  // namespace mv::codec
