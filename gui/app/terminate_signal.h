#pragma once
// A session that ends (logout, shutdown, `kill`) sends SIGTERM. No one is left to click: the
// program stops what runs (a load, a batch check), closes its windows as the user would, so
// that what they remember at closing (place, size) is kept, tells on stderr what it would
// have shown in a box, and quits without opening anything on the desktop.
namespace mvgui {

// Call once, after the application object exists.
void closeWindowsOnTerminate();

// What SIGTERM does, from the event loop.
void endSession();
// True once the session has begun to end.
bool sessionEnding();

}  // namespace mvgui
