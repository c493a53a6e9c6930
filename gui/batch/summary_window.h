#pragma once
// The folder summary in a window: one row a file, filled while the files are read on threads of
// their own, sortable by any column. A double-click asks for the file to be opened; the table
// can be saved as CSV.
#include <QDialog>
#include <QString>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "analysis/file_summary.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace mv {
class FolderSummary;
}

namespace mvgui {

class SummaryWindow : public QDialog {
  Q_OBJECT
 public:
  SummaryWindow(const QString& folder, bool allFormats, const mv::SummaryOptions& options,
                QWidget* parent = nullptr);
  // Stops a run in progress; the file being read stops where it is.
  ~SummaryWindow() override;

  // Reads the folder; rows come in as their files are done.
  void start();
  bool running() const { return running_; }
  QTableWidget* table() const { return table_; }
  // The rows in the order they came in (the table's may be sorted otherwise).
  const std::vector<mv::SummaryRow>& rows() const { return rows_; }
  QPushButton* stopButton() const { return stop_; }
  QPushButton* exportButton() const { return export_; }

 public slots:
  void OnStop();
  // Asks for a file name and writes the table as CSV.
  void OnExportCsv();
  // Writes the rows as CSV to `path`; false when the user was told it failed.
  bool ExportCsv(const QString& path);

 signals:
  // A row was double-clicked: its file, for the main window's first slot.
  void openRequested(const QString& path);
  // The run is over (finished, stopped or not started for want of files).
  void runFinished();

 private:
  void AddRow(const mv::SummaryRow& row, int done, int total);
  void Finish(bool complete, const std::vector<std::string>& unreadableFolders);

  QString folder_;
  bool allFormats_;
  mv::SummaryOptions options_;
  std::shared_ptr<mv::FolderSummary> run_;
  std::thread thread_;
  bool running_ = false;
  std::vector<mv::SummaryRow> rows_;
  QTableWidget* table_ = nullptr;
  QLabel* progress_ = nullptr;
  QPushButton* stop_ = nullptr;
  QPushButton* export_ = nullptr;
};

}  // namespace mvgui
