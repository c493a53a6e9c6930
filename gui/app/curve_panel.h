#pragma once
// Connects the two file slots to the chart, the axis numbers, the statistics fields, the
// statistics list and the zero-second indicators of the main window.
#include <QColor>
#include <array>
#include <optional>
#include <vector>

#include "analysis/file_slot.h"
#include "widgets/file_colours.h"

class QLabel;
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

  // Creates the chart in the place of control 1031 and sets up list, labels and series.
  void Init(PanelHost* host, QWidget* window);

  void RefreshSlot(int slot);
  void RefreshChart();
  // Takes the zoom of the settings' scale (100 % or 200 %).
  void ApplyScale();

  // Zoom: a percentage or kWholeFile (every second within the plot's width).
  static constexpr int kWholeFile = 0;
  // Every zoom there is, from the whole file up to 800 %.
  static const std::vector<int>& zoomLevels();
  int zoom() const { return zoom_; }
  void SetZoom(int zoom);
  // Moves `steps` levels up (in) or down (out); returns the zoom then in force.
  int StepZoom(int steps);
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

 private:
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
};

}  // namespace mvgui
