#pragma once
// The frame every container reader runs in: one load entry opens the file, resets the analysis,
// runs the container's walk and turns what the walk reports into notes and series.
#include <cstdint>
#include <string>

#include "media/load.h"

namespace mv {

class InputFile;
struct FileAnalysis;

// What a walk learnt about the file as a whole; the load entry turns it into the notes.
struct WalkNotes {
  bool cutShort = false;         // the end of the file cut what it holds
  bool indexRebuilt = false;     // unit sizes came from the data, not from an index
  uint64_t unitsDropped = 0;     // units missing a part inside the file, left out
  uint64_t unitsIncomplete = 0;  // units missing a part inside the file, counted with what is left
  bool rateAssumed = false;      // pictures were timed by a frame rate the stream does not declare
};

// A container's walk over an open file, with `out` reset and its fileLength set. It fills the
// units, the picture size and the declared frame rate (0 where the container declares none), and
// either the series too (containers without time stamps) or leaves them to the units' stamps.
using WalkFunction = LoadResult (*)(InputFile& file, FileAnalysis& out, WalkNotes& notes,
                                    LoadControl* control);

// The one load entry. On failure `out` holds no series.
LoadResult loadWith(WalkFunction walk, const std::string& path, FileAnalysis& out,
                    LoadControl* control = nullptr);

}  // namespace mv
