#pragma once
// Closes every modal window that comes up while it lives, so that no test waits for a person,
// and lets the test look at each one first.
#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace mvtest {

class ModalCloser {
 public:
  explicit ModalCloser(std::function<void(QWidget*)> inspect = {}) : inspect_(std::move(inspect)) {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      QWidget* w = QApplication::activeModalWidget();
      if (!w || w == last_.data()) return;
      last_ = w;
      ++seen;
      if (inspect_) inspect_(w);
      if (auto* d = qobject_cast<QDialog*>(w))
        d->reject();
      else
        w->close();
    });
    timer_.start();
  }
  int seen = 0;

 private:
  std::function<void(QWidget*)> inspect_;
  QTimer timer_;
  QPointer<QWidget> last_;  // a later window may be built where a closed one stood
};

}  // namespace mvtest
