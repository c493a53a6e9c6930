// The folder picker: which typed paths it accepts, the dialog it runs (path box, OK button,
// size, caption and prompt), and the responder that answers it without a person.
#include "batch/folder_picker.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "fixtures/message_recorder.h"

using mvgui::FolderPicker;
using mvgui::FolderPickerDialog;

namespace {

std::string invalidMessage(const QString& path) {
  return ("您所指定的目录\n\n" + path + "\n\n无效。请重新指定。").toStdString();
}

// Runs `act` on the modal picker as soon as it is shown. A picker still open afterwards is
// cancelled, so that a fault fails the test instead of leaving it waiting.
void whenShown(std::function<void(FolderPickerDialog&)> act) {
  QTimer::singleShot(0, [act] {
    auto* dlg = dynamic_cast<FolderPickerDialog*>(QApplication::activeModalWidget());
    QVERIFY(dlg != nullptr);
    act(*dlg);
    QTimer::singleShot(0, dlg, [dlg] { dlg->reject(); });
  });
}

}  // namespace

class FolderPickerTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QString root_;  // the temporary folder, without a trailing "/"
  QString file_;  // an existing file in it

 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);  // Qt's dialog keeps settings
    QVERIFY(dir_.isValid());
    root_ = QDir::cleanPath(dir_.path());
    QVERIFY(QDir(root_).mkpath("sub/deeper"));
    QVERIFY(QDir(root_).mkpath(".hidden"));
    QVERIFY(QDir(root_).mkpath("trailing."));
    QVERIFY(QDir(root_).mkpath("with space"));
    QVERIFY(QDir(root_).mkpath("a|b"));
    QVERIFY(QDir(root_).mkpath("a:b"));
    QVERIFY(QDir(root_).mkpath("录像"));
    file_ = root_ + "/clip.rm";
    QFile f(file_);
    QVERIFY(f.open(QIODevice::WriteOnly));
    // Relative names must not pass because they happen to exist from here.
    QVERIFY(QDir::setCurrent("/"));
  }

  void validPaths_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("root") << "/";
    QTest::newRow("tmp") << "/tmp";
    QTest::newRow("nested") << root_ + "/sub/deeper";
    QTest::newRow("hidden folder") << root_ + "/.hidden";
    QTest::newRow("name ending in a dot") << root_ + "/trailing.";
    QTest::newRow("blank inside a name") << root_ + "/with space";
    QTest::newRow("Chinese name") << root_ + "/录像";
    QTest::newRow("existing file") << file_;
  }
  void validPaths() {
    QFETCH(QString, path);
    mvtest::MessageRecorder messages;
    QCOMPARE(FolderPicker::ValidateFolderPath(path), 0);
    QVERIFY(messages.messages.empty());
  }

  void invalidPathsAreNamedInTheMessage_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("empty") << "";
    QTest::newRow("trailing slash") << "/tmp/";
    QTest::newRow("double slash at start") << "//tmp";
    QTest::newRow("double slash inside") << root_ + "//sub";
    QTest::newRow("relative, exists from the current folder") << "tmp";
    QTest::newRow("name beginning with a blank") << "/tmp/ x";
    QTest::newRow("name ending with a tab") << root_ + "/sub\t";
    QTest::newRow("dot") << ".";
    QTest::newRow("dot dot") << "..";
    QTest::newRow("dot as a name") << root_ + "/.";
    QTest::newRow("dot dot as a name") << root_ + "/sub/..";
    QTest::newRow("dot dot in the middle") << root_ + "/sub/../sub";
    QTest::newRow("missing folder") << root_ + "/missing";
    QTest::newRow("bar in an existing name") << root_ + "/a|b";
    QTest::newRow("colon in an existing name") << root_ + "/a:b";
    QTest::newRow("backslash") << root_ + "\\sub";
  }
  void invalidPathsAreNamedInTheMessage() {
    QFETCH(QString, path);
    mvtest::MessageRecorder messages;
    QCOMPARE(FolderPicker::ValidateFolderPath(path), 1);
    QCOMPARE(messages.messages.size(), size_t(1));
    QCOMPARE(messages.messages.front(), invalidMessage(path));
  }

  void dialogIsQtsDirectoryDialogWithCaptionPromptAndInitialFolder() {
    FolderPicker picker("选择源文件夹", "请选择RM文件所在文件夹:", root_ + "/sub/", nullptr);
    const auto dlg = picker.createDialog();
    QVERIFY(dlg->testOption(QFileDialog::DontUseNativeDialog));
    QCOMPARE(dlg->fileMode(), QFileDialog::Directory);
    QVERIFY(dlg->testOption(QFileDialog::ShowDirsOnly));
    QCOMPARE(dlg->windowTitle(), QString("选择源文件夹"));
    QCOMPARE(dlg->labelText(QFileDialog::LookIn), QString("请选择RM文件所在文件夹:"));
    QCOMPARE(dlg->directory().absolutePath(), root_ + "/sub");
    QVERIFY(dlg->pathBox() != nullptr && dlg->okButton() != nullptr);
    // The box holds a path that passes the check as it stands, trailing "/" or not.
    QCOMPARE(dlg->pathBox()->text(), root_ + "/sub");
    QVERIFY(dlg->okButton()->isEnabled());
  }

  void missingOrEmptyInitialFolderLeavesTheBoxEmptyAndOkOff() {
    for (const QString& initial : {QString(), root_ + "/missing"}) {
      FolderPicker picker("c", "p", initial);
      const auto dlg = picker.createDialog();
      QCOMPARE(dlg->pathBox()->text(), QString());
      QVERIFY(!dlg->okButton()->isEnabled());
    }
  }

  void okFollowsTheBoxNotWhetherTheFolderExists() {
    FolderPicker picker("c", "p", root_);
    const auto dlg = picker.createDialog();
    dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
    QLineEdit* box = dlg->pathBox();
    box->clear();
    QVERIFY(!dlg->okButton()->isEnabled());
    QTest::keyClicks(box, "x");  // Qt's own rule would keep OK off for a missing folder
    QVERIFY(dlg->okButton()->isEnabled());
    box->setText(file_);  // and for a file
    QApplication::processEvents();
    QVERIFY(dlg->okButton()->isEnabled());
    box->clear();
    QApplication::processEvents();
    QVERIFY(!dlg->okButton()->isEnabled());
    dlg->reject();
  }

  void growsHalfAsLargeAgainKeepingItsPlace() {
    QWidget owner;
    owner.setGeometry(100, 100, 800, 600);
    owner.show();
    FolderPicker picker("c", "p", root_, &owner);
    const auto dlg = picker.createDialog();
    QCOMPARE(dlg->parentWidget(), &owner);
    dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
    const QSize usual = dlg->usualSize();
    QVERIFY(usual.width() > 100 && usual.height() > 100);
    QCOMPARE(dlg->size(), QSize(usual.width() * 3 / 2, usual.height() * 3 / 2));
    // Only once: a second showing keeps the size the user sees.
    const QSize shown = dlg->size();
    dlg->hide();
    dlg->show();
    QCOMPARE(dlg->size(), shown);
    dlg->reject();
  }

  void childOwnerGivesItsWindow() {
    QWidget window;
    auto* child = new QLabel(&window);
    FolderPicker picker("c", "p", QString(), child);
    QCOMPARE(picker.createDialog()->parentWidget(), &window);
  }

  void pointingAtAFolderPutsItsFullPathIntoTheBox() {
    FolderPicker picker("c", "p", root_);
    const auto dlg = picker.createDialog();
    dlg->show();
    QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
    // The list or the detail view, whichever Qt shows.
    QAbstractItemView* view = nullptr;
    for (auto* v : dlg->findChildren<QAbstractItemView*>())
      if (v->isVisible() && (v->objectName() == "listView" || v->objectName() == "treeView")) view = v;
    QVERIFY(view != nullptr);
    // The folder model fills in the background.
    QModelIndex sub;
    QTRY_VERIFY((sub =
                     [&] {
                       for (int r = 0; r < view->model()->rowCount(view->rootIndex()); ++r) {
                         const QModelIndex i = view->model()->index(r, 0, view->rootIndex());
                         if (i.data().toString() == "sub") return i;
                       }
                       return QModelIndex();
                     }())
                    .isValid());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(sub).center());
    QCOMPARE(dlg->pathBox()->text(), root_ + "/sub");
    // Going into a folder names it too.
    emit dlg->directoryEntered(root_ + "/sub/deeper/");
    QCOMPARE(dlg->pathBox()->text(), root_ + "/sub/deeper");
    dlg->reject();
  }

  void typedInvalidPathKeepsTheDialogOpenWithTheFocusInTheBox() {
    mvtest::MessageRecorder messages;
    FolderPicker picker("c", "p", root_);
    const auto dlg = picker.createDialog();
    dlg->show();
    QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
    QLineEdit* box = dlg->pathBox();
    box->setText(root_ + "/sub/");
    dlg->okButton()->setFocus();
    QTest::mouseClick(dlg->okButton(), Qt::LeftButton);
    QCOMPARE(messages.messages, std::vector<std::string>{invalidMessage(root_ + "/sub/")});
    QVERIFY(dlg->isVisible());
    QVERIFY(box->hasFocus());
    QCOMPARE(dlg->result(), int(QDialog::Rejected));
    // Enter goes through the same check.
    box->setText("relative");
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(messages.messages.size(), size_t(2));
    QVERIFY(dlg->isVisible());
    dlg->reject();
  }

  void browseReturnsTheTypedPathOnOkAndMinusOneOtherwise() {
    mvtest::MessageRecorder messages;
    {
      FolderPicker picker("c", "p", root_);
      whenShown([this](FolderPickerDialog& dlg) {
        dlg.pathBox()->setText(file_);  // a file passes, as any existing entry does
        QTest::mouseClick(dlg.okButton(), Qt::LeftButton);
      });
      QCOMPARE(picker.Browse(), 1);
      QCOMPARE(picker.path(), file_);
    }
    {
      FolderPicker picker("c", "p", root_);
      whenShown([this](FolderPickerDialog& dlg) {
        dlg.pathBox()->setText(root_ + "/.hidden");
        QTest::keyClick(dlg.pathBox(), Qt::Key_Return);
      });
      QCOMPARE(picker.Browse(), 1);
      QCOMPARE(picker.path(), root_ + "/.hidden");
    }
    {
      FolderPicker picker("c", "p", root_);
      whenShown([](FolderPickerDialog& dlg) { QTest::keyClick(&dlg, Qt::Key_Escape); });
      QCOMPARE(picker.Browse(), -1);
      QCOMPARE(picker.path(), QString());
    }
    {
      // Rejected twice, then cancelled: the invalid paths never come back as the answer.
      FolderPicker picker("c", "p", root_);
      whenShown([this](FolderPickerDialog& dlg) {
        dlg.pathBox()->setText("/tmp/");
        QTest::mouseClick(dlg.okButton(), Qt::LeftButton);
        dlg.pathBox()->setText(root_ + "/missing");
        QTest::mouseClick(dlg.okButton(), Qt::LeftButton);
        QVERIFY(dlg.isVisible());
        dlg.reject();
      });
      QCOMPARE(picker.Browse(), -1);
      QCOMPARE(picker.path(), QString());
    }
    QCOMPARE(messages.messages.size(), size_t(2));
  }

  void responderAnswersWithoutADialog() {
    QWidget owner;
    std::vector<FolderPicker::Request> requests;
    FolderPicker::setTestResponder([&](const FolderPicker::Request& r) {
      requests.push_back(r);
      return FolderPicker::Answer{requests.size() == 1, "/media/clips"};
    });
    FolderPicker first("选择源文件夹", "请选择RM文件所在文件夹:", "/old", &owner);
    QCOMPARE(first.Browse(), 1);
    QCOMPARE(first.path(), QString("/media/clips"));
    FolderPicker second("c", "p", "/old");
    QCOMPARE(second.Browse(), -1);
    QCOMPARE(second.path(), QString());
    FolderPicker::setTestResponder({});
    QCOMPARE(requests.size(), size_t(2));
    QCOMPARE(requests[0].caption, QString("选择源文件夹"));
    QCOMPARE(requests[0].prompt, QString("请选择RM文件所在文件夹:"));
    QCOMPARE(requests[0].initialFolder, QString("/old"));
    QCOMPARE(requests[0].owner, &owner);
  }
};

QTEST_MAIN(FolderPickerTest)
#include "folder_picker_test.moc"
