// The file dialog: filter conversion, the options handed to Qt's dialog, its size and place, and
// the test responder that answers it without a person.
#include "widgets/single_file_sel.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QScreen>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "gui/support/file_dialog_recorder.h"

using mvgui::CSingleFileSel;

namespace {

const QString kOpenFilter =
    "Supported Files|*.avi;*.rmvb;*.rm|Avi Files(*.avi)|*.avi|RM Files(*.RM)|*.rm;*.rmvb|All "
    "Files(*.*)|*.*||";

// The height of the file list and the top of the buttons, once the dialog is laid out.
struct Layout {
  int list = 0;
  int buttonsTop = 0;
  int nameTop = 0;
};
Layout layoutOf(QFileDialog& dlg) {
  Layout l;
  const auto* list = dlg.findChild<QStackedWidget*>("stackedWidget");
  const auto* buttons = dlg.findChild<QDialogButtonBox*>("buttonBox");
  const auto* name = dlg.findChild<QLineEdit*>("fileNameEdit");
  if (list == nullptr || buttons == nullptr || name == nullptr) return l;
  l.list = list->height();
  l.buttonsTop = buttons->mapTo(&dlg, QPoint(0, 0)).y();
  l.nameTop = name->mapTo(&dlg, QPoint(0, 0)).y();
  return l;
}

// Runs `act` on the modal file dialog as soon as it is shown.
void whenShown(std::function<void(QFileDialog&)> act) {
  QTimer::singleShot(0, [act] {
    auto* dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    QVERIFY(dlg != nullptr);
    act(*dlg);
  });
}

}  // namespace

class SingleFileSelTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }  // Qt's dialog keeps settings
  void filterConversion_data();
  void filterConversion();
  void openOptions();
  void saveOptions();
  void initialName();
  void fileListTwiceAsTall();
  void centredOverOwner();
  void responderAnswersAndRecords();
  void recorderQueuesAnswers();
  void realDialogRuns();
};

void SingleFileSelTest::filterConversion_data() {
  QTest::addColumn<QString>("filter");
  QTest::addColumn<QStringList>("expected");
  QTest::newRow("text report") << "Text File(*.txt)|*.txt|All Files(*.*)|*.*||"
                               << QStringList{"文本文件(*.txt) (*.txt)", "所有文件(*.*) (*)"};
  // The descriptions' English words speak the window's language (here untranslated Chinese).
  QTest::newRow("media files") << kOpenFilter
                               << QStringList{"支持的文件 (*.avi *.rmvb *.rm)", "Avi 文件(*.avi) (*.avi)",
                                              "RM 文件(*.RM) (*.rm *.rmvb)", "所有文件(*.*) (*)"};
  QTest::newRow("image") << "PNG Image(*.png)|*.png||" << QStringList{"PNG 图像(*.png) (*.png)"};
  QTest::newRow("empty") << "" << QStringList{};
  QTest::newRow("no final bars") << "A|*.a" << QStringList{"A (*.a)"};
  QTest::newRow("description without pattern") << "A|*.a|B" << QStringList{"A (*.a)"};
  QTest::newRow("empty description ends the list") << "A|*.a||B|*.b||" << QStringList{"A (*.a)"};
  QTest::newRow("empty first description") << "|*.a|B|*.b||" << QStringList{};
  QTest::newRow("blank patterns dropped") << "A|*.a; ;*.b;||" << QStringList{"A (*.a *.b)"};
  QTest::newRow("Chinese description") << "文本文件|*.txt||" << QStringList{"文本文件 (*.txt)"};
}

void SingleFileSelTest::filterConversion() {
  QFETCH(QString, filter);
  QFETCH(QStringList, expected);
  QCOMPARE(CSingleFileSel::nameFiltersOf(filter), expected);
}

void SingleFileSelTest::openOptions() {
  CSingleFileSel sel(true, QString(), QString(), CSingleFileSel::FileMustExist | CSingleFileSel::HideReadOnly,
                     kOpenFilter);
  sel.setTitle("选择文件");
  const auto dlg = sel.createDialog();
  QVERIFY(dlg->testOption(QFileDialog::DontUseNativeDialog));
  QCOMPARE(dlg->acceptMode(), QFileDialog::AcceptOpen);
  QCOMPARE(dlg->fileMode(), QFileDialog::ExistingFile);
  QCOMPARE(dlg->windowTitle(), QString("选择文件"));
  QCOMPARE(dlg->nameFilters(), CSingleFileSel::nameFiltersOf(kOpenFilter));
  QCOMPARE(dlg->defaultSuffix(), QString());

  // Open mode without the existence requirement accepts a new name.
  CSingleFileSel loose(true, QString(), QString(), 0, kOpenFilter);
  QCOMPARE(loose.createDialog()->fileMode(), QFileDialog::AnyFile);
}

void SingleFileSelTest::saveOptions() {
  CSingleFileSel ask(false, ".xls", QString(), CSingleFileSel::OverwritePrompt | CSingleFileSel::HideReadOnly,
                     "Excel File(*.xls)|*.xls|All Files(*.*)|*.*||");
  ask.setTitle("保存文件");
  const auto dlg = ask.createDialog();
  QVERIFY(dlg->testOption(QFileDialog::DontUseNativeDialog));
  QCOMPARE(dlg->acceptMode(), QFileDialog::AcceptSave);
  QCOMPARE(dlg->fileMode(), QFileDialog::AnyFile);
  QVERIFY(!dlg->testOption(QFileDialog::DontConfirmOverwrite));
  QCOMPARE(dlg->defaultSuffix(), QString("xls"));
  QCOMPARE(dlg->windowTitle(), QString("保存文件"));

  CSingleFileSel silent(false, "txt", QString(), CSingleFileSel::HideReadOnly, "Text File(*.txt)|*.txt||");
  const auto quiet = silent.createDialog();
  QVERIFY(quiet->testOption(QFileDialog::DontConfirmOverwrite));
  QCOMPARE(quiet->defaultSuffix(), QString("txt"));
}

void SingleFileSelTest::initialName() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const QString path = dir.path() + "/report.txt";
  CSingleFileSel sel(false, "txt", path, CSingleFileSel::OverwritePrompt, "Text File(*.txt)|*.txt||");
  const auto dlg = sel.createDialog();
  QCOMPARE(QDir(dlg->directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
  const auto* name = dlg->findChild<QLineEdit*>("fileNameEdit");
  QVERIFY(name != nullptr);
  QCOMPARE(name->text(), QString("report.txt"));
}

void SingleFileSelTest::fileListTwiceAsTall() {
  CSingleFileSel sel(true, QString(), QString(), CSingleFileSel::FileMustExist, kOpenFilter);
  const auto dlg = sel.createDialog();

  // The same dialog as Qt lays it out by itself.
  QFileDialog plain;
  plain.setOption(QFileDialog::DontUseNativeDialog, true);
  plain.setOption(QFileDialog::HideNameFilterDetails, true);
  plain.setFileMode(QFileDialog::ExistingFile);
  plain.setNameFilters(CSingleFileSel::nameFiltersOf(kOpenFilter));
  plain.show();
  dlg->show();
  QVERIFY(QTest::qWaitForWindowExposed(&plain));
  QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
  const Layout usual = layoutOf(plain);
  const Layout taller = layoutOf(*dlg);
  QVERIFY(usual.list > 50);
  QVERIFY2(qAbs(taller.list - 2 * usual.list) <= 1,
           qPrintable(QString("%1 vs %2").arg(taller.list).arg(usual.list)));
  QCOMPARE(dlg->width(), plain.width());
  QCOMPARE(dlg->height(), plain.height() + usual.list);
  // The name field and the buttons stay below the list, moved down by its added height.
  QCOMPARE(taller.nameTop - usual.nameTop, taller.list - usual.list);
  QCOMPARE(taller.buttonsTop - usual.buttonsTop, taller.list - usual.list);

  const QByteArray out = qgetenv("MORV_WIDGET_PNG_DIR");
  if (!out.isEmpty()) dlg->grab().save(QString::fromLocal8Bit(out) + "/file_dialog.png");
}

void SingleFileSelTest::centredOverOwner() {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  QWidget owner;
  owner.setGeometry(screen.left() + 40, screen.top() + 30, 300, 200);
  owner.show();
  QVERIFY(QTest::qWaitForWindowExposed(&owner));

  CSingleFileSel sel(true, QString(), QString(), 0, kOpenFilter, &owner);
  const auto dlg = sel.createDialog();
  dlg->show();
  QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
  const QRect placed(dlg->pos(), dlg->size());
  // Centred on the owner as far as the screen allows.
  const QPoint ownerCentre = owner.frameGeometry().center();
  const int wantX = std::clamp(ownerCentre.x() - placed.width() / 2, screen.left(),
                               std::max(screen.left(), screen.right() + 1 - placed.width()));
  const int wantY = std::clamp(ownerCentre.y() - placed.height() / 2, screen.top(),
                               std::max(screen.top(), screen.bottom() + 1 - placed.height()));
  QCOMPARE(placed.topLeft(), QPoint(wantX, wantY));
  dlg->hide();

  // In the middle of a large owner it is exactly centred.
  owner.setGeometry(screen.adjusted(-400, -400, 400, 400));
  CSingleFileSel again(true, QString(), QString(), 0, kOpenFilter, &owner);
  const auto centred = again.createDialog();
  centred->show();
  QVERIFY(QTest::qWaitForWindowExposed(centred.get()));
  if (centred->width() <= screen.width() && centred->height() <= screen.height()) {
    const QPoint c = QRect(centred->pos(), centred->size()).center();
    QVERIFY(qAbs(c.x() - screen.center().x()) <= 1);
  }
}

void SingleFileSelTest::responderAnswersAndRecords() {
  QWidget owner;
  std::vector<CSingleFileSel::Request> seen;
  CSingleFileSel::setTestResponder([&](const CSingleFileSel::Request& r) {
    seen.push_back(r);
    return CSingleFileSel::Answer{true, "/tmp/chosen.avi"};
  });
  CSingleFileSel sel(true, "avi", "start.avi", CSingleFileSel::FileMustExist | CSingleFileSel::HideReadOnly,
                     kOpenFilter, &owner);
  sel.setTitle("选择文件");
  QCOMPARE(sel.DoModal(), int(QDialog::Accepted));
  QCOMPARE(sel.GetPathName(), QString("/tmp/chosen.avi"));
  QCOMPARE(seen.size(), size_t(1));
  const CSingleFileSel::Request& r = seen[0];
  QVERIFY(r.openMode);
  QCOMPARE(r.title, QString("选择文件"));
  QCOMPARE(r.filter, kOpenFilter);
  QCOMPARE(r.defaultExtension, QString("avi"));
  QCOMPARE(r.initialName, QString("start.avi"));
  QCOMPARE(r.owner, &owner);
  // Whatever the caller asked for, the choice stays out of the recent documents.
  QCOMPARE(r.flags, unsigned(CSingleFileSel::FileMustExist | CSingleFileSel::HideReadOnly |
                             CSingleFileSel::DontAddToRecent));
  QCOMPARE(sel.flags(), r.flags);

  CSingleFileSel::setTestResponder([](const CSingleFileSel::Request&) { return CSingleFileSel::Answer{}; });
  QCOMPARE(sel.DoModal(), int(QDialog::Rejected));
  QCOMPARE(sel.GetPathName(), QString());
  CSingleFileSel::setTestResponder({});
}

void SingleFileSelTest::recorderQueuesAnswers() {
  {
    mvtest::FileDialogRecorder recorder;
    recorder.answer("/a.txt");
    recorder.cancel();
    CSingleFileSel save(false, QString(), QString(), CSingleFileSel::OverwritePrompt, "T|*.txt||");
    save.setTitle("保存文件");
    QCOMPARE(save.DoModal(), int(QDialog::Accepted));
    QCOMPARE(save.GetPathName(), QString("/a.txt"));
    QCOMPARE(save.DoModal(), int(QDialog::Rejected));
    QCOMPARE(save.DoModal(), int(QDialog::Rejected));  // answers used up
    QCOMPARE(recorder.requests().size(), size_t(3));
    QVERIFY(!recorder.requests()[0].openMode);
    QCOMPARE(recorder.requests()[0].title, QString("保存文件"));
  }
  // Gone with the recorder: the next dialog would be a real one.
  whenShown([](QFileDialog& dlg) { dlg.reject(); });
  CSingleFileSel real(true, QString(), QString(), 0, "A|*||");
  QCOMPARE(real.DoModal(), int(QDialog::Rejected));
}

void SingleFileSelTest::realDialogRuns() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const QString path = dir.path() + "/clip.avi";
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.close();

  bool native = true;
  whenShown([&](QFileDialog& dlg) {
    native = !dlg.testOption(QFileDialog::DontUseNativeDialog);
    QMetaObject::invokeMethod(&dlg, "accept");
  });
  CSingleFileSel sel(true, QString(), path, CSingleFileSel::FileMustExist, kOpenFilter);
  QCOMPARE(sel.DoModal(), int(QDialog::Accepted));
  QVERIFY(!native);
  QCOMPARE(QFileInfo(sel.GetPathName()).canonicalFilePath(), QFileInfo(path).canonicalFilePath());
}

QTEST_MAIN(SingleFileSelTest)
#include "single_file_sel_test.moc"
