#pragma once
// Connects the two file slots to the chart, the axis numbers, the statistics fields, the
// statistics list and the zero-second indicators of the main window.
#include <QColor>
#include <optional>

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
};

class CCurvePanel {
 public:
  CCurvePanel() = default;
  CCurvePanel(const CCurvePanel&) = delete;
  CCurvePanel& operator=(const CCurvePanel&) = delete;

  // Creates the chart in the place of control 1031 and sets up list, labels and series.
  void Init(PanelHost* host, QWidget* window);

  void RefreshSlot(int slot);
  void RefreshChart();
  void ApplyScale();
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
  PanelHost* host_ = nullptr;
  QLabel* axisLabels_[5] = {};
  CCurveChart* chart_ = nullptr;
  StatListCtrl* list_ = nullptr;
};

// The colours of file 1 and file 2 everywhere: curves, labels, swatches and list columns.
inline const QColor kFileColour[2] = {QColor(255, 208, 255), QColor(128, 255, 255)};

}  // namespace mvgui
