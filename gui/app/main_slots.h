#pragma once
// The two file slots of the main window (file 1 and file 2), alive for the whole run.
#include "analysis/file_slot.h"

namespace mvgui {

// Slot 0 is file 1, slot 1 is file 2.
mv::FileSlot& mainSlot(int index);

}  // namespace mvgui
