#include "app/main_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "analysis/containers.h"
#include "analysis/failure_causes.h"
#include "app/about_dialog.h"
#include "app/chart_image.h"
#include "app/file_info_dlg.h"
#include "app/filter_dlg.h"
#include "app/main_app.h"
#include "app/open_progress.h"
#include "app/track_dialog.h"
#include "app/track_layers.h"
#include "app/wait_cursor.h"
#include "batch/batch_check_dialog.h"
#include "batch/summary_window.h"
#include "chart/curve_chart.h"
#include "media/peaks.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "report/spreadsheet.h"
#include "report/text_report.h"
#include "search/batch_check.h"
#include "settings/para_block.h"
#include "widgets/colour_label.h"
#include "widgets/dialog_units.h"
#include "widgets/file_colours.h"
#include "widgets/frame_list.h"
#include "widgets/icons.h"
#include "widgets/link_buttons.h"
#include "widgets/single_file_sel.h"
#include "widgets/stat_list_ctrl.h"
#include "widgets/window_settings.h"

namespace mvgui {
namespace {

constexpr const char* kNothingToOutput = QT_TRANSLATE_NOOP("mvgui::MainDialog", "抱歉，没什么好输出的。");

// Tool tips by control id, as the window's string table gives them.
const std::map<int, const char*>& toolTips() {
  static const std::map<int, const char*> tips = {
      {1001, QT_TRANSLATE_NOOP("mvgui::MainDialog", "打开文件")},
      {1004, QT_TRANSLATE_NOOP("mvgui::MainDialog", "打开文件")},
      {1002, QT_TRANSLATE_NOOP("mvgui::MainDialog", "关闭文件")},
      {1006, QT_TRANSLATE_NOOP("mvgui::MainDialog", "关闭文件")},
      {1016, QT_TRANSLATE_NOOP("mvgui::MainDialog", "文件信息")},
      {1026, QT_TRANSLATE_NOOP("mvgui::MainDialog", "文件信息")},
      {1067, QT_TRANSLATE_NOOP("mvgui::MainDialog", "选择轨道")},
      {1068, QT_TRANSLATE_NOOP("mvgui::MainDialog", "选择轨道")},
      {1019, QT_TRANSLATE_NOOP("mvgui::MainDialog", "关于 Morvatelline")},
      {1020, QT_TRANSLATE_NOOP("mvgui::MainDialog", "打开帮助文件")},
      {1027, QT_TRANSLATE_NOOP("mvgui::MainDialog", "批量检查RM文件中是否有0码率点")}};
  return tips;
}

// Option check boxes in member order: total, audio, file info, header, video, statistics.
constexpr int kOptionIds[6] = {1013, 1012, 1005, 1008, 1010, 1009};

// The scale box, from the whole file up.
struct ScaleItem {
  const char* text;
  int zoom;
};
constexpr const char* kWholeFileText = QT_TRANSLATE_NOOP("mvgui::MainDialog", "全部");
constexpr ScaleItem kScaleItems[] = {{kWholeFileText, CCurvePanel::kWholeFile},
                                     {"10%", 10},
                                     {"25%", 25},
                                     {"50%", 50},
                                     {"100%", 100},
                                     {"200%", 200},
                                     {"400%", 400},
                                     {"800%", 800}};

// The item box: video, audio, total per second, then the panel's other views in their order
// (frames, GOPs, buffer, tracks): view v at kFrameItems + v - 1.
constexpr int kFrameItems = 3;

// The buffer box, in the order of mv::BufferPreset.
constexpr const char* kBufferPresets[] = {"DVD", "VCD", QT_TRANSLATE_NOOP("mvgui::MainDialog", "蓝光"),
                                          QT_TRANSLATE_NOOP("mvgui::MainDialog", "码流自带"),
                                          QT_TRANSLATE_NOOP("mvgui::MainDialog", "自定义")};
// The custom buffer's fields: kbit/s and kbit, both of the program's 1024 bits.
constexpr int kDefaultCustomRate = 9800, kDefaultCustomSize = 1792;

int scaleIndexOf(int zoom) {
  for (int i = 0; i < int(std::size(kScaleItems)); ++i)
    if (kScaleItems[i].zoom == zoom) return i;
  return -1;
}

}  // namespace

MainDialog::MainDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Morvatelline");
  setWindowIcon(applicationIcon());
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                 Qt::WindowCloseButtonHint);
  setAcceptDrops(true);
  setFont(dialogFont());
  buildControls();
  connect(this, &MainDialog::fileInfoRequested, this,
          [this](int index) { ShowFileInfo(this, path(index), slot(index), panel_.builtFrames(index)); });
  OnInitDialog();
}

MainDialog::~MainDialog() = default;

template <typename W>
W* MainDialog::add(int id, W* widget) {
  widget->setObjectName(QString::number(id));
  if (auto it = toolTips().find(id); it != toolTips().end()) widget->setToolTip(tr(it->second));
  return widget;
}

// The window is a column of rows, each built by one function below; a new control goes into the
// function of its row. Sizes are in dialog units of the window's font, so they follow the font
// and the scale factor; the chart and the list take what the window gives beyond them.
void MainDialog::buildControls() {
  const DialogUnits du = DialogUnits::of(font());
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(du.x(5), du.y(3), du.x(5), du.y(3));
  column->setSpacing(du.y(3));
  auto* top = new QHBoxLayout;
  top->addWidget(buildFileRows(du), 1);
  top->addWidget(buildOptions(du));
  column->addLayout(top);
  auto* second = new QHBoxLayout;
  for (QWidget* group : {buildViewChoice(du), buildOutput(du)}) {
    group->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);  // no text cut
    second->addWidget(group);
  }
  second->addLayout(buildLinks(du));
  second->addStretch(1);
  column->addLayout(second);
  column->addWidget(buildChartGroup(du), 182);
  auto* list = new StatListCtrl(this);
  auto* frames = new FrameList(this);
  frames->setObjectName("frameList");
  auto* tracks = new QTreeWidget(this);
  tracks->setObjectName("trackList");
  column->addWidget(list, 163);
  column->addWidget(frames, 163);
  column->addWidget(tracks, 163);
  column->addLayout(buildPeakRow(du));
  panel_.Init(this, chart_, list, frames);
  panel_.SetTrackList(tracks);
  add(1007, list);
  resize(du.x(462), du.y(461));
  // The plot's width as created is where the zoom's 100 % shows 100 seconds. A hidden window
  // lays out only when shown; the rows are placed now, parents before their children.
  column->setGeometry(contentsRect());
  for (QWidget* w : findChildren<QWidget*>())
    if (w->layout()) w->layout()->setGeometry(w->contentsRect());
  panel_.TakeBasePlotWidth();
}

QPushButton* MainDialog::iconButton(int id, int iconId, const DialogUnits& du) {
  auto* b = add(id, new QPushButton(this));
  b->setFixedSize(du.x(19), du.y(16));
  b->setIcon(QIcon(iconPixmap(iconId)));
  b->setIconSize(QSize(15, iconId == 137 || iconId == 138 ? 15 : 13));
  b->setAutoDefault(false);
  return b;
}

QWidget* MainDialog::buildFileRows(const DialogUnits& du) {
  auto* group = new QGroupBox(tr("1、选择需要分析的文件（可以同时分析两个）"), this);
  auto* grid = new QGridLayout(group);
  grid->setContentsMargins(du.x(4), du.y(4), du.x(4), du.y(3));
  grid->setHorizontalSpacing(du.x(3));
  grid->setVerticalSpacing(du.y(6));
  for (int k = 0; k < 2; ++k) {
    ColourLabel*& label = k == 0 ? label1_ : label2_;
    label = add(k == 0 ? 1011 : 1014, new ColourLabel(k == 0 ? 1011 : 1014, group));
    label->setMinimumWidth(du.x(60));
    label->setFixedHeight(du.y(10));
    grid->addWidget(label, k, 0);
    // The track button goes left of the others, which keep their places.
    QPushButton* tracks = iconButton(k == 0 ? 1067 : 1068, 140, du);
    tracks->setParent(group);
    tracks->setEnabled(false);
    grid->addWidget(tracks, k, 1);
    connect(tracks, &QPushButton::clicked, this, [this, k] { OnChooseTracks(k); });
    const int ids[3] = {k == 0 ? 1001 : 1004, k == 0 ? 1002 : 1006, k == 0 ? 1016 : 1026};
    const int icons[3] = {129, 130, 134};
    for (int i = 0; i < 3; ++i) {
      QPushButton* b = iconButton(ids[i], icons[i], du);
      b->setParent(group);
      grid->addWidget(b, k, i + 2);
      connect(b, &QPushButton::clicked, this, [this, k, i] {
        i == 0 ? OnOpen(k) : i == 1 ? OnCloseSlot(k) : OnFileInfo(k);
      });
    }
  }
  grid->setColumnStretch(0, 1);
  return group;
}

QWidget* MainDialog::buildOptions(const DialogUnits& du) {
  auto* group = new QGroupBox(tr("3、设置码率输出选项"), this);
  auto* grid = new QGridLayout(group);
  grid->setContentsMargins(du.x(6), du.y(4), du.x(4), du.y(3));
  grid->setHorizontalSpacing(du.x(4));
  grid->setVerticalSpacing(du.y(2));
  const struct {
    int id;
    const char* text;
    int row, column;
  } options[] = {{1005, QT_TR_NOOP("文件基本信息"), 0, 0}, {1008, QT_TR_NOOP("表头"), 0, 1},
                 {1009, QT_TR_NOOP("统计特征项"), 0, 2},   {1010, QT_TR_NOOP("视频码率"), 2, 0},
                 {1012, QT_TR_NOOP("音频码率"), 2, 1},     {1013, QT_TR_NOOP("总码率"), 2, 2}};
  for (const auto& o : options) {
    auto* c = add(o.id, new QCheckBox(tr(o.text), group));
    grid->addWidget(c, o.row, o.column);
    for (int k = 0; k < 6; ++k)
      if (kOptionIds[k] == o.id) checks_[k] = c;
    connect(c, &QCheckBox::clicked, this, &MainDialog::StoreOptions);
  }
  auto* line = new QFrame(group);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  grid->addWidget(line, 1, 0, 1, 3);
  grid->setColumnMinimumWidth(0, du.x(65));
  grid->setColumnMinimumWidth(1, du.x(48));
  return group;
}

QWidget* MainDialog::buildViewChoice(const DialogUnits& du) {
  auto* group = new QGroupBox(tr("2、显示码率曲线"), this);
  auto* row = new QHBoxLayout(group);
  row->setContentsMargins(du.x(4), du.y(2), du.x(4), du.y(2));
  row->setSpacing(du.x(2));
  row->addWidget(new QLabel(tr("项:"), group));
  itemCombo_ = add(1017, new QComboBox(group));
  itemCombo_->addItems(
      {tr("视频码率"), tr("音频码率"), tr("总码率"), tr("每帧"), tr("每GOP"), tr("缓冲区"), tr("各轨道")});
  itemCombo_->setMinimumWidth(du.x(48));
  itemCombo_->setSizeAdjustPolicy(QComboBox::AdjustToContents);  // every item readable
  row->addWidget(itemCombo_);
  row->addSpacing(du.x(8));
  row->addWidget(new QLabel(tr("比例:"), group));
  scaleCombo_ = add(1018, new QComboBox(group));
  for (const ScaleItem& item : kScaleItems) scaleCombo_->addItem(tr(item.text));
  scaleCombo_->setMinimumWidth(du.x(40));
  scaleCombo_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  row->addWidget(scaleCombo_);
  row->addSpacing(du.x(4));
  pointsCheck_ = add(1035, new QCheckBox(tr("数据点"), group));
  row->addWidget(pointsCheck_);
  connect(itemCombo_, &QComboBox::activated, this, [this](int index) {
    StoreOptions();
    const int view = index >= kFrameItems ? index - kFrameItems + 1 : 0;
    setWindowSetting("FrameView", view);
    panel_.SetView(view);
  });
  connect(scaleCombo_, &QComboBox::activated, this, [this](int index) {
    const int zoom = kScaleItems[std::clamp(index, 0, int(std::size(kScaleItems)) - 1)].zoom;
    StoreOptions();
    mv::paraBlock().SetZoom(zoom);
    panel_.SetZoom(zoom);
  });
  connect(pointsCheck_, &QCheckBox::clicked, this, [this] {
    StoreOptions();
    panel_.ApplyDataPoints();
  });
  return group;
}

QWidget* MainDialog::buildOutput(const DialogUnits& du) {
  auto* group = new QGroupBox(tr("4、输出码率数据"), this);
  auto* row = new QHBoxLayout(group);
  row->setContentsMargins(du.x(6), du.y(2), du.x(6), du.y(2));
  row->setSpacing(du.x(10));
  auto* txt = add(1003, new QPushButton(tr("输出到txt文件"), group));
  auto* xls = add(1015, new QPushButton(tr("输出到Excel文件"), group));
  for (auto* b : {txt, xls}) {
    b->setAutoDefault(false);
    b->setMinimumSize(du.x(71), du.y(14));
    row->addWidget(b);
  }
  connect(txt, &QPushButton::clicked, this, &MainDialog::OnTextReport);
  connect(xls, &QPushButton::clicked, this, &MainDialog::OnSpreadsheet);
  return group;
}

QLayout* MainDialog::buildLinks(const DialogUnits& du) {
  // About box, help page, batch check.
  auto* row = new QHBoxLayout;
  row->setSpacing(du.x(7));
  row->addSpacing(du.x(4));
  const struct {
    int id, icon, kind;
  } links[] = {{1019, 128, IconLinkButton::About},
               {1020, 131, IconLinkButton::Help},
               {1027, 139, IconLinkButton::BatchCheck}};
  for (const auto& l : links) {
    auto* link = add(l.id, new IconLinkButton(l.kind, this));
    link->setIcon(iconPixmap(l.icon));
    link->setFixedSize(link->size());  // the whole icon
    if (l.kind == IconLinkButton::About)
      link->setOpener([this] { AboutDialog(this).exec(); });
    else if (l.kind == IconLinkButton::BatchCheck)
      link->setOpener([this] {
        BatchCheckDialog batch(this);
        connect(&batch, &BatchCheckDialog::summaryRequested, this, &MainDialog::OnFolderSummary);
        batch.exec();
      });
    row->addWidget(link, 0, Qt::AlignVCenter);
  }
  return row;
}

QWidget* MainDialog::buildChartGroup(const DialogUnits& du) {
  auto* group = add(1033, new QGroupBox(this));
  auto* column = new QVBoxLayout(group);
  column->setContentsMargins(du.x(3), du.y(3), du.x(3), 0);
  column->setSpacing(du.y(3));
  chart_ = new CCurveChart(group);
  chart_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  column->addWidget(chart_, 1);
  auto* rows = new QVBoxLayout;
  rows->setSpacing(0);
  rows->addLayout(buildStatistics(du));
  rows->addLayout(buildMarkedSeconds(du));
  column->addLayout(rows);
  return group;
}

QWidget* MainDialog::swatch(int id, const DialogUnits& du) {
  auto* s = add(id, new QLabel(this));
  s->setFixedSize(du.x(22), du.y(12));
  s->setAutoFillBackground(true);
  return s;
}

QLayout* MainDialog::buildStatistics(const DialogUnits& du) {
  // Highest, lowest and average of each file's shown item.
  auto* row = new QHBoxLayout;
  row->setSpacing(du.x(2));
  const int ids[2][3] = {{1036, 1038, 1039}, {1041, 1042, 1043}};
  const char* const names[3] = {QT_TR_NOOP("最大"), QT_TR_NOOP("最小"), QT_TR_NOOP("平均")};
  for (int k = 0; k < 2; ++k) {
    row->addSpacing(du.x(k == 0 ? 5 : 28));
    row->addWidget(swatch(k == 0 ? 1044 : 1045, du));
    for (int i = 0; i < 3; ++i) {
      row->addSpacing(du.x(i == 0 ? 3 : 4));
      row->addWidget(new QLabel(tr(names[i]), this));
      auto* field = add(ids[k][i], new QLineEdit(this));
      field->setReadOnly(true);
      field->setMinimumWidth(du.x(36));
      field->setFixedHeight(du.y(12));
      row->addWidget(field, 1);
    }
  }
  return row;
}

QLayout* MainDialog::buildMarkedSeconds(const DialogUnits& du) {
  // How many highest and lowest seconds the list colours, and the zero-second indicators.
  auto* row = new QHBoxLayout;
  row->setSpacing(du.x(3));
  const struct {
    int swatch, button;
    const char* text;
    int mode;
  } counts[] = {{1046, 1048, QT_TR_NOOP("码率最大的"), 1}, {1047, 1049, QT_TR_NOOP("码率最小的"), 0}};
  const auto label = [&](const QString& text, int width) {
    auto* l = new QLabel(text, this);
    l->setMinimumWidth(du.x(width));
    return l;
  };
  row->addSpacing(du.x(5));
  for (const auto& c : counts) {
    row->addWidget(swatch(c.swatch, du));
    row->addWidget(label(tr(c.text), 41));
    auto* button = add(c.button, new QPushButton("99", this));
    button->setFixedSize(du.x(28), du.y(12));
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, mode = c.mode] { OnCountButton(mode); });
    row->addWidget(button);
    row->addWidget(label(tr("点"), 10));
    row->addStretch(1);
  }
  row->addWidget(swatch(1050, du));
  row->addWidget(label(tr("0码率点"), 34));
  for (int k = 0; k < 2; ++k) {
    zeroIndicator_[k] = add(k == 0 ? 1053 : 1056, new QLabel(this));
    zeroIndicator_[k]->setFixedSize(du.x(20), du.y(20));
    zeroIndicator_[k]->setAlignment(Qt::AlignCenter);
    zeroIndicator_[k]->installEventFilter(this);
    row->addWidget(zeroIndicator_[k]);
  }
  row->addSpacing(du.x(3));
  return row;
}

QLayout* MainDialog::buildPeakRow(const DialogUnits& du) {
  // The peak window, the moving-average line and what each file's peak is.
  auto* row = new QHBoxLayout;
  row->setSpacing(du.x(3));
  auto* title = new QLabel(tr("峰值窗口"), this);
  title->setMinimumWidth(du.x(34));
  row->addSpacing(du.x(2));
  row->addWidget(title);
  peakSpin_ = add(1060, new QSpinBox(this));
  peakSpin_->setRange(int(mv::kMinPeakWindow), int(mv::kMaxPeakWindow));
  peakSpin_->setSuffix(tr(" 秒"));
  peakSpin_->setMinimumWidth(du.x(38));
  row->addWidget(peakSpin_);
  row->addSpacing(du.x(3));
  averageCheck_ = add(1061, new QCheckBox(tr("平均线"), this));
  row->addWidget(averageCheck_);
  row->addSpacing(du.x(3));
  bufferCombo_ = add(1064, new QComboBox(this));
  for (const char* name : kBufferPresets) bufferCombo_->addItem(tr(name));
  bufferCombo_->setToolTip(tr("缓冲区检查的模型"));
  bufferCombo_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  row->addWidget(bufferCombo_);
  bufferRate_ = add(1065, new QSpinBox(this));
  bufferRate_->setRange(1, 1000000);
  bufferRate_->setSuffix(" kbit/s");
  bufferRate_->setToolTip(tr("充入速率"));
  bufferSize_ = add(1066, new QSpinBox(this));
  bufferSize_->setRange(1, 1000000);
  bufferSize_->setSuffix(" kbit");
  bufferSize_->setToolTip(tr("缓冲区大小"));
  for (QSpinBox* box : {bufferRate_, bufferSize_}) {
    box->setMinimumWidth(du.x(40));
    row->addWidget(box);
  }
  for (int k = 0; k < 2; ++k) {
    auto* peak = peakLabel_[k] = add(1062 + k, new QLabel(this));
    peak->setMinimumWidth(du.x(60));
    peak->setFixedHeight(du.y(12));
    peak->setAutoFillBackground(true);
    QPalette palette = peak->palette();
    palette.setColor(QPalette::Window, kFileColour[k]);
    palette.setColor(QPalette::WindowText, Qt::black);
    peak->setPalette(palette);
    peak->setIndent(4);
    peak->installEventFilter(this);
    row->addWidget(peak, 1);
  }
  connect(peakSpin_, &QSpinBox::valueChanged, this, [this](int seconds) {
    setWindowSetting("PeakSeconds", seconds);
    panel_.SetPeakWindow(seconds);
  });
  connect(bufferCombo_, &QComboBox::activated, this, [this](int index) {
    setWindowSetting("BufferPreset", index);
    applyBufferPreset();
  });
  for (QSpinBox* box : {bufferRate_, bufferSize_})
    connect(box, &QSpinBox::valueChanged, this, [this] {
      setWindowSetting("BufferRate", bufferRate_->value());
      setWindowSetting("BufferSize", bufferSize_->value());
      applyBufferPreset();
    });
  connect(averageCheck_, &QCheckBox::clicked, this, [this](bool on) {
    setWindowSetting("AverageLine", on ? 1 : 0);
    panel_.SetAverageLine(on);
  });
  return row;
}

void MainDialog::applyBufferPreset() {
  const auto preset =
      mv::BufferPreset(std::clamp(bufferCombo_->currentIndex(), 0, int(mv::BufferPreset::Custom)));
  const bool custom = preset == mv::BufferPreset::Custom;
  bufferRate_->setVisible(custom);
  bufferSize_->setVisible(custom);
  panel_.SetBufferPreset(preset, uint64_t(bufferRate_->value()) * mv::kBitsPerKbit,
                         uint64_t(bufferSize_->value()) * mv::kBitsPerKbit);
}

QWidget* MainDialog::control(int id) const { return findChild<QWidget*>(QString::number(id)); }

void MainDialog::OnInitDialog() {
  if (initialised_) return;
  initialised_ = true;
  UpdateCountButtons();
  label1_->setPathMode(true);
  label2_->setPathMode(true);
  for (int k = 0; k < 5; ++k) chart_->yLabel(k)->setObjectName(QString::number(1025 - k));
  applySwatchColours();
  LoadOptions();
  {
    const QSignalBlocker block(peakSpin_);
    peakSpin_->setValue(std::clamp(windowSetting("PeakSeconds", int(mv::kDefaultPeakWindow)),
                                   int(mv::kMinPeakWindow), int(mv::kMaxPeakWindow)));
  }
  panel_.SetPeakWindow(peakSpin_->value());
  {
    const QSignalBlocker blockPreset(bufferCombo_), blockRate(bufferRate_), blockSize(bufferSize_);
    bufferCombo_->setCurrentIndex(
        std::clamp(windowSetting("BufferPreset", 0), 0, int(std::size(kBufferPresets)) - 1));
    bufferRate_->setValue(windowSetting("BufferRate", kDefaultCustomRate));
    bufferSize_->setValue(windowSetting("BufferSize", kDefaultCustomSize));
  }
  applyBufferPreset();
  averageCheck_->setChecked(windowSetting("AverageLine", 0) != 0);
  if (averageCheck_->isChecked()) panel_.SetAverageLine(true);
  if (const int view = std::clamp(windowSetting("FrameView", 0), 0, int(CCurvePanel::Tracks)); view != 0) {
    panel_.SetView(view);
    itemCombo_->setCurrentIndex(kFrameItems + view - 1);
  }
  buildMenus();
  restoreGeometry();
  fitScreen();
}

void MainDialog::fitScreen() {
  // On a small screen (or a larger scale factor than the size was saved at) the window opens as
  // large as the screen allows, and on it.
  const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
  if (!s) return;
  const QRect room = s->availableGeometry();
  const QSize frame = frameGeometry().size() - geometry().size();
  resize(std::max(minimumSizeHint().width(), std::min(width(), room.width() - frame.width())),
         std::max(minimumSizeHint().height(), std::min(height(), room.height() - frame.height())));
  if (!testAttribute(Qt::WA_Moved)) return;  // placed by the desktop
  move(std::clamp(x(), room.left(), std::max(room.left(), room.right() + 1 - width() - frame.width())),
       std::clamp(y(), room.top(), std::max(room.top(), room.bottom() + 1 - height() - frame.height())));
}

void MainDialog::restoreGeometry() {
  const int w = windowSetting("Width", 0), h = windowSetting("Height", 0);
  if (w >= minimumSizeHint().width() && h >= minimumSizeHint().height()) {
    const QRect wanted(windowSetting("X", 0), windowSetting("Y", 0), w, h);
    // A place on a screen that is no longer there is forgotten.
    for (QScreen* screen : QGuiApplication::screens()) {
      if (screen->availableGeometry().intersects(wanted)) {
        resize(wanted.size());
        move(wanted.topLeft());
        break;
      }
    }
  }
  if (windowSetting("Maximized", 0) != 0) setWindowState(windowState() | Qt::WindowMaximized);
}

void MainDialog::saveGeometry() {
  const bool maximized = isMaximized();
  setWindowSetting("Maximized", maximized ? 1 : 0);
  if (maximized) return;  // the size to come back to stays the one before
  setWindowSetting("X", x());
  setWindowSetting("Y", y());
  setWindowSetting("Width", width());
  setWindowSetting("Height", height());
}

void MainDialog::done(int result) {
  if (isVisible()) saveGeometry();
  QDialog::done(result);
}

void MainDialog::buildMenus() {
  CCurveChart* chart = panel_.chart();
  chart->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(chart, &QWidget::customContextMenuRequested, this, [this, chart](QPoint at) {
    QMenu menu(this);
    for (QAction* a : {menu.addAction(tr("复制图像"), this, &MainDialog::OnCopyChartImage),
                       menu.addAction(tr("保存图像…"), this, &MainDialog::OnSaveChartImage)})
      a->setEnabled(chart->hasPoints());
    menu.addSeparator();
    QAction* whole = menu.addAction(tr("图像包含整个文件"));
    whole->setCheckable(true);
    whole->setChecked(imageOfWholeFile_);
    connect(whole, &QAction::toggled, this, [this](bool on) { imageOfWholeFile_ = on; });
    menu.exec(chart->mapToGlobal(at));
  });

  StatListCtrl* list = panel_.list();
  auto* next = new QAction(tr("下一个标记点"), this);
  next->setShortcut(QKeySequence(Qt::Key_F3));
  auto* previous = new QAction(tr("上一个标记点"), this);
  previous->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));
  for (QAction* a : {next, previous}) {
    a->setShortcutContext(Qt::WindowShortcut);
    addAction(a);
  }
  // In the frame views the marked rows are the I pictures (key frames where types are unknown).
  connect(next, &QAction::triggered, list, [this, list] {
    if (panel_.view() == CCurvePanel::PerSecond)
      list->selectMarkedRow(true);
    else if (panel_.listsFrames())
      panel_.frameList()->selectIntraRow(true);
  });
  connect(previous, &QAction::triggered, list, [this, list] {
    if (panel_.view() == CCurvePanel::PerSecond)
      list->selectMarkedRow(false);
    else if (panel_.listsFrames())
      panel_.frameList()->selectIntraRow(false);
  });
  list->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(list, &QWidget::customContextMenuRequested, this, [list, next, previous](QPoint at) {
    QMenu menu(list);
    menu.addAction(next);
    menu.addAction(previous);
    menu.exec(list->viewport()->mapToGlobal(at));
  });
}

void MainDialog::ZoomChanged(int zoom) {
  const int index = scaleIndexOf(zoom);
  if (index < 0) return;
  scaleCombo_->setCurrentIndex(index);
  StoreOptions();
  mv::paraBlock().SetZoom(zoom);
}

QImage MainDialog::ChartImage(bool wholeFile) const {
  const CCurveChart* chart = panel_.chart();
  CurveChartModel model = *chart;
  const QSize size(std::max(480, chart->width() + 80), std::max(240, chart->clientRect().height() + 40));
  const int plotWidth = chartPlotRect(model, size).width();
  if (wholeFile) {
    fitWholeRange(model, plotWidth);
  } else {
    // The same seconds as the window shows, spread over the image's plot.
    fitTicks(model, plotWidth, panel_.zoom() == 100 || panel_.zoom() == 200);
  }
  model.markedX.reset();
  std::array<QString, 2> names;
  for (int k = 0; k < 2; ++k) {
    if (!slot(k).isLoaded()) continue;
    if (panel_.view() == CCurvePanel::Tracks && k != panel_.trackSlot()) continue;  // one file's tracks
    names[size_t(k)] = path(k).isEmpty() ? tr("文件%1").arg(k + 1) : QFileInfo(path(k)).fileName();
  }
  const QString item = panel_.view() == CCurvePanel::PerSecond
                           ? itemName(mv::paraBlock().GetInt(mv::PARA_VIEW_ITEM))
                           : itemCombo_->currentText();
  return renderChartImage(model, names, item, size);
}

void MainDialog::OnCopyChartImage() { QApplication::clipboard()->setImage(ChartImage(imageOfWholeFile_)); }

void MainDialog::OnSaveChartImage() {
  CSingleFileSel dlg(false, QString(), suggestedName(".png"),
                     CSingleFileSel::OverwritePrompt | CSingleFileSel::HideReadOnly,
                     "PNG Image(*.png)|*.png|All Files(*.*)|*.*||", this);
  dlg.setTitle(tr("保存图像"));
  dlg.setFolder(lastFolder(FolderKind::Image));
  if (dlg.DoModal() != QDialog::Accepted) return;
  const QString file = QString::fromStdString(mv::ensureExtension(dlg.GetPathName().toStdString(), ".png"));
  rememberFolderOf(FolderKind::Image, file);
  if (!savePng(ChartImage(imageOfWholeFile_), file, mv::mediaIdentities({&slots_[0], &slots_[1]}))) {
    mv::showMessage(mv::msg::kWriteFailed);
    return;
  }
  mv::openWithShell(file.toStdString());
}

int MainDialog::slotAt(QPoint at) const {
  // A path row is the band of its label across the file group.
  const QWidget* group = label1_->parentWidget();
  for (int k = 0; k < 2; ++k) {
    const ColourLabel* l = k == 0 ? label1_ : label2_;
    const QRect label(l->mapTo(this, QPoint(0, 0)), l->size());
    const QRect row(0, label.center().y() - 11, std::max(label.right(), group->geometry().right()), 22);
    if (row.contains(at)) return k;
  }
  return -1;
}

void MainDialog::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (!urls.isEmpty() && std::all_of(urls.begin(), urls.end(), [](const QUrl& u) { return u.isLocalFile(); }))
    event->acceptProposedAction();
}

void MainDialog::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  if (paths.isEmpty()) return;
  event->acceptProposedAction();
  const int target = slotAt(event->position().toPoint());
  // Opening shows dialogs; the drag must be over first.
  QMetaObject::invokeMethod(
      this, [this, paths, target] { OpenFiles(filesToOpen(paths), target); }, Qt::QueuedConnection);
}

void MainDialog::OpenFiles(const QStringList& paths, int target) {
  if (paths.size() >= 2) {
    OpenFile(0, paths[0]);
    OpenFile(1, paths[1]);
    return;
  }
  if (paths.isEmpty()) return;
  if (target < 0) target = !slot(0).isLoaded() ? 0 : !slot(1).isLoaded() ? 1 : 0;
  OpenFile(target, paths[0]);
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
  QDialog::keyPressEvent(event);
}

void MainDialog::UpdateData(bool save) {
  int* options[6] = {&outTotal_, &outAudio_, &outFileInfo_, &outHeader_, &outVideo_, &outStatistics_};
  if (save) {
    path1_ = label1_->text();
    path2_ = label2_->text();
    for (int k = 0; k < 6; ++k) *options[k] = checks_[k]->isChecked() ? 1 : 0;
    scaleIndex_ = scaleCombo_->currentIndex();
    // The frame views are remembered apart; the option keeps the last per-second item.
    if (itemCombo_->currentIndex() < kFrameItems) itemIndex_ = itemCombo_->currentIndex();
    dataPoints_ = pointsCheck_->isChecked() ? 1 : 0;
  } else {
    label1_->setText(path1_);
    label2_->setText(path2_);
    for (int k = 0; k < 6; ++k) checks_[k]->setChecked(*options[k] != 0);
    scaleCombo_->setCurrentIndex(scaleIndex_);
    itemCombo_->setCurrentIndex(panel_.view() != CCurvePanel::PerSecond ? kFrameItems + panel_.view() - 1
                                                                        : itemIndex_);
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
  scaleIndex_ = std::max(0, scaleIndexOf(p.Zoom()));
  dataPoints_ = p.GetInt(mv::PARA_VIEW_POINTS);
  UpdateData(false);
}

void MainDialog::StoreOptions() {
  WaitCursor wait;
  UpdateData(true);
  mv::CParaBlock& p = mv::paraBlock();
  const int values[8] = {outFileInfo_, outHeader_, outStatistics_, outVideo_,
                         outAudio_,    outTotal_,  itemIndex_,     dataPoints_};
  for (int i = 0; i < 8; ++i) p.SetInt(i, values[i]);
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
  dlg.setTitle(tr("选择文件"));
  dlg.setFolder(lastFolder(FolderKind::Media));
  if (dlg.DoModal() != QDialog::Accepted) return;
  rememberFolderOf(FolderKind::Media, dlg.GetPathName());
  OpenFile(slot, dlg.GetPathName());
}

bool MainDialog::OpenFile(int slot, const QString& file) {
  UpdateData(true);
  QString& shownPath = slot == 0 ? path1_ : path2_;
  const QString previousPath = shownPath;
  shownPath = file;
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
  const std::string file8 = path(slot).toStdString();
  mv::LoadResult result;
  {
    OpenProgress progress(this, path(slot), progressDelay_);
    result = loaded.open(file8, &progress);
  }
  if (!result.ok()) {
    if (result.failure == mv::LoadFailure::Cancelled) {
      UpdateData(true);
      shownPath = previousPath;
      UpdateData(false);
      return false;
    }
    mv::showLoadFailure(file8, result);
    OnCloseSlot(slot);
    return false;  // closing refreshed the panel
  }
  target.swap(loaded);
  RefreshSlot(slot);
  return true;
}

void MainDialog::RefreshSlot(int slot) {
  panel_.RefreshSlot(slot);
  QStringList notes;
  if (MainDialog::slot(slot).isLoaded() && !path(slot).isEmpty())
    notes << QFileInfo(path(slot)).absoluteFilePath();
  const mv::FileAnalysis& a = MainDialog::slot(slot).analysis;
  if (a.videoTrack != a.defaultVideo || a.audioTrack != a.defaultAudio)
    notes << tr("视频轨 %1，音频轨 %2").arg(trackNumber(a.videoTrack), trackNumber(a.audioTrack));
  for (const std::string& note : a.notes)
    notes << QString::fromStdString(mv::noteDescription(note, englishInUse()));
  (slot == 0 ? label1_ : label2_)->setToolTip(notes.join('\n'));
  if (QWidget* tracks = control(slot == 0 ? 1067 : 1068))
    tracks->setEnabled(MainDialog::slot(slot).isLoaded() && !a.tracks.empty());
}

QString MainDialog::trackNumber(int track) { return track < 0 ? tr("无") : QString::number(track); }

void MainDialog::OnChooseTracks(int index) {
  mv::FileSlot& s = slot(index);
  if (!s.isLoaded() || s.analysis.tracks.empty()) return;
  TrackDialog dialog(s.analysis, this);
  if (dialog.exec() != QDialog::Accepted) return;
  const int video = dialog.videoTrack(), audio = dialog.audioTrack();
  if (video == s.analysis.videoTrack && audio == s.analysis.audioTrack) return;
  WaitCursor wait;
  if (!s.chooseTracks(video, audio)) mv::showMessage(tr("抱歉，无法改用这些轨道。").toStdString());
  // A choice that failed twice over leaves the slot empty.
  s.isLoaded() ? RefreshSlot(index) : OnCloseSlot(index);
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
    mv::showMessage(tr(kNothingToOutput).toStdString());
    return false;
  }
  return true;
}

QString MainDialog::askSavePath(const QString& filter, const QString& extension) {
  CSingleFileSel dlg(false, QString(), suggestedName(extension),
                     CSingleFileSel::OverwritePrompt | CSingleFileSel::HideReadOnly, filter, this);
  dlg.setTitle(tr("保存文件"));
  const FolderKind kind = extension == ".xls" ? FolderKind::Spreadsheet : FolderKind::Report;
  dlg.setFolder(lastFolder(kind));
  if (dlg.DoModal() != QDialog::Accepted) return {};
  rememberFolderOf(kind, dlg.GetPathName());
  return QString::fromStdString(
      mv::ensureExtension(dlg.GetPathName().toStdString(), extension.toStdString()));
}

QString MainDialog::suggestedName(const QString& extension) const {
  for (int k = 0; k < 2; ++k)
    if (slot(k).isLoaded() && !path(k).isEmpty()) return QFileInfo(path(k)).completeBaseName() + extension;
  return {};
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

bool MainDialog::eventFilter(QObject* watched, QEvent* event) {
  for (int k = 0; k < 2; ++k) {
    if (watched == zeroIndicator_[k] && event->type() == QEvent::MouseButtonRelease && slot(k).isLoaded()) {
      OnShowGaps(k);
      return true;
    }
    if (watched == peakLabel_[k] && event->type() == QEvent::MouseButtonRelease &&
        panel_.view() == CCurvePanel::Tracks && slot(k).isLoaded()) {
      panel_.ShowTracksOf(k);
      return true;
    }
    if (watched == peakLabel_[k] && event->type() == QEvent::MouseButtonRelease &&
        panel_.view() == CCurvePanel::Buffer && panel_.bufferCheck(k)) {
      OnShowBufferRuns(k);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

SummaryWindow* MainDialog::OnFolderSummary(const QString& folder, bool allFormats,
                                           const mv::SummaryOptions& options) {
  auto* window = new SummaryWindow(folder, allFormats, options, this);
  window->setAttribute(Qt::WA_DeleteOnClose);
  connect(window, &SummaryWindow::openRequested, this, [this](const QString& path) { OpenFile(0, path); });
  window->show();
  window->start();
  return window;
}

void MainDialog::OnShowGaps(int index) {
  const mv::FileSlot& s = slot(index);
  if (!s.isLoaded() || !s.analysis.videoSeries) return;
  const std::string block = mv::zeroRunBlock(s.analysis.path, *s.analysis.videoSeries);
  mv::showMessage(block.empty() ? tr("没有无视频数据的秒。").toStdString() : block);
}

void MainDialog::OnShowBufferRuns(int index) {
  const QString runs = panel_.bufferRunsText(index);
  if (!runs.isEmpty()) mv::showMessage(runs.toStdString());
}

void MainDialog::SetZeroIndicator(int slot, bool hasZeroSeconds) {
  if (slot < 0 || slot > 1 || !zeroIndicator_[slot]) return;
  zeroIndicator_[slot]->setPixmap(iconPixmap(hasZeroSeconds ? 138 : 137));
}

}  // namespace mvgui
