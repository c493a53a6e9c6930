#include "app/track_layers.h"

#include <QCoreApplication>
#include <algorithm>

#include "media/per_second_series.h"
#include "media/tracks.h"
#include "widgets/file_colours.h"

namespace mvgui {
namespace {

// On the chart's black: the first file's colour for video, distinct hues for the audio tracks.
const QColor kAudioColours[] = {QColor(255, 160, 0), QColor(0, 200, 90),   QColor(0, 150, 255),
                                QColor(230, 230, 0), QColor(190, 90, 255), QColor(255, 90, 90)};
const QColor kSubtitleColour(200, 200, 200), kOtherColour(150, 120, 90);

QColor layerColour(mv::TrackKind kind, int nth) {
  switch (kind) {
    case mv::TrackKind::Video:
      return kFileColour[0].darker(100 + 35 * (nth % 4));
    case mv::TrackKind::Audio:
      return kAudioColours[size_t(nth) % std::size(kAudioColours)];
    case mv::TrackKind::Subtitle:
      return kSubtitleColour.darker(100 + 25 * (nth % 3));
    case mv::TrackKind::Other:
      break;
  }
  return kOtherColour.darker(100 + 25 * (nth % 3));
}

void finish(TrackLayer& layer) {
  for (uint32_t b : layer.bytes) {
    layer.total += b;
    layer.highest = std::max(layer.highest, b);
  }
}

}  // namespace

QString trackKindText(mv::TrackKind kind) {
  switch (kind) {
    case mv::TrackKind::Video:
      return QCoreApplication::translate("mvgui::TrackLayers", "视频");
    case mv::TrackKind::Audio:
      return QCoreApplication::translate("mvgui::TrackLayers", "音频");
    case mv::TrackKind::Subtitle:
      return QCoreApplication::translate("mvgui::TrackLayers", "字幕");
    case mv::TrackKind::Other:
      break;
  }
  return QCoreApplication::translate("mvgui::TrackLayers", "其他");
}

QString trackTitle(const mv::FileAnalysis& a, int index) {
  if (index < 0 || size_t(index) >= a.tracks.size())
    return QCoreApplication::translate("mvgui::TrackLayers", "无");
  const mv::Track& t = a.tracks[size_t(index)];
  QStringList parts{QString("#%1").arg(index), trackKindText(t.kind)};
  if (!t.codec.empty()) parts << QString::fromStdString(t.codec);
  if (!t.language.empty()) parts << QString::fromStdString(t.language);
  if (!t.name.empty()) parts << QString("«%1»").arg(QString::fromStdString(t.name));
  return parts.join(' ');
}

TrackLayers trackLayers(const mv::FileSlot& slot) {
  TrackLayers out;
  if (!slot.isLoaded()) return out;
  const mv::FileAnalysis& a = slot.analysis;
  if (a.tracks.empty()) {
    // The two series the file has, as two layers.
    const mv::PerSecondSeries* series[2] = {a.videoSeries.get(), a.audioSeries.get()};
    for (int k = 0; k < 2; ++k) {
      TrackLayer layer;
      layer.kind = k == 0 ? mv::TrackKind::Video : mv::TrackKind::Audio;
      layer.legend = trackKindText(layer.kind);
      layer.colour = layerColour(layer.kind, 0);
      if (series[k] && series[k]->elementCount() > mv::kFirstSecond)
        layer.bytes.assign(series[k]->data() + mv::kFirstSecond,
                           series[k]->data() + series[k]->elementCount());
      finish(layer);
      out.seconds = std::max(out.seconds, layer.bytes.size());
      out.layers.push_back(std::move(layer));
    }
    return out;
  }
  mv::TimedSeconds seconds;
  if (const mv::LoadResult r = mv::trackSeconds(a, seconds); !r.ok()) {
    out.failure = r.failure == mv::LoadFailure::OutOfMemory
                      ? QCoreApplication::translate("mvgui::TrackLayers", "轨道太多、时间太长，无法逐秒显示")
                      : QCoreApplication::translate("mvgui::TrackLayers", "轨道的时间戳超出范围");
    return out;
  }
  out.seconds = seconds.seconds;
  for (mv::TrackKind kind :
       {mv::TrackKind::Video, mv::TrackKind::Audio, mv::TrackKind::Subtitle, mv::TrackKind::Other}) {
    int nth = 0;
    for (size_t i = 0; i < a.tracks.size(); ++i) {
      if (a.tracks[i].kind != kind) continue;
      TrackLayer layer;
      layer.track = int(i);
      layer.kind = kind;
      layer.legend = trackTitle(a, int(i));
      layer.colour = layerColour(kind, nth++);
      layer.bytes = std::move(seconds.bytes[i]);
      finish(layer);
      out.layers.push_back(std::move(layer));
    }
  }
  return out;
}

}  // namespace mvgui
