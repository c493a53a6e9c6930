#pragma once
// A one-line path label painted in the colour of its control id, so that the two file-path
// labels of the main window carry their files' colours. A path that does not fit loses
// characters from its middle and keeps its file name.
#include <QColor>
#include <QFontMetrics>
#include <QString>
#include <QWidget>

namespace mvgui {

class ColourLabel : public QWidget {
  Q_OBJECT

 public:
  ColourLabel(int controlId, QWidget* parent = nullptr);

  void setText(const QString& text);
  QString text() const { return text_; }
  int controlId() const { return controlId_; }

  // Shortening is on from construction; off, a text that is too wide is cut at the right edge.
  void setPathMode(bool on);
  bool pathMode() const { return pathMode_; }

  // 1011 file 1's pink, 1014 file 2's cyan, anything else the palette's button face.
  static QColor backgroundFor(int controlId, const QPalette& palette);
  QColor backgroundColour() const { return backgroundFor(controlId_, palette()); }

  // `path` as it fits into `width` pixels: unchanged when it fits, otherwise with "..." in place
  // of characters from the middle, keeping as much as possible from the last "/" on.
  static QString shortenPath(const QString& path, const QFontMetrics& metrics, int width);
  // The text as it is painted at the current size.
  QString shownText() const;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int controlId_;
  QString text_;
  bool pathMode_ = true;
};

}  // namespace mvgui
