// The track button and window, and the view of every track of a file stacked by second.
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "app/main_dialog.h"
#include "app/track_dialog.h"
#include "chart/curve_chart.h"
#include "fixtures/slot_builder.h"
#include "fixtures/track_slot.h"
#include "settings/para_block.h"
#include "widgets/colour_label.h"
#include "widgets/stat_list_ctrl.h"

using namespace mvgui;
using mv::TrackKind;

namespace {

const std::vector<mvtest::TrackSpec> kTracks = {
    {.kind = TrackKind::Video, .codec = "V_MPEG4/ISO/AVC", .seconds = {64000, 25600, 38400, 51200}},
    {.kind = TrackKind::Audio, .codec = "A_AAC", .language = "chi", .seconds = {16000, 16000, 16000, 16000}},
    {.kind = TrackKind::Audio,
     .codec = "A_AC3",
     .language = "eng",
     .name = "评论",
     .seconds = {4096, 8192, 12288}},
    {.kind = TrackKind::Subtitle, .codec = "S_TEXT/UTF8", .seconds = {128, 0, 256}, .unitsPerSecond = 1}};

std::vector<uint32_t> seconds(const mv::PerSecondSeries& s) {
  return std::vector<uint32_t>(s.data() + 8, s.data() + s.elementCount());
}

// Answers the next modal track window: `audio` in its audio box, then OK.
void chooseAudioInNextWindow(int audio) {
  QTimer::singleShot(0, [audio] {
    auto* dialog = qobject_cast<TrackDialog*>(QApplication::activeModalWidget());
    QVERIFY(dialog);
    QCOMPARE(dialog->table()->topLevelItemCount(), 4);
    QCOMPARE(dialog->table()->topLevelItem(2)->text(4), QString("评论"));
    dialog->audioBox()->setCurrentIndex(dialog->audioBox()->findData(audio));
    QTest::mouseClick(dialog->findChild<QPushButton*>("IDOK"), Qt::LeftButton);
  });
}

}  // namespace

class TrackWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    mv::paraBlock().LoadFrom(std::string());
    for (int i = 0; i < mv::PARA_INT_COUNT; ++i) {
      static const int defaults[] = {1, 1, 1, 1, 1, 1, 0, 1, 5, 5};
      mv::paraBlock().SetInt(i, defaults[i]);
    }
  }

  void choosingATrackCountsItsSecondsAsTheAudio() {
    MainDialog w;
    w.show();
    mvtest::fillSlot(w.slot(1), {.video = {500, 500}});
    w.RefreshSlot(1);
    QVERIFY(!w.control(1068)->isEnabled());  // a file that lists no tracks
    mvtest::fillTracks(w.slot(0), kTracks);
    w.RefreshSlot(0);
    QVERIFY(w.control(1067)->isEnabled());
    QCOMPARE(seconds(*w.slot(0).analysis.audioSeries), (std::vector<uint32_t>{16000, 16000, 16000, 16000}));
    auto* label = static_cast<ColourLabel*>(w.control(1011));
    QVERIFY(!label->toolTip().contains("音频轨"));

    chooseAudioInNextWindow(2);
    QTest::mouseClick(static_cast<QPushButton*>(w.control(1067)), Qt::LeftButton);
    QCOMPARE(w.slot(0).analysis.audioTrack, 2);
    QCOMPARE(seconds(*w.slot(0).analysis.audioSeries), (std::vector<uint32_t>{4096, 8192, 12288, 0}));
    QVERIFY(label->toolTip().contains("视频轨 0，音频轨 2"));
    // The audio item's list and chart show the chosen track.
    mv::paraBlock().SetInt(mv::PARA_VIEW_ITEM, 1);
    w.panel().RefreshChart();
    QCOMPARE(w.panel().chart()->findSeries(1)->points.at(10), 64);  // 8192 / 128

    chooseAudioInNextWindow(1);
    QTest::mouseClick(static_cast<QPushButton*>(w.control(1067)), Qt::LeftButton);
    QCOMPARE(w.slot(0).analysis.audioTrack, 1);
    QVERIFY(!label->toolTip().contains("音频轨"));
  }

  void trackViewStacksEveryTrackWithItsLegendAndTotals() {
    MainDialog w;
    w.resize(900, 700);
    w.show();
    mvtest::fillTracks(w.slot(0), kTracks);
    w.RefreshSlot(0);
    auto* item = static_cast<QComboBox*>(w.control(1017));
    const int index = item->findText("各轨道");
    QCOMPARE(index, 3 + CCurvePanel::Tracks - 1);
    item->setCurrentIndex(index);
    item->activated(index);
    CCurvePanel& panel = w.panel();
    QCOMPARE(panel.view(), int(CCurvePanel::Tracks));
    QVERIFY(panel.trackList()->isVisible() && !panel.list()->isVisible() && !panel.frameList()->isVisible());

    // Bottom to top: video, the audio tracks, the subtitles; each curve the sum of those below.
    CCurveChart* chart = panel.chart();
    const std::vector<uint32_t> sums = {64000 + 16000 + 4096 + 128, 25600 + 16000 + 8192,
                                        38400 + 16000 + 12288 + 256, 51200 + 16000};
    const QStringList legends = {"#0 视频 V_MPEG4/ISO/AVC", "#1 音频 A_AAC chi", "#2 音频 A_AC3 eng «评论»",
                                 "#3 字幕 S_TEXT/UTF8"};
    for (int k = 0; k < 4; ++k) {
      const CurveSeries* s = chart->findSeries(CCurvePanel::kTrackSeries + k);
      QVERIFY(s);
      QCOMPARE(s->legend, legends[k]);
      QCOMPARE(s->fillTo, k == 0 ? 0 : CCurvePanel::kTrackSeries + k - 1);
      QCOMPARE(s->points.size(), size_t(4));
    }
    const CurveSeries* top = chart->findSeries(CCurvePanel::kTrackSeries + 3);
    for (int i = 0; i < 4; ++i) QCOMPARE(top->points.at(i * 10), int(sums[size_t(i)] / 128));
    QCOMPARE(chart->findSeries(CCurvePanel::kTrackSeries)->points.at(10), 200);  // video alone

    // One row a track and one for them all: bytes and the average over the file's seconds.
    QTreeWidget* list = panel.trackList();
    QCOMPARE(list->topLevelItemCount(), 5);
    QCOMPARE(list->topLevelItem(2)->text(1), QString("音频"));
    QCOMPARE(list->topLevelItem(2)->text(6), QString("48.00"));  // 24576 bytes in 4 s
    QCOMPARE(list->topLevelItem(4)->text(1), QString("合计"));
    QCOMPARE(list->topLevelItem(4)->text(7), QString::number(sums[0] / 128.0, 'f', 2));
    QVERIFY(list->topLevelItem(0)->font(0).bold() && !list->topLevelItem(2)->font(0).bold());
    QCOMPARE(list->topLevelItem(2)->text(0), QString("2"));  // numbered as the legend and the CLI

    // With a second file open, a click on its label shows its tracks instead, and back.
    mvtest::fillTracks(w.slot(1), {kTracks[0], kTracks[1]});
    w.RefreshSlot(1);
    QCOMPARE(panel.trackSlot(), 0);
    QTest::mouseClick(static_cast<QWidget*>(w.control(1063)), Qt::LeftButton);
    QCOMPARE(panel.trackSlot(), 1);
    QCOMPARE(list->topLevelItemCount(), 3);
    QVERIFY(!chart->findSeries(CCurvePanel::kTrackSeries + 2) ||
            chart->findSeries(CCurvePanel::kTrackSeries + 2)->points.empty());
    QTest::mouseClick(static_cast<QWidget*>(w.control(1062)), Qt::LeftButton);
    QCOMPARE(panel.trackSlot(), 0);
    QCOMPARE(list->topLevelItemCount(), 5);

    // The legend stands in the plot's top band, a swatch in each layer's colour.
    QApplication::processEvents();
    const QImage image = chart->grab(chart->clientRect()).toImage();
    for (const TrackLayer& layer : panel.trackLayers().layers) {
      bool found = false;
      for (int y = 0; y < 24 && !found; ++y)
        for (int x = 0; x < image.width() && !found; ++x) found = image.pixelColor(x, y) == layer.colour;
      QVERIFY2(found, qPrintable(layer.legend));
    }

    // Back to a per-second item: no layer, no legend.
    item->setCurrentIndex(0);
    item->activated(0);
    QVERIFY(chart->findSeries(CCurvePanel::kTrackSeries)->points.empty() && !panel.trackList()->isVisible());
  }
};

QTEST_MAIN(TrackWindowTest)
#include "track_window_test.moc"
