#include "widgets/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>
#include <QStringList>

#include "widgets/file_colours.h"

namespace mvgui {
namespace {

QPixmap canvas(int w, int h) {
  QPixmap p(w, h);
  p.fill(Qt::transparent);
  return p;
}

// A small bitrate chart: the program's own picture.
// The program's icon on a 32-unit grid: a chart window with two curves in the files' colours.
// The painted icon and the scalable one for the desktop are drawn from these.
const QRectF kIconFrame(1, 3, 30, 26);
const QPointF kIconCurves[2][7] = {{{3, 22}, {8, 14}, {12, 18}, {17, 8}, {22, 15}, {26, 10}, {29, 12}},
                                   {{3, 25}, {8, 21}, {12, 24}, {17, 17}, {22, 22}, {26, 19}, {29, 23}}};
const QColor kIconEdge(40, 40, 40), kIconGrid(0, 96, 0);
double iconGridY(int i) { return 3 + 6.5 * i; }

QPixmap drawApplication(int size) {
  QPixmap pm = canvas(size, size);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal s = size / 32.0;
  p.setPen(QPen(kIconEdge, 1.2 * s));
  p.setBrush(Qt::black);
  p.drawRoundedRect(QRectF(kIconFrame.topLeft() * s, kIconFrame.size() * s), 3 * s, 3 * s);
  p.setPen(QPen(kIconGrid, 0.8 * s));
  for (int i = 1; i < 4; ++i) p.drawLine(QPointF(2 * s, iconGridY(i) * s), QPointF(30 * s, iconGridY(i) * s));
  for (int k = 0; k < 2; ++k) {
    QPainterPath path(kIconCurves[k][0] * s);
    for (int i = 1; i < 7; ++i) path.lineTo(kIconCurves[k][i] * s);
    p.setPen(QPen(kFileColour[k], 1.8 * s));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
  }
  return pm;
}

QPixmap drawOpenFolder() {
  QPixmap pm = canvas(15, 13);
  QPainter p(&pm);
  p.setPen(QColor(128, 96, 0));
  p.setBrush(QColor(240, 200, 64));
  p.drawPolygon(QPolygon({{0, 2}, {5, 2}, {6, 3}, {12, 3}, {12, 12}, {0, 12}}));
  p.setBrush(QColor(255, 228, 120));
  p.drawPolygon(QPolygon({{2, 6}, {14, 6}, {12, 12}, {0, 12}}));
  return pm;
}

QPixmap drawRedCross() {
  QPixmap pm = canvas(15, 13);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(210, 0, 0), 2.6, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(3, 2), QPointF(12, 11));
  p.drawLine(QPointF(12, 2), QPointF(3, 11));
  return pm;
}

QPixmap drawInformationSheet() {
  QPixmap pm = canvas(15, 13);
  QPainter p(&pm);
  p.setPen(QColor(64, 64, 64));
  p.setBrush(Qt::white);
  p.drawPolygon(QPolygon({{2, 0}, {10, 0}, {12, 2}, {12, 12}, {2, 12}}));
  p.setPen(QColor(0, 64, 192));
  for (int y = 3; y <= 10; y += 2) p.drawLine(4, y, 10, y);
  return pm;
}

QPixmap drawBall(const QColor& colour) {
  QPixmap pm = canvas(15, 15);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  QRadialGradient g(QPointF(5.5, 5), 8);
  g.setColorAt(0, colour.lighter(170));
  g.setColorAt(1, colour.darker(130));
  p.setPen(QPen(colour.darker(200), 0.8));
  p.setBrush(g);
  p.drawEllipse(QRectF(1, 1, 13, 13));
  return pm;
}

QPixmap drawHelp() {
  QPixmap pm = canvas(32, 32);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0, 48, 140), 1.5));
  p.setBrush(QColor(40, 110, 220));
  p.drawEllipse(QRectF(2, 2, 28, 28));
  QFont f("Liberation Sans");
  f.setPixelSize(22);
  f.setBold(true);
  p.setFont(f);
  p.setPen(Qt::white);
  p.drawText(QRectF(2, 2, 28, 28), Qt::AlignCenter, "?");
  return pm;
}

QPixmap drawBatchCheck() {
  QPixmap pm = canvas(32, 32);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  // A stack of files under a magnifying glass.
  for (int i = 2; i >= 0; --i) {
    p.setPen(QColor(80, 80, 80));
    p.setBrush(i == 0 ? Qt::white : QColor(225, 225, 225));
    p.drawRect(QRectF(3 + 3 * i, 3 + 3 * i, 16, 20));
  }
  p.setPen(QColor(0, 90, 200));
  for (int y = 9; y <= 21; y += 4) p.drawLine(QPointF(6, y), QPointF(15, y));
  p.setPen(QPen(QColor(90, 60, 20), 3.5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(22, 22), QPointF(29, 29));
  p.setPen(QPen(QColor(40, 40, 40), 2));
  p.setBrush(QColor(200, 230, 255, 200));
  p.drawEllipse(QPointF(19, 19), 6.5, 6.5);
  p.setPen(QPen(QColor(220, 0, 0), 1.6));
  p.drawLine(QPointF(15.5, 19), QPointF(22.5, 19));  // the flat line of a silent second
  return pm;
}

QPixmap drawTracks() {
  // Three bars of a track list: a picture, a sound and another sound.
  QPixmap pm = canvas(15, 13);
  QPainter p(&pm);
  const QColor colours[3] = {QColor(200, 60, 200), QColor(230, 140, 0), QColor(0, 160, 80)};
  const int lengths[3] = {13, 10, 12};
  for (int i = 0; i < 3; ++i) {
    p.setPen(colours[i].darker(150));
    p.setBrush(colours[i]);
    p.drawRect(1, 1 + 4 * i, lengths[i], 2);
  }
  return pm;
}

}  // namespace

QPixmap iconPixmap(int id) {
  switch (id) {
    case 128:
      return drawApplication(32);
    case 129:
      return drawOpenFolder();
    case 130:
      return drawRedCross();
    case 134:
      return drawInformationSheet();
    case 137:
      return drawBall(QColor(150, 150, 150));
    case 138:
      return drawBall(QColor(230, 0, 0));
    case 131:
      return drawHelp();
    case 139:
      return drawBatchCheck();
    case 140:
      return drawTracks();
    default:
      return {};
  }
}

QIcon applicationIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64}) icon.addPixmap(drawApplication(size));
  return icon;
}

QPixmap applicationPixmap(int size) { return drawApplication(size); }

QString applicationIconSvg() {
  const auto point = [](const QPointF& p) { return QString("%1,%2").arg(p.x()).arg(p.y()); };
  QString svg =
      QString(
          "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"32\" height=\"32\" viewBox=\"0 0 32 32\">\n"
          "  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"3\" fill=\"#000\" stroke=\"%5\" "
          "stroke-width=\"1.2\"/>\n")
          .arg(kIconFrame.x())
          .arg(kIconFrame.y())
          .arg(kIconFrame.width())
          .arg(kIconFrame.height())
          .arg(kIconEdge.name());
  for (int i = 1; i < 4; ++i)
    svg += QString("  <line x1=\"2\" y1=\"%1\" x2=\"30\" y2=\"%1\" stroke=\"%2\" stroke-width=\"0.8\"/>\n")
               .arg(iconGridY(i))
               .arg(kIconGrid.name());
  for (int k = 0; k < 2; ++k) {
    QStringList points;
    for (const QPointF& p : kIconCurves[k]) points << point(p);
    svg += QString("  <polyline points=\"%1\" fill=\"none\" stroke=\"%2\" stroke-width=\"1.8\"/>\n")
               .arg(points.join(' '), kFileColour[k].name());
  }
  return svg + "</svg>\n";
}

}  // namespace mvgui
