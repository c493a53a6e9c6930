#pragma once
// Clickable pictures and web-style text links: a hand cursor, a hover state, and what a click
// opens (the help page or an address on the desktop; the About box and the batch check are
// handed in by the window that places the button).
#include <QColor>
#include <QLabel>
#include <QString>
#include <functional>
#include <utility>

namespace mvgui {

// OpenLink's results keep the numbers of the Windows shell, so that each failure has its own
// text: above 32 means the link was opened.
namespace linkresult {
inline constexpr int kOutOfResources = 0;
inline constexpr int kFileNotFound = 2;
inline constexpr int kPathNotFound = 3;
inline constexpr int kAccessDenied = 5;
inline constexpr int kInvalidExecutable = 11;
inline constexpr int kNoAssociation = 31;
inline constexpr int kOpened = 33;
}  // namespace linkresult

// Opens `target` (an address or a file) on the desktop; if the desktop cannot, with the browser
// named by the BROWSER environment variable. Returns a result code of `linkresult`.
int OpenLink(const QString& target);

// Opens a file the program wrote on the desktop. `failed` runs when it could not be opened: at
// once, or when the desktop's opener gives up later.
void OpenWrittenFile(const QString& file, std::function<void()> failed);

// The part of a registered browser command that comes before its "%1" placeholder: cut at the
// opening quote of "\"%1\"", else at a bare "%1", else the whole line.
QString browserCommandPrefix(const QString& command);

// "Unable to open hyperlink:" followed by the text for OpenLink's result `r`.
QString linkErrorText(int r);

// How OpenLink asks the desktop to open a target; true when it did. Returns the previous one;
// an empty function restores the default (QDesktopServices). For tests.
using DesktopOpener = std::function<bool(const QString& target)>;
DesktopOpener setDesktopOpener(DesktopOpener opener);

// The help page: the executable's path with ".htm" in place of its extension, or an installed
// program's page in <prefix>/share/doc/morvatelline. In English ("_en.htm") while the window
// speaks English and that page is there.
QString helpFilePath();

// The language of the help page; the window sets it with its own.
void setEnglishHelp(bool on);

// A picture that acts as a button: About box, help page or batch check.
class IconLinkButton : public QLabel {
  Q_OBJECT
 public:
  enum Kind { About = 0, Help = 1, BatchCheck = 2 };

  explicit IconLinkButton(int linkKind = About, QWidget* parent = nullptr);

  // Shows the picture at its own size from the control's top-left corner.
  void setIcon(const QPixmap& pixmap);

  int linkKind() const { return linkKind_; }
  void setLinkKind(int kind) { linkKind_ = kind; }
  // What a click on an About or batch check button opens: those dialogs belong to the window.
  void setOpener(std::function<void()> open) { open_ = std::move(open); }
  bool hovering() const { return hovering_; }

  // What a click does.
  void OnClicked();

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void setHovering(bool on);

  int linkKind_;
  bool hovering_ = false;
  std::function<void()> open_;
};

// An underlined, coloured text that opens its target when clicked.
class HyperlinkLabel : public QLabel {
  Q_OBJECT
 public:
  explicit HyperlinkLabel(const QString& text = QString(), QWidget* parent = nullptr);

  // Takes over the placed label: the text becomes the target (or the target the text), the font
  // gets its underline, the label shrinks to its text and shows the target as its tool tip.
  void Attach();
  void SetLinkTarget(const QString& target);
  QString linkTarget() const { return target_; }
  void SetVisited(bool visited);
  bool visited() const { return visited_; }
  bool hovering() const { return hovering_; }
  void SetUnderline(bool on) { underline_ = on; }
  void SetAutoSize(bool on) { autoSize_ = on; }

  // The text colour for the current state.
  QColor currentColour() const;

  void OnClicked();

  static constexpr QColor kUnvisitedColour{0, 0, 238};
  static constexpr QColor kVisitedColour{85, 26, 139};

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void AutoSize();
  void applyColour();
  void setHovering(bool on);

  QColor hoverColour_;
  bool hovering_ = false;
  bool visited_ = false;
  bool underline_ = true;
  bool autoSize_ = true;
  bool attached_ = false;
  QString target_;
};

}  // namespace mvgui
