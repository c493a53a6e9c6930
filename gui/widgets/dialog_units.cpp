#include "widgets/dialog_units.h"

#include <QFontMetrics>
#include <QString>
#include <QStringList>

namespace mvgui {

QFont dialogFont() {
  QFont f;
  f.setFamilies({"AR PL UMing CN", "Noto Serif CJK SC", "WenQuanYi Zen Hei"});
  f.setPointSize(9);
  return f;
}

DialogUnits DialogUnits::of(const QFont& font) {
  const QFontMetrics fm(font);
  static const QString letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  DialogUnits u;
  // Rounded as the Windows dialog manager does: (total width / 26 + 1) / 2 over 52 letters.
  u.baseX = (fm.horizontalAdvance(letters) / 26 + 1) / 2;
  u.baseY = fm.height();
  if (u.baseX <= 0) u.baseX = 6;
  if (u.baseY <= 0) u.baseY = 12;
  return u;
}

}  // namespace mvgui
