#include "app/curve_panel.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <QTreeWidget>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "analysis/containers.h"
#include "analysis/picture_types.h"
#include "app/chart_image.h"
#include "app/main_app.h"
#include "app/open_progress.h"
#include "chart/curve_chart.h"
#include "media/peaks.h"
#include "media/statistics.h"
#include "search/batch_check.h"
#include "settings/para_block.h"
#include "widgets/stat_list_ctrl.h"
#include "widgets/stat_list_model.h"

namespace mvgui {
namespace {

constexpr int kChartId = 133;
constexpr int kStatFields[2][3] = {{1036, 1038, 1039}, {1041, 1042, 1043}};
// The list's columns: time, then video, audio and total of file 1 and of file 2.
QString listColumns() {
  const QString time = QCoreApplication::translate("mvgui::CCurvePanel", "时间");
  const QString video = QCoreApplication::translate("mvgui::CCurvePanel", "视频");
  const QString audio = QCoreApplication::translate("mvgui::CCurvePanel", "音频");
  const QString total = QCoreApplication::translate("mvgui::CCurvePanel", "总码率");
  const QString rates = QString("%1, 2, 95; %2, 2, 95; %3, 2, 95").arg(video, audio, total);
  return time + ", 1, 80; " + rates + "; " + rates;
}

// Key frames stand out from their file's curve in these.
const QColor kKeyColour[2] = {QColor(255, 0, 160), QColor(0, 128, 255)};
// Frames the buffer cannot take.
const QColor kViolationColour(255, 0, 0);
constexpr int kPeakLabels[2] = {1062, 1063};

// "45678" under 10,000 bytes, else "45.7K" or "1.23M": a size that fits a short line.
QString shortBytes(double bytes) {
  if (bytes < 10000) return QString::number(std::llround(bytes));
  if (bytes < 1e6) return QString::number(bytes / 1000, 'f', 1) + 'K';
  return QString::number(bytes / 1e6, 'f', 2) + 'M';
}

// "I 帧 12 个，平均 45678 字节" for every type the file has.
QStringList typeLines(const mv::FrameStats& st) {
  QStringList lines;
  for (int k = 0; k < 3; ++k)
    if (st.typeCount[k] > 0)
      lines << QCoreApplication::translate("mvgui::CCurvePanel", "%1 帧 %2 个，平均 %3 字节")
                   .arg(QChar(mv::kPictureTypes[k]))
                   .arg(st.typeCount[k])
                   .arg(std::llround(double(st.typeBytes[k]) / st.typeCount[k]));
  return lines;
}

uint8_t pointKind(char type) {
  return type == 'I' ? kKindI : type == 'P' ? kKindP : type == 'B' ? kKindB : kKindNone;
}

// Suspends repaints of a widget for a scope, as the panel does while many points or rows change.
class UpdatesOff {
 public:
  explicit UpdatesOff(QWidget* w) : w_(w), was_(w && w->updatesEnabled()) {
    if (w_) w_->setUpdatesEnabled(false);
  }
  ~UpdatesOff() {
    if (w_) w_->setUpdatesEnabled(was_);
  }

 private:
  QWidget* w_;
  bool was_;
};

}  // namespace

void CCurvePanel::Init(PanelHost* host, CCurveChart* chart, StatListCtrl* list, FrameList* frameList) {
  host_ = host;
  chart_ = chart;
  chart_->setObjectName(QString::number(kChartId));
  chart_->showAxes();
  for (int k = 0; k < 5; ++k) axisLabels_[k] = chart_->yLabel(k);
  SetAxisLabels(0, 1000);
  chart_->notifyParent = 1;
  chart_->backColour = QColor(0, 0, 0);
  chart_->showGrid = 1;
  chart_->yMin = 0;
  chart_->xMax = chart_->viewWidth;
  chart_->yMax = 0;
  chart_->UpdateScrollBar();
  chart_->vGridCount = 8;
  chart_->hGridCount = 8;
  for (int id : {1, 2}) {
    CurveSeries s;
    s.colour = kFileColour[id - 1];
    s.penStyle = 0;
    s.penWidth = 1;
    s.shown = 1;
    s.enabled = 1;
    s.showPoints = 0;
    s.xStep = 10;
    s.accentColour = kKeyColour[id - 1];
    chart_->AddSeries(id, s);
  }
  for (int slot = 0; slot < 2; ++slot) {
    CurveSeries s;
    s.colour = kFileColour[slot];
    s.penStyle = 1;
    s.drawTicks = 0;
    chart_->AddSeries(kAverageSeries[slot], s);
    s.penStyle = 2;
    s.colour = kFileColour[slot].lighter(140);
    chart_->AddSeries(kRateSeries[slot], s);
  }
  ApplyDataPoints();
  ApplyScale();

  list_ = list;
  list_->SetColumns(listColumns());
  list_->SetGridLines(true);
  list_->SetSlots(&slots_[0], &slots_[1]);
  frameList_ = frameList;
  frameList_->hide();

  QObject::connect(list_, &StatListCtrl::rowSelected, chart_, [this](int row) { ShowSecond(row); });
  QObject::connect(frameList_, &FrameList::rowSelected, chart_, [this](int row) { ShowSecond(row); });
  QObject::connect(chart_, &CCurveChart::clickedAt, list_, [this](int64_t x) {
    const int64_t step = std::max(1, stepOfZoom(zoom_));
    const int rows = view_ == PerSecond ? list_->GetItemCount()
                     : view_ == Tracks  ? pointCount()
                                        : frameList_->frameModel()->rowCount();
    const int row = int(std::clamp<int64_t>((x + step / 2) / step, 0, std::max(0, rows - 1)));
    if (view_ == PerSecond)
      list_->selectRowShown(row);
    else if (view_ == Tracks)
      ShowSecond(row);
    else
      frameList_->selectRowShown(row);
  });
  QObject::connect(chart_, &CCurveChart::zoomRequested, chart_, [this](int steps, int atPixel) {
    const int before = zoom_;
    if (StepZoom(steps, atPixel) != before && host_) host_->ZoomChanged(zoom_);
  });
  QObject::connect(chart_, &CCurveChart::plotResized, chart_, [this] { ChartResized(); });

  UpdateZeroIndicator(0);
  UpdateZeroIndicator(1);
}

void CCurvePanel::SetAxisLabels(int low, int high) {
  const int step = (high - low) / 4;
  for (int k = 0; k < 5; ++k)
    if (axisLabels_[k]) axisLabels_[k]->setText(QString::number(low + k * step));
  if (chart_) chart_->fitAxes();
}

void CCurvePanel::SetStatField(double value, int id) {
  auto* field = qobject_cast<QLineEdit*>(host_ ? host_->control(id) : nullptr);
  if (!field) return;
  field->setText(value >= 0 ? QString::asprintf("%.2f", value) : QString());
  field->setToolTip({});
}

void CCurvePanel::RefreshSlot(int slot) {
  framesBuilt_[size_t(slot & 1)] = false;
  frames_[size_t(slot & 1)] = FrameData{};
  checks_[size_t(slot & 1)].reset();
  updateBufferModel(slot & 1);
  layersBuilt_ = false;
  FillList(slot);
  if (view_ != PerSecond)
    SetView(view_);  // the frame list takes the new file's frames
  else
    RefreshChart();
  UpdateZeroIndicator(slot);
}

void CCurvePanel::buildFrames(int slot) {
  if (framesBuilt_[size_t(slot)]) return;
  FrameData& f = frames_[size_t(slot)];
  const mv::FileSlot& s = slots_[size_t(slot)];
  f = FrameData{};
  if (s.isLoaded()) {
    f.frames = mv::videoFrames(s.analysis);
    // The types are read from the file now, with the open's progress window if it takes long;
    // a cancel or a failed read leaves them out.
    OpenProgress progress(chart_ ? chart_->window() : nullptr, QString::fromStdString(s.analysis.path));
    mv::readPictureTypes(s, f.frames, &progress);
    f.gops = mv::groupsOfPictures(f.frames);
    f.stats = mv::frameStats(f.frames, f.gops);
  }
  framesBuilt_[size_t(slot)] = true;
}

void CCurvePanel::SetView(int view) {
  view_ = std::clamp(view, int(PerSecond), int(Tracks));
  if (listsFrames()) {
    buildFrames(0);
    buildFrames(1);
  }
  if (view_ == Buffer) checkBuffers();
  if (view_ == Tracks) buildTrackLayers();
  if (frameList_) {
    frameList_->frameModel()->reset({&frames_[0], &frames_[1]}, view_ == PerGop);
    frameList_->setVisible(listsFrames());
    list_->setVisible(view_ == PerSecond);
  }
  if (trackList_) trackList_->setVisible(view_ == Tracks);
  RefreshChart();
}

void CCurvePanel::updateBufferModel(int slot) {
  std::optional<mv::BufferModel>& model = models_[size_t(slot)];
  QString& why = why_[size_t(slot)];
  model.reset();
  why.clear();
  const mv::FileSlot& s = slots_[size_t(slot)];
  if (!s.isLoaded()) return;
  if (preset_ == mv::BufferPreset::Stream) {
    mv::StreamModelGap gap{};
    model = mv::streamModel(s, gap);
    if (!model) {
      const std::string_view because = mv::streamModelWhy(gap, englishInUse());
      why = because.empty() ? QCoreApplication::translate("mvgui::CCurvePanel", "码流没有声明缓冲区")
                            : QString::fromUtf8(because.data(), qsizetype(because.size()));
    }
  } else {
    model = mv::presetModel(preset_, s.analysis.frameRateMilli, customRate_, customBits_);
  }
}

void CCurvePanel::checkBuffers() {
  for (int slot = 0; slot < 2; ++slot) {
    if (checks_[size_t(slot)] || !models_[size_t(slot)] || !slots_[size_t(slot)].isLoaded()) continue;
    buildFrames(slot);
    checks_[size_t(slot)] = mv::checkBuffer(frames_[size_t(slot)].frames, *models_[size_t(slot)]);
  }
}

int CCurvePanel::trackSlot() const {
  const int chosen = trackChoice_ & 1;
  return slots_[size_t(chosen)].isLoaded() ? chosen : slots_[size_t(1 - chosen)].isLoaded() ? 1 - chosen : -1;
}

void CCurvePanel::ShowTracksOf(int slot) {
  if (!slots_[size_t(slot & 1)].isLoaded() || (slot & 1) == trackSlot()) return;
  trackChoice_ = slot & 1;
  layersBuilt_ = false;
  if (view_ == Tracks) {
    buildTrackLayers();
    RefreshChart();
  }
}

void CCurvePanel::SetTrackList(QTreeWidget* list) {
  trackList_ = list;
  trackList_->setRootIsDecorated(false);
  trackList_->setAllColumnsShowFocus(true);
  trackList_->setHeaderLabels({QCoreApplication::translate("mvgui::CCurvePanel", "编号"),
                               QCoreApplication::translate("mvgui::CCurvePanel", "类型"),
                               QCoreApplication::translate("mvgui::CCurvePanel", "编码"),
                               QCoreApplication::translate("mvgui::CCurvePanel", "语言"),
                               QCoreApplication::translate("mvgui::CCurvePanel", "名称"),
                               QCoreApplication::translate("mvgui::CCurvePanel", "字节"),
                               QCoreApplication::translate("mvgui::CCurvePanel", "平均 kbps"),
                               QCoreApplication::translate("mvgui::CCurvePanel", "最大 kbps")});
  trackList_->header()->setStretchLastSection(false);  // the numbers stay by their names
  trackList_->hide();
}

void CCurvePanel::buildTrackLayers() {
  if (layersBuilt_) return;
  const int slot = trackSlot();
  layers_ = slot < 0 ? TrackLayers{} : mvgui::trackLayers(slots_[size_t(slot)]);
  layersBuilt_ = true;
  fillTrackList();
}

void CCurvePanel::fillTrackList() {
  if (!trackList_) return;
  UpdatesOff off(trackList_);
  trackList_->clear();
  const int slot = trackSlot();
  if (slot < 0 || layers_.layers.empty()) return;
  const mv::FileAnalysis& a = slots_[size_t(slot)].analysis;
  const QLocale locale;
  const double seconds = double(std::max<size_t>(layers_.seconds, 1));
  // In the file's order; the layers stand by kind.
  std::vector<const TrackLayer*> rows;
  for (const TrackLayer& l : layers_.layers) rows.push_back(&l);
  std::stable_sort(rows.begin(), rows.end(),
                   [](const TrackLayer* x, const TrackLayer* y) { return x->track < y->track; });
  const auto addRow = [&](const QStringList& texts, uint64_t total, double highest) {
    auto* row = new QTreeWidgetItem(trackList_, texts);
    row->setText(5, locale.toString(qulonglong(total)));
    row->setText(6, QString::number(double(total) / 128.0 / seconds, 'f', 2));
    row->setText(7, QString::number(highest / 128.0, 'f', 2));
    for (int c = 5; c < 8; ++c) row->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    return row;
  };
  for (const TrackLayer* l : rows) {
    QStringList texts{l->track >= 0 ? QString::number(l->track) : QString(), trackKindText(l->kind)};
    if (l->track >= 0) {
      const mv::Track& t = a.tracks[size_t(l->track)];
      texts << QString::fromStdString(t.codec) << QString::fromStdString(t.language)
            << QString::fromStdString(t.name);
    }
    QTreeWidgetItem* row = addRow(texts, l->total, l->highest);
    QPixmap swatch(12, 12);
    swatch.fill(l->colour);
    row->setIcon(0, QIcon(swatch));
    // The rows the video and audio series count.
    if (l->track >= 0 && (l->track == a.videoTrack || l->track == a.audioTrack)) {
      QFont bold = trackList_->font();
      bold.setBold(true);
      for (int c = 0; c < trackList_->columnCount(); ++c) row->setFont(c, bold);
      row->setToolTip(0, l->track == a.videoTrack
                             ? QCoreApplication::translate("mvgui::CCurvePanel", "计入视频码率")
                             : QCoreApplication::translate("mvgui::CCurvePanel", "计入音频码率"));
    }
  }
  uint64_t total = 0;
  uint64_t highest = 0;
  for (size_t i = 0; i < layers_.seconds; ++i) {
    uint64_t second = 0;
    for (const TrackLayer& l : layers_.layers) second += i < l.bytes.size() ? l.bytes[i] : 0;
    total += second;
    highest = std::max(highest, second);
  }
  addRow({QString(), QCoreApplication::translate("mvgui::CCurvePanel", "合计")}, total, double(highest));
  for (int c = 0; c < trackList_->columnCount(); ++c) trackList_->resizeColumnToContents(c);
}

double CCurvePanel::addTracksToChart() {
  const int step = stepOfZoom(zoom_);
  const std::vector<TrackLayer>& layers = layers_.layers;
  const size_t seconds = layers_.seconds;
  // Each layer stands on the ones below it: its curve is their sum and its own bytes.
  std::vector<uint64_t> sum(seconds, 0);
  double top = 0.0;
  for (size_t k = 0; k < layers.size(); ++k) {
    const int id = kTrackSeries + int(k);
    if (!chart_->findSeries(id)) chart_->AddSeries(id, CurveSeries{});
    CurveSeries* s = chart_->findSeries(id);
    s->colour = layers[k].colour;
    s->fillTo = k == 0 ? 0 : id - 1;
    s->legend = layers[k].legend;
    s->drawTicks = k == 0 ? 1 : 0;
    s->xStep = step;
    s->points.reserve(seconds);
    for (size_t i = 0; i < seconds; ++i) {
      sum[i] += i < layers[k].bytes.size() ? layers[k].bytes[i] : 0;
      const int y = int(std::min<uint64_t>(sum[i] / 128, INT32_MAX));
      chart_->AddPoint(id, int(std::min<uint64_t>(i * uint64_t(step), INT32_MAX)), y, false);
      top = std::max(top, double(y));
    }
  }
  // The shown file's fields: the seconds of all its tracks together, in kbit/s, over the inner
  // seconds as every other view's (the first and the last are seldom whole).
  const int slot = trackSlot();
  if (slot >= 0 && seconds > 0) {
    const auto first = seconds > 2 ? sum.begin() + 1 : sum.begin();
    const auto last = seconds > 2 ? sum.end() - 1 : sum.end();
    uint64_t total = 0;
    for (auto it = first; it != last; ++it) total += *it;
    SetStatField(double(*std::max_element(first, last)) / 128.0, kStatFields[slot][0]);
    SetStatField(double(*std::min_element(first, last)) / 128.0, kStatFields[slot][1]);
    SetStatField(double(total) / 128.0 / double(last - first), kStatFields[slot][2]);
  }
  return top;
}

void CCurvePanel::SetBufferPreset(mv::BufferPreset preset, uint64_t rate, uint64_t bits) {
  preset_ = preset;
  customRate_ = rate;
  customBits_ = bits;
  for (int slot = 0; slot < 2; ++slot) {
    checks_[size_t(slot)].reset();
    updateBufferModel(slot);
  }
  if (view_ == Buffer) checkBuffers();
  RefreshChart(true);
}

void CCurvePanel::ShowBufferCheck(int slot, mv::BufferCheck check) {
  checks_[size_t(slot & 1)] = std::move(check);
  RefreshChart(true);
}

void CCurvePanel::SetPeakWindow(int seconds) {
  peakSeconds_ = std::clamp(seconds, int(mv::kMinPeakWindow), int(mv::kMaxPeakWindow));
  if (averageLine_) RefreshChart(true);
  UpdatePeakLabels();
}

void CCurvePanel::SetAverageLine(bool on) {
  averageLine_ = on;
  RefreshChart(true);
}

double CCurvePanel::addFramesToChart() {
  double top = 0.0;
  const int step = stepOfZoom(zoom_);
  for (int slot = 0; slot < 2; ++slot) {
    const FrameData& f = frames_[size_t(slot)];
    CurveSeries* series = chart_->findSeries(slot + 1);
    if (!series || !slots_[size_t(slot)].isLoaded()) continue;
    const size_t n = view_ == PerGop ? f.gops.size() : f.frames.size();
    if (view_ == PerFrame && f.stats.typeCount[0] + f.stats.typeCount[1] + f.stats.typeCount[2] > 0) {
      // The file's colour for I pictures, darker for P, darker still for B.
      series->kindColours[kKindI] = kFileColour[slot];
      series->kindColours[kKindP] = kFileColour[slot].darker(130);
      series->kindColours[kKindB] = kFileColour[slot].darker(165);
      series->pointKinds.resize(n);
      for (size_t i = 0; i < n; ++i) series->pointKinds[i] = pointKind(f.frames[i].type);
    }
    for (size_t i = 0; i < n; ++i) {
      const uint64_t bytes = view_ == PerGop ? f.gops[i].bytes : f.frames[i].bytes;
      const int x = int(std::min<uint64_t>(i * uint64_t(step), INT32_MAX));
      const int y = int(std::min<uint64_t>(bytes, INT32_MAX));
      chart_->AddPoint(slot + 1, x, y, false);
      if (view_ == PerFrame && f.frames[i].key) series->accentX.insert(x);
      top = std::max(top, double(y));
    }
  }
  return top;
}

double CCurvePanel::addFullnessToChart() {
  const int step = stepOfZoom(zoom_);
  for (int slot = 0; slot < 2; ++slot) {
    CurveSeries* series = chart_->findSeries(slot + 1);
    const std::optional<mv::BufferCheck>& check = checks_[size_t(slot)];
    if (!series || !check || !slots_[size_t(slot)].isLoaded()) continue;
    const auto xOf = [step](size_t i) { return int(std::min<uint64_t>(i * uint64_t(step), INT32_MAX)); };
    // Per mille of the buffer: a percent would draw in steps of several pixels.
    const double bits = double(std::max<uint64_t>(check->model.bits, 1));
    for (size_t i = 0; i < check->fullness.size(); ++i)
      chart_->AddPoint(slot + 1, xOf(i),
                       int(std::clamp(std::lround(check->fullness[i] * 1000 / bits), 0L, 1000L)), false);
    for (uint32_t frame : check->violatingFrames) series->accentX.insert(xOf(frame));
  }
  return 1000.0;
}

void CCurvePanel::addRateLines(int item) {
  if (item == 1) return;  // the buffer takes video: no line over the audio
  // The line shows where it falls within the file's own range; a rate far above the file's
  // would flatten its curve.
  const int yMax = chart_->yMax, yMin = chart_->yMin;
  for (int slot = 0; slot < 2; ++slot) {
    const CurveSeries* own = chart_->findSeries(slot + 1);
    const std::optional<mv::BufferModel>& model = models_[size_t(slot)];
    if (!own || own->points.empty() || !model || model->rate == 0) continue;
    // The series are kbit/s of 1024 bits.
    const int y = int(std::min<uint64_t>((model->rate + 512) / 1024, INT32_MAX));
    chart_->AddPoint(kRateSeries[slot], own->points.begin()->first, y, false);
    chart_->AddPoint(kRateSeries[slot], std::max(own->points.rbegin()->first, chart_->viewWidth), y, false);
  }
  if (yMax > 0) {
    chart_->yMax = yMax;
    chart_->yMin = yMin;
  }
}

void CCurvePanel::addAverageLines(int item) {
  const int step = stepOfZoom(zoom_);
  for (int slot = 0; slot < 2; ++slot) {
    const mv::FileSlot& s = slots_[size_t(slot)];
    if (!s.isLoaded()) continue;
    const std::vector<double> average = mv::movingAverage(s.analysis, item, uint32_t(peakSeconds_));
    for (size_t i = 0; i < average.size(); ++i)
      chart_->AddPoint(kAverageSeries[slot], int(std::min<uint64_t>(i * uint64_t(step), INT32_MAX)),
                       int(average[i]), false);
  }
}

void CCurvePanel::setFrameStatFields() {
  for (int slot = 0; slot < 2; ++slot) {
    if (!slots_[size_t(slot)].isLoaded()) continue;
    const FrameData& f = frames_[size_t(slot)];
    uint64_t high = f.stats.maxBytes, low = f.stats.minBytes;
    double average = f.stats.averageBytes;
    if (f.frames.empty()) continue;
    if (view_ == PerGop) {
      uint64_t total = 0;
      high = 0;
      low = UINT64_MAX;
      for (const mv::Gop& g : f.gops) {
        high = std::max(high, g.bytes);
        low = std::min(low, g.bytes);
        total += g.bytes;
      }
      average = double(total) / double(f.gops.size());  // every frame is in one GOP
    }
    auto field = [&](int k) {
      return qobject_cast<QLineEdit*>(host_ ? host_->control(kStatFields[slot][k]) : nullptr);
    };
    if (QLineEdit* e = field(0)) e->setText(QString::number(high));
    if (QLineEdit* e = field(1)) e->setText(QString::number(low));
    // A GOP's average is whole bytes: its size would not fit the field with decimals.
    if (QLineEdit* e = field(2)) e->setText(QString::asprintf(view_ == PerGop ? "%.0f" : "%.2f", average));
    const QString tip = typeLines(f.stats).join('\n');
    for (int k = 0; k < 3; ++k)
      if (QLineEdit* e = field(k)) e->setToolTip(tip);
  }
}

void CCurvePanel::UpdatePeakLabels() {
  if (!host_) return;
  const int item = mv::paraBlock().GetInt(mv::PARA_VIEW_ITEM);
  for (int slot = 0; slot < 2; ++slot) {
    auto* label = qobject_cast<QLabel*>(host_->control(kPeakLabels[slot]));
    if (!label) continue;
    const mv::FileSlot& s = slots_[size_t(slot)];
    QString text;
    QStringList tip;
    if (view_ == Tracks) {
      if (slot != trackSlot())
        text = s.isLoaded() ? QCoreApplication::translate("mvgui::CCurvePanel", "单击显示此文件的轨道")
                            : QString();
      else
        text = !layers_.failure.isEmpty()
                   ? layers_.failure
                   : QCoreApplication::translate("mvgui::CCurvePanel", "%n 个轨道，%1 秒", nullptr,
                                                 int(layers_.layers.size()))
                         .arg(layers_.seconds);
    } else if (view_ == Buffer) {
      text = bufferLine(slot);
      // Why a stream has no model can be longer than the label: the tip holds it whole.
      if (!bufferModel(slot) && !text.isEmpty()) {
        tip << text;
        const int room = label->contentsRect().width() - 2 * label->indent();
        if (room > 0) text = label->fontMetrics().elidedText(text, Qt::ElideRight, room);
      }
      if (const mv::BufferModel* m = bufferModel(slot))
        tip << QCoreApplication::translate("mvgui::CCurvePanel", "缓冲区 %1 kbit，充入 %2 kbps")
                   .arg(double(m->bits) / mv::kBitsPerKbit, 0, 'f', 0)
                   .arg(double(m->rate) / mv::kBitsPerKbit, 0, 'f', 0);
      if (bufferCheck(slot) && !bufferCheck(slot)->ok())
        tip << QCoreApplication::translate("mvgui::CCurvePanel", "单击列出全部违规时段");
    } else if (s.isLoaded() && view_ != PerSecond) {
      const mv::FrameStats& st = frames_[size_t(slot)].stats;
      const QString keys = QCoreApplication::translate("mvgui::CCurvePanel", "关键帧 %n 个，平均GOP %1 帧",
                                                       nullptr, int(st.keyFrames))
                               .arg(st.averageGopFrames, 0, 'f', 2);
      tip = typeLines(st);
      tip << keys;
      if (view_ == PerGop && st.longestGop > 0) {
        text = QCoreApplication::translate("mvgui::CCurvePanel", "GOP 最短 %1 帧，最长 %2 帧，平均 %3")
                   .arg(st.shortestGop)
                   .arg(st.longestGop)
                   .arg(st.averageGopFrames, 0, 'f', 2);
        tip << text;
      } else if (view_ == PerFrame && tip.size() > 1) {
        // Each type's count and average size; the tip says it in words.
        QStringList parts;
        for (int k = 0; k < 3; ++k)
          if (st.typeCount[k] > 0)
            parts << QString("%1 %2×%3")
                         .arg(QChar(mv::kPictureTypes[k]))
                         .arg(st.typeCount[k])
                         .arg(shortBytes(double(st.typeBytes[k]) / st.typeCount[k]));
        text = parts.join("  ");
      } else {
        text = keys;
      }
    } else if (s.isLoaded()) {
      const mv::PeakWindow peak = mv::peakWindow(s.analysis, item, uint32_t(peakSeconds_));
      text = peak.found ? QCoreApplication::translate("mvgui::CCurvePanel", "峰值 %1 kbps，起于 %2")
                              .arg(peak.rate, 0, 'f', 2)
                              .arg(QString::fromStdString(mv::rowLabel(peak.start + mv::kFirstSecond)))
                        : QCoreApplication::translate("mvgui::CCurvePanel", "峰值 -");
    }
    label->setText(text);
    label->setToolTip(tip.join('\n'));
  }
}

QString CCurvePanel::bufferLine(int slot) const {
  if (!slots_[size_t(slot)].isLoaded()) return {};
  if (!bufferModel(slot)) return bufferWhy(slot);
  const mv::BufferCheck* check = bufferCheck(slot);
  if (!check) return {};
  if (check->ok()) return QCoreApplication::translate("mvgui::CCurvePanel", "缓冲区检查通过");
  // A template argument inside the call's parentheses stalls lupdate's parser.
  const int frames = int(std::max<size_t>(check->violatingFrames.size(), 1));
  return QCoreApplication::translate("mvgui::CCurvePanel", "%n 帧违规，首个在 %1", nullptr, frames)
      .arg(QString::fromStdString(
          mv::zeroRunText({check->runs.front().seconds.first, check->runs.front().seconds.first})));
}

QString CCurvePanel::bufferRunsText(int slot) const {
  const mv::BufferCheck* check = bufferCheck(slot);
  if (!check) return {};
  if (check->ok()) return QCoreApplication::translate("mvgui::CCurvePanel", "缓冲区检查通过");
  QStringList lines{QString::fromStdString(slots_[size_t(slot)].analysis.path)};
  const double bits = double(std::max<uint64_t>(check->model.bits, 1));
  for (const mv::BufferRun& run : check->runs) {
    static const char* const kinds[] = {QT_TRANSLATE_NOOP("mvgui::CCurvePanel", "缓冲区下溢"),
                                        QT_TRANSLATE_NOOP("mvgui::CCurvePanel", "帧大于缓冲区"),
                                        QT_TRANSLATE_NOOP("mvgui::CCurvePanel", "GOP过长")};
    QString line =
        QString::fromStdString(mv::zeroRunText(run.seconds)) + "  " +
        QCoreApplication::translate("mvgui::CCurvePanel", kinds[std::min<size_t>(size_t(run.kind), 2)]);
    if (run.lowest)
      line += "  " + QCoreApplication::translate("mvgui::CCurvePanel", "最低 %1%")
                         .arg(*run.lowest * 100 / bits, 0, 'f', 1);
    lines << line;
  }
  return lines.join('\n');
}

void CCurvePanel::RefreshChart(bool keepView) {
  const int shownStart = chart_ ? chart_->viewStart : 0;
  for (const auto& ids : kStatFields)
    for (int id : ids) SetStatField(-1.0, id);
  if (!chart_) return;
  double top = 0.0;
  {
    UpdatesOff off(chart_);
    chart_->ClearPoints();
    chart_->ResetRange();
    chart_->viewWidth = chart_->xMax = viewWidthOfZoom(zoom_);
    chart_->UpdateScrollBar();
    const int item = mv::paraBlock().GetInt(mv::PARA_VIEW_ITEM);
    for (int id : {1, 2})
      if (CurveSeries* s = chart_->findSeries(id)) {
        s->accentX.clear();
        s->accentColour = view_ == Buffer ? kViolationColour : kKeyColour[id - 1];
        std::vector<uint8_t>().swap(s->pointKinds);
      }
    chart_->countLabels = listsFrames();
    if (view_ == PerSecond) {
      for (int slot = 0; slot < 2; ++slot) {
        const mv::FileSlot& s = slots_[size_t(slot)];
        if (!s.isLoaded()) continue;
        for (int k = 0; k < 3; ++k)
          SetStatField(mv::cellValue(s, uint32_t(k + 1), item), kStatFields[slot][k]);
      }
      top = addSecondsToChart(*chart_, slots_, item);
      if (averageLine_) addAverageLines(item);
      addRateLines(item);
    } else if (view_ == Buffer) {
      setFrameStatFields();
      top = addFullnessToChart();
      // Full (1000 per mille) on the top edge, so that the axis reads 0 .. 100 %.
      chart_->yMax = 950;
    } else if (view_ == Tracks) {
      top = addTracksToChart();
    } else {
      setFrameStatFields();
      top = addFramesToChart();
    }
    chart_->viewStart = keepView ? shownStart : chart_->xMin;
    applyViewWidth();
  }
  chart_->update();
  if (list_) list_->SetHighlightedItem(mv::paraBlock().GetInt(mv::PARA_VIEW_ITEM));
  if (view_ == Buffer)
    SetAxisLabels(0, 100);
  else
    SetAxisLabels(0, top > 1.0 ? int(std::min(std::trunc(top * 1.05 + 0.5), double(INT32_MAX))) : 1000);
  UpdatePeakLabels();
}

void CCurvePanel::ApplyScale() { SetZoom(mv::paraBlock().Zoom()); }

const std::vector<int>& CCurvePanel::zoomLevels() {
  static const std::vector<int> levels = {kWholeFile, 10, 25, 50, 100, 200, 400, 800};
  return levels;
}

void CCurvePanel::SetZoom(int zoom) {
  zoom_ = zoom;
  const int step = stepOfZoom(zoom);
  if (chart_) {
    for (int id : {1, 2, kAverageSeries[0], kAverageSeries[1], kRateSeries[0], kRateSeries[1]})
      if (chart_->findSeries(id)) chart_->SetXStep(id, step);
    for (auto& [id, s] : chart_->series)
      if (id >= kTrackSeries) chart_->SetXStep(id, step);
  }
  RefreshChart();
}

int CCurvePanel::StepZoom(int steps, int atPixel) {
  const int before = zoom_;
  const int w = chart_ ? chart_->clientSize().width() : 0;
  const int pixel = std::clamp(atPixel < 0 ? w / 2 : atPixel, 0, std::max(0, w));
  // The point under the pixel, counted in points, stays under it.
  const double point =
      chart_ && w > 0 ? (chart_->viewStart + double(pixel) * chart_->viewWidth / w) / stepOfZoom(zoom_) : 0.0;
  stepZoomLevel(steps);
  if (zoom_ != before && zoom_ != kWholeFile && chart_ && w > 0) {
    const double start = point * stepOfZoom(zoom_) - double(pixel) * chart_->viewWidth / w;
    chart_->ScrollTo(int64_t(std::llround(std::clamp(start, -1e15, 1e15))));
  }
  return zoom_;
}

void CCurvePanel::stepZoomLevel(int steps) {
  const std::vector<int>& levels = zoomLevels();
  auto at = std::find(levels.begin(), levels.end(), zoom_);
  int index = at == levels.end() ? 4 : int(at - levels.begin());
  // Levels that would show the whole file anyway are the whole file.
  const auto showsAll = [&](int level) {
    return level != kWholeFile && int64_t(viewWidthOfZoom(level)) / stepOfZoom(level) >= pointCount();
  };
  if (steps > 0 && index == 0) {
    while (index + 1 < int(levels.size()) && showsAll(levels[size_t(index) + 1])) ++index;
  }
  index = std::clamp(index + steps, 0, int(levels.size()) - 1);
  if (steps < 0 && showsAll(levels[size_t(index)])) index = 0;
  if (levels[size_t(index)] != zoom_) SetZoom(levels[size_t(index)]);
}

int CCurvePanel::pointCount() const {
  if (view_ == Tracks) return int(std::min<size_t>(layers_.seconds, INT32_MAX));
  int n = 0;
  for (int slot = 0; slot < 2; ++slot) {
    const mv::FileSlot& s = slots_[size_t(slot)];
    if (!s.isLoaded()) continue;
    const FrameData& f = frames_[size_t(slot)];
    const size_t points = view_ == PerFrame || view_ == Buffer ? f.frames.size()
                          : view_ == PerGop                    ? f.gops.size()
                                                               : size_t(s.elementCount() - mv::kFirstSecond);
    n = std::max(n, int(std::min<size_t>(points, INT32_MAX)));
  }
  return n;
}

int CCurvePanel::stepOfZoom(int zoom) const { return zoom >= 100 ? zoom / 10 : 10; }

int CCurvePanel::viewWidthOfZoom(int zoom) const {
  if (zoom == kWholeFile) return std::max(stepOfZoom(zoom), (pointCount() - 1) * stepOfZoom(zoom));
  // The original 1000 at the created size; a wider plot shows more at the same pixels per second.
  const int client = chart_ ? chart_->clientSize().width() : 0;
  int64_t width = baseClientWidth_ > 0 && client > 0
                      ? (int64_t(1000) * client + baseClientWidth_ / 2) / baseClientWidth_
                      : 1000;
  if (zoom > 0 && zoom < 100) width = width * 100 / zoom;
  return int(std::clamp<int64_t>(width, 10, 1 << 30));
}

void CCurvePanel::applyViewWidth() {
  chart_->viewWidth = viewWidthOfZoom(zoom_);
  if (zoom_ == kWholeFile) {
    chart_->viewStart = chart_->xMin;
    chart_->xMax = chart_->xMin + chart_->viewWidth;
  } else {
    chart_->xMax = std::max(chart_->xMax, chart_->viewStart + chart_->viewWidth);
  }
  const int w = chart_->clientSize().width();
  const double pixelsPerPoint = w > 0 ? double(w) * stepOfZoom(zoom_) / chart_->viewWidth : 0.0;
  // 100 % and 200 % keep the original grid and labels.
  TickSteps steps;
  if (zoom_ != 100 && zoom_ != 200) {
    steps = tickStepsFor(pixelsPerPoint, timeLabelSize().width());
  }
  chart_->tickEvery = steps.tickEvery;
  chart_->labelEvery = steps.labelEvery;
  chart_->columnMaxima = pixelsPerPoint < 1.0;
  const int row = listsFrames()                 ? frameList_->selectedRow()
                  : view_ == PerSecond && list_ ? list_->selectedRow()
                                                : -1;
  chart_->markedX = row >= 0 ? std::optional<int>(row * stepOfZoom(zoom_)) : std::nullopt;
  chart_->ScrollTo(chart_->viewStart);
}

void CCurvePanel::TakeBasePlotWidth() {
  baseClientWidth_ = chart_ ? chart_->clientSize().width() : 0;
  ChartResized();
}

void CCurvePanel::ChartResized() {
  if (!chart_) return;
  applyViewWidth();
  chart_->update();
}

void CCurvePanel::ShowSecond(int row) {
  if (!chart_) return;
  if (row < 0) {
    chart_->markedX.reset();
  } else {
    const int x = row * stepOfZoom(zoom_);
    chart_->markedX = x;
    if (x < chart_->viewStart || int64_t(x) > int64_t(chart_->viewStart) + chart_->viewWidth)
      chart_->ScrollTo(int64_t(x) - chart_->viewWidth / 2);
  }
  chart_->update();
}

void CCurvePanel::ApplyDataPoints() {
  if (!chart_) return;
  const int flag = mv::paraBlock().GetInt(mv::PARA_VIEW_POINTS);
  {
    UpdatesOff off(chart_);
    for (int id : {1, 2})
      if (chart_->findSeries(id)) chart_->SetShowPoints(id, flag);
  }
  chart_->update();
}

void CCurvePanel::InvalidateList() {
  if (list_) list_->RepaintNow();
}

std::optional<QColor> CCurvePanel::GetSwatchBrush(int id) const {
  switch (id) {
    case 1044:
      return kFileColour[0];
    case 1045:
      return kFileColour[1];
    case 1046:
      return QColor(255, 255, 0);
    case 1047:
      return QColor(0, 255, 0);
    case 1050:
      return QColor(255, 0, 0);
    default:
      return std::nullopt;
  }
}

void CCurvePanel::FillList(int) {
  if (!list_) return;
  UpdatesOff off(list_);
  list_->ClearSelection();
  list_->statModel()->showSeconds();
}

void CCurvePanel::UpdateZeroIndicator(int slot) {
  // Seconds without video among the inner seconds, for files of every kind.
  const mv::FileSlot& s = slots_[size_t(slot)];
  const bool zero = s.isLoaded() && s.analysis.videoSeries && !mv::zeroRuns(*s.analysis.videoSeries).empty();
  if (host_) host_->SetZeroIndicator(slot, zero);
}

}  // namespace mvgui
