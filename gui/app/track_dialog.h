#pragma once
// "选择轨道": the tracks of a file and which video and audio track its series count.
#include <QDialog>

#include "media/file_analysis.h"

class QComboBox;
class QTreeWidget;

namespace mvgui {

class TrackDialog : public QDialog {
  Q_OBJECT
 public:
  // Lists the tracks of `analysis` with its chosen ones selected; the analysis outlives the dialog.
  explicit TrackDialog(const mv::FileAnalysis& analysis, QWidget* parent = nullptr);

  // The tracks chosen in the boxes (-1: none of that kind).
  int videoTrack() const;
  int audioTrack() const;
  QComboBox* videoBox() const { return video_; }
  QComboBox* audioBox() const { return audio_; }
  QTreeWidget* table() const { return table_; }

 private:
  QComboBox* trackBox(mv::TrackKind kind, int chosen, int byDefault);

  const mv::FileAnalysis& analysis_;
  QTreeWidget* table_ = nullptr;
  QComboBox* video_ = nullptr;
  QComboBox* audio_ = nullptr;
};

}  // namespace mvgui
