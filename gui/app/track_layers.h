#pragma once
// Every track of a file per second, as the stacked view draws and lists them.
#include <QColor>
#include <QString>
#include <cstdint>
#include <vector>

#include "analysis/file_slot.h"

namespace mvgui {

// "视频", "音频", "字幕", "其他".
QString trackKindText(mv::TrackKind kind);
// "#2 音频 A_AAC jpn «评论»": a track as a line of a list or a legend names it.
QString trackTitle(const mv::FileAnalysis& analysis, int index);

struct TrackLayer {
  int track = -1;  // in analysis.tracks; -1: a series of a file that lists no tracks
  mv::TrackKind kind = mv::TrackKind::Other;
  QString legend;
  QColor colour;
  std::vector<uint32_t> bytes;  // by second; shorter where the track ends early
  uint64_t total = 0;
  uint32_t highest = 0;  // bytes in its fullest second
};

struct TrackLayers {
  // Bottom to top: video, audio, subtitle and other tracks, each kind in the file's order.
  std::vector<TrackLayer> layers;
  size_t seconds = 0;
  QString failure;  // why there are none though the file is loaded
};

// The tracks the file lists, or its video and audio series when it lists none.
TrackLayers trackLayers(const mv::FileSlot& slot);

}  // namespace mvgui
