// The window program's start and its sinks: files beyond two named on the command line, the About
// box's name and version, written files whose opener gives up, and the help page and count texts
// of the English window.
#include "app/main_app.h"

#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include "app/about_dialog.h"
#include "fixtures/message_recorder.h"
#include "platform/paths.h"
#include "platform/shell.h"
#include "platform/version.h"
#include "widgets/link_buttons.h"

using namespace mvgui;

class MainAppTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { mv::setExecutablePathOverride(MORV_GUI_PATH); }
  void cleanupTestCase() {
    useEnglish(false);
    mv::setExecutablePathOverride(std::string());
  }

  void filesBeyondTwoAreNamedNotDropped() {
    const struct {
      QStringList given, opened;
      const char* leftOut;
    } cases[] = {
        {{"/v/a.avi"}, {"/v/a.avi"}, nullptr},
        {{"/v/a.avi", "/v/b.rm"}, {"/v/a.avi", "/v/b.rm"}, nullptr},
        {{"/v/a.avi", "/v/b.rm", "/v/c.mkv", "/v/d.ts"}, {"/v/a.avi", "/v/b.rm"}, "/v/c.mkv\n/v/d.ts"},
    };
    for (const auto& c : cases) {
      mvtest::MessageRecorder messages;
      QCOMPARE(filesToOpen(c.given), c.opened);
      QCOMPARE(messages.messages.size(), size_t(c.leftOut ? 1 : 0));
      if (c.leftOut) QVERIFY(QString::fromStdString(messages.messages[0]).endsWith(c.leftOut));
    }
  }

  void aboutNamesTheProgramAndItsVersion() {
    AboutDialog about;
    QCOMPARE(about.nameLabel()->text(), QString("Morvatelline ") + mv::kVersion);
  }

  // The desktop's opener starts but no application takes the file.
  void writtenFileIsNamedWhenTheOpenerGivesUp() {
    QTemporaryDir bin;
    QFile opener(bin.filePath("xdg-open"));
    QVERIFY(opener.open(QIODevice::WriteOnly));
    opener.write("#!/bin/sh\nexit 3\n");
    opener.close();
    opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.path().toLocal8Bit() + ":" + path);
    qunsetenv("BROWSER");
    installGuiSinks();
    mvtest::MessageRecorder messages;
    mv::openWithShell("/tmp/report 1.txt");
    QTRY_COMPARE(messages.messages.size(), size_t(1));
    QVERIFY(messages.messages[0].find("/tmp/report 1.txt") != std::string::npos);
    qputenv("PATH", path);
    mv::setShellSink({});
  }

  void englishWindowHasItsHelpPageAndPlurals() {
    QVERIFY(useEnglish(true));
    QVERIFY(helpFilePath().endsWith("/morvatelline_en.htm"));
    QCOMPARE(QCoreApplication::translate("mvgui::CCurvePanel", "关键帧 %n 个，平均GOP %1 帧", nullptr, 1)
                 .arg("2.00"),
             QString("1 key frame, average GOP 2.00 frames"));
    QCOMPARE(QCoreApplication::translate("mvgui::CCurvePanel", "关键帧 %n 个，平均GOP %1 帧", nullptr, 2)
                 .arg("2.00"),
             QString("2 key frames, average GOP 2.00 frames"));
    useEnglish(false);
    QVERIFY(helpFilePath().endsWith("/morvatelline.htm"));
    QCOMPARE(QCoreApplication::translate("mvgui::CCurvePanel", "关键帧 %n 个，平均GOP %1 帧", nullptr, 1)
                 .arg("2.00"),
             QString("关键帧 1 个，平均GOP 2.00 帧"));
  }
};

QTEST_MAIN(MainAppTest)
#include "main_app_test.moc"
