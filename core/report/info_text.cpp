#include "report/info_text.h"

#include "analysis/containers.h"
#include "report/text_report.h"

namespace mv {

void writeInformation(TextFile& out, const FileSlot& slot) {
  writeReportHeader(out);
  writeFileSummary(out, slot);
  if (const Container* c = slot.container()) c->describe(slot.analysis.path, out);
}

}  // namespace mv
