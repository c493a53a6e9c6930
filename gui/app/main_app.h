#pragma once
// Start-up of the window program: settings, codec names, the sinks through which the core
// talks to the user, then the main window.
#include <QStringList>

class QApplication;

namespace mvgui {

// Loads Qt's Simplified Chinese texts for its own dialogs, when installed.
void installChineseTranslation(QApplication& app);

// True when the user's locale asks for English: the first non-empty of LANGUAGE (its first
// entry), LC_ALL, LC_MESSAGES and LANG begins with "en".
bool localeAsksForEnglish();

// Switches the window's texts to English, from "translations" beside the executable or from
// ../share/morvatelline/translations; false when no translation is found. Off goes back to
// Chinese. Qt's Chinese texts, when installed, give way while English is on. Only windows built
// afterwards speak the new language.
bool useEnglish(bool on);

// True while the window's texts are English (useEnglish).
bool englishInUse();

// The language of the user's locale: English when asked for and found, Simplified Chinese
// otherwise. True when English.
bool installTranslations(QApplication& app);

// Routes the core's messages to modal boxes and written files to the desktop. A written file
// the desktop cannot open is named in a message; the help page is shown in a window instead.
void installGuiSinks();

// When the session ends no one reads a box: the core's messages and warnings become lines on
// stderr, and no written file is handed to the desktop.
void installSessionEndSinks();

// The help page in a window of the program.
void showHelpWindow(const QString& path);

// The files of the command line the window opens: the first two. Any more are named on stderr
// and in a message, so the user knows they were left out.
QStringList filesToOpen(const QStringList& files);

// Runs the main window until it is closed, first opening the files named on the command line
// (filesToOpen); returns the exit code.
int runMainApp(QApplication& app, const QStringList& files = {});

}  // namespace mvgui
