#pragma once
// Start-up of the window program: settings, codec names, the sinks through which the core
// talks to the user, then the main window.
#include <QStringList>

class QApplication;

namespace mvgui {

// Loads Qt's Simplified Chinese texts for its own dialogs, when installed.
void installChineseTranslation(QApplication& app);

// Routes the core's messages to modal boxes and written files to the desktop. A written file
// the desktop cannot open is named in a message; the help page is shown in a window instead.
void installGuiSinks();

// The help page in a window of the program.
void showHelpWindow(const QString& path);

// Runs the main window until it is closed, first opening the files named on the command line;
// returns the exit code.
int runMainApp(QApplication& app, const QStringList& files = {});

}  // namespace mvgui
