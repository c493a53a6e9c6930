#pragma once
// Start-up of the window program: settings, codec names, the sinks through which the core
// talks to the user, then the main window.
class QApplication;

namespace mvgui {

// Loads Qt's Simplified Chinese texts for its own dialogs, when installed.
void installChineseTranslation(QApplication& app);

// Routes the core's messages to modal boxes and written files to the desktop.
void installGuiSinks();

// Runs the main window until it is closed; returns the exit code.
int runMainApp(QApplication& app);

}  // namespace mvgui
