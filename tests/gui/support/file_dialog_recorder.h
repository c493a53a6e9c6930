#pragma once
// Answers the program's file dialogs without showing them and keeps what each caller asked for.
#include <QString>
#include <deque>
#include <vector>

#include "widgets/single_file_sel.h"

namespace mvtest {

// Installed for its lifetime. Queued answers are given in order; once they run out every
// dialog is cancelled.
class FileDialogRecorder {
 public:
  FileDialogRecorder();
  ~FileDialogRecorder();
  FileDialogRecorder(const FileDialogRecorder&) = delete;
  FileDialogRecorder& operator=(const FileDialogRecorder&) = delete;

  void answer(const QString& path) { answers_.push_back({true, path}); }
  void cancel() { answers_.push_back({false, QString()}); }

  const std::vector<mvgui::CSingleFileSel::Request>& requests() const { return requests_; }

 private:
  std::deque<mvgui::CSingleFileSel::Answer> answers_;
  std::vector<mvgui::CSingleFileSel::Request> requests_;
};

}  // namespace mvtest
