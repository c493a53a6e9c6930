#include "codec/readers.h"

namespace mv::codec {

std::unique_ptr<CodecReader> makeH263FamilyReader(const TrackCoding&) { return nullptr; }

}  // namespace mv::codec
