#include "widgets/colour_label.h"

#include <QPainter>

#include "widgets/file_colours.h"

namespace mvgui {

namespace {

const QString kEllipsis = QStringLiteral("...");

// The longest start of `text` that fits into `width` together with `suffix`.
QString fitPrefix(const QString& text, const QString& suffix, const QFontMetrics& fm, int width) {
  qsizetype lo = 0, hi = text.size();
  while (lo < hi) {
    const qsizetype mid = (lo + hi + 1) / 2;
    if (fm.horizontalAdvance(text.left(mid) + suffix) <= width)
      lo = mid;
    else
      hi = mid - 1;
  }
  // Never split a surrogate pair.
  if (lo > 0 && text[lo - 1].isHighSurrogate()) --lo;
  return text.left(lo);
}

}  // namespace

ColourLabel::ColourLabel(int controlId, QWidget* parent) : QWidget(parent), controlId_(controlId) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void ColourLabel::setText(const QString& text) {
  text_ = text;
  update();
}

void ColourLabel::setPathMode(bool on) {
  pathMode_ = on;
  update();
}

QColor ColourLabel::backgroundFor(int controlId, const QPalette& palette) {
  if (controlId == 1011) return kFileColour[0];
  if (controlId == 1014) return kFileColour[1];
  return palette.color(QPalette::Button);
}

QString ColourLabel::shortenPath(const QString& path, const QFontMetrics& fm, int width) {
  if (fm.horizontalAdvance(path) <= width) return path;
  const qsizetype slash = path.lastIndexOf('/');
  // Without a folder part the whole text is the name: keep its start.
  if (slash < 0) return fitPrefix(path, kEllipsis, fm, width) + kEllipsis;
  const QString name = path.mid(slash);
  const QString tail = kEllipsis + name;
  if (fm.horizontalAdvance(tail) <= width) return fitPrefix(path.left(slash), tail, fm, width) + tail;
  // Not even the name fits: as much of it as there is room for.
  return kEllipsis + fitPrefix(name, kEllipsis, fm, width - fm.horizontalAdvance(kEllipsis)) + kEllipsis;
}

QString ColourLabel::shownText() const {
  if (!pathMode_ || text_.contains('\n')) return text_;
  return shortenPath(text_, fontMetrics(), width());
}

QSize ColourLabel::sizeHint() const {
  const QFontMetrics fm = fontMetrics();
  return QSize(fm.horizontalAdvance(text_), fm.height());
}

void ColourLabel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QColor background = backgroundColour();
  p.fillRect(rect(), background);
  if (text_.isEmpty()) return;
  p.setPen(QColor(0, 0, 0));
  // Drawn as plain text: an "&" is shown, never taken as a mnemonic. Only a single line is
  // centred vertically; several lines start at the top.
  const bool singleLine = !text_.contains('\n');
  const int flags = Qt::AlignLeft | (singleLine ? Qt::AlignVCenter | Qt::TextSingleLine : Qt::AlignTop);
  p.setClipRect(rect());
  p.drawText(rect(), flags, shownText());
}

}  // namespace mvgui
