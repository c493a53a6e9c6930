#include "gui/support/file_dialog_recorder.h"

namespace mvtest {

FileDialogRecorder::FileDialogRecorder() {
  mvgui::CSingleFileSel::setTestResponder([this](const mvgui::CSingleFileSel::Request& request) {
    requests_.push_back(request);
    if (answers_.empty()) return mvgui::CSingleFileSel::Answer{};
    const mvgui::CSingleFileSel::Answer next = answers_.front();
    answers_.pop_front();
    return next;
  });
}

FileDialogRecorder::~FileDialogRecorder() { mvgui::CSingleFileSel::setTestResponder({}); }

}  // namespace mvtest
