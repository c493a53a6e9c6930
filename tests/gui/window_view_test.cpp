// The window beyond its created size: resizing, zoom down to the whole file, chart and list
// following each other, dropped files, chart images and what the user is told when the desktop
// cannot open a written file.
#include <QApplication>
#include <QBrush>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QScreen>
#include <QSpinBox>
#include <QTest>
#include <QWheelEvent>
#include <cstring>

#include "analysis/buffer_check.h"
#include "app/chart_image.h"
#include "app/main_app.h"
#include "app/main_dialog.h"
#include "chart/curve_chart.h"
#include "fixtures/message_recorder.h"
#include "fixtures/sample_media.h"
#include "fixtures/shell_recorder.h"
#include "fixtures/slot_builder.h"
#include "gui/support/file_dialog_recorder.h"
#include "gui/support/scale_two.h"
#include "media/peaks.h"
#include "platform/shell.h"
#include "settings/para_block.h"
#include "widgets/dialog_units.h"
#include "widgets/link_buttons.h"
#include "widgets/stat_list_ctrl.h"
#include "widgets/stat_list_model.h"
#include "widgets/window_settings.h"

using namespace mvgui;

namespace {

void settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

// A flat file with a peak at second `peak` (0-based).
std::vector<uint32_t> withPeak(size_t seconds, size_t peak) {
  std::vector<uint32_t> v(seconds, 12800);
  v[peak] = 64000;
  return v;
}

}  // namespace

class WindowViewTest : public QObject {
  Q_OBJECT

  mvtest::TempDir dir_;

 private slots:
  void init() {
    mv::paraBlock().LoadFrom(std::string());
    for (int i = 0; i < mv::PARA_INT_COUNT; ++i) {
      static const int defaults[] = {1, 1, 1, 1, 1, 1, 0, 1, 5, 5};
      mv::paraBlock().SetInt(i, defaults[i]);
    }
  }

  void atTheCreatedSizeControlsStandWhereTheyAlwaysDid() {
    MainDialog w;
    w.show();
    settle();
    const DialogUnits du = DialogUnits::of(w.font());
    // Top-left corners in dialog units of the window as it was placed by hand.
    const struct {
      int id, x, y;
    } places[] = {{1011, 13, 24},   {1001, 192, 18},  {1016, 236, 18}, {1014, 13, 46},   {1026, 236, 40},
                  {1017, 27, 77},   {1018, 107, 77},  {1035, 153, 79}, {1005, 275, 24},  {1009, 396, 24},
                  {1010, 275, 45},  {1013, 396, 45},  {1003, 210, 76}, {1015, 291, 76},  {1019, 379, 71},
                  {1027, 434, 71},  {1044, 15, 246},  {1036, 59, 246}, {1039, 180, 246}, {1045, 248, 246},
                  {1043, 413, 246}, {1046, 15, 262},  {1048, 82, 262}, {1047, 182, 262}, {1049, 250, 262},
                  {1050, 347, 262}, {1056, 429, 258}, {1007, 7, 278},  {1060, 44, 442},  {1062, 189, 442},
                  {1063, 325, 442}};
    QStringList off;
    for (const auto& p : places) {
      const QPoint at = w.control(p.id)->mapTo(&w, QPoint(0, 0));
      const QPoint d = at - QPoint(du.x(p.x), du.y(p.y));
      if (std::abs(d.x()) > 5 || std::abs(d.y()) > 5)
        off << QString("%1 by (%2, %3)").arg(p.id).arg(d.x()).arg(d.y());
    }
    QVERIFY2(off.isEmpty(), qPrintable(off.join(", ")));
  }

  void growingGivesTheRoomToPathsStatisticsChartAndList() {
    MainDialog w;
    w.show();
    settle();
    std::map<QWidget*, QRect> created;
    for (QWidget* c : w.findChildren<QWidget*>()) created[c] = c->geometry();
    CCurveChart* chart = w.panel().chart();
    const QRect chart0 = chart->geometry(), list0 = w.panel().list()->geometry();
    const QSize plot0 = chart->clientSize(), size0 = w.size();
    const int visible0 = chart->viewWidth;

    w.resize(w.size() + QSize(333, 205));
    settle();
    QCOMPARE(chart->clientSize().width() - plot0.width(), 330);  // whole grid cells
    QVERIFY(chart->clientSize().height() > plot0.height() && chart->clientSize().height() % 8 == 0);
    QVERIFY(w.panel().list()->height() > list0.height());
    // The paths, the statistics and the list take the width; the view choices stay.
    QCOMPARE(w.control(1011)->width() - created[w.control(1011)].width(), 333);
    QCOMPARE(w.control(1001)->x() - created[w.control(1001)].x(), 333);
    QVERIFY(w.control(1036)->width() > created[w.control(1036)].width() + 40);
    QCOMPARE(w.panel().list()->width() - list0.width(), 333);
    QCOMPARE(w.control(1018)->geometry(), created[w.control(1018)]);
    QCOMPARE(w.control(1048)->parentWidget(), chart->parentWidget());
    QCOMPARE(w.control(1048)->y() - created[w.control(1048)].y(), chart->height() - chart0.height());
    QVERIFY(chart->viewWidth > visible0);  // more seconds at the same zoom

    // Back at the created size every control is where it was, and the view as the original.
    w.resize(size0);
    settle();
    for (const auto& [c, g] : created) QCOMPARE(c->geometry(), g);
    QCOMPARE(chart->viewWidth, visible0);
  }

  void atFullHdRowsFillTheWidthAndAxesStandOnTheirLines() {
    MainDialog w;
    w.show();
    mvtest::fillSlot(w.slot(0), {.video = withPeak(600, 300)});
    w.panel().RefreshSlot(0);
    w.resize(1920, 1020);
    settle();
    QVERIFY(w.control(1011)->width() > 1920 - 480);  // beside four buttons
    QVERIFY(w.control(1043)->mapTo(&w, QPoint(w.control(1043)->width(), 0)).x() > 1920 - 40);
    StatListCtrl* list = w.panel().list();
    int columns = 0;
    for (int c = 0; c < list->model()->columnCount(); ++c) columns += list->columnWidth(c);
    QCOMPARE(columns, list->viewport()->width());

    for (int zoom : {100, int(CCurvePanel::kWholeFile)}) {
      w.panel().SetZoom(zoom);
      settle();
      CCurveChart* chart = w.panel().chart();
      const QRect plot = chart->clientRect();
      QCOMPARE(plot.height() % 8, 0);
      const ChartPlan plan = planChart(*chart, plot.size(), timeLabelSize());
      // Rate labels on every second grid line, from the bottom edge to the top edge.
      for (int k = 0; k < 5; ++k) {
        const int line = k == 0 ? plot.height() : k == 4 ? 0 : plan.grid[size_t(7 - 2 * k)].y1();
        QVERIFY(std::abs(chart->yLabel(k)->geometry().center().y() - (plot.top() + line)) <= 1);
      }
      // No time label in the plot (they are bright green there); dark text under it.
      const QImage shot = chart->grab().toImage();
      bool labelInPlot = false, textUnder = false;
      for (int y = plot.top(); y <= plot.bottom() + timeLabelSize().height(); ++y)
        for (int x = plot.left(); x <= plot.right(); ++x) {
          const QColor c = shot.pixelColor(x, y);
          labelInPlot |= y <= plot.bottom() && c == QColor(0, 255, 0);
          textUnder |= y > plot.bottom() && c.lightness() < 100;
        }
      QVERIFY(!labelInPlot);
      QVERIFY(textUnder);
    }
  }

  void fitsAFullHdScreenAtScaleTwo() {
    if (bool passed = false; !mvtest::atScaleTwo("fitsAFullHdScreenAtScaleTwo", passed)) {
      QVERIFY(passed);
      return;
    }
    MainDialog w;
    w.show();
    settle();
    QCOMPARE(w.devicePixelRatio(), 2.0);
    QVERIFY2(w.minimumSizeHint().height() * 2 <= 1000,
             qPrintable(QString::number(w.minimumSizeHint().height())));
    QVERIFY(w.minimumSizeHint().width() * 2 <= 1920);
  }

  void ctrlWheelZoomsAroundThePointer() {
    MainDialog w;
    w.show();
    mvtest::fillSlot(w.slot(0), {.video = withPeak(900, 300)});
    w.panel().RefreshSlot(0);
    settle();
    CCurveChart* chart = w.panel().chart();
    chart->ScrollTo(2000);
    const QRect plot = chart->clientRect();
    const int pixel = plot.width() / 4;
    const auto secondAt = [&] {
      return (chart->viewStart + double(pixel) * chart->viewWidth / plot.width()) / chart->series.at(1).xStep;
    };
    const double before = secondAt();
    const QPointF at(plot.left() + pixel, plot.center().y());
    QWheelEvent wheel(at, chart->mapToGlobal(at), {}, {0, 120}, Qt::NoButton, Qt::ControlModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(chart, &wheel);
    QCOMPARE(w.panel().zoom(), 200);
    QCOMPARE(static_cast<QComboBox*>(w.control(1018))->currentText(), QString("200%"));
    QVERIFY(std::abs(secondAt() - before) < 1.0);
  }

  void wholeFileFitsTheWidthWithEveryPeak() {
    MainDialog w;
    w.show();
    mvtest::fillSlot(w.slot(0), {.video = withPeak(7200, 4321)});
    mvtest::fillSlot(w.slot(1), {.video = std::vector<uint32_t>(3600, 6400)});
    w.panel().RefreshSlot(0);
    w.panel().RefreshSlot(1);
    w.panel().SetZoom(CCurvePanel::kWholeFile);
    CCurveChart* chart = w.panel().chart();
    const QSize client = chart->clientSize();
    QCOMPARE(chart->scrollBarState().page, 1000);  // nothing to scroll
    const ChartPlan plan = planChart(*chart, client, QSize(50, 14));
    const SeriesPlan& first = plan.series[0];
    QVERIFY(first.points.size() <= size_t(client.width()) + 1);
    QVERIFY(first.points.back().pixel.x() <= client.width());
    const auto top =
        std::min_element(first.points.begin(), first.points.end(),
                         [](const PlotPoint& a, const PlotPoint& b) { return a.pixel.y() < b.pixel.y(); });
    QCOMPARE(top->pixel.y(), chart->MapToPixel(0, chart->yMax).y());  // the one peak survives
    // Labels stay apart.
    int lastLabel = -1000;
    for (const PlotPoint& p : first.points) {
      if (p.label.isEmpty()) continue;
      QVERIFY(p.pixel.x() - lastLabel >= 58);
      lastLabel = p.pixel.x();
    }

    // Zooming in from the whole file and out again.
    QCOMPARE(w.panel().StepZoom(1), 10);
    QCOMPARE(w.panel().StepZoom(3), 100);
    QCOMPARE(w.panel().StepZoom(-9), CCurvePanel::kWholeFile);
    QCOMPARE(w.panel().StepZoom(20), 800);
  }

  void chartClickListSelectionAndMarkedSeconds() {
    MainDialog w;
    w.show();
    std::vector<uint32_t> video(60);
    for (size_t s = 0; s < video.size(); ++s) video[s] = uint32_t(12800 + 100 * s);
    for (size_t s : {7, 23, 40}) video[s] = 64000;  // highest
    video[31] = 0;                                  // zero
    mvtest::fillSlot(w.slot(0), {.video = video});
    w.panel().RefreshSlot(0);
    settle();
    CCurveChart* chart = w.panel().chart();
    StatListCtrl* list = w.panel().list();

    const QPoint plot = chart->clientRect().topLeft();
    QTest::mouseClick(chart, Qt::LeftButton, {}, plot + chart->MapToPixel(12 * 10, 0) - QPoint(0, 5));
    QCOMPARE(list->selectedRow(), 12);
    QCOMPARE(chart->markedX, std::optional<int>(120));

    // Selecting a row far right brings its second into view.
    list->selectRowShown(55);
    QVERIFY(chart->viewStart <= 550 && 550 <= chart->viewStart + chart->viewWidth);

    list->selectRowShown(0);
    std::vector<int> walked, marked;
    while (list->selectMarkedRow(true)) walked.push_back(list->selectedRow());
    for (int r = 1; r < list->GetItemCount(); ++r)
      if (list->statModel()->isMarkedRow(r)) marked.push_back(r);
    QCOMPARE(walked, marked);
    for (int r : {7, 23, 31, 40}) QVERIFY(std::count(walked.begin(), walked.end(), r) == 1);
    QVERIFY(list->selectMarkedRow(false));
    QVERIFY(list->selectedRow() < walked.back());
  }

  void frameAndGopViewsPeakAndAverageLine() {
    MainDialog w;
    w.show();
    mvtest::fillSlot(w.slot(0), {.video = withPeak(60, 30)});
    mvtest::fillFrames(w.slot(0).analysis, 100, 12);
    w.panel().RefreshSlot(0);
    CCurvePanel& panel = w.panel();
    CCurveChart* chart = panel.chart();

    panel.SetView(CCurvePanel::PerFrame);
    QVERIFY(panel.frameList()->isVisible() && !panel.list()->isVisible());
    QCOMPARE(chart->findSeries(1)->points.size(), size_t(100));
    QCOMPARE(chart->findSeries(1)->accentX, (std::set<int32_t>{0, 120, 240, 360, 480, 600, 720, 840, 960}));
    QVERIFY(chart->countLabels);
    QCOMPARE(panel.frameList()->frameModel()->rowCount(), 100);
    QCOMPARE(qobject_cast<QLineEdit*>(w.control(1036))->text(), QString::number(9000 + 40 * 6));
    panel.frameList()->selectRowShown(0);
    QVERIFY(panel.frameList()->selectIntraRow(true));
    QCOMPARE(panel.frameList()->selectedRow(), 12);
    // Key frames have their own tint: yellow is the highest seconds'.
    const QAbstractItemModel* frames = panel.frameList()->frameModel();
    const QColor keyTint = frames->index(12, 2).data(Qt::BackgroundRole).value<QBrush>().color();
    QVERIFY(keyTint.isValid() && keyTint != *panel.GetSwatchBrush(1046));
    QCOMPARE(chart->markedX, std::optional<int>(120));

    panel.SetView(CCurvePanel::PerGop);
    const QAbstractItemModel* gops = panel.frameList()->frameModel();
    QCOMPARE(gops->rowCount(), 9);
    QCOMPARE(gops->index(0, 3).data().toInt(), 12);
    QCOMPARE(gops->index(8, 3).data().toInt(), 4);
    QCOMPARE(gops->index(1, 1).data().toString(), QString("00:00:00.480"));
    // The line under the list gives the GOPs' lengths; its tip the key frames too.
    const QLabel* gopLine = qobject_cast<QLabel*>(w.control(1062));
    QVERIFY(gopLine->text().contains("4") && gopLine->text().contains("12") &&
            gopLine->toolTip().contains("9"));

    // Back per second: the peak window of 5 s starts at the peak's second at the latest, and
    // the average line is the moving average.
    panel.SetView(CCurvePanel::PerSecond);
    QVERIFY(panel.list()->isVisible() && !chart->countLabels && chart->findSeries(1)->accentX.empty());
    panel.SetPeakWindow(5);
    QVERIFY(qobject_cast<QLabel*>(w.control(1062))->text().contains("00:00:27"));  // second 26 (0-based)
    panel.SetAverageLine(true);
    const std::vector<double> average = mv::movingAverage(w.slot(0).analysis, 0, 5);
    const auto& line = chart->findSeries(CCurvePanel::kAverageSeries[0])->points;
    QCOMPARE(line.size(), average.size());
    for (size_t i = 0; i < average.size(); ++i) QCOMPARE(line.at(int(i) * 10), int(average[i]));
  }

  // The buffer view draws a check's fullness per frame with its violations in red, the line
  // under the list tells each file's result and a click lists the runs; the per-second views
  // draw the buffer's rate.
  void bufferViewRateLineAndPresetBox() {
    const std::string ini = dir_.file("buffer.ini");
    mv::paraBlock().LoadFrom(ini);
    {
      MainDialog w;
      w.show();
      auto* presets = static_cast<QComboBox*>(w.control(1064));
      QVERIFY(presets && !w.control(1065)->isVisible());
      presets->setCurrentIndex(int(mv::BufferPreset::Custom));
      presets->activated(int(mv::BufferPreset::Custom));
      QVERIFY(w.control(1065)->isVisible() && w.control(1066)->isVisible());
      static_cast<QSpinBox*>(w.control(1065))->setValue(80);  // kbps: 81,920 bit/s
      static_cast<QSpinBox*>(w.control(1066))->setValue(64);  // kbit: 65,536 bits
      w.reject();
    }
    mv::paraBlock().LoadFrom(ini);
    MainDialog w;
    w.show();
    QCOMPARE(static_cast<QComboBox*>(w.control(1064))->currentIndex(), int(mv::BufferPreset::Custom));
    QCOMPARE(static_cast<QSpinBox*>(w.control(1065))->value(), 80);
    QCOMPARE(w.panel().bufferPreset(), mv::BufferPreset::Custom);
    mvtest::fillSlot(w.slot(0), {.video = withPeak(60, 30)});  // 100 kbit/s, 500 at the peak
    mvtest::fillFrames(w.slot(0).analysis, 30, 12);
    w.RefreshSlot(0);
    CCurvePanel& panel = w.panel();
    CCurveChart* chart = panel.chart();
    QCOMPARE(panel.bufferModel(0)->rate, uint64_t(81920));
    QCOMPARE(panel.bufferModel(0)->bits, uint64_t(65536));

    // 80 kbit/s, over the whole file, within the file's own range.
    const int yMax = chart->yMax;
    const auto& line = chart->findSeries(CCurvePanel::kRateSeries[0])->points;
    QCOMPARE(line.size(), size_t(2));
    QCOMPARE(line.begin()->second, 80);
    QCOMPARE(line.rbegin()->second, 80);
    QVERIFY(line.rbegin()->first >= 59 * 10);
    QCOMPARE(chart->yMax, yMax);
    QCOMPARE(chart->MapToPixel(0, line.begin()->second).y(), chart->MapToPixel(0, 80).y());
    mv::paraBlock().SetInt(mv::PARA_VIEW_ITEM, 1);  // audio: no line
    panel.RefreshChart();
    QVERIFY(chart->findSeries(CCurvePanel::kRateSeries[0])->points.empty());
    mv::paraBlock().SetInt(mv::PARA_VIEW_ITEM, 0);

    static_cast<QComboBox*>(w.control(1017))->setCurrentIndex(5);
    static_cast<QComboBox*>(w.control(1017))->activated(5);
    QCOMPARE(panel.view(), int(CCurvePanel::Buffer));
    QVERIFY(panel.frameList()->isVisible() && chart->countLabels);
    mv::BufferCheck check;
    check.model = *panel.bufferModel(0);
    check.fullness.assign(30, 65536.0);
    check.fullness[1] = 32768;
    check.fullness[2] = 0;
    check.violatingFrames = {2};
    check.runs = {{{0, 0}, mv::BufferViolation::Underflow, 16384.0}};
    panel.ShowBufferCheck(0, check);
    const auto& fullness = chart->findSeries(1)->points;
    QCOMPARE(fullness.size(), size_t(30));
    QCOMPARE(fullness.at(0), 1000);
    QCOMPARE(fullness.at(10), 500);
    QCOMPARE(fullness.at(20), 0);
    QCOMPARE(chart->findSeries(1)->accentX, std::set<int32_t>{20});
    QCOMPARE(chart->findSeries(1)->accentColour, QColor(255, 0, 0));
    QCOMPARE(panel.axisLabel(4)->text(), QString("100"));
    QCOMPARE(chart->MapToPixel(0, 1000).y(), 0);  // full on the top edge: the axis's 100
    auto* label = qobject_cast<QLabel*>(w.control(1062));
    QVERIFY(label->text().contains("1") && label->text().contains("00:00:00"));
    {
      mvtest::MessageRecorder messages;
      QTest::mouseClick(label, Qt::LeftButton);
      QCOMPARE(messages.messages.size(), size_t(1));
      QVERIFY(QString::fromStdString(messages.messages[0]).contains("缓冲区下溢") &&
              QString::fromStdString(messages.messages[0]).contains("25.0%"));
    }
    check.violatingFrames.clear();
    check.runs.clear();
    panel.ShowBufferCheck(0, check);
    QCOMPARE(label->text(), QString("缓冲区检查通过"));

    // A stream that declares no buffer: the line says why, cut to its label with "…" where it
    // does not fit, and the tip says it whole.
    static_cast<QComboBox*>(w.control(1064))->setCurrentIndex(int(mv::BufferPreset::Stream));
    static_cast<QComboBox*>(w.control(1064))->activated(int(mv::BufferPreset::Stream));
    const QString why = panel.bufferWhy(0);
    QVERIFY(!panel.bufferModel(0) && !why.isEmpty());
    QVERIFY(label->toolTip().startsWith(why));
    const QString shown = label->text();
    QVERIFY2(shown == why || (shown.endsWith(QChar(0x2026)) && why.startsWith(shown.chopped(1))),
             qPrintable(shown));
    QVERIFY(label->fontMetrics().horizontalAdvance(shown) <= label->contentsRect().width());
  }

  // The view checks the frames it lists.
  void bufferViewChecksTheFrames() {
    MainDialog w;
    mvtest::fillSlot(w.slot(0), {.video = withPeak(60, 30)});
    mvtest::fillFrames(w.slot(0).analysis, 30, 12);
    w.RefreshSlot(0);
    // Key frames of 9000+ bytes do not fit 64 kbit.
    w.panel().SetBufferPreset(mv::BufferPreset::Custom, 80000, 65536);
    w.panel().SetView(CCurvePanel::Buffer);
    const mv::BufferCheck* check = w.panel().bufferCheck(0);
    QVERIFY(check && check->fullness.size() == 30 && !check->ok());
    QCOMPARE(w.panel().chart()->findSeries(1)->points.size(), size_t(30));
    QVERIFY(w.panel().chart()->findSeries(1)->accentX.count(0));
  }

  void droppedAndNamedFilesOpen() {
    const QString avi = QString::fromStdString(dir_.file("a.avi")),
                  rm = QString::fromStdString(dir_.file("b.rm"));
    mvtest::writeFile(avi.toStdString(), mvtest::sampleAvi(12));
    mvtest::writeFile(rm.toStdString(), mvtest::sampleRealMedia(12));
    mvtest::MessageRecorder messages;
    MainDialog w;
    w.show();
    settle();
    const auto drop = [&](const QStringList& files, QPoint at) {
      QMimeData data;
      QList<QUrl> urls;
      for (const QString& f : files) urls << QUrl::fromLocalFile(f);
      data.setUrls(urls);
      QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(&w, &enter);
      QVERIFY(enter.isAccepted());
      QDropEvent event(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(&w, &event);
      settle();
    };
    // On the second path row: slot 2.
    drop({rm}, w.control(1014)->mapTo(&w, w.control(1014)->rect().center()));
    QCOMPARE(messages.messages, std::vector<std::string>{});
    QVERIFY(!w.slot(0).isLoaded() && w.slot(1).isLoaded());
    // Elsewhere: the first empty slot.
    drop({avi}, QPoint(5, w.height() - 5));
    QCOMPARE(w.slot(0).mediaType(), mv::MEDIA_AVI);
    w.OnCloseSlot(0);
    w.OnCloseSlot(1);
    // Two files fill both, as two names on the command line do.
    drop({rm, avi}, QPoint(5, 5));
    QCOMPARE(w.slot(0).mediaType(), mv::MEDIA_RM);
    QCOMPARE(w.slot(1).mediaType(), mv::MEDIA_AVI);
    QVERIFY(w.control(1011)->toolTip().startsWith(rm));
    // A third is named, not silently dropped.
    drop({avi, rm, dir_.file("third.mp4").c_str()}, QPoint(5, 5));
    QCOMPARE(messages.messages.size(), size_t(1));
    QVERIFY(messages.messages[0].find("third.mp4") != std::string::npos);
    QCOMPARE(w.slot(0).mediaType(), mv::MEDIA_AVI);
  }

  void chartImageFromTheCommandLine() {
    const std::string avi = dir_.file("c.avi");
    mvtest::writeFile(avi, mvtest::sampleAvi(90));
    const QString png = QString::fromStdString(dir_.file("chart.png"));
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    p.setProcessEnvironment(env);
    p.start(MORV_GUI_PATH, {"--chart", png, QString::fromStdString(avi), "--item", "total", "--width", "640",
                            "--height", "300"});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    const QImage image(png);
    QCOMPARE(image.size(), QSize(640, 300));
    int curve = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) curve += image.pixelColor(x, y) == kFileColour[0];
    QVERIFY(curve > 300);  // the file's curve and its legend swatch

    p.start(MORV_GUI_PATH, {"--chart", png, QString::fromStdString(avi), "--item", "bitrate"});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 2);
  }

  void chartImageNeverReplacesAnInput() {
    const std::string a = dir_.file("in-a.avi"), b = dir_.file("in-b.avi");
    mvtest::writeFile(a, mvtest::sampleAvi(8));
    mvtest::writeFile(b, mvtest::sampleAvi(9));
    const mvtest::Bytes aBytes = mvtest::readFile(a), bBytes = mvtest::readFile(b);
    std::filesystem::create_symlink(a, dir_.file("link-a.png"));
    const QString qa = QString::fromStdString(a), qb = QString::fromStdString(b);
    const QString missing = QString::fromStdString(dir_.file("gone.avi"));
    const QString png = QString::fromStdString(dir_.file("ok.png"));
    const struct {
      QStringList arguments;
      QString line;  // what stderr says, in English
    } cases[] = {
        {{"--chart", qa, qa},
         "morvatelline: " + qa + ": is one of the input media files; it is not overwritten\n"},
        {{"--chart", qb, qa, qb},
         "morvatelline: " + qb + ": is one of the input media files; it is not overwritten\n"},
        {{"--chart", QString::fromStdString(dir_.file("link-a.png")), qa},
         "morvatelline: " + QString::fromStdString(dir_.file("link-a.png")) +
             ": is one of the input media files; it is not overwritten\n"},
        {{"--chart", png, qa, missing}, "morvatelline: " + missing + ": not found\n"},
    };
    for (const auto& c : cases) {
      QProcess p;
      QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
      env.insert("LANGUAGE", "en");
      p.setProcessEnvironment(env);
      p.start(MORV_GUI_PATH, c.arguments);
      QVERIFY(p.waitForFinished(30000));
      QCOMPARE(p.exitCode(), 1);
      // Qt may say something of its own first.
      const QString err = QString::fromLocal8Bit(p.readAllStandardError());
      QVERIFY2(err.endsWith(c.line), qPrintable(err));
    }
    QVERIFY(mvtest::readFile(a) == aBytes && mvtest::readFile(b) == bBytes);
    QVERIFY(std::filesystem::is_symlink(dir_.file("link-a.png")));
    QVERIFY(!std::filesystem::exists(png.toStdString()));
  }

  void placeZoomAndFoldersAreRemembered() {
    const std::string ini = dir_.file("morvatelline.ini");
    mv::paraBlock().LoadFrom(ini);
    mvtest::FileDialogRecorder dialogs;
    {
      MainDialog w;
      w.show();
      w.resize(780, 760);  // within the 800x800 offscreen screen
      w.move(40, 30);
      static_cast<QComboBox*>(w.control(1018))->activated(0);  // "全部"
      w.ZoomChanged(CCurvePanel::kWholeFile);
      dialogs.answer(QString::fromStdString(dir_.file("gone.avi")));
      mvtest::MessageRecorder messages;  // the file does not exist
      w.OnOpen(0);
      w.reject();
    }
    mv::paraBlock().LoadFrom(ini);
    MainDialog again;
    QCOMPARE(again.size(), QSize(780, 760));
    setWindowSetting("Width", 5000);  // saved on a larger screen
    QVERIFY(MainDialog().width() <= QGuiApplication::primaryScreen()->availableGeometry().width());
    QCOMPARE(again.panel().zoom(), int(CCurvePanel::kWholeFile));
    QCOMPARE(static_cast<QComboBox*>(again.control(1018))->currentText(), QString("全部"));
    QCOMPARE(mv::paraBlock().Zoom(), int(CCurvePanel::kWholeFile));
    again.OnOpen(1);
    QCOMPARE(dialogs.requests().back().folder, QString::fromStdString(dir_.path()));
  }

  // Files the program wrote before the zoom had one key open at the zoom they were left at.
  void earlierSettingsFilesOpenAtTheirZoom() {
    const struct {
      const char* content;
      int zoom;
      const char* shown;
    } cases[] = {
        {"[ParaBlock]\nPARA_VIEW_SCALE=1\n", 200, "200%"},
        {"[ParaBlock]\r\nPARA_VIEW_SCALE=1\r\n[Window]\r\nZoom=200\r\n", 200, "200%"},
        {"[ParaBlock]\nPARA_VIEW_SCALE=1\n[Window]\nZoom=0\n", int(CCurvePanel::kWholeFile), "全部"},
        {"[ParaBlock]\nPARA_VIEW_SCALE=0\n[Window]\nZoom=400\n", 400, "400%"},
    };
    for (const auto& c : cases) {
      const std::string ini = dir_.file("earlier.ini");
      mvtest::writeFile(ini, mvtest::Bytes(c.content, c.content + std::strlen(c.content)));
      mv::paraBlock().LoadFrom(ini);
      MainDialog w;
      QCOMPARE(w.panel().zoom(), c.zoom);
      QCOMPARE(static_cast<QComboBox*>(w.control(1018))->currentText(), QString(c.shown));
    }
  }

  void writtenFileIsNamedWhenTheDesktopCannotOpenIt() {
    installGuiSinks();
    mvtest::MessageRecorder messages;
    const DesktopOpener previous = setDesktopOpener([](const QString&) { return false; });
    qunsetenv("BROWSER");
    mv::openWithShell("/tmp/report 1.txt");
    setDesktopOpener(previous);
    QCOMPARE(messages.messages.size(), size_t(1));
    QVERIFY(messages.messages[0].find("/tmp/report 1.txt") != std::string::npos);
  }
};

QTEST_MAIN(WindowViewTest)
#include "window_view_test.moc"
