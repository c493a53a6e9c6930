// Writes the program's icon for the desktop: hicolor PNGs at the usual sizes and the scalable
// SVG, from the same drawing the window uses.
//   make_icons OUTPUT_FOLDER ICON_NAME
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <cstdio>

#include "widgets/icons.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_icons OUTPUT_FOLDER ICON_NAME\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]), name = QString::fromLocal8Bit(argv[2]);
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const QString folder = QString("%1/%2x%2/apps").arg(out).arg(size);
    if (!QDir().mkpath(folder) || !mvgui::applicationPixmap(size).save(folder + "/" + name + ".png"))
      return 1;
  }
  const QString scalable = out + "/scalable/apps";
  QFile svg(scalable + "/" + name + ".svg");
  if (!QDir().mkpath(scalable) || !svg.open(QIODevice::WriteOnly)) return 1;
  return svg.write(mvgui::applicationIconSvg().toUtf8()) > 0 ? 0 : 1;
}
