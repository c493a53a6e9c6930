#include "app/main_slots.h"

namespace mvgui {

mv::FileSlot& mainSlot(int index) {
  static mv::FileSlot slots[2];
  return slots[index == 0 ? 0 : 1];
}

}  // namespace mvgui
