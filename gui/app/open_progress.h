#pragma once
// The progress window of a long open. Readers run on the program's one UI thread and ask their
// LoadControl every so often whether to go on; once an open has taken longer than `delay`, this
// puts up a window-modal progress window and pumps events at each question, so that the window
// keeps painting and its Cancel button can stop the load.
#include <QElapsedTimer>
#include <QString>
#include <chrono>
#include <memory>

#include "media/load.h"

class QProgressDialog;
class QWidget;

namespace mvgui {

class OpenProgress : public mv::LoadControl {
 public:
  static constexpr std::chrono::milliseconds kDelay{500};

  OpenProgress(QWidget* window, const QString& path, std::chrono::milliseconds delay = kDelay);
  ~OpenProgress() override;
  OpenProgress(const OpenProgress&) = delete;
  OpenProgress& operator=(const OpenProgress&) = delete;

  bool Continue(uint64_t done, uint64_t total) override;
  bool cancelled() const { return cancelled_; }
  // Null until the window has come up.
  QProgressDialog* dialog() const { return dialog_.get(); }

 private:
  void showWindow();

  QWidget* window_;
  QString path_;
  std::chrono::milliseconds delay_;
  QElapsedTimer clock_;
  std::unique_ptr<QProgressDialog> dialog_;
  bool cursorPushed_ = false;
  bool cancelled_ = false;
};

}  // namespace mvgui
