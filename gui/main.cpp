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

namespace {

// Before any QApplication, so that it needs no display; in the locale's language, as the window.
void printUsage() {
  if (mvgui::localeAsksForEnglish())
    std::fputs(
        "Usage: morvatelline [FILE [FILE2]]\n"
        "       morvatelline --chart OUT.png FILE [FILE2] [--item video|audio|total] [--width W --height H]\n"
        "       morvatelline --version\n"
        "Shows how the data rate of one or two video files is spread over their playing time.\n"
        "--chart writes the chart of the whole file as a PNG image, without a window.\n",
        stdout);
  else
    std::fputs(
        "用法：morvatelline [文件 [文件2]]\n"
        "      morvatelline --chart 输出.png 文件 [文件2] [--item video|audio|total] [--width 宽 --height "
        "高]\n"
        "      morvatelline --version\n"
        "显示一个或两个视频文件的码率在播放时间上的分布。\n"
        "--chart 不打开窗口，把整个文件的曲线图写成 PNG 图像。\n",
        stdout);
}

}  // namespace

int main(int argc, char** argv) {
  bool chart = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("morvatelline %s\n", mv::kVersion);
      return 0;
    }
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      printUsage();
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
