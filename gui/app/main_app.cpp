#include "app/main_app.h"

#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QSpacerItem>
#include <QTextBrowser>
#include <QTranslator>
#include <QVBoxLayout>
#include <clocale>

#include "app/main_dialog.h"
#include "media/codec_names.h"
#include "platform/messages.h"
#include "platform/shell.h"
#include "settings/para_block.h"
#include "widgets/icons.h"
#include "widgets/link_buttons.h"

namespace mvgui {
namespace {

void showBox(QMessageBox::Icon icon, const QString& text) {
  QMessageBox box(icon, "Morvatelline", text, QMessageBox::Ok, QApplication::activeWindow());
  // Wide enough that the title bar shows the whole title.
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
    grid->addItem(new QSpacerItem(260, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), grid->rowCount(), 0, 1,
                  grid->columnCount());
  box.exec();
}

}  // namespace

void installChineseTranslation(QApplication& app) {
  // Qt's own dialogs (file chooser, message box buttons) speak the program's language when
  // the translation is installed; without it they stay in English.
  static QTranslator translator;
  if (translator.load("qtbase_zh_CN", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    app.installTranslator(&translator);
}

void showHelpWindow(const QString& path) {
  QDialog window(QApplication::activeWindow());
  window.setWindowTitle("Morvatelline 帮助");
  window.resize(760, 620);
  auto* browser = new QTextBrowser(&window);
  browser->setOpenExternalLinks(true);
  browser->setSource(QUrl::fromLocalFile(path));
  auto* layout = new QVBoxLayout(&window);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(browser);
  window.exec();
}

void installGuiSinks() {
  mv::setMessageSink([](const std::string& text) { showBox(QMessageBox::NoIcon, QString::fromStdString(text)); });
  mv::setWarningSink([](const std::string& text) { showBox(QMessageBox::Warning, QString::fromStdString(text)); });
  mv::setShellSink([](const std::string& path) {
    const QString file = QString::fromStdString(path);
    if (OpenLink(file) == linkresult::kOpened) return;
    // Without a desktop to open it, the user is at least told where the file is.
    if (QFileInfo(file).absoluteFilePath() == QFileInfo(helpFilePath()).absoluteFilePath())
      showHelpWindow(file);
    else
      mv::showMessage("文件已保存到：\n" + QFileInfo(file).absoluteFilePath().toStdString());
  });
}

int runMainApp(QApplication& app, const QStringList& files) {
  // Qt adopts the user's locale; the files we write keep the decimal point all the same.
  std::setlocale(LC_NUMERIC, "C");
  installChineseTranslation(app);
  app.setWindowIcon(applicationIcon());
  installGuiSinks();
  mv::paraBlock().Load();
  mv::buildCodecTables();
  MainDialog dialog;
  if (!files.isEmpty())
    QMetaObject::invokeMethod(&dialog, [&dialog, files] { dialog.OpenFiles(files); }, Qt::QueuedConnection);
  dialog.exec();
  return 0;
}

}  // namespace mvgui
