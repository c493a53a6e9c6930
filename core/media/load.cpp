#include "media/load.h"

namespace mv {

std::string_view reasonName(LoadFailure failure) {
  switch (failure) {
    case LoadFailure::None:
      return "";
    case LoadFailure::NotThisFormat:
      return "not-this-format";
    case LoadFailure::Damaged:
      return "damaged";
    case LoadFailure::CouldNotRead:
      return "could-not-read";
    case LoadFailure::OutOfMemory:
      return "out-of-memory";
    case LoadFailure::Cancelled:
      return "cancelled";
  }
  return "";
}

}  // namespace mv
