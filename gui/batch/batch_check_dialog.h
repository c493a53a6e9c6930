#pragma once
// The batch check window: a source folder and a result file, chosen with their browse buttons
// or by dropping a RealMedia file, and a Start button that runs the zero-second check over the
// folder tree and becomes Stop while the run goes on. Files that could not be read are listed
// under the progress line with their causes. The run pumps events between files, so every
// handler here can be entered from inside it.
#include <QDialog>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>
#include <optional>

#include "analysis/buffer_check.h"
#include "analysis/file_summary.h"

class QBoxLayout;
class QCheckBox;
class QComboBox;
class QLayout;
class QKeyEvent;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace mv {
class BatchCheck;
}

namespace mvgui {

class ColourLabel;

class BatchCheckDialog : public QDialog {
  Q_OBJECT
 public:
  explicit BatchCheckDialog(QWidget* parent = nullptr);
  ~BatchCheckDialog() override;

  // The control with a resource id (1, 2, 1002, 1012, 1051, 1055, 1057, 1058, 1059, 1067, 1068),
  // or null.
  QWidget* control(int id) const;

  const QString& sourceFolder() const { return sourceFolder_; }
  const QString& resultFile() const { return resultFile_; }
  bool running() const;
  // The buffer check the run adds to each file, or none.
  std::optional<mv::BufferPreset> bufferPreset() const;
  const mv::BatchCheck& engine() const { return *engine_; }

 public slots:
  // Button 1 and Enter: starts a run, or asks the running one to stop.
  void OnStart();
  // Button 1068: the summary of the source folder with the same choices, in a window of its own;
  // this one closes.
  void OnSummary();
  void OnBrowseSource();
  void OnBrowseResult();
  // Dropped names in their order: the folder of the first .rm or .rmvb file becomes the source.
  void OnDropFiles(const QStringList& paths);
  // Close, Esc and the close box: ignored while a run is in progress.
  void reject() override;

 signals:
  // A file is about to be checked; the path and progress labels already show it.
  void fileChecking(const QString& path, int checked, int total);
  // The summary table was asked for (the window is closed by then).
  void summaryRequested(const QString& folder, bool allFormats, const mv::SummaryOptions& options);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  // Enter held down repeats its press: only a fresh press starts or stops a run.
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildControls();
  QBoxLayout* buildFolderRows();
  QBoxLayout* buildButtons();
  QBoxLayout* buildProgress();
  QLayout* buildOptions();
  // Registers a control under its resource id, which tests and control() look it up by.
  template <typename W>
  W* named(int id, W* widget);
  void ShowUnreadableFile(const QString& path, const QString& cause);
  void ShowFields();
  void EnableButtons(bool enable);
  void OnRunningChanged(bool running);
  void ShowProgress(const QString& path, int checked, int total);
  // After a run: the folders it could not read, so that nobody takes the tree for checked.
  void ShowUnreadableFolders();

  QString sourceFolder_;
  QString resultFile_;
  QString savedStartText_;
  // Shared with the run in progress, which must outlive the window if it goes away mid-run.
  std::shared_ptr<mv::BatchCheck> engine_;

  std::map<int, QWidget*> controls_;
  QPushButton* start_ = nullptr;
  QPushButton* close_ = nullptr;
  QPushButton* summary_ = nullptr;
  QPushButton* browseSource_ = nullptr;
  QPushButton* browseResult_ = nullptr;
  ColourLabel* sourceLabel_ = nullptr;
  ColourLabel* resultLabel_ = nullptr;
  ColourLabel* currentLabel_ = nullptr;
  QLabel* progressLabel_ = nullptr;
  QPlainTextEdit* unreadableFiles_ = nullptr;  // one line per file of the run that did not load
  QCheckBox* allFormats_ = nullptr;            // files of every readable format, not only RealMedia
  QComboBox* bufferPreset_ = nullptr;          // the buffer check of every file, or none
};

}  // namespace mvgui
