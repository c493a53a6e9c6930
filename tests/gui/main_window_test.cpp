// The main window as a person uses it: files opened, replaced and closed in either slot, the
// chart, list, fields and indicators that follow, the options and counts, and the exports.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include "app/file_info_dlg.h"
#include "app/filter_dlg.h"
#include "app/main_dialog.h"
#include "chart/curve_chart.h"
#include "fixtures/message_recorder.h"
#include "fixtures/rm_builder.h"
#include "fixtures/sample_media.h"
#include "fixtures/shell_recorder.h"
#include "fixtures/slot_builder.h"
#include "gui/support/file_dialog_recorder.h"
#include "platform/messages.h"
#include "platform/shell.h"
#include "platform/text_file.h"
#include "settings/ini_file.h"
#include "settings/para_block.h"
#include "widgets/colour_label.h"
#include "widgets/stat_list_ctrl.h"
#include "widgets/stat_list_model.h"

using namespace mvgui;

namespace {

std::vector<uint32_t> flat(size_t seconds, uint32_t bytes) { return std::vector<uint32_t>(seconds, bytes); }

QString axisTexts(CCurvePanel& panel) {
  QStringList t;
  for (int k = 0; k < 5; ++k) t << panel.axisLabel(k)->text();
  return t.join(' ');
}

QString fieldText(MainDialog& w, int id) { return static_cast<QLineEdit*>(w.control(id))->text(); }

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  mvtest::TempDir dir_;
  std::unique_ptr<mvtest::MessageRecorder> messages_;
  std::unique_ptr<mvtest::ShellRecorder> shell_;

  // Loads byte counts into a main slot and refreshes the panel as an open would.
  void load(MainDialog& w, int slot, const mvtest::SlotSpec& spec) {
    mvtest::fillSlot(w.slot(slot), spec);
    w.panel().RefreshSlot(slot);
  }
  void unload(MainDialog& w, int slot) {
    w.slot(slot).clear();
    w.panel().RefreshSlot(slot);
  }
  StatListCtrl& list(MainDialog& w) { return *w.panel().list(); }

 private slots:
  void init() {
    mv::paraBlock().LoadFrom(std::string());  // defaults, nothing written
    for (int i = 0; i < mv::PARA_INT_COUNT; ++i) {
      static const int defaults[] = {1, 1, 1, 1, 1, 1, 0, 1, 5, 5};
      mv::paraBlock().SetInt(i, defaults[i]);
    }
    messages_ = std::make_unique<mvtest::MessageRecorder>();
    shell_ = std::make_unique<mvtest::ShellRecorder>();
  }
  void cleanup() {
    shell_.reset();
    messages_.reset();
  }

  void emptyWindowShowsGridAndDefaultAxis() {
    MainDialog w;
    QCOMPARE(list(w).GetItemCount(), 0);
    QCOMPARE(axisTexts(w.panel()), QString("0 250 500 750 1000"));
    QCOMPARE(fieldText(w, 1036), QString());
    QCOMPARE(static_cast<QPushButton*>(w.control(1048))->text(), QString("5"));
    QCOMPARE(static_cast<QPushButton*>(w.control(1049))->text(), QString("5"));
    QVERIFY(w.panel().chart()->series.at(1).points.empty());
  }

  void axisLabelsFollowTheLargestValue() {
    MainDialog w;
    load(w, 0, {.video = {0, 128000, 64000, 0}});  // 1000 kbit/s at most
    QCOMPARE(axisTexts(w.panel()), QString("0 262 524 786 1048"));
    load(w, 0, {.video = {128, 128, 0}});
    QCOMPARE(axisTexts(w.panel()), QString("0 250 500 750 1000"));
  }

  void rowsFollowOpeningAndClosingInEitherSlot() {
    MainDialog w;
    load(w, 0, {.video = flat(100, 12800)});
    load(w, 1, {.path = "/m/b.rm", .video = flat(150, 25600)});
    QCOMPARE(list(w).GetItemCount(), 150);
    QCOMPARE(list(w).GetItemText(0, 0), QString("00:00:01"));
    QCOMPARE(list(w).GetItemText(149, 0), QString("00:02:30"));
    QCOMPARE(list(w).GetItemText(99, 1), QString("100.00"));
    QCOMPARE(list(w).GetItemText(100, 1), QString());
    QCOMPARE(list(w).GetItemText(149, 4), QString("200.00"));
    unload(w, 1);
    QCOMPARE(list(w).GetItemCount(), 100);
    QCOMPARE(list(w).GetItemText(50, 4), QString());
    unload(w, 0);
    QCOMPARE(list(w).GetItemCount(), 0);
  }

  void shorterFileIntoALoadedSlotTrimsOnlyEmptyRows() {
    MainDialog w;
    load(w, 0, {.video = flat(100, 1280)});
    load(w, 1, {.video = flat(80, 2560)});
    load(w, 0, {.video = flat(60, 3840)});
    QCOMPARE(list(w).GetItemCount(), 80);
    QCOMPARE(list(w).GetItemText(59, 1), QString("30.00"));
    QCOMPARE(list(w).GetItemText(60, 1), QString());
    QCOMPARE(list(w).GetItemText(79, 4), QString("20.00"));
    QCOMPARE(list(w).GetItemText(79, 0), QString("00:01:20"));
  }

  void itemChangeMovesCurvesFieldsAndHighlightNotTheList() {
    MainDialog w;
    load(w, 0, {.video = {100, 1280, 2560, 100}, .audio = {128, 128, 256, 128}});
    QCOMPARE(fieldText(w, 1036), QString("20.00"));
    QCOMPARE(list(w).highlightedItem(), 0);
    const QString before = list(w).GetItemText(1, 2);
    mv::paraBlock().SetInt(mv::PARA_VIEW_ITEM, 1);
    w.panel().RefreshChart();
    QCOMPARE(fieldText(w, 1036), QString("2.00"));
    QCOMPARE(fieldText(w, 1038), QString("1.00"));
    QCOMPARE(list(w).highlightedItem(), 1);
    QCOMPARE(list(w).GetItemText(1, 2), before);
    QCOMPARE(w.panel().chart()->series.at(1).points.at(10), 1);  // second 2: 128 bytes = 1 kbit/s
  }

  void scaleRebuildsWithTheNewStepAndMarkersDoNot() {
    MainDialog w;
    load(w, 0, {.video = flat(200, 1280)});
    CCurveChart& chart = *w.panel().chart();
    QCOMPARE(chart.series.at(1).points.rbegin()->first, 1990);
    QCOMPARE(chart.viewStart, 0);  // back at the start once the points are in
    QCOMPARE(chart.xMax, 2090);
    mv::paraBlock().SetInt(mv::PARA_VIEW_POINTS, 0);
    chart.series.at(1).points[5] = 77;  // a marker change must not rebuild the points
    w.panel().ApplyDataPoints();
    QCOMPARE(chart.series.at(1).showPoints, 0);
    QCOMPARE(chart.series.at(1).points.at(5), 77);
    mv::paraBlock().SetZoom(200);
    w.panel().ApplyScale();
    QCOMPARE(chart.series.at(1).xStep, 20);
    QCOMPARE(chart.series.at(1).points.rbegin()->first, 3980);
    QVERIFY(!chart.series.at(1).points.count(5));
    QCOMPARE(chart.viewStart, chart.xMin);
  }

  void zeroIndicatorForInnerSilentSecondsOfEveryKindOfFile() {
    MainDialog w;
    auto indicatorIsRed = [&](int slot) {
      const QPixmap shown = static_cast<QLabel*>(w.control(slot == 0 ? 1053 : 1056))->pixmap();
      return shown.toImage().pixelColor(7, 7).red() > 150 && shown.toImage().pixelColor(7, 7).green() < 100;
    };
    load(w, 0, {.path = "/m/a.rm", .video = {0, 5, 5, 5, 0}});
    QVERIFY(!indicatorIsRed(0));
    load(w, 0, {.path = "/m/a.rm", .video = {5, 5, 0, 5, 5}});
    QVERIFY(indicatorIsRed(0));
    load(w, 1, {.path = "/m/b.avi", .video = {5, 5, 0, 5, 5}});
    QVERIFY(indicatorIsRed(1));
    // A click on it lists the runs.
    QTest::mouseClick(w.control(1056), Qt::LeftButton);
    QCOMPARE(QString::fromStdString(messages_->messages.back()), QString("/m/b.avi\n00:00:03\n\n"));
    load(w, 1, {.path = "/m/b.rmvb", .video = {}});
    QVERIFY(!indicatorIsRed(1));
    QCOMPARE(list(w).GetItemCount(), 5);
    unload(w, 0);
    QVERIFY(!indicatorIsRed(0));
  }

  void openReplaceAndFailThroughTheDialogs() {
    const std::string avi = dir_.file("a.avi"), rm = dir_.file("b.rm"), bad = dir_.file("bad.avi");
    mvtest::writeFile(avi, mvtest::sampleAvi(30));
    mvtest::writeFile(rm, mvtest::sampleRealMedia(20, {5}));
    mvtest::writeFile(bad, mvtest::Bytes(100, 7));
    MainDialog w;
    mvtest::FileDialogRecorder dialogs;
    dialogs.answer(QString::fromStdString(avi));
    w.OnOpen(0);
    QCOMPARE(dialogs.requests().back().title, QString("选择文件"));
    QCOMPARE(w.path(0), QString::fromStdString(avi));
    QCOMPARE(list(w).GetItemCount(), 30);
    dialogs.answer(QString::fromStdString(rm));
    w.OnOpen(0);
    QCOMPARE(list(w).GetItemCount(), 20);
    QCOMPARE(w.slot(0).mediaType(), mv::MEDIA_RM);
    dialogs.answer(QString::fromStdString(bad));
    w.OnOpen(1);
    QCOMPARE(messages_->messages, std::vector<std::string>{"抱歉，文件读取失败。"});
    QVERIFY(w.path(1).isEmpty());
    QVERIFY(!w.slot(1).isLoaded());
    dialogs.cancel();
    w.OnOpen(1);
    QVERIFY(!w.slot(1).isLoaded());
    QTest::mouseClick(static_cast<QPushButton*>(w.control(1002)), Qt::LeftButton);
    QVERIFY(w.path(0).isEmpty());
    QCOMPARE(list(w).GetItemCount(), 0);
  }

  void cancelledOpenKeepsWhatTheWindowShowed() {
    const std::string avi = dir_.file("kept.avi"), rm = dir_.file("long.rm"), bad = dir_.file("bad.avi");
    mvtest::writeFile(avi, mvtest::sampleAvi(30));
    mvtest::writeFile(rm, mvtest::sampleRealMedia(20, {5}));
    mvtest::writeFile(bad, mvtest::Bytes(100, 7));
    mv::paraBlock().SetInt(mv::PARA_TOP_POINTS, 2);
    MainDialog w;
    w.show();
    mvtest::FileDialogRecorder dialogs;
    dialogs.answer(QString::fromStdString(avi));
    w.OnOpen(0);
    // The count of the settings marks the seconds of a file read into the spare slot.
    mv::FileSlot reference;
    reference.setMarkedSeconds(2, 5);
    QVERIFY(reference.open(avi).ok());
    const uint32_t high = (*w.slot(0).analysis.videoSeries)[mv::kHighThreshold];
    QCOMPARE(high, (*reference.analysis.videoSeries)[mv::kHighThreshold]);
    const auto points = w.panel().chart()->series.at(1).points;
    const QString axis = axisTexts(w.panel());

    w.setProgressDelay(std::chrono::milliseconds(0));
    QString text, button;
    bool modal = false;
    QTimer presser;  // runs only while the load pumps events
    presser.setInterval(0);
    connect(&presser, &QTimer::timeout, [&] {
      auto* progress = w.findChild<QProgressDialog*>();
      auto* cancel = progress ? progress->findChild<QPushButton*>() : nullptr;
      if (!cancel || !progress->isVisible()) return;
      text = progress->labelText();
      modal = progress->windowModality() == Qt::WindowModal;
      button = cancel->text();
      presser.stop();
      cancel->click();
    });
    presser.start();
    dialogs.answer(QString::fromStdString(rm));
    w.OnOpen(0);
    QVERIFY2(text.startsWith("正在读取文件") && text.contains("long.rm"), qPrintable(text));
    QCOMPARE(button, QString("取消"));
    QVERIFY(modal);
    QVERIFY(!w.findChild<QProgressDialog*>());
    QVERIFY(messages_->messages.empty());
    QCOMPARE(w.path(0), QString::fromStdString(avi));
    QCOMPARE(static_cast<ColourLabel*>(w.control(1011))->text(), QString::fromStdString(avi));
    QCOMPARE(w.slot(0).mediaType(), mv::MEDIA_AVI);
    QCOMPARE((*w.slot(0).analysis.videoSeries)[mv::kHighThreshold], high);
    QCOMPARE(list(w).GetItemCount(), 30);
    QVERIFY(w.panel().chart()->series.at(1).points == points);
    QCOMPARE(axisTexts(w.panel()), axis);

    // A load that fails is not a cancel: the slot is closed and the user told.
    dialogs.answer(QString::fromStdString(bad));
    w.OnOpen(0);
    QCOMPARE(messages_->messages, std::vector<std::string>{"抱歉，文件读取失败。"});
    QVERIFY(w.path(0).isEmpty() && !w.slot(0).isLoaded());
    QCOMPARE(list(w).GetItemCount(), 0);
  }

  void notesOfTheLoadedFileShowInItsPathTip() {
    MainDialog w;
    mvtest::fillSlot(w.slot(1), {.video = flat(20, 1280)});
    w.slot(1).analysis.notes = {"cut-short", "index-rebuilt"};
    w.RefreshSlot(1);
    QCOMPARE(w.control(1014)->toolTip().split('\n').size(), 2);
    QVERIFY(w.control(1011)->toolTip().isEmpty());
    w.OnCloseSlot(1);
    QVERIFY(w.control(1014)->toolTip().isEmpty());
  }

  void filesWrittenByFfmpegOpenInBothSlots() {
    if (!mvtest::haveProgram("ffmpeg")) QSKIP("ffmpeg not installed");
    const std::string avi = dir_.file("real.avi"), rm = dir_.file("real.rm");
    int status = 0;
    // Each output has its own length: the test sources never end by themselves.
    mvtest::runCommand(
        "ffmpeg -v error -y -f lavfi -i testsrc=size=176x144:rate=25 -f lavfi -i sine "
        "-t 4 -c:v mpeg4 -c:a libmp3lame '" +
            avi + "' -t 4 -c:v rv20 -c:a ac3 '" + rm + "' 2>&1",
        &status);
    QCOMPARE(status, 0);
    MainDialog w;
    mvtest::FileDialogRecorder dialogs;
    dialogs.answer(QString::fromStdString(avi));
    dialogs.answer(QString::fromStdString(rm));
    w.OnOpen(0);
    w.OnOpen(1);
    QVERIFY(messages_->messages.empty());
    QVERIFY(w.slot(0).isLoaded() && w.slot(1).isLoaded());
    QCOMPARE(list(w).GetItemCount(), 4);
    QVERIFY(!fieldText(w, 1036).isEmpty() && !fieldText(w, 1041).isEmpty());
    QVERIFY(!w.panel().chart()->series.at(2).points.empty());
  }

  void typedFrameViewsShowEachPicturesType() {
    if (!mvtest::haveProgram("ffmpeg")) QSKIP("ffmpeg not installed");
    const std::string mpg = dir_.file("typed.mpg"), mp4 = dir_.file("typed.mp4");
    int status = 0;
    mvtest::runCommand(
        "ffmpeg -v error -y -f lavfi -i testsrc=size=176x144:rate=25 -t 3 -c:v mpeg2video -bf 2 "
        "-g 12 '" +
            mpg + "' -t 3 -c:v libx264 -bf 3 -g 25 '" + mp4 + "' 2>&1",
        &status);
    QCOMPARE(status, 0);
    MainDialog w;
    mvtest::FileDialogRecorder dialogs;
    dialogs.answer(QString::fromStdString(mpg));
    dialogs.answer(QString::fromStdString(mp4));
    w.OnOpen(0);
    w.OnOpen(1);
    CCurvePanel& panel = w.panel();
    panel.SetView(CCurvePanel::PerFrame);
    for (int slot = 0; slot < 2; ++slot) {
      // Every point's marker is its picture's type, and every type is there.
      const std::vector<mv::VideoFrame>& frames = panel.frameData(slot).frames;
      const std::vector<uint8_t>& kinds = panel.chart()->series.at(slot + 1).pointKinds;
      QCOMPARE(kinds.size(), frames.size());
      std::string letters;
      for (size_t i = 0; i < frames.size(); ++i) letters += " IPB"[kinds[i]];
      for (size_t i = 0; i < frames.size(); ++i) QCOMPARE(letters[i], frames[i].type);
      QVERIFY(letters.find_first_of('I') != letters.npos && letters.find_first_of('B') != letters.npos);
      const QString line = qobject_cast<QLabel*>(w.control(1062 + slot))->text();
      QVERIFY2(line.contains("I ") && line.contains("P ") && line.contains("B "), qPrintable(line));
    }
    // F3 walks the I pictures of either file.
    FrameList* list = panel.frameList();
    list->selectRowShown(0);
    std::vector<int> walked;
    while (list->selectIntraRow(true)) walked.push_back(list->selectedRow());
    std::vector<int> intra;
    for (int r = 1; r < list->frameModel()->rowCount(); ++r)
      for (int slot = 0; slot < 2; ++slot)
        if (size_t(r) < panel.frameData(slot).frames.size() &&
            panel.frameData(slot).frames[size_t(r)].type == 'I') {
          intra.push_back(r);
          break;
        }
    QCOMPARE(walked, intra);
    // The information text has a line per type, the same whether the window's list or a new
    // reading gives the types.
    const std::string temp = dir_.file("info.txt");
    const QByteArray known = infoTextThroughFile(temp, w.slot(0), panel.builtFrames(0));
    QCOMPARE(known, infoTextThroughFile(temp, w.slot(0)));
    for (const char* type : {"I 帧：", "P 帧：", "B 帧："})
      QVERIFY(known.contains(QByteArray::fromStdString(mv::utf8ToGbk(type))));
  }

  void exportsAskForANameAndAddTheExtension() {
    MainDialog w;
    mvtest::FileDialogRecorder dialogs;
    w.OnTextReport();
    QCOMPARE(messages_->messages, std::vector<std::string>{"抱歉，没什么好输出的。"});
    QVERIFY(dialogs.requests().empty());

    const std::string avi = dir_.file("a.avi");
    mvtest::writeFile(avi, mvtest::sampleAvi(12));
    dialogs.answer(QString::fromStdString(avi));
    w.OnOpen(1);  // only slot 2 loaded
    dialogs.answer(QString::fromStdString(dir_.file("report")));
    w.OnTextReport();
    dialogs.answer(QString::fromStdString(dir_.file("sheet.XLS")));
    w.OnSpreadsheet();
    dialogs.answer(QString::fromStdString(dir_.file("v1.0/r")));
    std::filesystem::create_directory(dir_.file("v1.0"));
    w.OnTextReport();
    QCOMPARE(shell_->opened, (std::vector<std::string>{dir_.file("report.txt"), dir_.file("sheet.XLS"),
                                                       dir_.file("v1.0/r.txt")}));
    QCOMPARE(dialogs.requests().back().title, QString("保存文件"));
    // Named after the (first loaded) file.
    QCOMPARE(dialogs.requests().back().initialName, QString("a.txt"));
    QCOMPARE(dialogs.requests()[dialogs.requests().size() - 2].initialName, QString("a.xls"));
    QVERIFY(std::filesystem::file_size(dir_.file("report.txt")) > 100);
  }

  void aLongSeriesCostsOnlyItsSeries() {
    // 220 bytes whose header declares 49.7 days: a series of 4.29 million seconds.
    const std::string rm = dir_.file("long.rm");
    mvtest::writeDaysLongFile(rm);
    MainDialog w;
    mvtest::FileDialogRecorder dialogs;
    dialogs.answer(QString::fromStdString(rm));
    w.OnOpen(0);
    QVERIFY(w.slot(0).isLoaded());
    const int seconds = int(w.slot(0).elementCount() - mv::kFirstSecond);
    QVERIFY(seconds > 4'290'000);
    // The list writes its cells when they are shown, the chart keeps one point a second.
    QVERIFY(list(w).statModel()->showsSeconds());
    QCOMPARE(list(w).GetItemCount(), seconds);
    QCOMPARE(list(w).GetItemText(seconds - 1, 0),
             QString::fromStdString(mv::rowLabel(uint32_t(seconds - 1) + mv::kFirstSecond)));
    QCOMPARE(list(w).GetItemText(seconds - 1, 1), QString("0.00"));
    QCOMPARE(list(w).GetItemText(seconds - 1, 4), QString());
    QCOMPARE(int(w.panel().chart()->series.at(1).points.size()), seconds);
    w.OnCloseSlot(0);
    QCOMPARE(list(w).GetItemCount(), 0);
  }

  void exportsNeverReplaceAnOpenMediaFile() {
    MainDialog w;
    mvtest::FileDialogRecorder dialogs;
    const std::string avi = dir_.file("open.avi");
    mvtest::writeFile(avi, mvtest::sampleAvi(6));
    const mvtest::Bytes before = mvtest::readFile(avi);
    dialogs.answer(QString::fromStdString(avi));
    w.OnOpen(0);
    std::filesystem::create_symlink(avi, dir_.file("soft.txt"));
    std::filesystem::create_hard_link(avi, dir_.file("hard.xls"));
    dialogs.answer(QString::fromStdString(dir_.file("soft.txt")));
    w.OnTextReport();
    dialogs.answer(QString::fromStdString(dir_.file("hard.xls")));
    w.OnSpreadsheet();
    std::filesystem::create_symlink(avi, dir_.file("soft.png"));
    dialogs.answer(QString::fromStdString(dir_.file("soft.png")));
    w.OnSaveChartImage();
    const std::string failed = mv::msg::kWriteFailed;
    QCOMPARE(messages_->messages, (std::vector<std::string>{failed, failed, failed}));
    QVERIFY(shell_->opened.empty());
    QVERIFY(mvtest::readFile(avi) == before);
    QVERIFY(std::filesystem::is_symlink(dir_.file("soft.txt")));
    QVERIFY(std::filesystem::is_symlink(dir_.file("soft.png")));
  }

  void optionsAreWrittenAtOnceAndReadAtStart() {
    const std::string ini = dir_.file("morvatelline.ini");
    mv::paraBlock().LoadFrom(ini);
    {
      MainDialog w;
      auto* header = static_cast<QCheckBox*>(w.control(1008));
      QVERIFY(header->isChecked());
      QTest::mouseClick(header, Qt::LeftButton, {}, QPoint(4, header->height() / 2));
      const mv::IniFile file = mv::IniFile::load(ini);
      QCOMPARE(file.intValue("ParaBlock", "PARA_OUT_HEADER", -1), 0);
      QCOMPARE(file.intValue("ParaBlock", "PARA_VIEW_POINTS", -1), 1);  // all eight are written
      QCOMPARE(file.intValue("ParaBlock", "PARA_TOP_POINTS", -1), -1);
      auto* scale = static_cast<QComboBox*>(w.control(1018));
      scale->setCurrentIndex(scale->findText("200%"));
      emit scale->activated(scale->currentIndex());
      QCOMPARE(mv::IniFile::load(ini).intValue("Window", "Zoom", -1), 200);
      QCOMPARE(w.panel().chart()->series.at(2).xStep, 20);
    }
    mv::CParaBlock fresh;  // as at the next start
    fresh.LoadFrom(ini);
    QCOMPARE(fresh.GetInt(mv::PARA_OUT_HEADER), 0);
    mv::paraBlock().LoadFrom(ini);
    MainDialog again;
    QVERIFY(!static_cast<QCheckBox*>(again.control(1008))->isChecked());
    QCOMPARE(static_cast<QComboBox*>(again.control(1018))->currentText(), QString("200%"));
  }

  void dataFilterIsBoundedAndUpdatesTheCountButtons() {
    const std::string ini = dir_.file("counts.ini");
    mv::paraBlock().LoadFrom(ini);
    CFilterDlg dlg(nullptr, 1);
    QCOMPARE(dlg.spinBox()->minimum(), 1);
    QCOMPARE(dlg.spinBox()->maximum(), 99);
    dlg.spinBox()->setValue(250);
    QCOMPARE(dlg.spinBox()->value(), 99);
    dlg.OnOK();
    QCOMPARE(mv::paraBlock().GetInt(mv::PARA_TOP_POINTS), 99);
    QCOMPARE(mv::IniFile::load(ini).intValue("ParaBlock", "PARA_TOP_POINTS", -1), 99);
    CFilterDlg low(nullptr, 0);
    low.spinBox()->setValue(0);
    QCOMPARE(low.spinBox()->value(), 1);
    low.OnCancel();
    QCOMPARE(mv::paraBlock().GetInt(mv::PARA_BOTTOM_POINTS), 5);
  }

  void countButtonsRunTheFilterAndRecomputeTheMarks() {
    MainDialog w;
    load(w, 0, {.video = {1, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 1}});
    const uint32_t before = (*w.slot(0).analysis.videoSeries)[mv::kHighThreshold];
    QTimer::singleShot(0, [] {
      auto* dlg = qobject_cast<CFilterDlg*>(QApplication::activeModalWidget());
      QVERIFY(dlg);
      QCOMPARE(dlg->mode(), 1);
      dlg->spinBox()->setValue(2);
      dlg->OnOK();
    });
    QTest::mouseClick(static_cast<QPushButton*>(w.control(1048)), Qt::LeftButton);
    QCOMPARE(static_cast<QPushButton*>(w.control(1048))->text(), QString("2"));
    QCOMPARE(mv::paraBlock().GetInt(mv::PARA_TOP_POINTS), 2);
    QVERIFY((*w.slot(0).analysis.videoSeries)[mv::kHighThreshold] > before);
    QTimer::singleShot(0, [] {
      if (auto* dlg = qobject_cast<CFilterDlg*>(QApplication::activeModalWidget())) dlg->OnCancel();
    });
    QTest::mouseClick(static_cast<QPushButton*>(w.control(1049)), Qt::LeftButton);
    QCOMPARE(static_cast<QPushButton*>(w.control(1049))->text(), QString("5"));
  }

  void enterDoesNothingAndEscapeCloses() {
    MainDialog w;
    w.show();
    QTest::keyClick(&w, Qt::Key_Return);
    QVERIFY(w.isVisible());
    QTest::keyClick(&w, Qt::Key_Escape);
    QVERIFY(!w.isVisible());
  }

  void programStartsAndShowsItsWindow() {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.start(MORV_GUI_PATH, {});
    QVERIFY(p.waitForStarted(10000));
    QVERIFY(!p.waitForFinished(1500));  // still running: the window is up
    QCOMPARE(p.state(), QProcess::Running);
    p.terminate();
    QVERIFY(p.waitForFinished(10000));
    const QByteArray err = p.readAllStandardError();
    QVERIFY2(!err.contains("ASSERT") && !err.contains("Segmentation"), err.constData());
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
