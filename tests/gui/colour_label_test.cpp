// The coloured path label: colour by control id, shortened paths that keep the file name, and
// text drawn as it is.
#include "widgets/colour_label.h"

#include <QImage>
#include <QtTest>

#include "widgets/dialog_units.h"

using mvgui::ColourLabel;

namespace {

const QColor kPink(255, 208, 255), kCyan(128, 255, 255);

QImage render(ColourLabel& label) { return label.grab().toImage().convertToFormat(QImage::Format_RGB32); }

int darkPixels(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) n += qGray(image.pixel(x, y)) < 100;
  return n;
}

bool allPixels(const QImage& image, const QColor& colour) {
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixelColor(x, y) != colour) return false;
  return true;
}

}  // namespace

class ColourLabelTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void colourByControlId();
  void emptyTextIsPlainField();
  void textIsBlackOnTheLabelColour();
  void shortPathUnchanged();
  void longPathKeepsFileName();
  void shortenedAsLittleAsPossible();
  void nameWiderThanLabel();
  void textWithoutFolder();
  void paintsWhatItShows();
  void ampersandShownAsItIs();
  void pathModeOff();

 private:
  QFont font_;
};

void ColourLabelTest::initTestCase() { font_ = mvgui::dialogFont(); }

void ColourLabelTest::colourByControlId() {
  QPalette palette;
  palette.setColor(QPalette::Button, QColor(1, 2, 3));
  QCOMPARE(ColourLabel::backgroundFor(1011, palette), kPink);
  QCOMPARE(ColourLabel::backgroundFor(1014, palette), kCyan);
  for (int id : {1057, 1012, 1051, 0, -1}) QCOMPARE(ColourLabel::backgroundFor(id, palette), QColor(1, 2, 3));
  ColourLabel batch(1057);
  QCOMPARE(batch.backgroundColour(), batch.palette().color(QPalette::Button));
}

void ColourLabelTest::emptyTextIsPlainField() {
  for (int id : {1011, 1014, 1051}) {
    ColourLabel label(id);
    label.setFont(font_);
    label.resize(264, 15);
    QVERIFY(allPixels(render(label), label.backgroundColour()));
    label.setText("/a/b.avi");
    label.setText(QString());
    QVERIFY(allPixels(render(label), label.backgroundColour()));
  }
}

void ColourLabelTest::textIsBlackOnTheLabelColour() {
  ColourLabel label(1014);
  label.setFont(font_);
  label.resize(264, 15);
  label.setText("/media/clips/曲目.rmvb");
  const QImage image = render(label);
  QCOMPARE(image.pixelColor(0, 0), kCyan);
  QCOMPARE(image.pixelColor(263, 14), kCyan);
  // Only the label colour, black and blends of the two.
  bool black = false;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      black = black || qGray(c.rgb()) < 100;
      QVERIFY(c.red() <= kCyan.red() && c.green() <= 255 && c.blue() <= 255);
      QVERIFY(c.green() - c.red() <= 127 + 1);
    }
  QVERIFY(black);
}

void ColourLabelTest::shortPathUnchanged() {
  const QFontMetrics fm(font_);
  const QString path = "/media/clip.rmvb";
  QCOMPARE(ColourLabel::shortenPath(path, fm, fm.horizontalAdvance(path)), path);
  QCOMPARE(ColourLabel::shortenPath(QString(), fm, 0), QString());
}

void ColourLabelTest::longPathKeepsFileName() {
  const QFontMetrics fm(font_);
  const QString path = "/home/user/very/long/folder/names/that/go/on/and/on/clip.rmvb";
  for (int width : {120, 180, 264, fm.horizontalAdvance(path) - 1}) {
    const QString shown = ColourLabel::shortenPath(path, fm, width);
    QVERIFY2(shown.endsWith("/clip.rmvb"), qPrintable(shown));
    QVERIFY2(shown.contains("..."), qPrintable(shown));
    QVERIFY2(fm.horizontalAdvance(shown) <= width, qPrintable(shown));
    // What stands before the ellipsis is the start of the path.
    QVERIFY2(path.startsWith(shown.left(shown.indexOf("..."))), qPrintable(shown));
  }
}

void ColourLabelTest::shortenedAsLittleAsPossible() {
  const QFontMetrics fm(font_);
  const QString path = "/srv/视频/archive/2009/episodes/episode-01.avi";
  const int width = fm.horizontalAdvance(path) * 2 / 3;
  const QString shown = ColourLabel::shortenPath(path, fm, width);
  const qsizetype kept = shown.indexOf("...");
  QVERIFY(kept > 0);
  // One more character of the folder part would not fit.
  const QString longer = path.left(kept + 1) + shown.mid(kept);
  QVERIFY2(fm.horizontalAdvance(longer) > width, qPrintable(shown));
}

void ColourLabelTest::nameWiderThanLabel() {
  const QFontMetrics fm(font_);
  const QString path = "/m/a-very-long-file-name-that-never-fits-anywhere.rmvb";
  const int width = fm.horizontalAdvance(path) / 3;
  const QString shown = ColourLabel::shortenPath(path, fm, width);
  QVERIFY2(shown.startsWith(".../a-very"), qPrintable(shown));
  QVERIFY2(fm.horizontalAdvance(shown) <= width, qPrintable(shown));
  // A label too narrow for anything does not fail.
  QVERIFY(!ColourLabel::shortenPath(path, fm, 1).contains("a-very-long"));
}

void ColourLabelTest::textWithoutFolder() {
  const QFontMetrics fm(font_);
  const QString name = "just-a-long-name-without-folders.avi";
  const int width = fm.horizontalAdvance(name) / 2;
  const QString shown = ColourLabel::shortenPath(name, fm, width);
  QVERIFY2(shown.startsWith("just-a") && shown.endsWith("..."), qPrintable(shown));
  QVERIFY(fm.horizontalAdvance(shown) <= width);
}

void ColourLabelTest::paintsWhatItShows() {
  const QString path = "D:/very/long/folder/names/and/more/folders/below/them/clip.rmvb";
  ColourLabel label(1011);
  label.setFont(font_);
  label.resize(mvgui::DialogUnits::of(font_).x(176), mvgui::DialogUnits::of(font_).y(10));
  label.setText(path);
  QCOMPARE(label.text(), path);
  const QString shown = label.shownText();
  QVERIFY2(shown != path && shown.endsWith("/clip.rmvb"), qPrintable(shown));

  ColourLabel plain(1011);
  plain.setFont(font_);
  plain.resize(label.size());
  plain.setPathMode(false);
  plain.setText(shown);
  QCOMPARE(render(label), render(plain));

  const QByteArray dir = qgetenv("MORV_WIDGET_PNG_DIR");
  if (!dir.isEmpty()) label.grab().save(QString::fromLocal8Bit(dir) + "/colour_label.png");
}

void ColourLabelTest::ampersandShownAsItIs() {
  const QFontMetrics fm(font_);
  QCOMPARE(ColourLabel::shortenPath("/a&b/c&d.avi", fm, 1000), QString("/a&b/c&d.avi"));
  // Taken as a mnemonic, "&&" would show one ampersand and "&x" an underlined x.
  ColourLabel one(1011), two(1011), underline(1011), x(1011);
  for (ColourLabel* l : {&one, &two, &underline, &x}) {
    l->setFont(font_);
    l->resize(100, 15);
  }
  one.setText("&");
  two.setText("&&");
  underline.setText("&x");
  x.setText("x");
  const int single = darkPixels(render(one));
  QVERIFY(single > 0);
  QVERIFY(darkPixels(render(two)) > single * 3 / 2);
  QVERIFY(darkPixels(render(underline)) > darkPixels(render(x)) + single / 2);
  QCOMPARE(two.shownText(), QString("&&"));
}

void ColourLabelTest::pathModeOff() {
  ColourLabel label(1014);
  label.setFont(font_);
  label.resize(60, 15);
  QVERIFY(label.pathMode());
  label.setText("/a/long/path/to/some/file.avi");
  QVERIFY(label.shownText() != label.text());
  label.setPathMode(false);
  QCOMPARE(label.shownText(), label.text());
}

QTEST_MAIN(ColourLabelTest)
#include "colour_label_test.moc"
