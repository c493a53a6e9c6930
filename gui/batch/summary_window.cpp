#include "batch/summary_window.h"

#include <QCoreApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "media/time_format.h"
#include "platform/paths.h"
#include "platform/printable_name.h"
#include "search/folder_summary.h"
#include "widgets/dialog_units.h"
#include "widgets/single_file_sel.h"

namespace mvgui {
namespace {

// The table's headings, in the order of the summary's columns; "ok" is not shown (a cause in the
// next column says it).
constexpr const char* kHeadings[] = {
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "文件"),
    nullptr,
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "无法读取的原因"),
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "格式"),
    nullptr,  // "video": its empty video cells say it
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "视频编码"),
    nullptr,  // the container's tags are for the exports
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "音频编码"),
    nullptr,
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "时长"),
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "文件大小(字节)"),
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "宽"),
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "高"),
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "帧率"),
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "视频平均"),
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "视频最高"),
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "视频最低"),
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "音频平均"),
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "音频最高"),
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "音频最低"),
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "总平均"),
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "总最高"),
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "总最低"),
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "峰值窗口(秒)"),
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "视频峰值"),
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "总峰值"),
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "无视频秒数"),
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "第一段无视频"),
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "帧数"),
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "关键帧"),
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "最短GOP"),
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "最长GOP"),
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "平均GOP"),
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "缓冲区"),
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "违规帧"),
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "第一段违规"),
    QT_TRANSLATE_NOOP("mvgui::SummaryWindow", "备注"),
};
constexpr int kPathRole = Qt::UserRole + 1;
constexpr int kSortRole = Qt::UserRole;

// Sorts by the number a cell holds where it holds one, else by text. A cell without a number
// counts as the least, so that the highest values head a descending sort.
class Cell : public QTableWidgetItem {
 public:
  using QTableWidgetItem::QTableWidgetItem;
  bool operator<(const QTableWidgetItem& other) const override {
    const QVariant a = data(kSortRole), b = other.data(kSortRole);
    if (a.isValid() && b.isValid()) return a.toDouble() < b.toDouble();
    if (a.isValid() != b.isValid()) return b.isValid();
    return text().localeAwareCompare(other.text()) < 0;
  }
};

bool speaksEnglish() {
  return QCoreApplication::translate("mvgui::SummaryWindow", kHeadings[0]) != QString::fromUtf8(kHeadings[0]);
}

}  // namespace

SummaryWindow::SummaryWindow(const QString& folder, bool allFormats, const mv::SummaryOptions& options,
                             QWidget* parent)
    : QDialog(parent), folder_(folder), allFormats_(allFormats), options_(options) {
  static_assert(std::size(kHeadings) == 37);
  setWindowTitle(tr("统计汇总 - %1").arg(QString::fromStdString(mv::printableName(folder.toStdString()))));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                 Qt::WindowCloseButtonHint);
  setFont(dialogFont());
  setSizeGripEnabled(true);

  table_ = new QTableWidget(this);
  table_->setObjectName(QStringLiteral("summaryTable"));
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setAlternatingRowColors(true);
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  QStringList headings;
  for (const char* h : kHeadings)
    if (h) headings << tr(h);
  table_->setColumnCount(int(headings.size()));
  table_->setHorizontalHeaderLabels(headings);
  table_->horizontalHeader()->setSectionsClickable(true);
  table_->horizontalHeader()->setSortIndicatorShown(true);
  // The causes of files that did not load are few and long: last, where they take no room from
  // the numbers.
  table_->horizontalHeader()->moveSection(1, table_->columnCount() - 1);
  connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
    if (const QTableWidgetItem* item = table_->item(row, 0))
      emit openRequested(item->data(kPathRole).toString());
  });

  progress_ = new QLabel(this);
  progress_->setObjectName(QStringLiteral("summaryProgress"));
  stop_ = new QPushButton(tr("停止"), this);
  export_ = new QPushButton(tr("导出CSV"), this);
  export_->setEnabled(false);
  auto* close = new QPushButton(tr("关闭"), this);
  connect(stop_, &QPushButton::clicked, this, &SummaryWindow::OnStop);
  connect(export_, &QPushButton::clicked, this, &SummaryWindow::OnExportCsv);
  connect(close, &QPushButton::clicked, this, &QDialog::close);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(progress_, 1);
  buttons->addWidget(stop_);
  buttons->addWidget(export_);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_, 1);
  layout->addLayout(buttons);
  const DialogUnits du = DialogUnits::of(font());
  resize(du.x(520), du.y(260));
}

SummaryWindow::~SummaryWindow() {
  if (run_) run_->RequestStop();
  if (thread_.joinable()) thread_.join();
}

void SummaryWindow::start() {
  if (running_) return;
  if (thread_.joinable()) thread_.join();
  running_ = true;
  rows_.clear();
  table_->setSortingEnabled(false);
  table_->setRowCount(0);
  stop_->setEnabled(true);
  export_->setEnabled(false);
  progress_->setText(tr("正在查找文件……"));
  const std::shared_ptr<mv::FolderSummary> run = run_ = std::make_shared<mv::FolderSummary>();
  thread_ =
      std::thread([this, run, folder = folder_.toStdString(), allFormats = allFormats_, options = options_] {
        mv::FolderSummary::Callbacks callbacks;
        // Everything the window shows is handed to its own thread; a window that goes away first
        // stops the run and waits for it, and the calls still queued go with it.
        callbacks.found = [this](int total) {
          QMetaObject::invokeMethod(
              this, [this, total] { progress_->setText(tr("已完成 %1/%2").arg(0).arg(total)); },
              Qt::QueuedConnection);
        };
        callbacks.rowDone = [this, run](size_t index, int done, int total) {
          QMetaObject::invokeMethod(
              this, [this, row = run->rows[index], done, total] { AddRow(row, done, total); },
              Qt::QueuedConnection);
        };
        const bool complete = run->Run(folder, allFormats, options, callbacks);
        QMetaObject::invokeMethod(
            this, [this, complete, unreadable = run->unreadableFolders] { Finish(complete, unreadable); },
            Qt::QueuedConnection);
      });
}

void SummaryWindow::OnStop() {
  if (run_ && running_) run_->RequestStop();
}

void SummaryWindow::AddRow(const mv::SummaryRow& row, int done, int total) {
  rows_.push_back(row);
  progress_->setText(tr("已完成 %1/%2").arg(done).arg(total));
  const bool english = speaksEnglish();
  const std::vector<std::string> cells = mv::summaryCells(row, english);
  const std::vector<mv::SummaryCellKind> kinds = mv::summaryColumnKinds();
  const std::vector<std::string>& names = mv::summaryColumns();
  const int r = table_->rowCount();
  table_->insertRow(r);
  const QColor problem(255, 200, 200);
  int column = 0;
  for (size_t i = 0; i < cells.size(); ++i) {
    if (!kHeadings[i]) continue;
    QString text = QString::fromStdString(cells[i]);
    auto* item = new Cell(text);
    if (kinds[i] == mv::SummaryCellKind::Number && !cells[i].empty()) {
      item->setData(kSortRole, std::stod(cells[i]));
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    if (names[i] == "path") {
      const QString path = QString::fromStdString(row.path);
      item->setText(QDir(folder_).relativeFilePath(path));
      item->setToolTip(QString::fromStdString(mv::printableName(row.path)));
      item->setData(kPathRole, path);
    } else if (names[i] == "durationSeconds" && row.ok()) {
      item->setText(QString::fromStdString(mv::formatSeconds(uint32_t(row.durationSeconds))));
    } else if (names[i] == "bufferOk" && row.bufferChecked) {
      item->setText(row.firstBufferRun ? tr("未通过") : tr("通过"));
    }
    if (row.problem()) item->setBackground(problem);
    if (!row.ok()) item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
    table_->setItem(r, column++, item);
  }
}

void SummaryWindow::Finish(bool complete, const std::vector<std::string>& unreadableFolders) {
  if (thread_.joinable()) thread_.join();
  running_ = false;
  int problems = 0, unreadable = 0;
  for (const mv::SummaryRow& r : rows_) {
    problems += r.problem() ? 1 : 0;
    unreadable += r.ok() ? 0 : 1;
  }
  QString text =
      complete
          ? tr("共 %1 个文件：%2 个有问题，%3 个无法读取").arg(rows_.size()).arg(problems).arg(unreadable)
          : tr("已停止：已完成 %1 个文件").arg(rows_.size());
  if (!unreadableFolders.empty()) {
    text += tr("；%1 个文件夹无法读取").arg(unreadableFolders.size());
    QStringList names;
    for (const std::string& f : unreadableFolders) names << QString::fromStdString(mv::printableName(f));
    progress_->setToolTip(names.join(u'\n'));
  }
  progress_->setText(text);
  // Sorting first: the headings' widths then leave room for the sort arrow beside the text.
  table_->setSortingEnabled(true);
  table_->sortByColumn(0, Qt::AscendingOrder);
  table_->resizeColumnsToContents();
  stop_->setEnabled(false);
  export_->setEnabled(!rows_.empty());
  emit runFinished();
}

void SummaryWindow::OnExportCsv() {
  if (running_ || rows_.empty()) return;
  CSingleFileSel dialog(false, QStringLiteral(".csv"), QString(),
                        CSingleFileSel::HideReadOnly | CSingleFileSel::OverwritePrompt,
                        QStringLiteral("CSV File(*.csv)|*.csv|All Files(*.*)|*.*||"), this);
  dialog.setTitle(tr("导出CSV"));
  if (dialog.DoModal() != QDialog::Accepted || dialog.GetPathName().isEmpty()) return;
  ExportCsv(QString::fromStdString(mv::ensureExtension(dialog.GetPathName().toStdString(), ".csv")));
}

bool SummaryWindow::ExportCsv(const QString& path) {
  if (running_) return false;
  // The rows as they came in, in the order of their paths: the file does not follow the view.
  std::vector<mv::SummaryRow> sorted = rows_;
  std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.path < b.path; });
  return mv::exportSummaryCsv(path.toStdString(), sorted,
                              run_ ? run_->treeFiles : std::vector<mv::FileIdentity>{}, speaksEnglish());
}

}  // namespace mvgui
