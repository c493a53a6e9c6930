#pragma once
// Dialog layouts are given in dialog units of the dialog font: x units are a quarter of the
// font's average character width, y units an eighth of its height.
#include <QFont>
#include <QRect>

namespace mvgui {

// The dialog font: "宋体" 9 pt, for which these families stand in on Linux.
QFont dialogFont();

struct DialogUnits {
  int baseX = 6;   // average width of A-Z a-z, pixels
  int baseY = 12;  // font height, pixels

  static DialogUnits of(const QFont& font);
  int x(int du) const { return du * baseX / 4; }
  int y(int du) const { return du * baseY / 8; }
  QRect rect(int x0, int y0, int w, int h) const { return QRect(x(x0), y(y0), x(w), y(h)); }
};

}  // namespace mvgui
