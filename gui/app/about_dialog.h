#pragma once
// The About box: the program's name and version, author, contact address and home page, the
// last two as links.
#include <QDialog>
#include <map>

class QLabel;

namespace mvgui {

class HyperlinkLabel;

class AboutDialog : public QDialog {
  Q_OBJECT
 public:
  explicit AboutDialog(QWidget* parent = nullptr);

  // The control with a resource id (1, 118, 1007, 1008), or null.
  QWidget* control(int id) const;
  QLabel* nameLabel() const { return name_; }
  HyperlinkLabel* mailLink() const { return mail_; }
  HyperlinkLabel* homePageLink() const { return homePage_; }

  // Built in; set by the build (CMake cache values).
  static QString authorName();
  static QString contactAddress();
  static QString homePage();

 private:
  std::map<int, QWidget*> controls_;
  QLabel* name_ = nullptr;
  HyperlinkLabel* mail_ = nullptr;
  HyperlinkLabel* homePage_ = nullptr;
};

}  // namespace mvgui
