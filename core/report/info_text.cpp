#include "report/info_text.h"

#include <cstdio>

#include "analysis/containers.h"
#include "analysis/picture_types.h"
#include "media/zero_runs.h"
#include "report/text_report.h"

namespace mv {
namespace {

// One line per picture type: how many, their bytes and their share of the video's bytes.
void writePictureTypes(TextFile& out, const std::vector<VideoFrame>& frames) {
  const FrameStats st = frameStats(frames, {});
  uint64_t total = 0;
  for (const VideoFrame& f : frames) total += f.bytes;
  if (st.typeCount[0] + st.typeCount[1] + st.typeCount[2] == 0 || total == 0) return;
  out.write("\n画面类型\n");
  for (int k = 0; k < 3; ++k) {
    char line[128];
    std::snprintf(line, sizeof line, "%c 帧：%u 个，%llu 字节，占视频 %.1f%%\n", kPictureTypes[k],
                  unsigned(st.typeCount[k]), (unsigned long long)st.typeBytes[k],
                  100.0 * double(st.typeBytes[k]) / double(total));
    out.write(line);
  }
}

}  // namespace

void writeInformation(TextFile& out, const FileSlot& slot, const std::vector<VideoFrame>* typedFrames) {
  writeReportHeader(out);
  writeFileSummary(out, slot);
  // What the reader had to do to read the file, so nobody takes a repaired reading for a whole one.
  if (const auto& notes = slot.analysis.notes; !notes.empty()) {
    for (const std::string& n : notes) out.write("读取说明：" + noteDescription(n) + "\n");
    out.write("\n");
  }
  if (const Container* c = slot.container()) c->describe(slot.analysis.path, out);
  if (typedFrames) {
    writePictureTypes(out, *typedFrames);
  } else {
    std::vector<VideoFrame> frames = videoFrames(slot.analysis);
    if (readPictureTypes(slot, frames).ok()) writePictureTypes(out, frames);
  }
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
