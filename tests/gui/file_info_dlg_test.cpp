// The file information window: the text it builds for AVI and RealMedia files, the temporary
// file behind it, the window's size rules, keys and saving, and the main window's buttons.
#include "app/file_info_dlg.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>

#include "analysis/file_slot.h"
#include "app/main_dialog.h"
#include "fixtures/message_recorder.h"
#include "fixtures/rm_builder.h"
#include "fixtures/sample_media.h"
#include "gui/support/file_dialog_recorder.h"
#include "gui/support/modal_closer.h"
#include "platform/messages.h"
#include "platform/shell.h"
#include "platform/text_file.h"
#include "report/info_text.h"
#include "report/text_report.h"
#include "settings/para_block.h"

using namespace mvgui;
namespace fs = std::filesystem;

namespace {

constexpr const char* kNothingToOutput = "抱歉，没什么好输出的。";

// The text as a person reads it: UTF-8 lines without their CR LF.
QStringList linesOf(const QByteArray& gbk) {
  return QString::fromStdString(mv::gbkToUtf8(gbk.toStdString())).split("\r\n");
}

bool onlyCrLfLineEnds(const QByteArray& bytes) {
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) return false;
    if (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n')) return false;
  }
  return true;
}

QByteArray fileBytes(const std::string& path) {
  const mvtest::Bytes b = mvtest::readFile(path);
  return QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size()));
}

// A RealMedia file whose title is bytes that are neither UTF-8 nor GBK.
mvtest::Bytes realMediaWithRawTitle() {
  mvtest::RmBuilder b;
  b.fileHeader(0, 3);
  b.properties({.duration = 5000, .numStreams = 1});
  b.content("\xff\xfe\x81\x30 title", "", "", "");
  b.mediaProperties({.streamNumber = 0,
                     .name = "Video Stream",
                     .mime = "video/x-pn-realvideo",
                     .typeSpecific = mvtest::realVideoBlock("RV40", 352, 288, 10u << 16)});
  std::vector<mvtest::RmPacket> packets;
  for (uint32_t s = 0; s < 5; ++s) packets.push_back({.stream = 0, .timestamp = s * 1000, .length = 400});
  b.data(packets);
  return b.bytes();
}

}  // namespace

class FileInfoDlgTest : public QObject {
  Q_OBJECT

 private:
  mvtest::TempDir dir_;
  std::string tmp_;
  std::unique_ptr<mvtest::MessageRecorder> messages_;
  std::vector<std::string> opened_;
  mv::ShellSink previousShell_;
  QByteArray previousTmpDir_;

  std::string writeMedia(const std::string& name, const mvtest::Bytes& bytes) {
    const std::string path = dir_.file(name);
    mvtest::writeFile(path, bytes);
    return path;
  }
  QByteArray infoText(mv::FileSlot& slot, const std::string& path) {
    if (!slot.open(path).ok()) return {};
    QByteArray text;
    if (BuildInfoText(QString::fromStdString(path), slot, text) != 1) return {};
    return text;
  }
  bool tmpIsEmpty() const { return fs::is_empty(tmp_); }

 private slots:
  void init() {
    tmp_ = dir_.file("tmp");
    fs::create_directories(tmp_);
    previousTmpDir_ = qgetenv("TMPDIR");
    qputenv("TMPDIR", QByteArray::fromStdString(tmp_));
    messages_ = std::make_unique<mvtest::MessageRecorder>();
    opened_.clear();
    previousShell_ = mv::setShellSink([this](const std::string& p) { opened_.push_back(p); });
  }
  void cleanup() {
    mv::setShellSink(previousShell_);
    messages_.reset();
    qputenv("TMPDIR", previousTmpDir_);
  }

  void aviTextIsHeaderSummaryAndDescription() {
    const std::string path = writeMedia("晚会.avi", mvtest::sampleAvi(20));
    mv::FileSlot slot;
    const QByteArray text = infoText(slot, path);
    const QStringList lines = linesOf(text);
    QVERIFY(lines.size() > 12);
    QCOMPARE(lines[0], QString("Morvatelline Version 1.01"));
    QCOMPARE(lines[1], QString(MORV_HOME_PAGE));
    QCOMPARE(lines[2], QString());
    QCOMPARE(lines[3], QString(80, '='));
    QCOMPARE(lines[4], "文件: " + QString::fromStdString(path));
    QVERIFY(lines[5].startsWith("文件长度 = "));
    QCOMPARE(lines[6], QString("播放时间 = 20 seconds (00:00:20)"));
    QVERIFY(lines[7].startsWith("总码率 = 文件长度 / 播放时间 = "));
    QVERIFY(lines[8].startsWith("图像尺寸 = "));
    QCOMPARE(lines[9], QString());
    QVERIFY(lines.contains("文件属性"));
    QVERIFY(!text.contains(QByteArray::fromStdString(mv::utf8ToGbk("视频流码率发布"))));
    QVERIFY(onlyCrLfLineEnds(text));
    // The temporary file gives back exactly what the description writes.
    const std::string direct = dir_.file("direct.txt");
    mv::TextFile out;
    QVERIFY(out.open(direct));
    mv::writeInformation(out, slot);
    QVERIFY(out.close());
    QCOMPARE(text, fileBytes(direct));
    QVERIFY(tmpIsEmpty());
    QVERIFY(messages_->messages.empty());
  }

  void realMediaTextIsHeaderSummaryAndDescription() {
    const std::string path = writeMedia("news.rmvb", mvtest::sampleRealMedia(12, {4}));
    mv::FileSlot slot;
    const QByteArray text = infoText(slot, path);
    const QStringList lines = linesOf(text);
    QCOMPARE(lines.mid(0, 4),
             QStringList({"Morvatelline Version 1.01", MORV_HOME_PAGE, "", QString(80, '=')}));
    QCOMPARE(lines[4], "文件: " + QString::fromStdString(path));
    QCOMPARE(lines[6], QString("播放时间 = 12 seconds (00:00:12)"));
    QVERIFY(lines.contains("内容描述"));
    QVERIFY(lines.contains("标题：示例"));
    QVERIFY(onlyCrLfLineEnds(text));
    QVERIFY(tmpIsEmpty());
  }

  void emptySlotIsToldAndGetsNoText() {
    mv::FileSlot slot;
    QByteArray text = "left over";
    QCOMPARE(BuildInfoText(QString(), slot, text), 0);
    QCOMPARE(text, QByteArray("left over"));
    QCOMPARE(messages_->messages, std::vector<std::string>{kNothingToOutput});
    QVERIFY(tmpIsEmpty());
  }

  void noTemporaryFileMeansNoTextAndNoMessage() {
    const std::string path = writeMedia("a.avi", mvtest::sampleAvi(5));
    mv::FileSlot slot;
    QVERIFY(slot.open(path).ok());
    qputenv("TMPDIR", QByteArray::fromStdString(dir_.file("no such folder")));
    QByteArray text;
    QCOMPARE(BuildInfoText(QString::fromStdString(path), slot, text), 1);
    QVERIFY(text.isEmpty());
    QVERIFY(messages_->messages.empty());
  }

  void temporaryFileThatCannotBeOpenedIsStillRemoved() {
    const std::string path = writeMedia("a.avi", mvtest::sampleAvi(5));
    mv::FileSlot slot;
    QVERIFY(slot.open(path).ok());
    // A folder where the file should be: it exists, yet cannot be opened for writing.
    const std::string temp = tmp_ + "/kztAbC123";
    fs::create_directory(temp);
    QVERIFY(infoTextThroughFile(temp, slot).isEmpty());
    QVERIFY(!fs::exists(temp));
    QVERIFY(messages_->messages.empty());
  }

  void windowFillsAfterItIsShownAndTakesTheText() {
    QByteArray text = "line one\r\n\xce\xc4\xbc\xfe\r\nline three\r\n";  // "文件" in GBK
    CFileInfoDlg dlg(nullptr, text);
    QCOMPARE(dlg.windowTitle(), QString("文件信息"));
    dlg.show();
    QVERIFY(dlg.textBox()->toPlainText().isEmpty());  // not yet: the fill waits for the event loop
    QVERIFY(!text.isEmpty());
    QTRY_COMPARE(dlg.textBox()->toPlainText(), QString("line one\n文件\nline three\n"));
    QVERIFY(text.isEmpty());
    QVERIFY(dlg.textBox()->isReadOnly());
    // Enter again finds nothing new and keeps the window and its text.
    QTest::keyClick(dlg.textBox(), Qt::Key_Return);
    QVERIFY(dlg.isVisible());
    QCOMPARE(dlg.textBox()->toPlainText(), QString("line one\n文件\nline three\n"));
    QTest::keyClick(dlg.textBox(), Qt::Key_Escape);
    QVERIFY(!dlg.isVisible());
  }

  void neverSmallerThanCreatedAndOnlyTheTextBoxGrows() {
    QByteArray text = "x\r\n";
    CFileInfoDlg dlg(nullptr, text);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    const QSize created = dlg.size();
    QCOMPARE(dlg.minimumSize(), created);
    QWidget* box = dlg.control(1045);
    QWidget* save = dlg.control(1047);
    auto* hint = dlg.findChild<QLabel*>();
    QVERIFY(box && save && hint);
    const QRect boxAt = box->geometry(), saveAt = save->geometry(), hintAt = hint->geometry();
    QVERIFY(boxAt.right() < created.width() && boxAt.bottom() < created.height());
    QVERIFY(QFontMetrics(hint->font()).horizontalAdvance(hint->text()) <= hint->width());
    QCOMPARE(hint->text(), QString("（在显示区点击右键可弹出快捷菜单）"));

    dlg.resize(created + QSize(120, 70));
    QTRY_COMPARE(box->geometry(), boxAt.adjusted(0, 0, 120, 70));
    QCOMPARE(save->geometry(), saveAt);
    QCOMPARE(hint->geometry(), hintAt);

    dlg.resize(created - QSize(200, 150));
    QCOMPARE(dlg.size(), created);
    QTRY_COMPARE(box->geometry(), boxAt);
  }

  void ctrlAAndCtrlCCopyEverythingWhicheverControlHasTheFocus() {
    QByteArray text = "first\r\nsecond\r\n\xd7\xee\xba\xf3\r\n";  // "最后"
    CFileInfoDlg dlg(nullptr, text);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QTRY_VERIFY(!dlg.textBox()->toPlainText().isEmpty());
    auto* save = static_cast<QPushButton*>(dlg.control(1047));
    QApplication::clipboard()->clear();
    save->setFocus();
    QTest::keyClick(save, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(save, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QString("first\nsecond\n最后\n"));
    QCOMPARE(dlg.textBox()->textCursor().selectedText().size(), dlg.textBox()->toPlainText().size());

    QApplication::clipboard()->clear();
    dlg.textBox()->moveCursor(QTextCursor::Start);
    QTest::keyClick(dlg.textBox(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(dlg.textBox(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QString("first\nsecond\n最后\n"));
  }

  void saveAsWritesTheBytesAsBuiltAndOpensThem() {
    const std::string media = writeMedia("raw.rm", realMediaWithRawTitle());
    mv::FileSlot slot;
    QByteArray text = infoText(slot, media);
    QVERIFY(text.contains("\xff\xfe\x81\x30 title"));  // what no round trip through Unicode keeps
    const QByteArray built = text;
    CFileInfoDlg dlg(nullptr, text);
    dlg.show();
    QTRY_VERIFY(!dlg.textBox()->toPlainText().isEmpty());

    mvtest::FileDialogRecorder dialogs;
    dialogs.answer(QString::fromStdString(dir_.file("info")));
    dialogs.answer(QString::fromStdString(dir_.file("copy.TXT")));
    dialogs.answer(QString::fromStdString(dir_.file("v1.0/notes")));  // no such folder
    dialogs.cancel();
    for (int i = 0; i < 4; ++i) static_cast<QPushButton*>(dlg.control(1047))->click();

    QCOMPARE(fileBytes(dir_.file("info.txt")), built);
    QCOMPARE(fileBytes(dir_.file("copy.TXT")), built);
    QVERIFY(!fs::exists(dir_.file("v1.0/notes.txt")));
    QCOMPARE(opened_, (std::vector<std::string>{dir_.file("info.txt"), dir_.file("copy.TXT")}));
    QVERIFY(messages_->messages.empty());
    QCOMPARE(dialogs.requests().size(), size_t(4));
    const auto& r = dialogs.requests().front();
    QVERIFY(!r.openMode);
    QCOMPARE(r.title, QString("保存文件"));
    QCOMPARE(r.filter, QString("Text File(*.txt)|*.txt|All Files(*.*)|*.*||"));
    QVERIFY(r.flags & CSingleFileSel::OverwritePrompt);
    QCOMPARE(r.owner, static_cast<QWidget*>(&dlg));
  }

  void saveAsRefusesTheDescribedMediaFile() {
    const std::string media = writeMedia("raw.rm", realMediaWithRawTitle());
    const mvtest::Bytes before = mvtest::readFile(media);
    mv::FileSlot slot;
    QByteArray text = infoText(slot, media);
    CFileInfoDlg dlg(nullptr, text);
    dlg.setMediaFiles(mv::mediaIdentities({&slot}));
    dlg.show();
    QTRY_VERIFY(!dlg.textBox()->toPlainText().isEmpty());
    fs::create_symlink(media, dir_.file("link.txt"));
    mvtest::FileDialogRecorder dialogs;
    dialogs.answer(QString::fromStdString(dir_.file("link.txt")));
    static_cast<QPushButton*>(dlg.control(1047))->click();
    QCOMPARE(messages_->messages, std::vector<std::string>{mv::msg::kWriteFailed});
    QVERIFY(opened_.empty());
    QVERIFY(mvtest::readFile(media) == before);
  }

  void informationButtonsOfTheMainWindow() {
    mv::paraBlock().LoadFrom(std::string());
    const std::string avi = writeMedia("clip.avi", mvtest::sampleAvi(8));
    MainDialog w;
    w.show();
    mvtest::FileDialogRecorder dialogs;
    dialogs.answer(QString::fromStdString(avi));
    w.OnOpen(0);
    QVERIFY(w.slot(0).isLoaded());

    QString title, shown;
    QWidget* parent = nullptr;
    {
      mvtest::ModalCloser closer([&](QWidget* modal) {
        auto* info = qobject_cast<CFileInfoDlg*>(modal);
        if (!info) return;
        title = info->windowTitle();
        parent = info->parentWidget();
        QTRY_VERIFY(!info->textBox()->toPlainText().isEmpty());
        shown = info->textBox()->toPlainText();
      });
      static_cast<QPushButton*>(w.control(1016))->click();
      QCOMPARE(closer.seen, 1);
    }
    QCOMPARE(title, QString("文件信息"));
    QCOMPARE(parent, static_cast<QWidget*>(&w));
    QVERIFY(shown.startsWith("Morvatelline Version 1.01\n"));
    QVERIFY(shown.contains("文件: " + QString::fromStdString(avi) + "\n"));
    QVERIFY(messages_->messages.empty());

    mvtest::ModalCloser closer;
    static_cast<QPushButton*>(w.control(1026))->click();  // slot 2 is empty
    QCOMPARE(closer.seen, 0);
    QCOMPARE(messages_->messages, std::vector<std::string>{kNothingToOutput});
    QVERIFY(tmpIsEmpty());
  }
};

QTEST_MAIN(FileInfoDlgTest)
#include "file_info_dlg_test.moc"
