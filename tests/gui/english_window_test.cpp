// The windows in English when the locale asks for it, and in today's Chinese otherwise: every
// text of a control, item, tip, menu and box comes from the translation, none is left Chinese.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include "app/about_dialog.h"
#include "app/chart_image.h"
#include "app/file_info_dlg.h"
#include "app/filter_dlg.h"
#include "app/main_app.h"
#include "app/main_dialog.h"
#include "app/open_progress.h"
#include "batch/batch_check_dialog.h"
#include "batch/folder_picker.h"
#include "chart/curve_chart.h"
#include "fixtures/message_recorder.h"
#include "gui/support/file_dialog_recorder.h"
#include "gui/support/modal_closer.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "settings/para_block.h"
#include "widgets/colour_label.h"
#include "widgets/stat_list_ctrl.h"

using namespace mvgui;

namespace {

bool isCjk(QChar c) {
  const char16_t u = c.unicode();
  return (u >= 0x4E00 && u <= 0x9FFF) || (u >= 0x3000 && u <= 0x303F) || (u >= 0xFF00 && u <= 0xFFEF);
}

// The texts that are left Chinese.
QStringList chinese(const QStringList& texts) {
  QStringList found;
  for (const QString& t : texts)
    if (std::any_of(t.begin(), t.end(), isCjk)) found << t;
  return found;
}

// Every text a window shows of its own: title, tips, labels, buttons, groups, items, headers,
// actions.
QStringList textsOf(QWidget& window) {
  QStringList t{window.windowTitle(), window.toolTip()};
  for (QAction* a : window.actions()) t << a->text();
  for (QWidget* w : window.findChildren<QWidget*>()) {
    t << w->toolTip() << w->windowTitle();
    for (QAction* a : w->actions()) t << a->text();
    if (auto* l = qobject_cast<QLabel*>(w)) t << l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) t << b->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) t << g->title();
    if (auto* c = qobject_cast<ColourLabel*>(w)) t << c->text();
    if (auto* c = qobject_cast<QComboBox*>(w))
      for (int i = 0; i < c->count(); ++i) t << c->itemText(i);
    if (auto* v = qobject_cast<QTableView*>(w); v && v->model())
      for (int i = 0; i < v->model()->columnCount(); ++i)
        t << v->model()->headerData(i, Qt::Horizontal).toString();
  }
  t.removeAll(QString());
  return t;
}

// The texts of the chart's context menu, which exists only while it is open.
QStringList chartMenuTexts(MainDialog& w) {
  QStringList texts;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) return;
    for (QAction* a : menu->actions()) texts << a->text();
    menu->close();
  });
  poll.start(10);
  emit w.panel().chart()->customContextMenuRequested(QPoint(10, 10));
  texts.removeAll(QString());
  return texts;
}

// The text of the box a core message comes up in through the window's sinks.
QString shownBox(const std::string& message) {
  QString text;
  mvtest::ModalCloser closer([&](QWidget* w) {
    if (auto* box = qobject_cast<QMessageBox*>(w)) text = box->text();
  });
  mv::showMessage(message);
  return text;
}

#define NO_CHINESE(...) QVERIFY2(chinese(__VA_ARGS__).isEmpty(), qPrintable(chinese(__VA_ARGS__).join(" | ")))

void useLocale(const char* lang) {
  for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) qunsetenv(name);
  qputenv("LANG", lang);
}

}  // namespace

class EnglishWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    // The translation is found beside the window's executable, as the program finds it.
    mv::setExecutablePathOverride(MORV_GUI_PATH);
    mv::paraBlock().LoadFrom(std::string());
  }
  void cleanupTestCase() { mv::setExecutablePathOverride(std::string()); }

  void localeChoosesTheLanguage() {
    useLocale("en_US.UTF-8");
    QVERIFY(localeAsksForEnglish());
    qputenv("LC_MESSAGES", "zh_CN.UTF-8");
    QVERIFY(!localeAsksForEnglish());
    qputenv("LANGUAGE", "en_GB:zh_CN");
    QVERIFY(localeAsksForEnglish());
    qputenv("LANGUAGE", "zh_CN:en");
    QVERIFY(!localeAsksForEnglish());
    useLocale("");
    QVERIFY(!localeAsksForEnglish());
  }

  void windowsSpeakEnglish() {
    useLocale("en_US.UTF-8");
    QVERIFY(installTranslations(*qApp));
    MainDialog w;
    w.show();
    QStringList texts = textsOf(w);
    QVERIFY(texts.contains("1. Choose the files to analyse (two can be compared)"));
    NO_CHINESE(texts);
    // Every text has the room it asks for: none is cut at the created size.
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    QStringList cut;
    for (QWidget* c : w.findChildren<QWidget*>()) {
      const bool texty = qobject_cast<QComboBox*>(c) || qobject_cast<QAbstractButton*>(c) ||
                         (qobject_cast<QLabel*>(c) && !static_cast<QLabel*>(c)->text().isEmpty());
      // Push buttons ask for a wide minimum; their text is what has to fit.
      const auto* button = qobject_cast<QPushButton*>(c);
      const int needs =
          button ? button->fontMetrics().horizontalAdvance(button->text()) + 6 : c->sizeHint().width();
      if (texty && c->isVisible() && c->width() < needs)
        cut << c->objectName() + c->metaObject()->className() + QString(" %1<%2").arg(c->width()).arg(needs);
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(", ")));
    const QStringList menu = chartMenuTexts(w);
    QCOMPARE(menu.size(), 3);
    NO_CHINESE(menu);
    NO_CHINESE({itemName(0), itemName(1), itemName(2)});

    QByteArray info("text");
    CFileInfoDlg infoWindow(&w, info);
    CFilterDlg highest(&w, 1), lowest(&w, 0);
    AboutDialog about(&w);
    BatchCheckDialog batch(&w);
    for (QWidget* d : std::initializer_list<QWidget*>{&infoWindow, &highest, &lowest, &about, &batch}) {
      texts = textsOf(*d);
      QVERIFY(!texts.isEmpty());
      NO_CHINESE(texts);
    }

    OpenProgress progress(&w, "/tmp/a.avi", std::chrono::milliseconds(0));
    progress.Continue(1, 2);
    QVERIFY(progress.dialog());
    NO_CHINESE(textsOf(*progress.dialog()));

    // The titles and prompts handed to the file and folder choosers, and the window's own messages.
    mvtest::FileDialogRecorder dialogs;
    FolderPicker::Request asked;
    FolderPicker::setTestResponder([&](const FolderPicker::Request& r) {
      asked = r;
      return FolderPicker::Answer{};
    });
    mvtest::MessageRecorder messages;
    w.OnOpen(0);
    w.OnTextReport();
    batch.OnBrowseSource();
    batch.OnBrowseResult();
    FolderPicker::ValidateFolderPath("relative");
    FolderPicker::setTestResponder({});
    QStringList asks{asked.caption, asked.prompt};
    for (const auto& r : dialogs.requests()) asks << r.title << CSingleFileSel::nameFiltersOf(r.filter);
    QVERIFY(asks.size() > 4);
    NO_CHINESE(asks);
    QCOMPARE(messages.messages.size(), size_t(2));
    for (const std::string& m : messages.messages) NO_CHINESE({QString::fromStdString(m)});
  }

  void coreMessagesSpeakEnglish() {
    useLocale("en_US.UTF-8");
    QVERIFY(installTranslations(*qApp));
    installGuiSinks();
    for (const char* m : {mv::msg::kReadFailed, mv::msg::kWriteFailed, mv::msg::kSheetTruncated}) {
      const QString shown = shownBox(m);
      QVERIFY(!shown.isEmpty());
      NO_CHINESE({shown});
    }
    QCOMPARE(shownBox(mv::fillText(mv::msg::kSettingsNotSaved, "/home/用户/m.ini")),
             QString("The settings cannot be saved to /home/用户/m.ini; changes last for this run only."));
    QCOMPARE(
        shownBox(mv::msg::kWriteFailed),
        QString("Sorry, the file could not be written. Please check whether another program is using it."));
    mv::setMessageSink({});
    mv::setWarningSink({});
  }

  void chineseLocaleKeepsTodaysTexts() {
    useLocale("zh_CN.UTF-8");
    QVERIFY(!installTranslations(*qApp));
    MainDialog w;
    const QStringList texts = textsOf(w);
    QVERIFY(texts.contains("1、选择需要分析的文件（可以同时分析两个）"));
    QVERIFY(texts.contains("输出到Excel文件"));
    QCOMPARE(static_cast<QComboBox*>(w.control(1018))->itemText(0), QString("全部"));
    QCOMPARE(w.control(1001)->toolTip(), QString("打开文件"));
    QCOMPARE(w.panel().list()->model()->headerData(3, Qt::Horizontal).toString(),
             QString(" 总码率"));  // titles keep the blank after ";"
    QCOMPARE(itemName(0), QString("视频码率"));

    installGuiSinks();
    QCOMPARE(shownBox(mv::msg::kWriteFailed), QString::fromUtf8(mv::msg::kWriteFailed));
    mv::setMessageSink({});
    mv::setWarningSink({});
  }
};

QTEST_MAIN(EnglishWindowTest)
#include "english_window_test.moc"
