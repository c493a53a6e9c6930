#include "widgets/link_buttons.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEnterEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <filesystem>
#include <map>
#include <optional>
#include <system_error>
#include <utility>

#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/shell.h"

namespace mvgui {
namespace {

constexpr const char* kNoHelpFile =
    QT_TRANSLATE_NOOP("mvgui::IconLinkButton", "抱歉，找不到帮助文件。请下载完整版本。");

DesktopOpener& desktopOpener() {
  static DesktopOpener opener;
  return opener;
}

bool openOnDesktop(const QString& target) {
  if (const DesktopOpener& opener = desktopOpener()) return opener(target);
  return QDesktopServices::openUrl(QUrl::fromUserInput(target));
}

// Why a program cannot be started, in the shell's numbers; kOpened when nothing stands in the way.
int checkProgram(const QString& program) {
  if (!program.contains('/'))
    return QStandardPaths::findExecutable(program).isEmpty() ? linkresult::kFileNotFound
                                                             : linkresult::kOpened;
  const QFileInfo info(program);
  if (!info.exists())
    return info.absoluteDir().exists() ? linkresult::kFileNotFound : linkresult::kPathNotFound;
  if (info.isDir() || !info.isExecutable()) return linkresult::kAccessDenied;
  return linkresult::kOpened;
}

// Starts the browser named by BROWSER with the target. The target is handed over as one
// argument of its own and no shell sees the line, so an address can never become a command.
// Nothing when BROWSER is not set.
std::optional<int> startBrowser(const QString& target) {
  const QString command = qEnvironmentVariable("BROWSER").trimmed();
  if (command.isEmpty()) return std::nullopt;
  QStringList words = QProcess::splitCommand(browserCommandPrefix(command));
  if (words.isEmpty()) return linkresult::kFileNotFound;
  const QString program = words.takeFirst();
  if (const int r = checkProgram(program); r != linkresult::kOpened) return r;
  words << target;
  return QProcess::startDetached(program, words) ? linkresult::kOpened : linkresult::kInvalidExecutable;
}

}  // namespace

DesktopOpener setDesktopOpener(DesktopOpener opener) {
  return std::exchange(desktopOpener(), std::move(opener));
}

int OpenLink(const QString& target) {
  if (openOnDesktop(target)) return linkresult::kOpened;
  // Without a browser of its own to fall back on, the desktop's failure is the answer.
  return startBrowser(target).value_or(linkresult::kNoAssociation);
}

void OpenWrittenFile(const QString& file, std::function<void()> failed) {
  // QDesktopServices counts xdg-open as done once it has started, even when no application then
  // takes the file; started and watched here, its failure is heard.
  const QString xdgOpen = desktopOpener() ? QString() : QStandardPaths::findExecutable("xdg-open");
  if (xdgOpen.isEmpty()) {
    if (OpenLink(file) != linkresult::kOpened) failed();
    return;
  }
  const auto gaveUp = [file, failed] {
    if (startBrowser(file).value_or(linkresult::kNoAssociation) != linkresult::kOpened) failed();
  };
  // Never deleted while it runs: a QProcess ends its child, and the opener may wait for the
  // viewer it started, which must outlive the window. No pipes, so neither needs the other.
  auto* opener = new QProcess;
  opener->setProgram(xdgOpen);
  opener->setArguments({file});
  opener->setStandardInputFile(QProcess::nullDevice());
  opener->setStandardOutputFile(QProcess::nullDevice());
  opener->setStandardErrorFile(QProcess::nullDevice());
  QObject::connect(opener, &QProcess::finished, [opener, gaveUp](int code, QProcess::ExitStatus status) {
    opener->deleteLater();
    if (status != QProcess::NormalExit || code != 0) gaveUp();
  });
  QObject::connect(opener, &QProcess::errorOccurred, [opener, gaveUp](QProcess::ProcessError error) {
    if (error != QProcess::FailedToStart) return;
    opener->deleteLater();
    gaveUp();
  });
  opener->start();
}

QString browserCommandPrefix(const QString& command) {
  if (const qsizetype quoted = command.indexOf("\"%1\""); quoted >= 0) return command.left(quoted);
  if (const qsizetype bare = command.indexOf("%1"); bare >= 0) return command.left(bare);
  return command;
}

QString linkErrorText(int r) {
  static const std::map<int, const char*> texts = {
      {0, "The operating system is out\nof memory or resources."},
      {2, "The specified file was not found."},
      {3, "The specified path was not found."},
      {5, "The operating system denied\naccess to the specified file."},
      {8, "There was not enough memory to complete the operation."},
      {11, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
      {26, "A sharing violation occurred. "},
      {27, "The filename association is\nincomplete or invalid."},
      {28, "The DDE transaction could not\nbe completed because the request timed out."},
      {29, "The DDE transaction failed."},
      {30,
       "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed."},
      {31, "There is no application associated\nwith the given filename extension."},
      {32, "The specified dynamic-link library was not found."},
  };
  const auto it = texts.find(r);
  const QString reason =
      it != texts.end() ? QString(it->second) : QString("Unknown Error (%1) occurred.").arg(r);
  return "Unable to open hyperlink:\n\n" + reason;
}

namespace {

bool& englishHelp() {
  static bool on = false;
  return on;
}

// The page of one language: beside the executable, else an installed program's.
std::string helpPage(const std::string& exe, const std::string& ending) {
  const std::string beside = mv::replaceFileExtension(exe, ending);
  // An installed program finds its page with the other documentation.
  std::error_code ec;
  if (std::filesystem::is_regular_file(beside, ec)) return beside;
  const std::string installed = mv::installedHelpPage();
  if (installed.empty()) return beside;
  return mv::replaceFileExtension(installed, ending);
}

}  // namespace

void setEnglishHelp(bool on) { englishHelp() = on; }

QString helpFilePath() {
  const std::string exe = mv::executablePath();
  if (exe.empty()) return {};
  std::error_code ec;
  if (englishHelp())
    if (const std::string page = helpPage(exe, "_en.htm"); std::filesystem::is_regular_file(page, ec))
      return QString::fromStdString(page);
  return QString::fromStdString(helpPage(exe, ".htm"));
}

// ---------------------------------------------------------------------------------------------

IconLinkButton::IconLinkButton(int linkKind, QWidget* parent) : QLabel(parent), linkKind_(linkKind) {
  setCursor(Qt::PointingHandCursor);
  setMouseTracking(true);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void IconLinkButton::setIcon(const QPixmap& pixmap) {
  setPixmap(pixmap);
  // An icon control takes the size of its icon.
  if (!pixmap.isNull()) resize(pixmap.size());
}

void IconLinkButton::setHovering(bool on) {
  if (hovering_ == on) return;
  hovering_ = on;
  update();
}

void IconLinkButton::enterEvent(QEnterEvent* event) {
  setHovering(true);
  QLabel::enterEvent(event);
}

void IconLinkButton::leaveEvent(QEvent* event) {
  setHovering(false);
  QLabel::leaveEvent(event);
}

// Hovering again after a click needs only the next movement, not leaving and coming back.
void IconLinkButton::mouseMoveEvent(QMouseEvent* event) {
  setHovering(rect().contains(event->position().toPoint()));
  QLabel::mouseMoveEvent(event);
}

void IconLinkButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton)
    event->accept();
  else
    QLabel::mousePressEvent(event);
}

void IconLinkButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    event->accept();
    OnClicked();
    return;
  }
  QLabel::mouseReleaseEvent(event);
}

void IconLinkButton::OnClicked() {
  hovering_ = false;
  repaint();
  switch (linkKind_) {
    case About:
    case BatchCheck:
      if (open_) open_();
      break;
    default: {
      const QString help = helpFilePath();
      std::error_code ec;
      if (help.isEmpty() || !std::filesystem::is_regular_file(help.toStdString(), ec)) {
        mv::showMessage(tr(kNoHelpFile).toStdString());
        break;
      }
      mv::openWithShell(help.toStdString());
      break;
    }
  }
}

// ---------------------------------------------------------------------------------------------

HyperlinkLabel::HyperlinkLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent), hoverColour_(QApplication::palette().color(QPalette::Highlight)) {
  applyColour();
}

void HyperlinkLabel::Attach() {
  attached_ = true;
  if (target_.isEmpty()) target_ = text();
  if (text().isEmpty()) setText(target_);
  QFont f = font();
  f.setUnderline(underline_);
  setFont(f);
  AutoSize();
  setCursor(Qt::PointingHandCursor);
  setMouseTracking(true);
  setToolTip(target_);
  applyColour();
}

void HyperlinkLabel::SetLinkTarget(const QString& target) {
  target_ = target;
  if (!attached_) return;
  AutoSize();
  setToolTip(target_);
}

void HyperlinkLabel::AutoSize() {
  if (!attached_ || !autoSize_) return;
  QRect r = geometry();
  const QSize extent = QFontMetrics(font()).size(Qt::TextSingleLine, text());
  const Qt::Alignment a = alignment();
  if (a & Qt::AlignVCenter) {
    const int shrink = (r.height() - extent.height()) / 2;
    r.adjust(0, shrink, 0, -shrink);
  } else {
    r.setHeight(extent.height());
  }
  if (a & Qt::AlignHCenter) {
    const int shrink = (r.width() - extent.width()) / 2;
    r.adjust(shrink, 0, -shrink, 0);
  } else if (a & Qt::AlignRight) {
    r.setLeft(r.right() + 1 - extent.width());
  } else {
    r.setWidth(extent.width());
  }
  setGeometry(r);
}

QColor HyperlinkLabel::currentColour() const {
  if (hovering_) return hoverColour_;
  return visited_ ? kVisitedColour : kUnvisitedColour;
}

void HyperlinkLabel::applyColour() {
  QPalette p = palette();
  p.setColor(QPalette::WindowText, currentColour());
  setPalette(p);
}

void HyperlinkLabel::SetVisited(bool visited) {
  visited_ = visited;
  applyColour();
  update();
}

void HyperlinkLabel::setHovering(bool on) {
  if (hovering_ == on) return;
  hovering_ = on;
  applyColour();
  update();
}

void HyperlinkLabel::enterEvent(QEnterEvent* event) {
  setHovering(true);
  QLabel::enterEvent(event);
}

void HyperlinkLabel::leaveEvent(QEvent* event) {
  setHovering(false);
  QLabel::leaveEvent(event);
}

void HyperlinkLabel::mouseMoveEvent(QMouseEvent* event) {
  setHovering(rect().contains(event->position().toPoint()));
  QLabel::mouseMoveEvent(event);
}

void HyperlinkLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton)
    event->accept();
  else
    QLabel::mousePressEvent(event);
}

void HyperlinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    event->accept();
    OnClicked();
    return;
  }
  QLabel::mouseReleaseEvent(event);
}

void HyperlinkLabel::OnClicked() {
  setHovering(false);
  const int r = OpenLink(target_);
  if (r > 32) {
    SetVisited(true);
    return;
  }
  QApplication::beep();
  QMessageBox box(QMessageBox::Warning, "Morvatelline", linkErrorText(r), QMessageBox::Ok, window());
  box.exec();
}

}  // namespace mvgui
