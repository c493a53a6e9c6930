#include "batch/batch_check_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QUrl>

#include "batch/folder_picker.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/printable_name.h"
#include "search/batch_check.h"
#include "settings/para_block.h"
#include "widgets/colour_label.h"
#include "widgets/dialog_units.h"
#include "widgets/icons.h"
#include "widgets/single_file_sel.h"
#include "widgets/window_settings.h"

namespace mvgui {

namespace {

constexpr const char* kStopText = QT_TRANSLATE_NOOP("mvgui::BatchCheckDialog", "停止");

}  // namespace

BatchCheckDialog::BatchCheckDialog(QWidget* parent)
    : QDialog(parent), engine_(std::make_shared<mv::BatchCheck>()) {
  setWindowTitle(tr("批量检查RM文件"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setFont(dialogFont());
  setAcceptDrops(true);
  buildControls();

  // The callbacks may run after the window is gone (destroyed from inside the pump): they then
  // leave the window alone and let the run end at the next file.
  QPointer<BatchCheckDialog> self(this);
  mv::BatchCheck* engine = engine_.get();
  mv::BatchCheck::Callbacks callbacks;
  callbacks.pumpMessages = [self, engine] {
    QCoreApplication::processEvents();
    if (!self) engine->RequestStop();
  };
  callbacks.progress = [self](const std::string& path, int checked, int total) {
    if (self) self->ShowProgress(QString::fromStdString(path), checked, total);
  };
  callbacks.runningChanged = [self](bool running) {
    if (self) self->OnRunningChanged(running);
  };
  engine_->SetCallbacks(std::move(callbacks));

  sourceFolder_ = QString::fromStdString(mv::paraBlock().GetText(mv::PARA_RM_CHK_SRC));
  resultFile_ = QString::fromStdString(mv::paraBlock().GetText(mv::PARA_RM_CHK_TGT));
  // Proposed only: the setting stays empty until the user chooses a file.
  if (resultFile_.isEmpty()) resultFile_ = QString::fromStdString(mv::defaultBatchResultFile());
  ShowFields();
}

BatchCheckDialog::~BatchCheckDialog() = default;

void BatchCheckDialog::buildControls() {
  const DialogUnits du = DialogUnits::of(font());
  setFixedSize(du.x(299), du.y(96));
  auto place = [&](int id, QWidget* w, int x, int y, int width, int height) {
    w->setGeometry(du.rect(x, y, width, height));
    if (id != 0) {
      controls_[id] = w;
      w->setObjectName(QString::number(id));
    }
    return w;
  };
  auto text = [&](const QString& t, int x, int y, int width, int height) {
    auto* label = new QLabel(t, this);
    label->setTextFormat(Qt::PlainText);
    place(0, label, x, y, width, height);
  };
  auto pathLabel = [&](int id, int x, int y, int width, int height) {
    auto* label = new ColourLabel(id, this);
    label->setPathMode(true);
    place(id, label, x, y, width, height);
    return label;
  };
  auto browseButton = [&](int id, int x, int y) {
    auto* b = new QPushButton(this);
    b->setIcon(QIcon(iconPixmap(129)));
    b->setIconSize(QSize(15, 13));
    place(id, b, x, y, 19, 16);
    return b;
  };

  start_ = new QPushButton(tr("3.开始"), this);
  start_->setDefault(true);
  place(1, start_, 242, 7, 50, 14);
  auto* close = new QPushButton(tr("4.关闭"), this);
  place(2, close, 242, 24, 50, 14);

  text(tr("1.RM文件所在文件夹(子文件夹将被自动搜索):"), 7, 7, 165, 8);
  sourceLabel_ = pathLabel(1057, 7, 18, 207, 10);
  auto* browseSource = browseButton(1058, 217, 12);
  text(tr("2.结果文件:"), 7, 32, 45, 8);
  resultLabel_ = pathLabel(1012, 7, 42, 207, 10);
  auto* browseResult = browseButton(1002, 217, 36);
  text(tr("正在检查:"), 7, 56, 37, 8);
  currentLabel_ = pathLabel(1051, 7, 67, 252, 10);
  progressLabel_ = new QLabel(this);
  progressLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  place(1055, progressLabel_, 262, 67, 30, 10);

  allFormats_ = new QCheckBox(tr("检查所有支持的格式"), this);
  place(1059, allFormats_, 7, 81, 160, 10);
  allFormats_->setChecked(windowSetting("BatchAllFormats", 0) != 0);
  engine_->SetAllFormats(allFormats_->isChecked());
  connect(allFormats_, &QCheckBox::toggled, this, [this](bool on) {
    engine_->SetAllFormats(on);
    setWindowSetting("BatchAllFormats", on ? 1 : 0);
  });

  // An icon control takes the size of its icon.
  auto* icon = new QLabel(this);
  const QPixmap application = iconPixmap(128);
  icon->setPixmap(application);
  icon->setGeometry(QRect(QPoint(du.x(255), du.y(41)), application.size()));

  connect(start_, &QPushButton::clicked, this, &BatchCheckDialog::OnStart);
  connect(close, &QPushButton::clicked, this, &BatchCheckDialog::reject);
  connect(browseSource, &QPushButton::clicked, this, &BatchCheckDialog::OnBrowseSource);
  connect(browseResult, &QPushButton::clicked, this, &BatchCheckDialog::OnBrowseResult);
}

QWidget* BatchCheckDialog::control(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

bool BatchCheckDialog::running() const { return engine_->running(); }

void BatchCheckDialog::ShowFields() {
  sourceLabel_->setText(sourceFolder_);
  resultLabel_->setText(resultFile_);
}

void BatchCheckDialog::EnableButtons(bool enable) {
  // Start is left alone: it is the Stop button while the buttons are off.
  for (QPushButton* b : findChildren<QPushButton*>(Qt::FindDirectChildrenOnly))
    if (b != start_) b->setEnabled(enable);
  allFormats_->setEnabled(enable);
}

void BatchCheckDialog::OnRunningChanged(bool running) {
  if (running) {
    savedStartText_ = start_->text();
    start_->setText(tr(kStopText));
    EnableButtons(false);
  } else {
    EnableButtons(true);
    start_->setText(savedStartText_);
    currentLabel_->setText(QString());
    progressLabel_->clear();
  }
}

void BatchCheckDialog::ShowProgress(const QString& path, int checked, int total) {
  currentLabel_->setText(path);
  progressLabel_->setText(QString::asprintf("%d/%d", checked, total));
  // Loading the file does not pump events: paint now, so that the window names the file it
  // is busy with rather than the one before.
  if (isVisible()) {
    currentLabel_->repaint();
    progressLabel_->repaint();
  }
  emit fileChecking(path, checked, total);
}

void BatchCheckDialog::OnStart() {
  if (engine_->running()) {
    engine_->RequestStop();
    return;
  }
  // The run may outlive the window when something destroys it from inside the pump.
  const std::shared_ptr<mv::BatchCheck> engine = engine_;
  const QPointer<BatchCheckDialog> self(this);
  const mv::BatchOutcome outcome = engine->OnStart(sourceFolder_.toStdString(), resultFile_.toStdString());
  if (!self) return;
  ShowUnreadableFolders();
  switch (outcome) {
    case mv::BatchOutcome::NoSourceFolder:
      control(1058)->setFocus();
      break;
    case mv::BatchOutcome::NoResultFile:
    case mv::BatchOutcome::ResultCreateFailed:
      control(1002)->setFocus();
      break;
    default:
      break;
  }
}

void BatchCheckDialog::ShowUnreadableFolders() {
  const std::vector<std::string>& folders = engine_->unreadableFolders();
  if (folders.empty()) return;
  // A box stays readable with a few names; the result file names every one.
  constexpr size_t kListed = 10;
  QString text = tr("以下文件夹无法读取，其中的文件没有检查：");
  for (size_t i = 0; i < folders.size() && i < kListed; ++i)
    text += u'\n' + QString::fromStdString(mv::printableName(folders[i]));
  if (folders.size() > kListed) text += u'\n' + tr("……共 %1 个文件夹").arg(folders.size());
  mv::showMessage(text.toStdString());
}

void BatchCheckDialog::OnBrowseSource() {
  if (running()) return;
  FolderPicker picker(tr("选择源文件夹"), tr("请选择RM文件所在文件夹:"), sourceFolder_, this);
  if (picker.Browse() != 1) return;
  sourceFolder_ = picker.path();
  ShowFields();
  mv::paraBlock().SetText(mv::PARA_RM_CHK_SRC, sourceFolder_.toStdString(), 1);
}

void BatchCheckDialog::OnBrowseResult() {
  if (running()) return;
  CSingleFileSel dialog(false, QStringLiteral(".txt"), QString(),
                        CSingleFileSel::HideReadOnly | CSingleFileSel::OverwritePrompt,
                        QStringLiteral("Text File(*.txt)|*.txt|All Files(*.*)|*.*||"), this);
  dialog.setTitle(tr("结果文件"));
  if (dialog.DoModal() != QDialog::Accepted) return;
  const QString chosen = dialog.GetPathName();
  if (chosen.isEmpty()) return;
  resultFile_ = QString::fromStdString(mv::ensureExtension(chosen.toStdString(), ".txt"));
  ShowFields();
  mv::paraBlock().SetText(mv::PARA_RM_CHK_TGT, resultFile_.toStdString(), 1);
}

void BatchCheckDialog::OnDropFiles(const QStringList& paths) {
  for (const QString& name : paths) {
    // A dropped file is taken when it is of a container the batch check walks.
    if (!mv::batchChecksName(name.toStdString(), allFormats_->isChecked())) continue;
    // Only a full path names a folder; the root keeps its "/".
    const qsizetype slash = name.lastIndexOf(u'/');
    if (slash < 0) continue;
    sourceFolder_ = slash == 0 ? QStringLiteral("/") : name.left(slash);
    ShowFields();
    return;
  }
}

void BatchCheckDialog::reject() {
  if (running()) return;
  QDialog::reject();
}

void BatchCheckDialog::closeEvent(QCloseEvent* event) {
  if (running()) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void BatchCheckDialog::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void BatchCheckDialog::dropEvent(QDropEvent* event) {
  QStringList names;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) names << url.toLocalFile();
  OnDropFiles(names);
  event->acceptProposedAction();
}

}  // namespace mvgui
