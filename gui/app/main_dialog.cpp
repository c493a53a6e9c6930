#include "app/main_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/dialog_units.h"
#include "app/file_info_dlg.h"
#include "app/filter_dlg.h"
#include "app/open_progress.h"
#include "analysis/containers.h"
#include "app/wait_cursor.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "report/spreadsheet.h"
#include "report/text_report.h"
#include "settings/para_block.h"
#include "widgets/colour_label.h"
#include "widgets/icons.h"
#include "widgets/link_buttons.h"
#include "widgets/single_file_sel.h"
#include "widgets/stat_list_ctrl.h"

namespace mvgui {
namespace {

constexpr const char* kNothingToOutput = "抱歉，没什么好输出的。";

// Tool tips by control id, as the window's string table gives them.
const std::map<int, QString>& toolTips() {
  static const std::map<int, QString> tips = {
      {1001, "打开文件"}, {1004, "打开文件"}, {1002, "关闭文件"}, {1006, "关闭文件"},
      {1016, "文件信息"}, {1026, "文件信息"}, {1019, "关于 Morvatelline"}, {1020, "打开帮助文件"},
      {1027, "批量检查RM文件中是否有0码率点"}};
  return tips;
}

// What a reader had to do to read a file, as the path label's tip says it.
// Option check boxes in member order: total, audio, file info, header, video, statistics.
constexpr int kOptionIds[6] = {1013, 1012, 1005, 1008, 1010, 1009};

}  // namespace

MainDialog::MainDialog(QWidget* parent) : CResizableDlg(parent) {
  setWindowTitle("Morvatelline");
  setWindowIcon(applicationIcon());
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFont(dialogFont());
  buildControls();
  connect(this, &MainDialog::fileInfoRequested, this,
          [this](int index) { ShowFileInfo(this, path(index), slot(index)); });
  OnInitDialog();
}

MainDialog::~MainDialog() = default;

template <typename W>
W* MainDialog::add(int id, W* widget) {
  if (id > 0) {
    controls_[id] = widget;
    widget->setObjectName(QString::number(id));
    if (auto it = toolTips().find(id); it != toolTips().end()) widget->setToolTip(it->second);
  }
  return widget;
}

void MainDialog::buildControls() {
  const DialogUnits du = DialogUnits::of(font());
  setFixedSize(du.x(462), du.y(445));
  auto group = [&](const QString& title, int x, int y, int w, int h, int id = 0) {
    auto* g = add(id, new QGroupBox(title, this));
    g->setGeometry(du.rect(x, y, w, h));
    return g;
  };
  auto label = [&](const QString& text, int x, int y, int w, int h, int id = 0) {
    auto* l = add(id, new QLabel(text, this));
    l->setGeometry(du.rect(x, y, w, h));
    return l;
  };
  auto iconButton = [&](int id, int x, int y, int iconId, auto slot) {
    auto* b = add(id, new QPushButton(this));
    b->setGeometry(du.rect(x, y, 19, 16));
    b->setIcon(QIcon(iconPixmap(iconId)));
    b->setIconSize(QSize(15, iconId == 137 || iconId == 138 ? 15 : 13));
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, slot);
    return b;
  };

  group("1、选择需要分析的文件（可以同时分析两个）", 7, 7, 253, 53);
  label1_ = add(1011, new ColourLabel(1011, this));
  label1_->setGeometry(du.rect(13, 24, 176, 10));
  iconButton(1001, 192, 18, 129, [this] { OnOpen(0); });
  iconButton(1002, 214, 18, 130, [this] { OnCloseSlot(0); });
  iconButton(1016, 236, 18, 134, [this] { OnFileInfo(0); });
  label2_ = add(1014, new ColourLabel(1014, this));
  label2_->setGeometry(du.rect(13, 46, 176, 10));
  iconButton(1004, 192, 40, 129, [this] { OnOpen(1); });
  iconButton(1006, 214, 40, 130, [this] { OnCloseSlot(1); });
  iconButton(1026, 236, 40, 134, [this] { OnFileInfo(1); });

  group("2、显示码率曲线", 7, 65, 190, 30);
  label("项:", 12, 80, 14, 8);
  itemCombo_ = add(1017, new QComboBox(this));
  itemCombo_->addItems({"视频码率", "音频码率", "总码率"});
  itemCombo_->setGeometry(du.rect(27, 77, 48, 12));
  label("比例:", 85, 80, 21, 8);
  scaleCombo_ = add(1018, new QComboBox(this));
  scaleCombo_->addItems({"100%", "200%"});
  // A little wider than the original 33 units: Qt's combo box frame needs more room for "100%".
  scaleCombo_->setGeometry(du.rect(107, 77, 40, 12));
  pointsCheck_ = add(1035, new QCheckBox("数据点", this));
  pointsCheck_->setGeometry(du.rect(153, 79, 40, 10));

  group("3、设置码率输出选项", 266, 7, 189, 53);
  const struct {
    int id;
    const char* text;
    int x, y;
  } options[] = {{1005, "文件基本信息", 275, 24}, {1008, "表头", 344, 24}, {1009, "统计特征项", 396, 24},
                 {1010, "视频码率", 275, 45},     {1012, "音频码率", 344, 45}, {1013, "总码率", 396, 45}};
  for (const auto& o : options) {
    auto* c = add(o.id, new QCheckBox(o.text, this));
    c->setGeometry(du.rect(o.x, o.y, o.id == 1005 || o.id == 1009 ? 60 : 48, 10));
    for (int k = 0; k < 6; ++k)
      if (kOptionIds[k] == o.id) checks_[k] = c;
  }
  auto* line = new QFrame(this);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  line->setGeometry(du.rect(272, 38, 177, 1));

  group("4、输出码率数据", 203, 65, 168, 30);
  auto* txt = add(1003, new QPushButton("输出到txt文件", this));
  txt->setGeometry(du.rect(210, 76, 71, 14));
  auto* xls = add(1015, new QPushButton("输出到Excel文件", this));
  xls->setGeometry(du.rect(291, 76, 71, 14));
  for (auto* b : {txt, xls}) b->setAutoDefault(false);
  connect(txt, &QPushButton::clicked, this, &MainDialog::OnTextReport);
  connect(xls, &QPushButton::clicked, this, &MainDialog::OnSpreadsheet);

  // The three link icons: About box, help page, batch check.
  const struct {
    int id, icon, x, kind;
  } links[] = {{1019, 128, 379, IconLinkButton::About},
               {1020, 131, 407, IconLinkButton::Help},
               {1027, 139, 434, IconLinkButton::BatchCheck}};
  for (const auto& l : links) {
    auto* link = add(l.id, new IconLinkButton(l.kind, this));
    link->setGeometry(du.rect(l.x, 71, 20, 20));
    link->setIcon(iconPixmap(l.icon));
  }

  group("", 7, 94, 448, 185, 1033);
  auto* chartPlace = label("", 37, 101, 418, 140, 1031);
  chartPlace->hide();
  const int axisY[5] = {100, 129, 162, 193, 224};
  for (int k = 0; k < 5; ++k) {
    auto* a = label("10000", 12, axisY[k], 23, 8, 1021 + k);
    a->setAlignment(Qt::AlignRight | Qt::AlignTop);
  }

  auto swatch = [&](int id, int x, int y) {
    auto* s = label("", x, y, 22, 12, id);
    s->setAutoFillBackground(true);
    return s;
  };
  swatch(1044, 15, 246);
  swatch(1045, 248, 246);
  const struct {
    int id;
    const char* text;
    int x;
  } fields[] = {{1036, "最大", 59}, {1038, "最小", 120}, {1039, "平均", 180},
                {1041, "最大", 292}, {1042, "最小", 353}, {1043, "平均", 413}};
  for (const auto& f : fields) {
    label(f.text, f.x - 18, 248, 17, 8);
    auto* e = add(f.id, new QLineEdit(this));
    e->setReadOnly(true);
    e->setGeometry(du.rect(f.x, 246, 36, 12));
  }
  swatch(1046, 15, 262);
  label("码率最大的", 40, 264, 41, 8);
  auto* top = add(1048, new QPushButton("99", this));
  top->setGeometry(du.rect(82, 262, 28, 12));
  label("点", 113, 264, 10, 8);
  swatch(1047, 182, 262);
  label("码率最小的", 207, 264, 41, 8);
  auto* bottom = add(1049, new QPushButton("99", this));
  bottom->setGeometry(du.rect(250, 262, 28, 12));
  label("点", 281, 264, 10, 8);
  for (auto* b : {top, bottom}) b->setAutoDefault(false);
  connect(top, &QPushButton::clicked, this, [this] { OnCountButton(1); });
  connect(bottom, &QPushButton::clicked, this, [this] { OnCountButton(0); });
  swatch(1050, 347, 262);
  label("0码率点", 372, 264, 34, 8);
  zeroIndicator_[0] = label("", 409, 258, 20, 20, 1053);
  zeroIndicator_[1] = label("", 429, 258, 20, 20, 1056);
  for (auto* z : zeroIndicator_) z->setAlignment(Qt::AlignCenter);

  // Marks the list's place; the panel puts the list there and it takes over the id.
  label("", 7, 278, 448, 160, 1007)->hide();

  for (auto* c : checks_) connect(c, &QCheckBox::clicked, this, &MainDialog::StoreOptions);
  connect(itemCombo_, &QComboBox::activated, this, [this] {
    StoreOptions();
    panel_.RefreshChart();
  });
  connect(scaleCombo_, &QComboBox::activated, this, [this] {
    StoreOptions();
    panel_.ApplyScale();
  });
  connect(pointsCheck_, &QCheckBox::clicked, this, [this] {
    StoreOptions();
    panel_.ApplyDataPoints();
  });
}

QWidget* MainDialog::control(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

void MainDialog::OnInitDialog() {
  if (initialised_) return;
  initialised_ = true;
  CResizableDlg::OnInitDialog();
  UpdateCountButtons();
  label1_->setPathMode(true);
  label2_->setPathMode(true);
  panel_.Init(this, this);
  controls_[1007] = panel_.list();
  applySwatchColours();
  LoadOptions();
}

void MainDialog::applySwatchColours() {
  for (int id : {1044, 1045, 1046, 1047, 1050}) {
    QWidget* w = control(id);
    const auto colour = panel_.GetSwatchBrush(id);
    if (!w || !colour) continue;
    QPalette p = w->palette();
    p.setColor(QPalette::Window, *colour);
    w->setPalette(p);
  }
}

void MainDialog::keyPressEvent(QKeyEvent* event) {
  // Enter does nothing (there is no OK); Escape closes the window and with it the program.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  CResizableDlg::keyPressEvent(event);
}

void MainDialog::UpdateData(bool save) {
  int* options[6] = {&outTotal_, &outAudio_, &outFileInfo_, &outHeader_, &outVideo_, &outStatistics_};
  if (save) {
    path1_ = label1_->text();
    path2_ = label2_->text();
    for (int k = 0; k < 6; ++k) *options[k] = checks_[k]->isChecked() ? 1 : 0;
    scaleIndex_ = scaleCombo_->currentIndex();
    itemIndex_ = itemCombo_->currentIndex();
    dataPoints_ = pointsCheck_->isChecked() ? 1 : 0;
  } else {
    label1_->setText(path1_);
    label2_->setText(path2_);
    for (int k = 0; k < 6; ++k) checks_[k]->setChecked(*options[k] != 0);
    scaleCombo_->setCurrentIndex(scaleIndex_);
    itemCombo_->setCurrentIndex(itemIndex_);
    pointsCheck_->setChecked(dataPoints_ != 0);
  }
}

void MainDialog::LoadOptions() {
  const mv::CParaBlock& p = mv::paraBlock();
  outFileInfo_ = p.GetInt(mv::PARA_OUT_FILE_INFO);
  outHeader_ = p.GetInt(mv::PARA_OUT_HEADER);
  outStatistics_ = p.GetInt(mv::PARA_OUT_STATISTICS);
  outVideo_ = p.GetInt(mv::PARA_OUT_VIDEO);
  outAudio_ = p.GetInt(mv::PARA_OUT_AUDIO);
  outTotal_ = p.GetInt(mv::PARA_OUT_A_AND_V);
  itemIndex_ = p.GetInt(mv::PARA_VIEW_ITEM);
  scaleIndex_ = p.GetInt(mv::PARA_VIEW_SCALE);
  dataPoints_ = p.GetInt(mv::PARA_VIEW_POINTS);
  UpdateData(false);
}

void MainDialog::StoreOptions() {
  WaitCursor wait;
  UpdateData(true);
  mv::CParaBlock& p = mv::paraBlock();
  const int values[9] = {outFileInfo_, outHeader_, outStatistics_, outVideo_, outAudio_,
                         outTotal_,    itemIndex_, scaleIndex_,    dataPoints_};
  for (int i = 0; i < 9; ++i) p.SetInt(i, values[i]);
}

void MainDialog::applyMarkedSeconds(mv::FileSlot& s) const {
  const mv::CParaBlock& p = mv::paraBlock();
  s.setMarkedSeconds(p.GetInt(mv::PARA_TOP_POINTS), p.GetInt(mv::PARA_BOTTOM_POINTS));
}

void MainDialog::UpdateCountButtons() {
  const mv::CParaBlock& p = mv::paraBlock();
  static_cast<QPushButton*>(control(1048))->setText(QString::number(p.GetInt(mv::PARA_TOP_POINTS)));
  static_cast<QPushButton*>(control(1049))->setText(QString::number(p.GetInt(mv::PARA_BOTTOM_POINTS)));
  for (mv::FileSlot& s : slots_) {
    applyMarkedSeconds(s);
    if (s.isLoaded()) s.recomputeThresholds();
  }
  panel_.InvalidateList();
}

void MainDialog::OnCountButton(int mode) {
  CFilterDlg dlg(this, mode);
  if (dlg.exec() == QDialog::Accepted) UpdateCountButtons();
}

void MainDialog::OnOpen(int slot) {
  CSingleFileSel dlg(true, QString(), QString(), CSingleFileSel::FileMustExist | CSingleFileSel::HideReadOnly,
                     QString::fromStdString(mv::openFileFilter()), this);
  dlg.setTitle("选择文件");
  if (dlg.DoModal() != QDialog::Accepted) return;
  UpdateData(true);
  QString& shownPath = slot == 0 ? path1_ : path2_;
  const QString previousPath = shownPath;
  shownPath = dlg.GetPathName();
  UpdateData(false);
  // Nothing of the file dialog stays on screen while the file is read.
  repaint();
  WaitCursor wait;
  // Read aside: the slot keeps its file until the new one has loaded, so a cancelled open
  // leaves the window as it was.
  mv::FileSlot& target = MainDialog::slot(slot);
  mv::FileSlot loaded;
  applyMarkedSeconds(loaded);
  applyMarkedSeconds(target);
  int ok;
  {
    OpenProgress progress(this, path(slot), progressDelay_);
    ok = loaded.open(path(slot).toStdString(), &progress);
  }
  if (!ok) {
    if (loaded.lastResult().failure == mv::LoadFailure::Cancelled) {
      UpdateData(true);
      shownPath = previousPath;
      UpdateData(false);
      return;
    }
    OnCloseSlot(slot);
    return;  // closing refreshed the panel
  }
  target.swap(loaded);
  RefreshSlot(slot);
}

void MainDialog::RefreshSlot(int slot) {
  panel_.RefreshSlot(slot);
  QStringList notes;
  for (const std::string& note : MainDialog::slot(slot).analysis.notes) notes << QString::fromStdString(mv::noteDescription(note));
  (slot == 0 ? label1_ : label2_)->setToolTip(notes.join('\n'));
}

void MainDialog::OnCloseSlot(int slot) {
  WaitCursor wait;
  UpdateData(true);
  (slot == 0 ? path1_ : path2_).clear();
  UpdateData(false);
  MainDialog::slot(slot).clear();
  RefreshSlot(slot);
}

bool MainDialog::AnythingToOutput() {
  UpdateData(true);
  if (path1_.isEmpty() && path2_.isEmpty()) {
    mv::showMessage(kNothingToOutput);
    return false;
  }
  return true;
}

QString MainDialog::askSavePath(const QString& filter, const QString& extension) {
  CSingleFileSel dlg(false, QString(), QString(), CSingleFileSel::OverwritePrompt | CSingleFileSel::HideReadOnly,
                     filter, this);
  dlg.setTitle("保存文件");
  if (dlg.DoModal() != QDialog::Accepted) return {};
  return QString::fromStdString(mv::ensureExtension(dlg.GetPathName().toStdString(), extension.toStdString()));
}

mv::ReportOptions MainDialog::reportOptions() {
  const mv::CParaBlock& p = mv::paraBlock();
  mv::ReportOptions o;
  o.fileInfo = p.GetInt(mv::PARA_OUT_FILE_INFO) != 0;
  o.header = p.GetInt(mv::PARA_OUT_HEADER) != 0;
  o.statistics = p.GetInt(mv::PARA_OUT_STATISTICS) != 0;
  o.video = p.GetInt(mv::PARA_OUT_VIDEO) != 0;
  o.audio = p.GetInt(mv::PARA_OUT_AUDIO) != 0;
  o.total = p.GetInt(mv::PARA_OUT_A_AND_V) != 0;
  return o;
}

void MainDialog::OnTextReport() {
  if (!AnythingToOutput()) return;
  const QString path = askSavePath("Text File(*.txt)|*.txt|All Files(*.*)|*.*||", ".txt");
  if (path.isEmpty()) return;
  mv::TextReport(slots_[0], slots_[1], reportOptions()).Export(path.toStdString());
}

void MainDialog::OnSpreadsheet() {
  if (!AnythingToOutput()) return;
  const QString path = askSavePath("Excel File(*.xls)|*.xls|All Files(*.*)|*.*||", ".xls");
  if (path.isEmpty()) return;
  repaint();
  WaitCursor wait;
  mv::SpreadsheetExport(slots_[0], slots_[1], reportOptions()).Export(path.toStdString());
}

void MainDialog::OnFileInfo(int slot) {
  UpdateData(true);
  emit fileInfoRequested(slot);
}

void MainDialog::SetZeroIndicator(int slot, bool hasZeroSeconds) {
  if (slot < 0 || slot > 1 || !zeroIndicator_[slot]) return;
  zeroIndicator_[slot]->setPixmap(iconPixmap(hasZeroSeconds ? 138 : 137));
}

}  // namespace mvgui
