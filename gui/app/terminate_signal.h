#pragma once
// A session that ends (logout, shutdown, `kill`) sends SIGTERM: the program then closes its
// windows as the user would, so what they remember at closing (place, size) is kept.
namespace mvgui {

// Call once, after the application object exists.
void closeWindowsOnTerminate();

}  // namespace mvgui
