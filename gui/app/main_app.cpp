#include "app/main_app.h"

#include <QApplication>
#include <clocale>
#include <QDesktopServices>
#include <QLibraryInfo>
#include <QTranslator>
#include <QMessageBox>
#include <QUrl>

#include "media/codec_names.h"
#include "app/main_dialog.h"
#include "platform/messages.h"
#include "platform/shell.h"
#include "settings/para_block.h"
#include "widgets/icons.h"

namespace mvgui {

void installChineseTranslation(QApplication& app) {
  // Qt's own dialogs (file chooser, message box buttons) speak the program's language when
  // the translation is installed; without it they stay in English.
  static QTranslator translator;
  if (translator.load("qtbase_zh_CN", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    app.installTranslator(&translator);
}

void installGuiSinks() {
  auto box = [](QMessageBox::Icon icon) {
    return [icon](const std::string& text) {
      QMessageBox b(icon, "Morvatelline", QString::fromStdString(text), QMessageBox::Ok, QApplication::activeWindow());
      b.exec();
    };
  };
  mv::setMessageSink(box(QMessageBox::NoIcon));
  mv::setWarningSink(box(QMessageBox::Warning));
  mv::setShellSink([](const std::string& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
  });
}

int runMainApp(QApplication& app) {
  // Qt adopts the user's locale; the files we write keep the decimal point all the same.
  std::setlocale(LC_NUMERIC, "C");
  installChineseTranslation(app);
  app.setWindowIcon(applicationIcon());
  installGuiSinks();
  mv::paraBlock().Load();
  mv::buildCodecTables();
  MainDialog dialog;
  dialog.exec();
  return 0;
}

}  // namespace mvgui
