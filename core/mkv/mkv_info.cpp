#include "mkv/mkv_info.h"

namespace mv {

int writeMatroskaInfo(const std::string&, TextFile&) { return 0; }

}  // namespace mv
