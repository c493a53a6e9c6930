#include "mp4/mp4_info.h"

namespace mv {

int writeMp4Info(const std::string&, TextFile&) { return 0; }

}  // namespace mv
