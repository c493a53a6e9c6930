#pragma once
// Connects the two file slots to the chart, the axis numbers, the statistics fields, the
// statistics list and the zero-second indicators of the main window.
#include <QColor>
#include <QString>
#include <array>
#include <optional>
#include <vector>

#include "analysis/buffer_check.h"
#include "analysis/file_slot.h"
#include "app/track_layers.h"
#include "widgets/file_colours.h"
#include "widgets/frame_list.h"

class QLabel;
class QTreeWidget;
class QWidget;

namespace mvgui {

class CCurveChart;
class StatListCtrl;

// What the panel needs of the window it lives in.
class PanelHost {
 public:
  virtual ~PanelHost() = default;
  // The control with a resource id, or null.
  virtual QWidget* control(int id) const = 0;
  virtual void SetZeroIndicator(int slot, bool hasZeroSeconds) = 0;
  // The chart zoomed itself (wheel or keys); the window shows the new zoom.
  virtual void ZoomChanged(int /*zoom*/) {}
};

class CCurvePanel {
 public:
  // Reads the two slots of the window (file 1, file 2); they outlive the panel.
  explicit CCurvePanel(const std::array<mv::FileSlot, 2>& fileSlots) : slots_(fileSlots) {}
  CCurvePanel(const CCurvePanel&) = delete;
  CCurvePanel& operator=(const CCurvePanel&) = delete;

  // Takes the window's chart, list and frame list and sets up axes, columns and series.
  void Init(PanelHost* host, CCurveChart* chart, StatListCtrl* list, FrameList* frameList);

  void RefreshSlot(int slot);
  // `keepView`: the same seconds stay in view (a line added), else the view goes to the start.
  void RefreshChart(bool keepView = false);

  // What the chart and list show: the seconds, every video frame, every group of pictures, or
  // the decoder buffer's fullness after every frame, or every track of the first file stacked by
  // second.
  enum View { PerSecond = 0, PerFrame = 1, PerGop = 2, Buffer = 3, Tracks = 4 };
  // The frame views list frames; the per-second and track views their own rows.
  bool listsFrames() const { return view_ == PerFrame || view_ == PerGop || view_ == Buffer; }
  void SetView(int view);
  int view() const { return view_; }
  // The peak window in seconds (1 .. 60) and the moving-average line of that length.
  void SetPeakWindow(int seconds);
  int peakWindow() const { return peakSeconds_; }
  void SetAverageLine(bool on);
  bool averageLine() const { return averageLine_; }
  const FrameData& frameData(int slot) const { return frames_[size_t(slot & 1)]; }
  // The slot's frame list when a frame view has read it (with its types), else null.
  const std::vector<mv::VideoFrame>* builtFrames(int slot) const {
    return framesBuilt_[size_t(slot & 1)] ? &frames_[size_t(slot & 1)].frames : nullptr;
  }
  FrameList* frameList() const { return frameList_; }
  // The track view's list: a row for each track and one for all of them.
  void SetTrackList(QTreeWidget* list);
  QTreeWidget* trackList() const { return trackList_; }
  // The file the track view shows (the one chosen if loaded, else the other; -1 none) and its
  // layers; with two files open, a click on the other file's label shows its tracks instead.
  int trackSlot() const;
  void ShowTracksOf(int slot);
  const TrackLayers& trackLayers() const { return layers_; }
  // Ids of the track view's series, one a layer from the bottom up.
  static constexpr int kTrackSeries = 100;
  // Ids of the moving-average series; the key frames are marked on the files' own series.
  static constexpr int kAverageSeries[2] = {3, 4};
  // Ids of each file's buffer rate line in the per-second views.
  static constexpr int kRateSeries[2] = {5, 6};

  // The buffer the check fills: a preset, or for Custom `rate` bit/s and `bits`.
  void SetBufferPreset(mv::BufferPreset preset, uint64_t rate = 0, uint64_t bits = 0);
  mv::BufferPreset bufferPreset() const { return preset_; }
  // The slot's buffer model, or null with why (the stream declares none).
  const mv::BufferModel* bufferModel(int slot) const {
    return models_[size_t(slot & 1)] ? &*models_[size_t(slot & 1)] : nullptr;
  }
  const QString& bufferWhy(int slot) const { return why_[size_t(slot & 1)]; }
  // The check of the slot's frames once the buffer view has shown them, else null.
  const mv::BufferCheck* bufferCheck(int slot) const {
    return checks_[size_t(slot & 1)] ? &*checks_[size_t(slot & 1)] : nullptr;
  }
  // The slot's runs of violations as a message lists them; empty when it has no check.
  QString bufferRunsText(int slot) const;
  // Takes the zoom the settings hold.
  void ApplyScale();

  // Zoom: a percentage or kWholeFile (every second within the plot's width).
  static constexpr int kWholeFile = 0;
  // Every zoom there is, from the whole file up to 800 %.
  static const std::vector<int>& zoomLevels();
  int zoom() const { return zoom_; }
  void SetZoom(int zoom);
  // Moves `steps` levels up (in) or down (out) around the plot's pixel column `atPixel` (-1:
  // the middle); returns the zoom then in force.
  int StepZoom(int steps, int atPixel = -1);
  // The plot's width now is the one at which 100 % shows 100 seconds (the window as created).
  void TakeBasePlotWidth();
  // The chart was resized: more room shows more seconds at the same zoom.
  void ChartResized();
  // Marks the second of a list row in the chart and scrolls it into view; -1 removes the mark.
  void ShowSecond(int row);
  // Seconds (points) the longer of the two files has.
  int pointCount() const;
  void ApplyDataPoints();
  void InvalidateList();
  // The legend colour of a swatch control (1044, 1045, 1046, 1047, 1050).
  std::optional<QColor> GetSwatchBrush(int id) const;

  CCurveChart* chart() const { return chart_; }
  StatListCtrl* list() const { return list_; }
  QLabel* axisLabel(int index) const { return axisLabels_[index]; }

  // Internal steps, public for tests.
  void SetAxisLabels(int low, int high);
  void SetStatField(double value, int id);
  void FillList(int slot);
  void UpdateZeroIndicator(int slot);
  // The line under the list: each file's peak window, or its key frames and GOP length.
  void UpdatePeakLabels();
  // Takes a check of the slot's frames as the buffer view would make it, and shows it.
  void ShowBufferCheck(int slot, mv::BufferCheck check);

 private:
  void buildFrames(int slot);
  void updateBufferModel(int slot);
  void checkBuffers();
  void buildTrackLayers();
  double addTracksToChart();
  void fillTrackList();
  double addFullnessToChart();
  void addRateLines(int item);
  QString bufferLine(int slot) const;
  void stepZoomLevel(int steps);
  double addFramesToChart();
  void addAverageLines(int item);
  void setFrameStatFields();
  // xStep of the zoom, and the view's width in x for it at the chart's current size.
  int stepOfZoom(int zoom) const;
  int viewWidthOfZoom(int zoom) const;
  void applyViewWidth();

  const std::array<mv::FileSlot, 2>& slots_;
  PanelHost* host_ = nullptr;
  QLabel* axisLabels_[5] = {};
  CCurveChart* chart_ = nullptr;
  StatListCtrl* list_ = nullptr;
  int zoom_ = 100;
  int baseClientWidth_ = 0;  // the plot's width as the window was created
  int view_ = PerSecond;
  int peakSeconds_ = 5;
  bool averageLine_ = false;
  std::array<FrameData, 2> frames_;
  std::array<bool, 2> framesBuilt_{};
  FrameList* frameList_ = nullptr;
  mv::BufferPreset preset_ = mv::BufferPreset::Dvd;
  uint64_t customRate_ = 0, customBits_ = 0;
  std::array<std::optional<mv::BufferModel>, 2> models_;
  std::array<QString, 2> why_;
  std::array<std::optional<mv::BufferCheck>, 2> checks_;
  QTreeWidget* trackList_ = nullptr;
  TrackLayers layers_;
  bool layersBuilt_ = false;
  int trackChoice_ = 0;
};

}  // namespace mvgui
