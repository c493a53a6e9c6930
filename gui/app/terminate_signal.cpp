#include "app/terminate_signal.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>
#include <csignal>

#include "app/main_app.h"
#include "batch/batch_check_dialog.h"

namespace mvgui {
namespace {

int signalPipe[2] = {-1, -1};
bool ending = false;

// Only async-signal-safe work here: the event loop does the rest.
void onTerminate(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(signalPipe[0], &byte, 1);
}

}  // namespace

bool sessionEnding() { return ending; }

void endSession() {
  ending = true;
  installSessionEndSinks();
  // A run pumps events between files, so it is stopped before the windows close, and ends by
  // itself at the next file; its result file is not handed to a desktop that is going away.
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* batch = qobject_cast<BatchCheckDialog*>(w); batch && batch->running()) batch->OnStart();
  QApplication::closeAllWindows();
  // Every modal loop returns now, and one that would start later returns at once: the boxes
  // that are up, and windows such as the batch check's that refuse to close mid-run.
  QCoreApplication::exit(0);
}

void closeWindowsOnTerminate() {
  if (signalPipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, qApp);
  QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
    char byte = 0;
    [[maybe_unused]] const ssize_t n = ::read(signalPipe[1], &byte, 1);
    endSession();
  });
  struct sigaction action {};
  action.sa_handler = onTerminate;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &action, nullptr);
}

}  // namespace mvgui
