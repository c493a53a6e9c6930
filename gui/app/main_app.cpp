#include "app/main_app.h"

#include <QApplication>
#include <QCoreApplication>
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
#include <cstdio>
#include <string_view>

#include "app/main_dialog.h"
#include "media/codec_names.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/shell.h"
#include "search/batch_check.h"
#include "settings/para_block.h"
#include "widgets/icons.h"
#include "widgets/link_buttons.h"

namespace mvgui {
namespace {

// The core's texts, looked up under "mv::msg" when shown. lupdate sees only literals, so they are
// written out again; the compiler holds each to the core's bytes.
struct CoreText {
  const char* core;
  const char* source;
};
constexpr CoreText kCoreTexts[] = {
    {mv::msg::kReadFailed, QT_TRANSLATE_NOOP("mv::msg", "抱歉，文件读取失败。")},
    {mv::msg::kInvalidFile, QT_TRANSLATE_NOOP("mv::msg", "抱歉，请选择一个有效的文件。")},
    {mv::msg::kOutOfMemory, QT_TRANSLATE_NOOP("mv::msg", "内存不足，无法继续执行。")},
    {mv::msg::kSheetTruncated, QT_TRANSLATE_NOOP("mv::msg", "表格只能容纳前 65536 秒的数据。")},
    {mv::msg::kWriteFailed,
     QT_TRANSLATE_NOOP("mv::msg", "抱歉，文件写入失败。请检查是否有其它程序正在使用该文件。")},
    {mv::msg::kBatchNoSourceFolder, QT_TRANSLATE_NOOP("mv::msg", "请先选择RM文件所在文件夹。")},
    {mv::msg::kBatchNoResultFile, QT_TRANSLATE_NOOP("mv::msg", "请先指定结果文件。")},
    {mv::msg::kBatchResultCreateFailed, QT_TRANSLATE_NOOP("mv::msg", "结果文件创建失败，请重新选择。")},
    {mv::msg::kBatchStopped, QT_TRANSLATE_NOOP("mv::msg", "用户终止查找过程。。")},
    {mv::msg::kBatchNoRmFiles, QT_TRANSLATE_NOOP("mv::msg", "抱歉，在您选择的目录里没有任何RM文件。")},
    {mv::msg::kBatchNoProblems, QT_TRANSLATE_NOOP("mv::msg", "恭喜，没有找到有零码率的RM文件。")},
    {mv::msg::kBatchNoMediaFiles,
     QT_TRANSLATE_NOOP("mv::msg", "抱歉，在您选择的目录里没有任何可检查的媒体文件。")},
    {mv::msg::kBatchNoProblemsAnyFormat, QT_TRANSLATE_NOOP("mv::msg", "恭喜，没有找到有零码率的文件。")},
};
consteval bool coreTextsMatch() {
  for (const CoreText& t : kCoreTexts)
    if (std::string_view(t.core) != std::string_view(t.source)) return false;
  return true;
}
static_assert(coreTextsMatch(), "a core text changed: change it here and in the translations too");

// The readers' notes (mv::noteDescription), which the path labels' tips show.
[[maybe_unused]] constexpr const char* kNoteTexts[] = {
    QT_TRANSLATE_NOOP("mv::msg", "文件不完整"),
    QT_TRANSLATE_NOOP("mv::msg", "索引已由数据重建"),
    QT_TRANSLATE_NOOP("mv::msg", "已略去中途不全的单元"),
    QT_TRANSLATE_NOOP("mv::msg", "含中途不全的单元，已按所存字节计入"),
    QT_TRANSLATE_NOOP("mv::msg", "文件内容与扩展名不符，已按内容读取"),
    QT_TRANSLATE_NOOP("mv::msg", "时间戳不连续，已按连续播放接续")};

// The core's texts with a path in them are told by what stands around the path.
[[maybe_unused]] constexpr const char* kSettingsNotSaved =
    QT_TRANSLATE_NOOP("mv::msg", "设置无法保存到 %1，更改只在本次运行中有效。");
static_assert(std::string_view(kSettingsNotSaved) == mv::msg::kSettingsNotSaved);

QString coreText(const std::string& text) {
  const std::string_view pattern = mv::msg::kSettingsNotSaved;
  const size_t at = pattern.find("%1");
  const std::string_view head = pattern.substr(0, at), tail = pattern.substr(at + 2);
  if (text.size() > head.size() + tail.size() && text.starts_with(head) && text.ends_with(tail))
    return QCoreApplication::translate("mv::msg", mv::msg::kSettingsNotSaved)
        .arg(QString::fromStdString(text.substr(head.size(), text.size() - head.size() - tail.size())));
  return QCoreApplication::translate("mv::msg", text.c_str());
}

// The installed translations; Qt's Chinese steps aside while English is on.
struct Translations {
  QTranslator qtChinese, english;
  bool qtChineseWanted = false, englishOn = false;
};

Translations& translations() {
  static Translations t;
  return t;
}

bool englishLoaded() {
  QTranslator& translator = translations().english;
  if (!translator.isEmpty()) return true;
  const QString exe = QString::fromStdString(mv::executablePath());
  if (exe.isEmpty()) return false;
  const QString folder = QFileInfo(exe).absolutePath();
  for (const QString& place : {folder + "/translations", folder + "/../share/morvatelline/translations"}) {
    // A full name: QTranslator would otherwise go on to try shortened names.
    const QString file = place + "/morvatelline_en.qm";
    if (QFileInfo(file).isFile() && translator.load(file)) return true;
  }
  return false;
}

void showBox(QMessageBox::Icon icon, const QString& text) {
  QMessageBox box(icon, "Morvatelline", text, QMessageBox::Ok, QApplication::activeWindow());
  // Wide enough that the title bar shows the whole title.
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
    grid->addItem(new QSpacerItem(260, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), grid->rowCount(), 0,
                  1, grid->columnCount());
  box.exec();
}

}  // namespace

void installChineseTranslation(QApplication& app) {
  // Qt's own dialogs (file chooser, message box buttons) speak the program's language when
  // the translation is installed; without it they stay in English.
  Translations& t = translations();
  if (t.qtChineseWanted) return;
  if (t.qtChinese.isEmpty() &&
      !t.qtChinese.load("qtbase_zh_CN", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    return;
  t.qtChineseWanted = true;
  if (!t.englishOn) app.installTranslator(&t.qtChinese);
}

bool localeAsksForEnglish() {
  for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
    // LANGUAGE lists languages by preference, separated by colons.
    const QString value = qEnvironmentVariable(name).section(':', 0, 0, QString::SectionSkipEmpty);
    if (!value.isEmpty()) return value.startsWith("en");
  }
  return false;
}

bool englishInUse() { return translations().englishOn; }

bool useEnglish(bool on) {
  Translations& t = translations();
  if (on == t.englishOn) return on;
  if (on && !englishLoaded()) return false;
  t.englishOn = on;
  setEnglishHelp(on);
  if (on) {
    QCoreApplication::removeTranslator(&t.qtChinese);
    QCoreApplication::installTranslator(&t.english);
  } else {
    QCoreApplication::removeTranslator(&t.english);
    if (t.qtChineseWanted) QCoreApplication::installTranslator(&t.qtChinese);
  }
  return on;
}

bool installTranslations(QApplication& app) {
  if (localeAsksForEnglish() && useEnglish(true)) return true;
  useEnglish(false);
  installChineseTranslation(app);
  return false;
}

void showHelpWindow(const QString& path) {
  QDialog window(QApplication::activeWindow());
  window.setWindowTitle(QCoreApplication::translate("mvgui::MainApp", "Morvatelline 帮助"));
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
  mv::setMessageSink([](const std::string& text) { showBox(QMessageBox::NoIcon, coreText(text)); });
  mv::setWarningSink([](const std::string& text) { showBox(QMessageBox::Warning, coreText(text)); });
  mv::setShellSink([](const std::string& path) {
    const QString file = QFileInfo(QString::fromStdString(path)).absoluteFilePath();
    // Every export comes here: when the desktop cannot open the file, the user is at least told
    // where it is.
    OpenWrittenFile(file, [file] {
      if (file == QFileInfo(helpFilePath()).absoluteFilePath())
        showHelpWindow(file);
      else
        mv::showMessage(QCoreApplication::translate("mvgui::MainApp", "文件已保存到：\n").toStdString() +
                        file.toStdString());
    });
  });
}

void installSessionEndSinks() {
  const auto toStderr = [](const std::string& text) {
    std::fprintf(stderr, "morvatelline: %s\n", coreText(text).toLocal8Bit().constData());
    std::fflush(stderr);
  };
  mv::setMessageSink(toStderr);
  mv::setWarningSink(toStderr);
  mv::setShellSink([](const std::string&) {});
}

QStringList filesToOpen(const QStringList& files) {
  if (files.size() <= 2) return files;
  const QString text =
      QCoreApplication::translate("mvgui::MainApp", "只能同时显示两个文件，以下文件未打开：\n%1")
          .arg(files.mid(2).join('\n'));
  std::fprintf(stderr, "morvatelline: %s\n", text.toLocal8Bit().constData());
  std::fflush(stderr);
  mv::showMessage(text.toStdString());
  return files.mid(0, 2);
}

int runMainApp(QApplication& app, const QStringList& commandLineFiles) {
  // Qt adopts the user's locale; the files we write keep the decimal point all the same.
  std::setlocale(LC_NUMERIC, "C");
  installTranslations(app);
  app.setWindowIcon(applicationIcon());
  installGuiSinks();
  mv::paraBlock().Load();
  mv::buildCodecTables();
  MainDialog dialog;
  // Told once the window is up, so the message has a window to stand over.
  if (!commandLineFiles.isEmpty())
    QMetaObject::invokeMethod(
        &dialog, [&dialog, commandLineFiles] { dialog.OpenFiles(filesToOpen(commandLineFiles)); },
        Qt::QueuedConnection);
  dialog.exec();
  return 0;
}

}  // namespace mvgui
