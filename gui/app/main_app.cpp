#include "app/main_app.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

#include "analysis/codec_names.h"
#include "app/main_dialog.h"
#include "platform/messages.h"
#include "platform/shell.h"
#include "settings/para_block.h"
#include "widgets/icons.h"

namespace mvgui {

void installGuiSinks() {
  mv::setMessageSink([](const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, "Morvatelline", QString::fromStdString(text), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
  });
  mv::setShellSink([](const std::string& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
  });
}

int runMainApp(QApplication& app) {
  app.setWindowIcon(applicationIcon());
  installGuiSinks();
  mv::paraBlock().Load();
  mv::buildCodecTables();
  MainDialog dialog;
  dialog.exec();
  return 0;
}

}  // namespace mvgui
