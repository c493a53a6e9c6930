#pragma once
// The list below the chart in the frame and GOP views: one row per frame (or group of pictures)
// of each file, key frames tinted. Rows are computed when shown, so a two-hour file's 180,000
// frames cost no strings.
#include <QAbstractTableModel>
#include <QTableView>
#include <array>
#include <vector>

#include "media/frames.h"

namespace mvgui {

// What the frame and GOP views show of one file.
struct FrameData {
  std::vector<mv::VideoFrame> frames;
  std::vector<mv::Gop> gops;
  mv::FrameStats stats;
};

class FrameListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  using QAbstractTableModel::QAbstractTableModel;
  // Shows `files` (file 1, file 2) per frame, or per GOP; the data must outlive the next reset.
  void reset(const std::array<const FrameData*, 2>& files, bool gops);
  bool showsGops() const { return gops_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  // The row of file `slot` starts a key frame (every GOP does).
  bool isKeyRow(int slot, int row) const;
  // The row of file `slot` is an I picture; where the file's types are unknown, a key frame.
  bool isIntraRow(int slot, int row) const;

 private:
  std::array<const FrameData*, 2> files_{};
  std::array<bool, 2> typed_{};
  bool gops_ = false;
};

class FrameList : public QTableView {
  Q_OBJECT
 public:
  explicit FrameList(QWidget* parent = nullptr);
  FrameListModel* frameModel() const { return model_; }
  int selectedRow() const;
  void selectRowShown(int row);
  // The next (or previous) row after the selected one where file 1 or 2 has an I picture.
  bool selectIntraRow(bool forward);

 signals:
  void rowSelected(int row);

 private:
  FrameListModel* model_;
};

// "00:01:10.040" of a time in seconds.
QString frameTimeText(double seconds);

}  // namespace mvgui
