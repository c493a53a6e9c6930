// morvatelline: the window; `morvatelline FILE [FILE2]` opens the files, `--chart` writes the
// chart of files as an image without a window.
#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <cstring>

#include "app/chart_image.h"
#include "app/main_app.h"
#include "app/terminate_signal.h"
#include "platform/output_file.h"
#include "platform/version.h"

int main(int argc, char** argv) {
  bool chart = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("morvatelline %s\n", mv::kVersion);
      return 0;
    }
    chart = chart || std::strcmp(argv[i], "--chart") == 0;
  }
  // Before the window's own SIGTERM handling, which closes the windows instead.
  mv::removeTemporaryFilesOnSignals();
  // The image needs no screen, so it is drawn where there is none.
  if (chart) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();
  if (chart) return mvgui::runChartCommand(arguments);
  mvgui::closeWindowsOnTerminate();
  QStringList files;
  for (const QString& a : arguments)
    if (!a.startsWith('-')) files << a;
  return mvgui::runMainApp(app, files);
}
