#include "gui/support/gallery_batch.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <filesystem>

#include "batch/batch_check_dialog.h"
#include "batch/folder_picker.h"
#include "batch/summary_window.h"
#include "fixtures/byte_writer.h"
#include "fixtures/message_recorder.h"
#include "fixtures/sample_media.h"
#include "platform/shell.h"
#include "settings/para_block.h"

namespace {

void settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

void savePixmap(const QPixmap& pixmap, const QString& folder, const char* name) {
  const QString path = folder + "/" + name + ".png";
  const bool ok = pixmap.save(path);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
}

// Settings as the window finds them, put back afterwards; nothing reaches the .ini file.
class FolderSettings {
 public:
  FolderSettings(const std::string& source, const std::string& result)
      : source_(mv::paraBlock().GetText(mv::PARA_RM_CHK_SRC)),
        result_(mv::paraBlock().GetText(mv::PARA_RM_CHK_TGT)) {
    mv::paraBlock().SetText(mv::PARA_RM_CHK_SRC, source, 0);
    mv::paraBlock().SetText(mv::PARA_RM_CHK_TGT, result, 0);
  }
  ~FolderSettings() {
    mv::paraBlock().SetText(mv::PARA_RM_CHK_SRC, source_, 0);
    mv::paraBlock().SetText(mv::PARA_RM_CHK_TGT, result_, 0);
  }

 private:
  std::string source_, result_;
};

}  // namespace

void writeBatchGallery(const QString& folder) {
  namespace fs = std::filesystem;
  QDir().mkpath(folder);
  mvtest::TempDir media;
  const fs::path root = media.path() / "视频素材";
  const fs::path deep = root / "2006年新闻节目" / "五月" / "第一周";
  fs::create_directories(deep);
  fs::create_directories(root / "2005年春节晚会");
  fs::create_directories(root / "电视剧");
  mvtest::writeFile(root / "晚会.rm", mvtest::sampleRealMedia(8));
  mvtest::writeFile(root / "2006年新闻节目" / "news_2006-05-01.rmvb", mvtest::sampleRealMedia(8, {3}));
  mvtest::writeFile(deep / "新闻联播_2006-05-03_完整版_高清.rmvb", mvtest::sampleRealMedia(8));
  mvtest::writeFile(root / "2005年春节晚会" / "下载中断.rm", mvtest::Bytes(64, 0x55));
  const std::string result = (media.path() / "morvatelline_chk.txt").string();

  mvtest::MessageRecorder messages;  // a box would wait for a person
  const mv::ShellSink previousShell = mv::setShellSink([](const std::string&) {});
  {
    FolderSettings settings(root.string(), result);
    mvgui::BatchCheckDialog idle;
    idle.show();
    settle();
    savePixmap(idle.grab(), folder, "batch-check-idle");
    idle.resize(idle.size() + QSize(240, 120));
    settle();
    savePixmap(idle.grab(), folder, "batch-check-larger");

    mvgui::BatchCheckDialog running;
    running.show();
    settle();
    // Taken at the pump after the last file, the damaged one, so that its line is in the list.
    QObject::connect(&running, &mvgui::BatchCheckDialog::fileChecking, &running,
                     [&](const QString&, int checked, int total) {
                       if (checked == total)
                         QTimer::singleShot(
                             0, &running, [&] { savePixmap(running.grab(), folder, "batch-check-running"); });
                     });
    running.OnStart();
  }
  mv::setShellSink(previousShell);

  {
    mvgui::FolderPicker picker("选择源文件夹",
                               "请选择RM文件所在文件夹:", QString::fromStdString(root.string()));
    const auto dlg = picker.createDialog();
    dlg->show();
    // The folder list fills in the background.
    const QDeadlineTimer deadline(3000);
    while (!deadline.hasExpired()) {
      settle();
      bool filled = false;
      for (auto* view : dlg->findChildren<QAbstractItemView*>())
        if (view->isVisible() && view->model() && view->model()->rowCount(view->rootIndex()) > 0)
          filled = true;
      if (filled) break;
    }
    settle();
    savePixmap(dlg->grab(), folder, "folder-picker");
    dlg->reject();
  }
  {
    mvtest::writeFile(root / "电视剧" / "第01集.avi", mvtest::sampleAvi(40));
    mvtest::writeFile(root / "电视剧" / "第02集.avi", mvtest::sampleAvi(42));
    mvgui::SummaryWindow summary(QString::fromStdString(root.string()), true,
                                 {.buffer = mv::BufferPreset::Dvd});
    summary.show();
    QEventLoop wait;
    QObject::connect(&summary, &mvgui::SummaryWindow::runFinished, &wait, &QEventLoop::quit);
    QTimer::singleShot(20000, &wait, &QEventLoop::quit);
    summary.start();
    wait.exec();
    settle();
    savePixmap(summary.grab(), folder, "batch-summary");
  }
  for (const std::string& m : messages.messages) std::printf("FAILED: unexpected message %s\n", m.c_str());
}
