#pragma once
// The main window: two file slots, the chart and list below, the output options and exports.
// The window owns the slots; the panel, the list and the dialogs are handed them.
#include <QDialog>
#include <QImage>
#include <QString>
#include <QStringList>
#include <array>
#include <chrono>
#include <map>
#include <vector>

#include "analysis/file_slot.h"
#include "analysis/file_summary.h"
#include "app/curve_panel.h"
#include "app/open_progress.h"
#include "report/text_report.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace mvgui {

class CCurveChart;
class ColourLabel;
class SummaryWindow;
struct DialogUnits;

class MainDialog : public QDialog, public PanelHost {
  Q_OBJECT
 public:
  explicit MainDialog(QWidget* parent = nullptr);
  ~MainDialog() override;

  // The control with a resource id (1001 ... 1063, its object name), or null.
  QWidget* control(int id) const override;
  void SetZeroIndicator(int slot, bool hasZeroSeconds) override;
  void ZoomChanged(int zoom) override;

  CCurvePanel& panel() { return panel_; }
  const QString& path(int slot) const { return slot == 0 ? path1_ : path2_; }
  // Slot 0 is file 1, slot 1 is file 2.
  mv::FileSlot& slot(int index) { return slots_[index == 0 ? 0 : 1]; }
  const mv::FileSlot& slot(int index) const { return slots_[index == 0 ? 0 : 1]; }
  // How long an open runs before its progress window comes up.
  void setProgressDelay(std::chrono::milliseconds delay) { progressDelay_ = delay; }

 public slots:
  void OnOpen(int slot);
  // Opens `path` into the slot as the open button does after its dialog; false when it failed
  // or was cancelled.
  bool OpenFile(int slot, const QString& path);
  // Files dropped or named on the command line: one goes to `slot` (-1: the first empty slot,
  // else slot 1), two fill both slots.
  void OpenFiles(const QStringList& paths, int slot = -1);
  // The chart as an image: the current view, or the whole file.
  QImage ChartImage(bool wholeFile) const;
  void OnCopyChartImage();
  // The runs of seconds without video of a slot, in a window (a click on its indicator).
  void OnShowGaps(int slot);
  // The runs of buffer violations of a slot, in a window (a click on its line in the buffer view).
  void OnShowBufferRuns(int slot);
  // The summary of a folder in a window of its own, read while the window is shown; a
  // double-click on a row opens that file in slot 0.
  SummaryWindow* OnFolderSummary(const QString& folder, bool allFormats, const mv::SummaryOptions& options);
  void OnSaveChartImage();
  void OnCloseSlot(int slot);
  void OnTextReport();
  void OnSpreadsheet();
  void OnFileInfo(int slot);
  // The track window of a slot's file; OK counts the chosen tracks and shows the file anew.
  void OnChooseTracks(int slot);
  void OnCountButton(int mode);  // 1 highest, 0 lowest
  void StoreOptions();
  // Shows what the slot holds now: chart, list, fields, indicator and the path label's tip.
  void RefreshSlot(int slot);

 signals:
  // The information window and the link icons are wired by their own code.
  void fileInfoRequested(int slot);

 protected:
  void OnInitDialog();
  void accept() override {}  // Enter does nothing
  void done(int result) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void buildControls();
  // The window's rows, top to bottom.
  QWidget* buildFileRows(const DialogUnits& du);
  QWidget* buildOptions(const DialogUnits& du);
  QWidget* buildViewChoice(const DialogUnits& du);
  QWidget* buildOutput(const DialogUnits& du);
  QLayout* buildLinks(const DialogUnits& du);
  QWidget* buildChartGroup(const DialogUnits& du);
  QLayout* buildStatistics(const DialogUnits& du);
  QLayout* buildMarkedSeconds(const DialogUnits& du);
  QLayout* buildPeakRow(const DialogUnits& du);
  QPushButton* iconButton(int id, int iconId, const DialogUnits& du);
  QWidget* swatch(int id, const DialogUnits& du);
  void fitScreen();
  // The buffer box's choice to the panel; the custom fields show only for it.
  void applyBufferPreset();
  void LoadOptions();
  void UpdateCountButtons();
  void UpdateData(bool save);  // true: controls → members; false: members → controls
  bool AnythingToOutput();
  // Asks for a file name to save to; empty when cancelled. Adds `extension` unless the name
  // already ends with it.
  QString askSavePath(const QString& filter, const QString& extension);
  // The first file's name with `extension`, as save dialogs suggest it; empty without a file.
  QString suggestedName(const QString& extension) const;
  // The exports' parts, as the settings hold them.
  static mv::ReportOptions reportOptions();
  void applyMarkedSeconds(mv::FileSlot& slot) const;
  void applySwatchColours();
  void restoreGeometry();
  void saveGeometry();
  void buildMenus();
  void showZoom(int zoom);
  // "3" for tracks[2], "无" for none.
  static QString trackNumber(int track);
  // The slot a drop at `at` (window coordinates) goes to.
  int slotAt(QPoint at) const;

  template <typename W>
  W* add(int id, W* widget);

  // Members exchanged with the controls.
  QString path1_, path2_;
  int outTotal_ = 0, outAudio_ = 0, outFileInfo_ = 0, outHeader_ = 0, outVideo_ = 0, outStatistics_ = 0;
  int scaleIndex_ = -1, itemIndex_ = -1, dataPoints_ = 0;

  std::array<mv::FileSlot, 2> slots_;
  std::chrono::milliseconds progressDelay_ = OpenProgress::kDelay;

  ColourLabel* label1_ = nullptr;
  ColourLabel* label2_ = nullptr;
  QCheckBox* checks_[6] = {};
  QComboBox* itemCombo_ = nullptr;
  QComboBox* scaleCombo_ = nullptr;
  QCheckBox* pointsCheck_ = nullptr;
  QSpinBox* peakSpin_ = nullptr;
  QCheckBox* averageCheck_ = nullptr;
  QComboBox* bufferCombo_ = nullptr;
  QSpinBox* bufferRate_ = nullptr;
  QSpinBox* bufferSize_ = nullptr;
  QLabel* zeroIndicator_[2] = {};
  QLabel* peakLabel_[2] = {};
  CCurveChart* chart_ = nullptr;
  CCurvePanel panel_{slots_};
  bool initialised_ = false;
  bool imageOfWholeFile_ = false;
};

}  // namespace mvgui
