// The icon buttons of the main window, the text links and OpenLink with its browser fallback,
// the help page, and the About box.
#include "widgets/link_buttons.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/about_dialog.h"
#include "app/main_dialog.h"
#include "batch/batch_check_dialog.h"
#include "fixtures/byte_writer.h"
#include "fixtures/message_recorder.h"
#include "gui/support/modal_closer.h"
#include "platform/paths.h"
#include "platform/shell.h"
#include "settings/para_block.h"
#include "widgets/dialog_units.h"
#include "widgets/icons.h"

using namespace mvgui;
namespace fs = std::filesystem;

namespace {

constexpr const char* kNoHelpFile = "抱歉，找不到帮助文件。请下载完整版本。";

void writeText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

QString readText(const std::string& path) {
  QFile f(QString::fromStdString(path));
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

}  // namespace

class LinkButtonsTest : public QObject {
  Q_OBJECT

 private:
  mvtest::TempDir dir_;
  std::unique_ptr<mvtest::MessageRecorder> messages_;
  std::vector<std::string> opened_;  // files handed to the desktop
  QStringList links_;                // links handed to the desktop
  bool desktopOpens_ = true;
  mv::ShellSink previousShell_;
  QByteArray previousBrowser_;

  // A browser that writes each argument it gets on a line of `record`.
  std::string makeBrowser(const std::string& record) {
    const std::string path = dir_.file("browser.sh");
    writeText(path, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + record + "'\n");
    fs::permissions(path, fs::perms::owner_all);
    return path;
  }

 private slots:
  void init() {
    mv::paraBlock().LoadFrom(std::string());
    messages_ = std::make_unique<mvtest::MessageRecorder>();
    opened_.clear();
    links_.clear();
    desktopOpens_ = true;
    previousShell_ = mv::setShellSink([this](const std::string& p) { opened_.push_back(p); });
    setDesktopOpener([this](const QString& target) {
      links_ << target;
      return desktopOpens_;
    });
    previousBrowser_ = qgetenv("BROWSER");
    qunsetenv("BROWSER");
  }
  void cleanup() {
    if (previousBrowser_.isNull())
      qunsetenv("BROWSER");
    else
      qputenv("BROWSER", previousBrowser_);
    setDesktopOpener({});
    mv::setShellSink(previousShell_);
    messages_.reset();
    mv::setExecutablePathOverride(std::string());
  }

  void openLinkAsksTheDesktopFirst() {
    qputenv("BROWSER", "/bin/false");
    QCOMPARE(OpenLink("https://example.org/a b"), linkresult::kOpened);
    QCOMPARE(links_, QStringList{"https://example.org/a b"});
  }

  void browserCommandIsCutAtItsPlaceholder() {
    const QString target = "http://example.org/";
    QCOMPARE(browserCommandPrefix("C:\\B\\browser.exe \"%1\"") + " " + target,
             "C:\\B\\browser.exe  " + target);  // the blank before the quote, then one more
    QCOMPARE(browserCommandPrefix("firefox %1 --new-window"), QString("firefox "));
    QCOMPARE(browserCommandPrefix("b %1 \"%1\""), QString("b %1 "));  // the quoted form wins
    QCOMPARE(browserCommandPrefix("/usr/bin/links -g"), QString("/usr/bin/links -g"));
  }

  void fallbackStartsTheBrowserWithTheTargetAsOneArgument() {
    desktopOpens_ = false;
    const std::string record = dir_.file("args.txt");
    // Everything after the placeholder is dropped, as the registered command lines had it.
    qputenv("BROWSER", QByteArray::fromStdString("\"" + makeBrowser(record) + "\" --new \"%1\" --ignored"));
    const QString target =
        "http://example.org/?q=a b;touch " + QString::fromStdString(dir_.file("owned")) + "$(id)";
    QCOMPARE(OpenLink(target), linkresult::kOpened);
    QTRY_COMPARE_WITH_TIMEOUT(readText(record), "--new\n" + target + "\n", 10000);
    QVERIFY(!fs::exists(dir_.file("owned")));
  }

  void fallbackFailuresHaveTheirResultCodes() {
    desktopOpens_ = false;
    QCOMPARE(OpenLink("http://example.org/"),
             linkresult::kNoAssociation);  // no BROWSER: the desktop's result
    qputenv("BROWSER", "   ");
    QCOMPARE(OpenLink("http://example.org/"), linkresult::kNoAssociation);
    qputenv("BROWSER", QByteArray::fromStdString(dir_.file("no-such-browser") + " %1"));
    QCOMPARE(OpenLink("http://example.org/"), linkresult::kFileNotFound);
    qputenv("BROWSER", QByteArray::fromStdString(dir_.file("no/such/folder/browser")));
    QCOMPARE(OpenLink("http://example.org/"), linkresult::kPathNotFound);
    qputenv("BROWSER", "morvatelline-no-such-browser-anywhere");
    QCOMPARE(OpenLink("http://example.org/"), linkresult::kFileNotFound);
    const std::string plain = dir_.file("not-executable");
    writeText(plain, "text");
    qputenv("BROWSER", QByteArray::fromStdString(plain));
    QCOMPARE(OpenLink("http://example.org/"), linkresult::kAccessDenied);
    qputenv("BROWSER", "\"%1\"");
    QCOMPARE(OpenLink("http://example.org/"), linkresult::kFileNotFound);
  }

  void errorTextsByResultCode() {
    const QString head = "Unable to open hyperlink:\n\n";
    QCOMPARE(linkErrorText(26), head + "A sharing violation occurred. ");
    QCOMPARE(linkErrorText(4), head + "Unknown Error (4) occurred.");
    QCOMPARE(linkErrorText(0), head + "The operating system is out\nof memory or resources.");
    QCOMPARE(linkErrorText(31),
             head + "There is no application associated\nwith the given filename extension.");
    QCOMPARE(linkErrorText(32), head + "The specified dynamic-link library was not found.");
    QCOMPARE(linkErrorText(33), head + "Unknown Error (33) occurred.");
    QCOMPARE(linkErrorText(-1), head + "Unknown Error (-1) occurred.");
  }

  void labelTakesItsTextAsTargetOrShowsItsTarget() {
    QWidget parent;
    parent.setFont(dialogFont());
    parent.resize(400, 200);
    auto* own = new HyperlinkLabel("https://example.org/own", &parent);
    own->setGeometry(10, 10, 300, 40);
    own->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    own->Attach();
    QCOMPARE(own->linkTarget(), QString("https://example.org/own"));
    QCOMPARE(own->toolTip(), own->linkTarget());
    QVERIFY(own->font().underline());
    QCOMPARE(own->cursor().shape(), Qt::PointingHandCursor);
    const QSize extent = QFontMetrics(own->font()).size(Qt::TextSingleLine, own->text());
    QCOMPARE(own->geometry(), QRect(QPoint(10, 10), extent));

    auto* blank = new HyperlinkLabel(QString(), &parent);
    blank->SetLinkTarget("mailto:a@example.org");
    blank->setGeometry(10, 60, 300, 20);
    blank->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    blank->Attach();
    QCOMPARE(blank->text(), QString("mailto:a@example.org"));
    QCOMPARE(blank->toolTip(), QString("mailto:a@example.org"));

    blank->SetLinkTarget("https://example.org/other");
    QCOMPARE(blank->toolTip(), QString("https://example.org/other"));
    QCOMPARE(blank->text(), QString("mailto:a@example.org"));  // the shown text stays
  }

  void autoSizeKeepsTheEdgeItsAlignmentNames() {
    QWidget parent;
    parent.resize(400, 200);
    const auto make = [&](Qt::Alignment a) {
      auto* l = new HyperlinkLabel("link", &parent);
      l->setGeometry(100, 50, 201, 41);
      l->setAlignment(a);
      l->Attach();
      return l;
    };
    const QSize extent =
        QFontMetrics(make(Qt::AlignLeft | Qt::AlignTop)->font()).size(Qt::TextSingleLine, "link");
    QCOMPARE(make(Qt::AlignRight | Qt::AlignTop)->geometry(),
             QRect(QPoint(301 - extent.width(), 50), extent));
    const QRect centred = make(Qt::AlignCenter)->geometry();
    QCOMPARE(centred.left(), 100 + (201 - extent.width()) / 2);
    QCOMPARE(centred.top(), 50 + (41 - extent.height()) / 2);
    QCOMPARE(centred.width(), 201 - 2 * ((201 - extent.width()) / 2));
  }

  void labelColoursFollowHoverAndVisit() {
    QWidget parent;
    parent.resize(400, 100);
    auto* link = new HyperlinkLabel("https://example.org/", &parent);
    link->setGeometry(10, 10, 300, 20);
    link->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    link->Attach();
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    QCOMPARE(link->currentColour(), QColor(0, 0, 238));
    QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 238));
    QTest::mouseMove(link, QPoint(3, 3));
    QTRY_VERIFY(link->hovering());
    QCOMPARE(link->currentColour(), QApplication::palette().color(QPalette::Highlight));

    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(3, 3));
    QCOMPARE(links_, QStringList{"https://example.org/"});
    QVERIFY(link->visited());
    QVERIFY(!link->hovering());
    QCOMPARE(link->currentColour(), QColor(85, 26, 139));
    QCOMPARE(link->palette().color(QPalette::WindowText), QColor(85, 26, 139));
  }

  void linkThatCannotBeOpenedWarnsAndStaysUnvisited() {
    desktopOpens_ = false;
    QWidget parent;
    auto* link = new HyperlinkLabel("https://example.org/", &parent);
    link->setGeometry(10, 10, 300, 20);
    link->Attach();
    parent.show();
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    mvtest::ModalCloser closer([&](QWidget* w) {
      if (auto* box = qobject_cast<QMessageBox*>(w)) {
        text = box->text();
        title = box->windowTitle();
        icon = box->icon();
      }
    });
    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(3, 3));
    QCOMPARE(closer.seen, 1);
    QCOMPARE(text, linkErrorText(linkresult::kNoAssociation));
    QCOMPARE(title, QString("Morvatelline"));
    QCOMPARE(icon, QMessageBox::Warning);
    QVERIFY(!link->visited());
    // Whether the pointer still counts as over the link after the box depends on when the
    // enter event comes; off the link it shows the unvisited colour.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(link, &leave);
    QCOMPARE(link->currentColour(), QColor(0, 0, 238));
  }

  void mainWindowHasTheThreeIconButtons() {
    MainDialog w;
    w.show();
    QApplication::processEvents();
    const DialogUnits du = DialogUnits::of(w.font());
    const struct {
      int id, kind, x;
      const char* tip;
    } expected[] = {{1019, IconLinkButton::About, 379, "关于 Morvatelline"},
                    {1020, IconLinkButton::Help, 407, "打开帮助文件"},
                    {1027, IconLinkButton::BatchCheck, 434, "批量检查RM文件中是否有0码率点"}};
    for (const auto& e : expected) {
      auto* b = qobject_cast<IconLinkButton*>(w.control(e.id));
      QVERIFY2(b, qPrintable(QString::number(e.id)));
      QCOMPARE(b->linkKind(), e.kind);
      QCOMPARE(b->toolTip(), QString(e.tip));
      // Where the window always had them, within a few pixels.
      QVERIFY((b->pos() - QPoint(du.x(e.x), du.y(71))).manhattanLength() <= 8);
      QVERIFY(!b->pixmap().isNull());
      QCOMPARE(b->size(), b->pixmap().size());  // the whole icon shows
      QCOMPARE(b->cursor().shape(), Qt::PointingHandCursor);
      QVERIFY(b->geometry().right() < w.width());
    }
  }

  void helpButtonOpensThePageBesideTheProgram() {
    // A folder with a dot: only the program's own name loses its extension.
    fs::create_directories(dir_.file("v1.0"));
    mv::setExecutablePathOverride(dir_.file("v1.0/morvatelline"));
    QCOMPARE(helpFilePath(), QString::fromStdString(dir_.file("v1.0/morvatelline.htm")));
    MainDialog w;
    w.show();
    auto* help = static_cast<IconLinkButton*>(w.control(1020));

    QTest::mouseClick(help, Qt::LeftButton, {}, QPoint(4, 4));
    QCOMPARE(messages_->messages, std::vector<std::string>{kNoHelpFile});
    QVERIFY(opened_.empty());

    writeText(dir_.file("v1.0/morvatelline.htm"), "<html></html>");
    QTest::mouseMove(help, QPoint(4, 4));
    QTest::mouseClick(help, Qt::LeftButton, {}, QPoint(4, 4));
    QCOMPARE(opened_, std::vector<std::string>{dir_.file("v1.0/morvatelline.htm")});
    QCOMPARE(messages_->messages.size(), size_t(1));
    QVERIFY(!help->hovering());

    // A program named with an extension: the extension gives way.
    mv::setExecutablePathOverride(dir_.file("v1.0/morvatelline.bin"));
    QTest::mouseClick(help, Qt::LeftButton, {}, QPoint(4, 4));
    QCOMPARE(opened_.size(), size_t(2));
    QCOMPARE(opened_.back(), dir_.file("v1.0/morvatelline.htm"));

    // A folder of that name is no page.
    fs::remove(dir_.file("v1.0/morvatelline.htm"));
    fs::create_directory(dir_.file("v1.0/morvatelline.htm"));
    QTest::mouseClick(help, Qt::LeftButton, {}, QPoint(4, 4));
    QCOMPARE(opened_.size(), size_t(2));
    QCOMPARE(messages_->messages.size(), size_t(2));
  }

  void aboutAndBatchButtonsOpenTheirDialogsOnce() {
    mv::setExecutablePathOverride(dir_.file("morvatelline"));
    MainDialog w;
    w.show();
    QStringList shown;
    auto* about = static_cast<IconLinkButton*>(w.control(1019));
    mvtest::ModalCloser closer([&](QWidget* modal) {
      QVERIFY(!about->hovering());  // the click ended the hover before the dialog came up
      if (qobject_cast<AboutDialog*>(modal))
        shown << "about";
      else if (qobject_cast<BatchCheckDialog*>(modal))
        shown << "batch";
      else
        shown << modal->metaObject()->className();
      QCOMPARE(modal->parentWidget(), static_cast<QWidget*>(&w));
    });
    QTest::mouseMove(about, QPoint(5, 5));
    QTRY_VERIFY(about->hovering());
    QTest::mouseClick(about, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(shown, QStringList{"about"});
    QTest::mouseClick(static_cast<IconLinkButton*>(w.control(1027)), Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(shown, QStringList({"about", "batch"}));
    QVERIFY(messages_->messages.empty());
  }

  void aboutBoxShowsAuthorAddressAndHomePage() {
    AboutDialog about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QCOMPARE(about.windowTitle(), QString("关于 Morvatelline"));
    QCOMPARE(static_cast<QLabel*>(about.control(118))->text(), QString(MORV_AUTHOR_NAME));
    HyperlinkLabel* mail = about.mailLink();
    HyperlinkLabel* home = about.homePageLink();
    QCOMPARE(mail->text(), QString(MORV_CONTACT_ADDRESS));
    QCOMPARE(mail->linkTarget(), QString("mailto:") + MORV_CONTACT_ADDRESS);
    QCOMPARE(home->text(), QString(MORV_HOME_PAGE));
    QCOMPARE(home->linkTarget(), QString(MORV_HOME_PAGE));
    QVERIFY(about.findChildren<QLabel*>().size() >= 8);

    // Everything is inside the box, shown whole, and clear of the OK button.
    auto* ok = static_cast<QPushButton*>(about.control(1));
    QVERIFY(ok->isDefault());
    QCOMPARE(ok->text(), QString("确定"));
    for (QLabel* l : about.findChildren<QLabel*>()) {
      QVERIFY2(about.rect().contains(l->geometry()), qPrintable(l->text()));
      QVERIFY2(!l->geometry().intersects(ok->geometry()), qPrintable(l->text()));
      if (!l->text().isEmpty()) {
        QVERIFY2(QFontMetrics(l->font()).horizontalAdvance(l->text()) <= l->width(), qPrintable(l->text()));
      }
    }

    QTest::mouseClick(mail, Qt::LeftButton, {}, QPoint(2, 2));
    QCOMPARE(links_, QStringList{QString("mailto:") + MORV_CONTACT_ADDRESS});
    QVERIFY(mail->visited());
    QVERIFY(!home->visited());
    ok->click();
    QCOMPARE(about.result(), int(QDialog::Accepted));
    QVERIFY(!about.isVisible());
  }

  void helpPageStandsBesideTheBuiltProgram() {
    const QFileInfo program(MORV_GUI_PATH);
    if (!program.exists()) QSKIP("the window program is not built");
    const QString page = readText((program.absolutePath() + "/morvatelline.htm").toStdString());
    QVERIFY(page.contains("<html"));
    for (const char* part : {"1、选择需要分析的文件", "2、显示码率曲线", "3、设置码率输出选项",
                             "4、输出码率数据", "文件信息", "批量检查", "PARA_RM_CHK_TGT", ".ini"})
      QVERIFY2(page.contains(QString(part)), part);
  }
};

QTEST_MAIN(LinkButtonsTest)
#include "link_buttons_test.moc"
