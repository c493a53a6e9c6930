#include "batch/batch_check_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "analysis/failure_causes.h"
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
constexpr const char* kTitle = QT_TRANSLATE_NOOP("mvgui::BatchCheckDialog", "批量检查RM文件");

// The core words its causes in either language; the window's own title tells which it speaks.
bool windowSpeaksEnglish() {
  return QCoreApplication::translate("mvgui::BatchCheckDialog", kTitle) != QString::fromUtf8(kTitle);
}

bool isHeldEnter(const QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const auto* key = static_cast<const QKeyEvent*>(event);
  return key->isAutoRepeat() && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter);
}

}  // namespace

BatchCheckDialog::BatchCheckDialog(QWidget* parent)
    : QDialog(parent), engine_(std::make_shared<mv::BatchCheck>()) {
  setWindowTitle(tr(kTitle));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
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
  callbacks.loadFailed = [self](const std::string& path, const mv::LoadResult& result) {
    if (self)
      self->ShowUnreadableFile(
          QString::fromStdString(mv::printableName(path)),
          QString::fromStdString(mv::loadFailureCause(path, result, windowSpeaksEnglish())));
  };
  engine_->SetCallbacks(std::move(callbacks));

  sourceFolder_ = QString::fromStdString(mv::paraBlock().GetText(mv::PARA_RM_CHK_SRC));
  resultFile_ = QString::fromStdString(mv::paraBlock().GetText(mv::PARA_RM_CHK_TGT));
  // Proposed only: the setting stays empty until the user chooses a file.
  if (resultFile_.isEmpty()) resultFile_ = QString::fromStdString(mv::defaultBatchResultFile());
  ShowFields();
}

BatchCheckDialog::~BatchCheckDialog() = default;

// Sizes and gaps are those of the dialog-unit layout the window was first drawn in, taken as
// differences of converted positions so that rounding does not add up down the window.
void BatchCheckDialog::buildControls() {
  const DialogUnits du = DialogUnits::of(font());
  auto* top = new QHBoxLayout;
  top->setSpacing(0);
  top->addLayout(buildFolderRows(), 1);
  top->addSpacing(du.x(242) - du.x(236));
  top->addLayout(buildButtons());

  auto* window = new QVBoxLayout(this);
  window->setContentsMargins(du.x(7), du.y(7), du.x(299) - du.x(292), du.y(96) - du.y(91));
  window->setSpacing(0);
  window->addLayout(top);
  window->addSpacing(du.y(67) - du.y(64));
  window->addLayout(buildProgress());
  window->addSpacing(du.y(80) - du.y(77));
  window->addWidget(unreadableFiles_, 1);
  window->addSpacing(du.y(81) - du.y(77));
  window->addLayout(buildOptions());

  // The list takes what the window adds below the rows it always had.
  constexpr int kListHeight = 40;
  resize(du.x(299), du.y(96 + (80 - 77) + kListHeight));
  setSizeGripEnabled(true);
}

template <typename W>
W* BatchCheckDialog::named(int id, W* widget) {
  controls_[id] = widget;
  widget->setObjectName(QString::number(id));
  return widget;
}

QBoxLayout* BatchCheckDialog::buildFolderRows() {
  const DialogUnits du = DialogUnits::of(font());
  auto text = [&](const QString& t, int y0, int y1) {
    auto* label = new QLabel(t, this);
    label->setTextFormat(Qt::PlainText);
    label->setFixedHeight(du.y(y1) - du.y(y0));
    return label;
  };
  auto pathLabel = [&](int id, int y0, int y1) {
    auto* label = named(id, new ColourLabel(id, this));
    label->setPathMode(true);
    label->setFixedHeight(du.y(y1) - du.y(y0));
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    return label;
  };
  auto browseButton = [&](int id, int y0, int y1) {
    auto* b = named(id, new QPushButton(this));
    b->setIcon(QIcon(iconPixmap(129)));
    b->setIconSize(QSize(15, 13));
    b->setFixedSize(du.x(19), du.y(y1) - du.y(y0));
    b->installEventFilter(this);
    return b;
  };
  // A caption over its path, with the browse button beside both, standing on the path's line.
  auto folderRow = [&](QLabel* caption, int gapTo, ColourLabel* path, QPushButton* browse) {
    auto* texts = new QVBoxLayout;
    texts->setSpacing(0);
    texts->addWidget(caption);
    texts->addSpacing(gapTo);
    texts->addWidget(path);
    auto* row = new QHBoxLayout;
    row->setSpacing(du.x(217) - du.x(214));
    row->addLayout(texts, 1);
    row->addWidget(browse, 0, Qt::AlignBottom);
    return row;
  };

  QLabel* sourceCaption = text(tr("1.RM文件所在文件夹(子文件夹将被自动搜索):"), 7, 15);
  sourceLabel_ = pathLabel(1057, 18, 28);
  browseSource_ = browseButton(1058, 12, 28);
  QLabel* resultCaption = text(tr("2.结果文件:"), 32, 40);
  resultLabel_ = pathLabel(1012, 42, 52);
  browseResult_ = browseButton(1002, 36, 52);

  auto* rows = new QVBoxLayout;
  rows->setSpacing(0);
  rows->addLayout(folderRow(sourceCaption, du.y(18) - du.y(15), sourceLabel_, browseSource_));
  rows->addSpacing(du.y(32) - du.y(28));
  rows->addLayout(folderRow(resultCaption, du.y(42) - du.y(40), resultLabel_, browseResult_));
  rows->addSpacing(du.y(56) - du.y(52));
  rows->addWidget(text(tr("正在检查:"), 56, 64));
  rows->addStretch(1);

  connect(browseSource_, &QPushButton::clicked, this, &BatchCheckDialog::OnBrowseSource);
  connect(browseResult_, &QPushButton::clicked, this, &BatchCheckDialog::OnBrowseResult);
  return rows;
}

QBoxLayout* BatchCheckDialog::buildButtons() {
  const DialogUnits du = DialogUnits::of(font());
  auto button = [&](int id, const QString& t, int y0, int y1) {
    auto* b = named(id, new QPushButton(t, this));
    b->setFixedSize(du.x(50), du.y(y1) - du.y(y0));
    b->installEventFilter(this);
    return b;
  };
  start_ = button(1, tr("3.开始"), 7, 21);
  start_->setDefault(true);
  close_ = button(2, tr("4.关闭"), 24, 38);

  auto* icon = new QLabel(this);
  icon->setPixmap(iconPixmap(128));

  auto* column = new QVBoxLayout;
  column->setSpacing(0);
  column->addWidget(start_);
  column->addSpacing(du.y(24) - du.y(21));
  column->addWidget(close_);
  column->addSpacing(du.y(41) - du.y(38));
  column->addWidget(icon, 0, Qt::AlignHCenter);
  column->addStretch(1);

  connect(start_, &QPushButton::clicked, this, &BatchCheckDialog::OnStart);
  connect(close_, &QPushButton::clicked, this, &BatchCheckDialog::reject);
  return column;
}

QBoxLayout* BatchCheckDialog::buildProgress() {
  const DialogUnits du = DialogUnits::of(font());
  const int height = du.y(77) - du.y(67);
  currentLabel_ = named(1051, new ColourLabel(1051, this));
  currentLabel_->setPathMode(true);
  currentLabel_->setFixedHeight(height);
  currentLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  progressLabel_ = named(1055, new QLabel(this));
  progressLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  progressLabel_->setFixedSize(du.x(292) - du.x(262), height);

  unreadableFiles_ = new QPlainTextEdit(this);
  unreadableFiles_->setObjectName(QStringLiteral("unreadableFiles"));
  unreadableFiles_->setReadOnly(true);
  unreadableFiles_->setPlaceholderText(tr("无法读取的文件及原因列在这里"));
  unreadableFiles_->setMinimumHeight(du.y(24));

  auto* row = new QHBoxLayout;
  row->setSpacing(du.x(262) - du.x(259));
  row->addWidget(currentLabel_, 1);
  row->addWidget(progressLabel_);
  return row;
}

QLayout* BatchCheckDialog::buildOptions() {
  const DialogUnits du = DialogUnits::of(font());
  allFormats_ = named(1059, new QCheckBox(tr("检查所有支持的格式"), this));
  allFormats_->setChecked(windowSetting("BatchAllFormats", 0) != 0);
  engine_->SetAllFormats(allFormats_->isChecked());
  connect(allFormats_, &QCheckBox::toggled, this, [this](bool on) {
    engine_->SetAllFormats(on);
    setWindowSetting("BatchAllFormats", on ? 1 : 0);
  });
  allFormats_->setFixedHeight(du.y(91) - du.y(81));
  // Each file's buffer check too: none, or a preset (index - 1 is its mv::BufferPreset).
  auto* row = new QHBoxLayout;
  row->setSpacing(du.x(3));
  row->addWidget(allFormats_);
  row->addStretch(1);
  row->addWidget(new QLabel(tr("缓冲区检查:"), this));
  bufferPreset_ = named(1067, new QComboBox(this));
  bufferPreset_->addItems({tr("不检查"), "DVD", "VCD", tr("蓝光"), tr("码流自带")});
  bufferPreset_->setCurrentIndex(
      std::clamp(windowSetting("BatchBufferPreset", 0), 0, bufferPreset_->count() - 1));
  connect(bufferPreset_, &QComboBox::currentIndexChanged, this,
          [](int index) { setWindowSetting("BatchBufferPreset", index); });
  row->addWidget(bufferPreset_);
  // The second action reads the same files with the same choices: it stands beside them, under
  // the Start and Close column.
  summary_ = named(1068, new QPushButton(tr("统计汇总"), this));
  summary_->setFixedSize(du.x(50), du.y(91) - du.y(79));
  summary_->installEventFilter(this);
  connect(summary_, &QPushButton::clicked, this, &BatchCheckDialog::OnSummary);
  row->addSpacing(du.x(7));
  row->addWidget(summary_);
  return row;
}

std::optional<mv::BufferPreset> BatchCheckDialog::bufferPreset() const {
  const int index = bufferPreset_ ? bufferPreset_->currentIndex() : 0;
  return index > 0 ? std::optional(mv::BufferPreset(index - 1)) : std::nullopt;
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
  bufferPreset_->setEnabled(enable);
}

void BatchCheckDialog::OnRunningChanged(bool running) {
  if (running) {
    unreadableFiles_->clear();
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

void BatchCheckDialog::ShowUnreadableFile(const QString& path, const QString& cause) {
  unreadableFiles_->appendPlainText(tr("%1：%2").arg(path, cause));
}

void BatchCheckDialog::OnStart() {
  if (engine_->running()) {
    engine_->RequestStop();
    return;
  }
  // The run may outlive the window when something destroys it from inside the pump.
  const std::shared_ptr<mv::BatchCheck> engine = engine_;
  const QPointer<BatchCheckDialog> self(this);
  engine->SetBufferPreset(bufferPreset());
  const mv::BatchOutcome outcome = engine->OnStart(sourceFolder_.toStdString(), resultFile_.toStdString());
  if (!self) return;
  ShowUnreadableFolders();
  switch (outcome) {
    case mv::BatchOutcome::NoSourceFolder:
      browseSource_->setFocus();
      break;
    case mv::BatchOutcome::NoResultFile:
    case mv::BatchOutcome::ResultCreateFailed:
      browseResult_->setFocus();
      break;
    default:
      break;
  }
}

void BatchCheckDialog::OnSummary() {
  if (running()) return;
  if (sourceFolder_.isEmpty()) {
    mv::showMessage(mv::msg::kBatchNoSourceFolder);
    browseSource_->setFocus();
    return;
  }
  mv::SummaryOptions options;
  options.buffer = bufferPreset();
  const QString folder = sourceFolder_;
  const bool allFormats = allFormats_->isChecked();
  accept();
  emit summaryRequested(folder, allFormats, options);
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

void BatchCheckDialog::keyPressEvent(QKeyEvent* event) {
  if (isHeldEnter(event)) return;
  QDialog::keyPressEvent(event);
}

bool BatchCheckDialog::eventFilter(QObject* watched, QEvent* event) {
  // A focused button takes Enter itself, before the window sees it.
  if (isHeldEnter(event)) return true;
  return QDialog::eventFilter(watched, event);
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
