#include "app/main_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
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
#include <QUrl>

#include "analysis/containers.h"
#include "analysis/failure_causes.h"
#include "app/about_dialog.h"
#include "app/chart_image.h"
#include "app/file_info_dlg.h"
#include "app/filter_dlg.h"
#include "app/open_progress.h"
#include "app/wait_cursor.h"
#include "batch/batch_check_dialog.h"
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
      {1019, QT_TRANSLATE_NOOP("mvgui::MainDialog", "关于 Morvatelline")},
      {1020, QT_TRANSLATE_NOOP("mvgui::MainDialog", "打开帮助文件")},
      {1027, QT_TRANSLATE_NOOP("mvgui::MainDialog", "批量检查RM文件中是否有0码率点")}};
  return tips;
}

// Option check boxes in member order: total, audio, file info, header, video, statistics.
constexpr int kOptionIds[6] = {1013, 1012, 1005, 1008, 1010, 1009};

// The scale box: 100 % and 200 % first; then the other zooms.
struct ScaleItem {
  const char* text;
  int zoom;
};
constexpr const char* kWholeFileText = QT_TRANSLATE_NOOP("mvgui::MainDialog", "全部");
constexpr ScaleItem kScaleItems[] = {
    {"100%", 100}, {"200%", 200}, {"400%", 400}, {"800%", 800},
    {"50%", 50},   {"25%", 25},   {"10%", 10},   {kWholeFileText, CCurvePanel::kWholeFile}};

// The item box: video, audio, total per second, then the frame and GOP views.
constexpr int kFrameItems = 3;

int scaleIndexOf(int zoom) {
  for (int i = 0; i < int(std::size(kScaleItems)); ++i)
    if (kScaleItems[i].zoom == zoom) return i;
  return -1;
}

}  // namespace

MainDialog::MainDialog(QWidget* parent) : CResizableDlg(parent) {
  setWindowTitle("Morvatelline");
  setWindowIcon(applicationIcon());
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                 Qt::WindowCloseButtonHint);
  setAcceptDrops(true);
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
    if (auto it = toolTips().find(id); it != toolTips().end()) widget->setToolTip(tr(it->second));
  }
  return widget;
}

void MainDialog::buildControls() {
  const DialogUnits du = DialogUnits::of(font());
  resize(du.x(462), du.y(461));
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

  group(tr("1、选择需要分析的文件（可以同时分析两个）"), 7, 7, 253, 53);
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

  group(tr("2、显示码率曲线"), 7, 65, 190, 30);
  label(tr("项:"), 12, 80, 14, 8);
  itemCombo_ = add(1017, new QComboBox(this));
  itemCombo_->addItems({tr("视频码率"), tr("音频码率"), tr("总码率"), tr("每帧"), tr("每GOP")});
  itemCombo_->setGeometry(du.rect(27, 77, 48, 12));
  label(tr("比例:"), 85, 80, 21, 8);
  scaleCombo_ = add(1018, new QComboBox(this));
  for (const ScaleItem& item : kScaleItems) scaleCombo_->addItem(tr(item.text));
  // A little wider than the original 33 units: Qt's combo box frame needs more room for "100%".
  scaleCombo_->setGeometry(du.rect(107, 77, 40, 12));
  pointsCheck_ = add(1035, new QCheckBox(tr("数据点"), this));
  pointsCheck_->setGeometry(du.rect(153, 79, 40, 10));

  group(tr("3、设置码率输出选项"), 266, 7, 189, 53);
  const struct {
    int id;
    const char* text;
    int x, y;
  } options[] = {{1005, QT_TR_NOOP("文件基本信息"), 275, 24}, {1008, QT_TR_NOOP("表头"), 344, 24},
                 {1009, QT_TR_NOOP("统计特征项"), 396, 24},   {1010, QT_TR_NOOP("视频码率"), 275, 45},
                 {1012, QT_TR_NOOP("音频码率"), 344, 45},     {1013, QT_TR_NOOP("总码率"), 396, 45}};
  for (const auto& o : options) {
    auto* c = add(o.id, new QCheckBox(tr(o.text), this));
    c->setGeometry(du.rect(o.x, o.y, o.id == 1005 || o.id == 1009 ? 60 : 48, 10));
    for (int k = 0; k < 6; ++k)
      if (kOptionIds[k] == o.id) checks_[k] = c;
  }
  auto* line = new QFrame(this);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  line->setGeometry(du.rect(272, 38, 177, 1));

  group(tr("4、输出码率数据"), 203, 65, 168, 30);
  auto* txt = add(1003, new QPushButton(tr("输出到txt文件"), this));
  txt->setGeometry(du.rect(210, 76, 71, 14));
  auto* xls = add(1015, new QPushButton(tr("输出到Excel文件"), this));
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
    if (l.kind == IconLinkButton::About)
      link->setOpener([this] { AboutDialog(this).exec(); });
    else if (l.kind == IconLinkButton::BatchCheck)
      link->setOpener([this] { BatchCheckDialog(this).exec(); });
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
  } fields[] = {{1036, QT_TR_NOOP("最大"), 59},  {1038, QT_TR_NOOP("最小"), 120},
                {1039, QT_TR_NOOP("平均"), 180}, {1041, QT_TR_NOOP("最大"), 292},
                {1042, QT_TR_NOOP("最小"), 353}, {1043, QT_TR_NOOP("平均"), 413}};
  for (const auto& f : fields) {
    label(tr(f.text), f.x - 18, 248, 17, 8);
    auto* e = add(f.id, new QLineEdit(this));
    e->setReadOnly(true);
    e->setGeometry(du.rect(f.x, 246, 36, 12));
  }
  swatch(1046, 15, 262);
  label(tr("码率最大的"), 40, 264, 41, 8);
  auto* top = add(1048, new QPushButton("99", this));
  top->setGeometry(du.rect(82, 262, 28, 12));
  label(tr("点"), 113, 264, 10, 8);
  swatch(1047, 182, 262);
  label(tr("码率最小的"), 207, 264, 41, 8);
  auto* bottom = add(1049, new QPushButton("99", this));
  bottom->setGeometry(du.rect(250, 262, 28, 12));
  label(tr("点"), 281, 264, 10, 8);
  for (auto* b : {top, bottom}) b->setAutoDefault(false);
  connect(top, &QPushButton::clicked, this, [this] { OnCountButton(1); });
  connect(bottom, &QPushButton::clicked, this, [this] { OnCountButton(0); });
  swatch(1050, 347, 262);
  label(tr("0码率点"), 372, 264, 34, 8);
  zeroIndicator_[0] = label("", 409, 258, 20, 20, 1053);
  zeroIndicator_[1] = label("", 429, 258, 20, 20, 1056);
  for (auto* z : zeroIndicator_) {
    z->setAlignment(Qt::AlignCenter);
    z->installEventFilter(this);
  }

  // Marks the list's place; the panel puts the list there and it takes over the id.
  label("", 7, 278, 448, 160, 1007)->hide();

  // Under the list: the peak window, the moving-average line and what each file's peak is.
  label(tr("峰值窗口"), 9, 444, 34, 8);
  peakSpin_ = add(1060, new QSpinBox(this));
  peakSpin_->setRange(int(mv::kMinPeakWindow), int(mv::kMaxPeakWindow));
  peakSpin_->setSuffix(tr(" 秒"));
  peakSpin_->setGeometry(du.rect(44, 442, 38, 12));
  averageCheck_ = add(1061, new QCheckBox(tr("平均线"), this));
  averageCheck_->setGeometry(du.rect(88, 443, 40, 10));
  for (int k = 0; k < 2; ++k) {
    auto* peak = add(1062 + k, new QLabel(this));
    peak->setGeometry(du.rect(132 + 162 * k, 442, 158, 12));
    peak->setAutoFillBackground(true);
    QPalette palette = peak->palette();
    palette.setColor(QPalette::Window, kFileColour[k]);
    palette.setColor(QPalette::WindowText, Qt::black);
    peak->setPalette(palette);
    peak->setIndent(4);
  }
  connect(peakSpin_, &QSpinBox::valueChanged, this, [this](int seconds) {
    setWindowSetting("PeakSeconds", seconds);
    panel_.SetPeakWindow(seconds);
  });
  connect(averageCheck_, &QCheckBox::clicked, this, [this](bool on) {
    setWindowSetting("AverageLine", on ? 1 : 0);
    panel_.SetAverageLine(on);
  });

  for (auto* c : checks_) connect(c, &QCheckBox::clicked, this, &MainDialog::StoreOptions);
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
  {
    const QSignalBlocker block(peakSpin_);
    peakSpin_->setValue(std::clamp(windowSetting("PeakSeconds", int(mv::kDefaultPeakWindow)),
                                   int(mv::kMinPeakWindow), int(mv::kMaxPeakWindow)));
  }
  panel_.SetPeakWindow(peakSpin_->value());
  averageCheck_->setChecked(windowSetting("AverageLine", 0) != 0);
  if (averageCheck_->isChecked()) panel_.SetAverageLine(true);
  if (const int view = std::clamp(windowSetting("FrameView", 0), 0, 2); view != 0) {
    panel_.SetView(view);
    itemCombo_->setCurrentIndex(kFrameItems + view - 1);
  }
  recordLayout();
  buildMenus();
  restoreGeometry();
}

void MainDialog::recordLayout() {
  createdSize_ = size();
  createdChart_ = panel_.chart()->geometry();
  const int chartBottom = createdChart_.bottom();
  const int listTop = panel_.list()->geometry().top();
  const int listBottom = panel_.list()->geometry().bottom();
  for (QObject* child : children()) {
    auto* w = qobject_cast<QWidget*>(child);
    if (!w || !w->isWidgetType() || w->isWindow()) continue;
    const QRect g = w->geometry();
    Placed::Kind kind;
    if (w == panel_.chart())
      kind = Placed::Chart;
    else if (w == panel_.list() || w == panel_.frameList())
      kind = Placed::List;
    else if (w == control(1033))
      kind = Placed::Frame;
    else if (w->objectName().toInt() >= 1021 && w->objectName().toInt() <= 1025)
      kind = Placed::Axis;
    else if (g.top() > chartBottom && g.top() < listTop && w->isVisibleTo(this))
      kind = Placed::Below;
    else if (g.top() > listBottom && w->isVisibleTo(this))
      kind = Placed::Bottom;
    else
      continue;
    placed_.push_back({w, g, kind});
  }
}

void MainDialog::layoutControls() {
  if (placed_.empty()) return;
  const int extraWidth = std::max(0, width() - createdSize_.width());
  const int extraHeight = std::max(0, height() - createdSize_.height());
  // The plot grows in whole grid cells: ten across, eight down.
  const int chartWidth = extraWidth - extraWidth % 10;
  const int chartHeight = extraHeight / 2 - extraHeight / 2 % 8;
  const QRect chart = createdChart_.adjusted(0, 0, chartWidth, chartHeight);
  for (const Placed& p : placed_) {
    QRect g = p.created;
    switch (p.kind) {
      case Placed::Chart:
        g = chart;
        break;
      case Placed::Frame:
        g.adjust(0, 0, extraWidth, chartHeight);
        break;
      case Placed::Axis: {
        // The rate labels keep their places relative to the plot's height.
        const int offset = p.created.top() - createdChart_.top();
        g.moveTop(createdChart_.top() +
                  int(int64_t(offset) * chart.height() / std::max(1, createdChart_.height())));
        break;
      }
      case Placed::Below:
        g.translate(0, chartHeight);
        break;
      case Placed::List:
        g.adjust(0, chartHeight, extraWidth, extraHeight);
        break;
      case Placed::Bottom:
        g.translate(0, extraHeight);
        break;
    }
    if (p.widget->geometry() != g) p.widget->setGeometry(g);
  }
  panel_.ChartResized();
}

void MainDialog::restoreGeometry() {
  const int w = windowSetting("Width", 0), h = windowSetting("Height", 0);
  if (w >= minimumWidth() && h >= minimumHeight()) {
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
  CResizableDlg::done(result);
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
  // In the frame views the marked rows are the key frames.
  connect(next, &QAction::triggered, list, [this, list] {
    panel_.view() == CCurvePanel::PerSecond ? list->selectMarkedRow(true)
                                            : panel_.frameList()->selectKeyRow(true);
  });
  connect(previous, &QAction::triggered, list, [this, list] {
    panel_.view() == CCurvePanel::PerSecond ? list->selectMarkedRow(false)
                                            : panel_.frameList()->selectKeyRow(false);
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
    names[size_t(k)] = path(k).isEmpty() ? tr("文件%1").arg(k + 1) : QFileInfo(path(k)).fileName();
  }
  const QString item = panel_.view() == CCurvePanel::PerSecond
                           ? itemName(mv::paraBlock().GetInt(mv::PARA_VIEW_ITEM))
                           : itemCombo_->currentText();
  return renderChartImage(model, names, item, size);
}

void MainDialog::OnCopyChartImage() { QApplication::clipboard()->setImage(ChartImage(imageOfWholeFile_)); }

void MainDialog::OnSaveChartImage() {
  CSingleFileSel dlg(false, QString(), QString(),
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
    const QRect label = (k == 0 ? label1_ : label2_)->geometry();
    const QRect row(0, label.center().y() - 11, std::max(label.right(), group->width() / 2), 22);
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
      this, [this, paths, target] { OpenFiles(paths, target); }, Qt::QueuedConnection);
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
  CResizableDlg::keyPressEvent(event);
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
  for (const std::string& note : MainDialog::slot(slot).analysis.notes)
    notes << QCoreApplication::translate("mv::msg", mv::noteDescription(note).c_str());
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
    mv::showMessage(tr(kNothingToOutput).toStdString());
    return false;
  }
  return true;
}

QString MainDialog::askSavePath(const QString& filter, const QString& extension) {
  CSingleFileSel dlg(false, QString(), QString(),
                     CSingleFileSel::OverwritePrompt | CSingleFileSel::HideReadOnly, filter, this);
  dlg.setTitle(tr("保存文件"));
  const FolderKind kind = extension == ".xls" ? FolderKind::Spreadsheet : FolderKind::Report;
  dlg.setFolder(lastFolder(kind));
  if (dlg.DoModal() != QDialog::Accepted) return {};
  rememberFolderOf(kind, dlg.GetPathName());
  return QString::fromStdString(
      mv::ensureExtension(dlg.GetPathName().toStdString(), extension.toStdString()));
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
  }
  return CResizableDlg::eventFilter(watched, event);
}

void MainDialog::OnShowGaps(int index) {
  const mv::FileSlot& s = slot(index);
  if (!s.isLoaded() || !s.analysis.videoSeries) return;
  const std::string block = mv::zeroRunBlock(s.analysis.path, *s.analysis.videoSeries);
  mv::showMessage(block.empty() ? tr("没有无视频数据的秒。").toStdString() : block);
}

void MainDialog::SetZeroIndicator(int slot, bool hasZeroSeconds) {
  if (slot < 0 || slot > 1 || !zeroIndicator_[slot]) return;
  zeroIndicator_[slot]->setPixmap(iconPixmap(hasZeroSeconds ? 138 : 137));
}

}  // namespace mvgui
