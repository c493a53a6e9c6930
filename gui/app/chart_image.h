#pragma once
// The chart as a picture: the plot with its time labels, the rate axis beside it and a legend of
// the files' names and colours above. The window copies or saves it; `morvatelline --chart`
// writes it without a window.
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <array>
#include <span>

#include "analysis/file_slot.h"
#include "chart/curve_chart_model.h"
#include "platform/output_file.h"

namespace mvgui {

// Adds one point per second of each loaded slot's `item` (0 video, 1 audio, 2 total) to series 1
// and 2 at their xStep, as the chart shows them. Returns the largest value.
double addSecondsToChart(CurveChartModel& chart, const std::array<mv::FileSlot, 2>& fileSlots, int item);

// A chart of the two slots' `item` showing every second, drawn as the window draws its chart.
CurveChartModel wholeFileChart(const std::array<mv::FileSlot, 2>& fileSlots, int item);

// Sets viewWidth so the chart's x range from xMin to its last point fills the plot, with the
// grid, labels and column maxima that suit `plotWidth` pixels.
void fitWholeRange(CurveChartModel& chart, int plotWidth);
// The grid and label spacing and column maxima that suit the chart's view at `plotWidth`
// pixels; `keepOriginal` keeps the original 5 and 10 (100 % and 200 %).
void fitTicks(CurveChartModel& chart, int plotWidth, bool keepOriginal);

// Where renderChartImage puts the plot in an image of `size`.
QRect chartPlotRect(const CurveChartModel& chart, QSize size);
// `chart` (its view as it stands) drawn into an image of `size` with the axis and legend;
// `names` are the files' names for the legend (empty: that file is left out).
QImage renderChartImage(const CurveChartModel& chart, const std::array<QString, 2>& names,
                        const QString& itemName, QSize size);

// The name of an item for the legend: "视频码率", "音频码率", "总码率", or their translation.
QString itemName(int item);

struct WriteFailure {
  mv::OutputError error = mv::OutputError::None;
  int systemError = 0;  // errno of the failed call, 0 when none
};
// Writes `image` as PNG to `path`, whole or not at all, never over one of `keep` (the loaded
// media files); false on failure, with what failed in `failure` when given.
bool savePng(const QImage& image, const QString& path, std::span<const mv::FileIdentity> keep = {},
             WriteFailure* failure = nullptr);

// `morvatelline --chart OUT.png FILE [FILE2] [--item video|audio|total] [--width W --height H]`;
// returns the exit status. Messages go to standard error.
int runChartCommand(const QStringList& arguments);

}  // namespace mvgui
