#include "report/info_text.h"

#include "analysis/avi_info.h"
#include "analysis/rm_info.h"
#include "report/text_report.h"

namespace mv {

void writeInformation(TextFile& out, const FileSlot& slot) {
  writeReportHeader(out);
  writeFileSummary(out, slot);
  const std::string& path = slot.analysis.path;
  switch (mediaTypeOfPath(path)) {
    case MEDIA_AVI: writeAviInfo(path, out); break;
    case MEDIA_RM: writeRealMediaInfo(path, out); break;
    case MEDIA_NONE: break;
  }
}

}  // namespace mv
