#include "report/info_text.h"

#include "analysis/containers.h"
#include "media/zero_runs.h"
#include "report/text_report.h"

namespace mv {

void writeInformation(TextFile& out, const FileSlot& slot) {
  writeReportHeader(out);
  writeFileSummary(out, slot);
  // What the reader had to do to read the file, so nobody takes a repaired reading for a whole one.
  if (const auto& notes = slot.analysis.notes; !notes.empty()) {
    for (const std::string& n : notes) out.write("读取说明：" + noteDescription(n) + "\n");
    out.write("\n");
  }
  if (const Container* c = slot.container()) c->describe(slot.analysis.path, out);
  // The seconds without video close the text, for files of every kind.
  if (slot.analysis.videoSeries) {
    const std::vector<ZeroRun> runs = zeroRuns(*slot.analysis.videoSeries);
    if (!runs.empty()) {
      out.write("\n无视频数据的秒\n");
      for (const ZeroRun& r : runs) out.write(zeroRunText(r) + "\n");
    }
  }
}

}  // namespace mv
