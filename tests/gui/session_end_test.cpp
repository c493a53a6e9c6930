// The end of a desktop session: SIGTERM ends the window program without waiting for anyone,
// even when a box is up, settings cannot be saved or a batch check runs. Each case runs this
// executable again as the program, so that the real signal reaches a real event loop.
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QProcess>
#include <QTimer>
#include <QtTest>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "app/main_app.h"
#include "app/main_dialog.h"
#include "app/terminate_signal.h"
#include "batch/batch_check_dialog.h"
#include "fixtures/byte_writer.h"
#include "fixtures/sample_media.h"
#include "search/batch_check.h"
#include "settings/para_block.h"
#include "widgets/link_buttons.h"

namespace fs = std::filesystem;

namespace {

// The program's part: `--as-program idle|batch FOLDER`. The settings file is a folder, so that
// no write to it succeeds, whoever runs the test.
int runSession(int argc, char** argv) {
  const std::string scenario = argv[2], folder = argv[3];
  QApplication app(argc, argv);
  fs::create_directories(folder + "/settings.ini");
  mv::paraBlock().LoadFrom(folder + "/settings.ini");
  mv::paraBlock().SetText(mv::PARA_RM_CHK_SRC, folder + "/media", 0);
  mv::paraBlock().SetText(mv::PARA_RM_CHK_TGT, folder + "/result.txt", 0);
  mvgui::installGuiSinks();
  mvgui::setDesktopOpener([](const QString& target) {
    std::printf("opened %s\n", target.toLocal8Bit().constData());
    return true;
  });
  mvgui::closeWindowsOnTerminate();

  // SIGTERM once the window is up; in a batch, while the check reads its fourth file.
  bool armed = scenario == "idle";
  QTimer poll;
  poll.setInterval(20);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (!armed || !QApplication::activeWindow()) return;
    armed = false;
    ::kill(::getpid(), SIGTERM);
  });
  poll.start();

  int checked = 0;
  mvgui::MainDialog dialog;
  if (scenario == "batch") {
    QTimer::singleShot(0, &dialog, [&] {
      mvgui::BatchCheckDialog batch(&dialog);
      QObject::connect(&batch, &mvgui::BatchCheckDialog::fileChecking, [&](const QString&, int n, int) {
        checked = n;
        if (n == 4) ::kill(::getpid(), SIGTERM);
      });
      QTimer::singleShot(0, &batch, &mvgui::BatchCheckDialog::OnStart);
      batch.exec();
    });
  }
  dialog.exec();
  std::printf("checked %d\n", checked);
  return 0;
}

}  // namespace

class SessionEndTest : public QObject {
  Q_OBJECT

 private slots:
  void sigtermEndsTheProgramWithoutABox() {
    mvtest::TempDir dir;
    // Three files the check reads one after the other, then files that are no RealMedia at
    // all, each a line in the window's list.
    fs::path folder = dir.path() / "media";
    for (int i = 1; i <= 12; ++i) {
      fs::create_directories(folder);
      mvtest::writeFile(folder / ("f" + std::to_string(i) + ".rm"),
                        i <= 3 ? mvtest::sampleRealMedia(12, {5}) : mvtest::Bytes(200, 0x41));
      folder /= "s";
    }
    for (const char* scenario : {"idle", "batch"}) {
      QProcess p;
      p.start(QCoreApplication::applicationFilePath(),
              {"--as-program", scenario, QString::fromStdString(dir.path().string())});
      const bool ended = p.waitForFinished(60000);
      if (!ended) p.kill();
      QVERIFY2(ended, scenario);
      QCOMPARE(p.exitStatus(), QProcess::NormalExit);
      QCOMPARE(p.exitCode(), 0);
      const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
      const QString err = QString::fromLocal8Bit(p.readAllStandardError());
      QVERIFY2(!out.contains("opened"), qPrintable(out));
      if (std::strcmp(scenario, "idle") == 0) {
        // The window's place, saved as it closes, cannot be: said on stderr, not in a box.
        QVERIFY2(
            err.contains("morvatelline: 设置无法保存到 " + QString::fromStdString(dir.file("settings.ini"))),
            qPrintable(err));
      } else {
        // Stopped at the file it was reading, not carried on to the last.
        QVERIFY2(out == "checked 4\n" || out == "checked 5\n", qPrintable(out));
        QVERIFY(err.contains("morvatelline: " + QString(mv::msg::kBatchStopped)));
      }
    }
  }
};

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--as-program") == 0) return runSession(argc, argv);
  QApplication app(argc, argv);
  SessionEndTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "session_end_test.moc"
