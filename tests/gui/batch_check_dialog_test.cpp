// The batch check window as a person uses it: the folder and result file it proposes and
// stores, dropped files, whole runs over RealMedia trees with their progress and outcomes,
// stopping, and everything a person can do to the window while a run pumps events.
#include "batch/batch_check_dialog.h"

#include <sys/stat.h>

#include <QDropEvent>
#include <QLabel>
#include <QLayout>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QUrl>
#include <QtTest>
#include <filesystem>
#include <map>

#include "app/main_dialog.h"
#include "batch/folder_picker.h"
#include "batch/summary_window.h"
#include "fixtures/byte_writer.h"
#include "fixtures/message_recorder.h"
#include "fixtures/sample_media.h"
#include "fixtures/unprivileged.h"
#include "gui/support/file_dialog_recorder.h"
#include "gui/support/scale_two.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/shell.h"
#include "platform/text_file.h"
#include "search/batch_check.h"
#include "settings/ini_file.h"
#include "settings/para_block.h"
#include "widgets/colour_label.h"
#include "widgets/dialog_units.h"

using mvgui::BatchCheckDialog;
namespace fs = std::filesystem;

namespace {

// What the window showed when a file was about to be checked.
struct Step {
  QString path;
  int checked = 0;
  int total = 0;
  QString pathLabel;
  QString progressLabel;
  QString startText;
  bool closeEnabled = true;
  bool browseEnabled = true;
};

QString labelText(BatchCheckDialog& d, int id) {
  if (auto* c = qobject_cast<mvgui::ColourLabel*>(d.control(id))) return c->text();
  return static_cast<QLabel*>(d.control(id))->text();
}
QPushButton* button(BatchCheckDialog& d, int id) { return static_cast<QPushButton*>(d.control(id)); }

std::string readText(const std::string& path) {
  const mvtest::Bytes b = mvtest::readFile(path);
  return std::string(b.begin(), b.end());
}

// One folder per file, so that the search reaches them in a known order.
std::vector<std::string> chainOfProblemFiles(const fs::path& root, int count) {
  std::vector<std::string> files;
  fs::path folder = root;
  for (int i = 1; i <= count; ++i) {
    fs::create_directories(folder);
    files.push_back((folder / ("p" + std::to_string(i) + ".rm")).string());
    mvtest::writeFile(files.back(), mvtest::sampleRealMedia(12, {5}));
    folder /= "s";
  }
  return files;
}

// A press of Enter that the keyboard repeats while the key is held down.
void repeatedEnter(QWidget* to) {
  QTest::simulateEvent(to, true, Qt::Key_Return, Qt::NoModifier, "\r", true);
}

}  // namespace

class BatchCheckDialogTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<mvtest::TempDir> dir_;
  std::unique_ptr<mvtest::MessageRecorder> messages_;
  std::vector<std::string> opened_;
  mv::ShellSink previousShell_;
  std::string ini_;

  std::string path(const std::string& name) const { return dir_->file(name); }
  const std::vector<std::string>& messages() const { return messages_->messages; }

  // Records every step of a run and runs `during` (when set) at each.
  void watch(BatchCheckDialog& d, std::function<void(const Step&)> during = {}) {
    auto steps = std::make_shared<std::vector<Step>>();
    connect(&d, &BatchCheckDialog::fileChecking, &d,
            [this, &d, steps, during](const QString& p, int c, int t) {
              steps->push_back({p, c, t, labelText(d, 1051), labelText(d, 1055), button(d, 1)->text(),
                                button(d, 2)->isEnabled(),
                                button(d, 1058)->isEnabled() || button(d, 1002)->isEnabled()});
              if (during) during(steps->back());
            });
    steps_ = steps;
  }
  std::shared_ptr<std::vector<Step>> steps_;

  void setFolders(const std::string& source, const std::string& result) {
    mv::paraBlock().SetText(mv::PARA_RM_CHK_SRC, source, 0);
    mv::paraBlock().SetText(mv::PARA_RM_CHK_TGT, result, 0);
  }

  void expectIdle(BatchCheckDialog& d) {
    QVERIFY(!d.running());
    QCOMPARE(button(d, 1)->text(), QString("3.开始"));
    for (int id : {1, 2, 1058, 1002}) QVERIFY(button(d, id)->isEnabled());
    QCOMPARE(labelText(d, 1051), QString());
    QCOMPARE(labelText(d, 1055), QString());
  }

 private slots:
  void init() {
    dir_ = std::make_unique<mvtest::TempDir>();
    ini_ = path("morvatelline.ini");
    mv::paraBlock().LoadFrom(ini_);
    // The program runs from a folder of its own that takes files, as a build folder does.
    std::filesystem::create_directories(path("tools"));
    mv::setExecutablePathOverride(path("tools/morvatelline"));
    messages_ = std::make_unique<mvtest::MessageRecorder>();
    opened_.clear();
    previousShell_ = mv::setShellSink([this](const std::string& p) { opened_.push_back(p); });
    steps_.reset();
  }
  void cleanup() {
    mv::setShellSink(previousShell_);
    messages_.reset();
    mv::setExecutablePathOverride(std::string());
    mv::paraBlock().LoadFrom(std::string());
    dir_.reset();
  }

  // 统计汇总 hands the folder and the choices over and closes; the table fills, sorts by number,
  // opens a double-clicked file in the main window's first slot and saves what the CLI writes.
  void summaryTableSortsOpensAndSaves() {
    const fs::path root = dir_->path() / "tree";
    fs::create_directories(root / "sub");
    mvtest::writeFile(root / "long.rm", mvtest::sampleRealMedia(30, {5}));
    mvtest::writeFile(root / "sub" / "short.rm", mvtest::sampleRealMedia(12));
    mvtest::writeFile(root / "zz.rm", mvtest::Bytes(64, 0x55));
    setFolders(root.string(), path("out.txt"));
    BatchCheckDialog d;
    d.show();
    QSignalSpy asked(&d, &BatchCheckDialog::summaryRequested);
    button(d, 1068)->click();
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked[0][0].toString(), QString::fromStdString(root.string()));
    QVERIFY(!d.isVisible());

    mvgui::MainDialog main;
    mvgui::SummaryWindow* w = main.OnFolderSummary(QString::fromStdString(root.string()), false, {});
    QSignalSpy finished(w, &mvgui::SummaryWindow::runFinished);
    QVERIFY(finished.wait(30000));
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QTableWidget* t = w->table();
    QCOMPARE(t->rowCount(), 3);
    int duration = -1;
    for (int c = 0; c < t->columnCount(); ++c)
      if (t->horizontalHeaderItem(c)->text() == "时长") duration = c;
    QVERIFY(duration >= 0);
    t->sortByColumn(duration, Qt::DescendingOrder);
    QCOMPARE(t->item(0, 0)->text(), QString("long.rm"));
    QCOMPARE(t->item(0, duration)->text(), QString("00:00:30"));
    QCOMPARE(t->item(2, 0)->text(), QString("zz.rm"));  // no number: the least
    t->sortByColumn(duration, Qt::AscendingOrder);
    QCOMPARE(t->item(1, 0)->text(), QString("sub/short.rm"));

    const QRect cell = t->visualItemRect(t->item(1, 0));
    QSignalSpy open(w, &mvgui::SummaryWindow::openRequested);
    // An item view takes a double-click on the item its press was on.
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(t->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(open.size(), 1);
    QCOMPARE(open[0][0].toString(), QString::fromStdString((root / "sub" / "short.rm").string()));
    QTRY_COMPARE(main.slot(0).analysis.path, (root / "sub" / "short.rm").string());

    std::vector<mv::SummaryRow> rows = w->rows();
    std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.path < b.path; });
    QVERIFY(w->ExportCsv(QString::fromStdString(path("table.csv"))));
    QCOMPARE(readText(path("table.csv")), mv::summaryCsv(rows, false));
    QCOMPARE(mv::summaryCsv(rows, false).substr(0, 5), std::string("path,"));
    w->close();
  }

  // Where the window has always put its controls, within a few pixels; larger, the paths, the
  // progress line and the list take the room and the buttons keep their size.
  void layoutGrowsFromTheArrangementItAlwaysHad() {
    BatchCheckDialog d;
    QCOMPARE(d.windowTitle(), QString("批量检查RM文件"));
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    const mvgui::DialogUnits du = mvgui::DialogUnits::of(d.font());
    const std::map<int, QRect> before = {{1, du.rect(242, 7, 50, 14)},    {2, du.rect(242, 24, 50, 14)},
                                         {1057, du.rect(7, 18, 207, 10)}, {1058, du.rect(217, 12, 19, 16)},
                                         {1012, du.rect(7, 42, 207, 10)}, {1002, du.rect(217, 36, 19, 16)},
                                         {1051, du.rect(7, 67, 252, 10)}, {1055, du.rect(262, 67, 30, 10)}};
    const auto near = [](const QRect& a, const QRect& b) {
      return std::abs(a.left() - b.left()) <= 3 && std::abs(a.top() - b.top()) <= 3 &&
             std::abs(a.right() - b.right()) <= 3 && std::abs(a.bottom() - b.bottom()) <= 3;
    };
    QCOMPARE(d.width(), du.x(299));
    for (const auto& [id, rect] : before)
      QVERIFY2(near(d.control(id)->geometry(), rect), qPrintable(QString::number(id)));
    auto* list = d.findChild<QPlainTextEdit*>();
    QVERIFY(list && list->isReadOnly());
    QVERIFY(list->geometry().top() > d.control(1051)->geometry().bottom());
    QVERIFY(d.control(1059)->geometry().top() > list->geometry().bottom());
    QVERIFY(d.rect().contains(d.control(1059)->geometry()));

    std::map<int, QRect> created;
    for (const auto& [id, rect] : before) created[id] = d.control(id)->geometry();
    const QRect createdList = list->geometry();
    d.resize(d.size() + QSize(200, 100));
    QTRY_COMPARE(d.control(1051)->width(), created[1051].width() + 200);
    for (int id : {1057, 1012}) QCOMPARE(d.control(id)->geometry(), created[id].adjusted(0, 0, 200, 0));
    for (int id : {1, 2, 1055, 1058, 1002})
      QCOMPARE(d.control(id)->geometry(), created[id].translated(200, 0));
    QCOMPARE(list->geometry(), createdList.adjusted(0, 0, 200, 100));
    // Smaller than created, down to what the controls need.
    QVERIFY(d.layout() != nullptr);
    QCOMPARE(d.minimumSize(), d.layout()->totalMinimumSize());
    QVERIFY(d.minimumWidth() < du.x(299));
  }

  // A 1080-pixel screen at twice the scale: the window's least height fits with room for a panel.
  void fitsAScreenAtScaleTwo() {
    if (bool passed = false; !mvtest::atScaleTwo("fitsAScreenAtScaleTwo", passed)) {
      QVERIFY(passed);
      return;
    }
    BatchCheckDialog d;
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    QCOMPARE(d.devicePixelRatio(), 2.0);
    QVERIFY(d.layout() != nullptr);
    QCOMPARE(d.minimumSize(), d.layout()->totalMinimumSize());
    QVERIFY2(d.minimumHeight() * 2 <= 1000, qPrintable(QString::number(d.minimumHeight())));
    QVERIFY(d.minimumWidth() * 2 <= 1920);
    QVERIFY(d.height() * 2 <= 1000);
  }

  void controlsAndTexts() {
    BatchCheckDialog d;
    QVERIFY(button(d, 1)->isDefault());
    QCOMPARE(button(d, 2)->text(), QString("4.关闭"));
    for (int id : {1057, 1012, 1051}) {
      auto* label = qobject_cast<mvgui::ColourLabel*>(d.control(id));
      QVERIFY(label != nullptr);
      QVERIFY(label->pathMode());
      QCOMPARE(label->backgroundColour(), d.palette().color(QPalette::Button));
    }
    QVERIFY(static_cast<QLabel*>(d.control(1055))->alignment() & Qt::AlignRight);
    QVERIFY(!button(d, 1058)->icon().isNull());
    QVERIFY(d.acceptDrops());
  }

  void opensWithTheStoredFoldersOrTheProposedResultFile() {
    {
      BatchCheckDialog d;
      QCOMPARE(d.sourceFolder(), QString());
      QCOMPARE(d.resultFile(), QString::fromStdString(path("tools/morvatelline_chk.txt")));
      QCOMPARE(labelText(d, 1012), d.resultFile());
      // Proposed, not stored.
      QCOMPARE(mv::paraBlock().GetText(mv::PARA_RM_CHK_TGT), std::string());
      QVERIFY(!fs::exists(ini_));
    }
    setFolders("/media/clips", "/home/u/check.txt");
    BatchCheckDialog d;
    QCOMPARE(labelText(d, 1057), QString("/media/clips"));
    QCOMPARE(labelText(d, 1012), QString("/home/u/check.txt"));
  }

  void browseActionsStoreTheirChoiceAtOnce() {
    setFolders("/old/folder", "");
    BatchCheckDialog d;
    std::vector<mvgui::FolderPicker::Request> asked;
    std::vector<mvgui::FolderPicker::Answer> answers = {{false, {}}, {true, "/media/新片"}};
    mvgui::FolderPicker::setTestResponder([&](const mvgui::FolderPicker::Request& r) {
      asked.push_back(r);
      if (answers.empty()) return mvgui::FolderPicker::Answer{};
      const auto a = answers.front();
      answers.erase(answers.begin());
      return a;
    });
    d.OnBrowseSource();  // cancelled
    QCOMPARE(d.sourceFolder(), QString("/old/folder"));
    d.OnBrowseSource();
    mvgui::FolderPicker::setTestResponder({});
    QCOMPARE(asked.size(), size_t(2));
    QCOMPARE(asked[0].caption, QString("选择源文件夹"));
    QCOMPARE(asked[0].prompt, QString("请选择RM文件所在文件夹:"));
    QCOMPARE(asked[0].initialFolder, QString("/old/folder"));
    QCOMPARE(asked[0].owner, &d);
    QCOMPARE(labelText(d, 1057), QString("/media/新片"));
    QCOMPARE(mv::IniFile::load(ini_).value("ParaBlock", "PARA_RM_CHK_SRC"),
             std::optional<std::string>("/media/新片"));

    mvtest::FileDialogRecorder dialogs;
    dialogs.cancel();
    dialogs.answer("/out/result");
    dialogs.answer("/out/RESULT.TXT");
    dialogs.answer("/out/result.txt.bak");
    const QString proposed = d.resultFile();
    d.OnBrowseResult();
    QCOMPARE(d.resultFile(), proposed);
    d.OnBrowseResult();
    QCOMPARE(d.resultFile(), QString("/out/result.txt"));
    QCOMPARE(labelText(d, 1012), QString("/out/result.txt"));
    QCOMPARE(mv::IniFile::load(ini_).value("ParaBlock", "PARA_RM_CHK_TGT"),
             std::optional<std::string>("/out/result.txt"));
    d.OnBrowseResult();
    QCOMPARE(d.resultFile(), QString("/out/RESULT.TXT"));
    d.OnBrowseResult();
    QCOMPARE(d.resultFile(), QString("/out/result.txt.bak.txt"));
    const auto& r = dialogs.requests().front();
    QVERIFY(!r.openMode);
    QCOMPARE(r.title, QString("结果文件"));
    QCOMPARE(r.defaultExtension, QString(".txt"));
    QCOMPARE(r.initialName, QString());
    QCOMPARE(r.filter, QString("Text File(*.txt)|*.txt|All Files(*.*)|*.*||"));
    QVERIFY(r.flags & mvgui::CSingleFileSel::OverwritePrompt);
    QVERIFY(r.flags & mvgui::CSingleFileSel::HideReadOnly);
    QCOMPARE(r.owner, &d);
    QVERIFY(messages().empty());
  }

  void droppedFilesNameTheFolderOfTheFirstRealMediaFile() {
    setFolders("/start", "");
    BatchCheckDialog d;
    d.OnDropFiles({"/m/a.avi", "/m/folder", "/m/rm", "/m/x.rmv"});
    QCOMPARE(d.sourceFolder(), QString("/start"));
    d.OnDropFiles({"/m/a.avi", "/media/clips/x.RMVB", "/other/y.rm"});
    QCOMPARE(d.sourceFolder(), QString("/media/clips"));
    QCOMPARE(labelText(d, 1057), QString("/media/clips"));
    d.OnDropFiles({"/x.Rm"});
    QCOMPARE(d.sourceFolder(), QString("/"));
    // Not stored.
    QCOMPARE(mv::paraBlock().GetText(mv::PARA_RM_CHK_SRC), std::string("/start"));

    // The names of a drop of file URLs.
    struct Target : BatchCheckDialog {
      using BatchCheckDialog::dragEnterEvent;
      using BatchCheckDialog::dropEvent;
    } target;
    QMimeData data;
    data.setUrls({QUrl("https://example.com/a.rm"), QUrl::fromLocalFile("/a/b.txt"),
                  QUrl::fromLocalFile("/网络/片.rmvb")});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    target.dragEnterEvent(&enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    target.dropEvent(&drop);
    QCOMPARE(target.sourceFolder(), QString("/网络"));
  }

  void wholeRunShowsProgressWritesFindingsAndOpensTheResult() {
    const fs::path root = dir_->path() / "clips";
    fs::create_directories(root / "sub");
    mvtest::writeFile(root / "a.rm", mvtest::sampleRealMedia(20));
    mvtest::writeFile(root / "b.rmvb", mvtest::sampleRealMedia(20, {4, 5, 6, 12}));
    mvtest::writeFile(root / "notes.avi", mvtest::sampleAvi(3));
    mvtest::writeFile(root / "sub" / "c.RM", mvtest::sampleRealMedia(15, {7}));
    mvtest::writeFile(root / "sub" / "bro\tken.rm", mvtest::Bytes(64, 0x55));
    const std::string result = path("result.txt");
    mvtest::writeFile(result, mvtest::Bytes(100, 'x'));  // an earlier run's
    setFolders(root.string(), result);

    BatchCheckDialog d;
    d.show();
    watch(d, [&](const Step&) { QVERIFY(d.running()); });
    button(d, 1)->click();

    const auto& steps = *steps_;
    QCOMPARE(steps.size(), size_t(4));
    std::set<QString> seen;
    for (size_t i = 0; i < steps.size(); ++i) {
      QCOMPARE(steps[i].checked, int(i + 1));
      QCOMPARE(steps[i].total, 4);
      QCOMPARE(steps[i].pathLabel, steps[i].path);
      QCOMPARE(steps[i].progressLabel, QString("%1/4").arg(i + 1));
      QCOMPARE(steps[i].startText, QString("停止"));
      QVERIFY(!steps[i].closeEnabled);
      QVERIFY(!steps[i].browseEnabled);
      seen.insert(steps[i].path);
    }
    const QString r = QString::fromStdString(root.string());
    QCOMPARE(seen, (std::set<QString>{r + "/a.rm", r + "/b.rmvb", r + "/sub/c.RM", r + "/sub/bro\tken.rm"}));
    // The damaged file is a line in the window, not a box, and the run goes on; no outcome
    // message when files were found.
    QVERIFY(messages().empty());
    QCOMPARE(d.findChild<QPlainTextEdit*>()->toPlainText(),
             r + "/sub/bro\\tken.rm：不是有效的 RealMedia 文件");
    // In the order of the paths, the damaged file with its cause among them.
    QCOMPARE(readText(result), root.string() + "/b.rmvb\r\n00:00:05 -- 00:00:07\r\n00:00:13\r\n\r\n" +
                                   root.string() + "/sub/bro\\tken.rm\r\n" +
                                   mv::utf8ToGbk("无法读取：不是有效的 RealMedia 文件") + "\r\n\r\n" +
                                   root.string() + "/sub/c.RM\r\n00:00:08\r\n\r\n");
    QCOMPARE(opened_, std::vector<std::string>{result});
    QCOMPARE(d.engine().problemFiles(), 2);
    expectIdle(d);
    QVERIFY(d.isVisible());
    // The next run lists its own.
    fs::remove(root / "sub" / "bro\tken.rm");
    button(d, 1)->click();
    QCOMPARE(d.findChild<QPlainTextEdit*>()->toPlainText(), QString());
  }

  void outcomesWithoutFindings_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("no RM file") << 0 << QString(mv::msg::kBatchNoRmFiles);
    QTest::newRow("missing folder") << 1 << QString(mv::msg::kBatchNoRmFiles);
    QTest::newRow("RM files without zero seconds") << 2 << QString(mv::msg::kBatchNoProblems);
  }
  void outcomesWithoutFindings() {
    QFETCH(int, kind);
    QFETCH(QString, message);
    const fs::path root = dir_->path() / "tree";
    fs::create_directories(root / "sub");
    mvtest::writeFile(root / "sub" / "a.avi", mvtest::sampleAvi(3));
    if (kind == 2) mvtest::writeFile(root / "sub" / "fine.rmvb", mvtest::sampleRealMedia(30));
    const std::string result = path("result.txt");
    mvtest::writeFile(result, mvtest::Bytes(10, 'x'));
    setFolders(kind == 1 ? (root / "missing").string() : root.string(), result);
    BatchCheckDialog d;
    button(d, 1)->click();
    QCOMPARE(messages(), std::vector<std::string>{message.toStdString()});
    QCOMPARE(fs::file_size(result), uintmax_t(0));
    QVERIFY(opened_.empty());
    expectIdle(d);
  }

  // Root reads every folder: the window runs in a child process that has given root up.
  void unreadableFoldersAreShownAfterTheRun() {
    QCOMPARE(::chmod(dir_->path().c_str(), 0777), 0);
    const fs::path root = dir_->path() / "tree";
    fs::create_directories(root / "locked");
    mvtest::writeFile(root / "fine.rm", mvtest::sampleRealMedia(30));
    mvtest::writeFile(root / "locked" / "hidden.rm", mvtest::sampleRealMedia(12, {5}));
    QCOMPARE(::chmod((root / "locked").c_str(), 0), 0);
    const std::string result = path("result.txt");
    setFolders(root.string(), result);
    const std::string expected =
        std::string("以下文件夹无法读取，其中的文件没有检查：\n") + (root / "locked").string();
    const bool passed = mvtest::inUnprivilegedChild([&] {
      BatchCheckDialog d;
      button(d, 1)->click();
      const std::vector<std::string> shown{mv::msg::kBatchNoProblems, expected};
      if (messages() == shown && d.engine().unreadableFolders().size() == 1) return true;
      for (const std::string& m : messages()) qWarning("shown: %s", m.c_str());
      return false;
    });
    ::chmod((root / "locked").c_str(), 0755);
    QVERIFY(passed);
  }

  void refusedStartsMoveTheFocusAndChangeNothing() {
    const std::string result = path("result.txt");
    {
      setFolders("", result);
      BatchCheckDialog d;
      button(d, 1)->click();
      QCOMPARE(messages(), std::vector<std::string>{mv::msg::kBatchNoSourceFolder});
      QCOMPARE(d.focusWidget(), d.control(1058));
      QVERIFY(!fs::exists(result));
    }
    messages_->messages.clear();
    {
      setFolders(dir_->path().string(), path("no/such/folder/result.txt"));
      BatchCheckDialog d;
      watch(d);
      button(d, 1)->click();
      QCOMPARE(messages(), std::vector<std::string>{mv::msg::kBatchResultCreateFailed});
      QCOMPARE(d.focusWidget(), d.control(1002));
      QVERIFY(steps_->empty());
      expectIdle(d);
    }
  }

  void stopDuringCountingChecksNothing() {
    const auto files = chainOfProblemFiles(dir_->path() / "tree", 3);
    const std::string result = path("result.txt");
    setFolders((dir_->path() / "tree").string(), result);
    BatchCheckDialog d;
    d.show();
    watch(d);
    // Reaches the window at the first pump, which the counting pass makes.
    QTimer::singleShot(0, &d, [&] {
      QVERIFY(d.running());
      QCOMPARE(d.engine().checkedFiles(), 0);
      QTest::keyClick(&d, Qt::Key_Return);  // Enter presses Stop, the default button
    });
    button(d, 1)->click();
    QVERIFY(steps_->empty());
    QCOMPARE(messages(), std::vector<std::string>{mv::msg::kBatchStopped});
    QCOMPARE(fs::file_size(result), uintmax_t(0));
    QVERIFY(opened_.empty());
    expectIdle(d);
  }

  void stopDuringCheckingKeepsTheFindingsSoFarAndOpensThem() {
    const auto files = chainOfProblemFiles(dir_->path() / "tree", 4);
    const std::string result = path("result.txt");
    setFolders((dir_->path() / "tree").string(), result);
    BatchCheckDialog d;
    d.show();
    bool stop = true;
    watch(d, [&](const Step& s) {
      if (stop && s.checked == 2) {
        // Pressed twice: both only ask the run to stop.
        button(d, 1)->click();
        button(d, 1)->click();
      }
    });
    button(d, 1)->click();
    QCOMPARE(steps_->size(), size_t(2));
    QCOMPARE(messages(), std::vector<std::string>{mv::msg::kBatchStopped});
    // The file being checked when Stop came is finished first.
    QCOMPARE(readText(result), files[0] + "\r\n00:00:06\r\n\r\n" + files[1] + "\r\n00:00:06\r\n\r\n");
    QCOMPARE(opened_, std::vector<std::string>{result});
    expectIdle(d);
    // A second run starts afresh and truncates the result.
    stop = false;
    button(d, 1)->click();
    QCOMPARE(steps_->size(), size_t(6));
    QCOMPARE(steps_->back().progressLabel, QString("4/4"));
    QCOMPARE(std::count(opened_.begin(), opened_.end(), result), 2);
    QCOMPARE(readText(result).find(files[0]), size_t(0));
    QCOMPARE(readText(result).rfind(files[0]), size_t(0));
  }

  // Enter held down repeats its press on whatever has the focus: only the first press starts
  // the run; the repeats neither stop it nor start another nor close the window afterwards.
  void heldEnterStartsOneRun() {
    chainOfProblemFiles(dir_->path() / "tree", 3);
    const std::string result = path("result.txt");
    setFolders((dir_->path() / "tree").string(), result);
    BatchCheckDialog d;
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    const auto repeatEnter = [&] {
      for (QWidget* w : {static_cast<QWidget*>(&d), d.control(1), d.control(2), d.control(1059)})
        repeatedEnter(w);
    };
    watch(d, [&](const Step&) { repeatEnter(); });
    QTest::keyClick(&d, Qt::Key_Return);
    QCOMPARE(steps_->size(), size_t(3));
    repeatEnter();
    QCOMPARE(steps_->size(), size_t(3));
    QVERIFY(d.isVisible());
    QVERIFY(messages().empty());
    QCOMPARE(opened_, std::vector<std::string>{result});
  }

  // Stopped with Enter, which is then held: the run ends once and its result is opened once.
  void aStoppedRunOpensItsResultOnce() {
    chainOfProblemFiles(dir_->path() / "tree", 4);
    const std::string result = path("result.txt");
    setFolders((dir_->path() / "tree").string(), result);
    BatchCheckDialog d;
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    watch(d, [&](const Step& s) {
      if (s.checked != 2) return;
      QTest::keyClick(&d, Qt::Key_Return);
      QTimer::singleShot(0, &d, [&] {
        for (int i = 0; i < 3; ++i) repeatedEnter(&d);
      });
    });
    QTest::keyClick(&d, Qt::Key_Return);
    for (int i = 0; i < 3; ++i) repeatedEnter(&d);
    QCOMPARE(steps_->size(), size_t(2));
    QCOMPARE(messages(), std::vector<std::string>{mv::msg::kBatchStopped});
    QCOMPARE(opened_, std::vector<std::string>{result});
    expectIdle(d);
  }

  void closeRequestsAreIgnoredWhileRunning() {
    const auto files = chainOfProblemFiles(dir_->path() / "tree", 3);
    setFolders((dir_->path() / "tree").string(), path("result.txt"));
    BatchCheckDialog d;
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    watch(d, [&](const Step& s) {
      if (s.checked != 1) return;
      QTest::mouseClick(button(d, 2), Qt::LeftButton);  // disabled
      QTest::keyClick(&d, Qt::Key_Escape);
      d.close();
      d.reject();
      QVERIFY(d.isVisible());
      // Browsing is off too, even when asked for directly.
      mvtest::FileDialogRecorder dialogs;
      d.OnBrowseResult();
      QVERIFY(dialogs.requests().empty());
    });
    button(d, 1)->click();
    QCOMPARE(steps_->size(), size_t(3));
    QVERIFY(messages().empty());
    QVERIFY(d.isVisible());
    QCOMPARE(d.result(), int(QDialog::Rejected));
    // Idle again, Close closes.
    QTest::mouseClick(button(d, 2), Qt::LeftButton);
    QVERIFY(!d.isVisible());
  }

  void dropDuringARunChangesTheFolderButNotTheRun() {
    const auto files = chainOfProblemFiles(dir_->path() / "tree", 3);
    setFolders((dir_->path() / "tree").string(), path("result.txt"));
    BatchCheckDialog d;
    watch(d, [&](const Step& s) {
      if (s.checked == 1) d.OnDropFiles({"/elsewhere/x.rm"});
    });
    button(d, 1)->click();
    QCOMPARE(steps_->size(), size_t(3));
    QCOMPARE(steps_->back().path, QString::fromStdString(files[2]));
    QCOMPARE(d.sourceFolder(), QString("/elsewhere"));
  }

  void progressMayPassTheTotal() {
    const auto files = chainOfProblemFiles(dir_->path() / "tree", 2);
    setFolders((dir_->path() / "tree").string(), path("result.txt"));
    BatchCheckDialog d;
    watch(d, [&](const Step& s) {
      // Appears after the counting pass, in a folder the checking pass has yet to reach.
      if (s.checked == 1)
        mvtest::writeFile(dir_->path() / "tree" / "s" / "late.rm", mvtest::sampleRealMedia(5));
    });
    button(d, 1)->click();
    QCOMPARE(steps_->size(), size_t(3));
    QCOMPARE(steps_->back().progressLabel, QString("3/2"));
  }

  void destroyedFromInsideTheRunEndsItQuietly() {
    const auto files = chainOfProblemFiles(dir_->path() / "tree", 4);
    const std::string result = path("result.txt");
    setFolders((dir_->path() / "tree").string(), result);
    QPointer<BatchCheckDialog> d = new BatchCheckDialog;
    d->show();
    int seen = 0;
    connect(d, &BatchCheckDialog::fileChecking, this, [&](const QString&, int checked, int) {
      seen = checked;
      if (checked == 1) QTimer::singleShot(0, [&] { delete d.data(); });
    });
    d->OnStart();
    QVERIFY(d.isNull());
    QCOMPARE(seen, 1);
    QCOMPARE(messages(), std::vector<std::string>{mv::msg::kBatchStopped});
    QCOMPARE(opened_, std::vector<std::string>{result});
  }

  void runsModallyWithExec() {
    chainOfProblemFiles(dir_->path() / "tree", 1);
    setFolders((dir_->path() / "tree").string(), path("result.txt"));
    BatchCheckDialog d;
    QTimer::singleShot(0, &d, [&] {
      button(d, 1)->click();
      button(d, 2)->click();
    });
    QTimer::singleShot(10000, &d, [&] { d.done(-1); });  // never waits for a person
    QCOMPARE(d.exec(), int(QDialog::Rejected));
    QCOMPARE(opened_.size(), size_t(1));
  }
};

QTEST_MAIN(BatchCheckDialogTest)
#include "batch_check_dialog_test.moc"
