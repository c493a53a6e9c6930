#include "report/spreadsheet.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "media/statistics.h"
#include "platform/c_numbers.h"
#include "platform/messages.h"
#include "platform/shell.h"
#include "platform/text_file.h"

namespace mv {
namespace {

constexpr uint16_t kRecordBof = 0x0009;
constexpr uint16_t kRecordNumber = 0x0003;
constexpr uint16_t kRecordLabel = 0x0004;
constexpr uint16_t kRecordEof = 0x000A;

void cellHeader(XlsStream& s, const XlsCell& c) {
  s.u16(uint16_t(c.row));
  s.u16(uint16_t(c.column));
  for (uint8_t a : c.attributes) s.byte(a);
}

}  // namespace

XlsCell& XlsSheet::Cell(size_t row, size_t column) {
  if (rows_.size() <= row) rows_.resize(row + 1);
  auto& r = rows_[row];
  if (r.size() <= column) r.resize(column + 1);
  return r[column];
}

bool XlsSheet::WriteTo(XlsStream& stream) {
  XlsBof().Write(stream);
  for (auto kind : {XlsCell::Number, XlsCell::Text}) {
    for (size_t r = 0; r < rows_.size(); ++r) {
      for (size_t c = 0; c < rows_[r].size(); ++c) {
        XlsCell& cell = rows_[r][c];
        if (cell.kind != kind) continue;
        cell.row = int32_t(r);
        cell.column = int32_t(c);
        if (kind == XlsCell::Number) {
          XlsNumber(cell).Write(stream);
        } else {
          XlsLabel(cell).Write(stream);
        }
      }
    }
  }
  XlsEof().Write(stream);
  return stream.close();
}

void XlsStream::f64(double v) {
  // IEEE 754 little-endian, as the value lies in memory on every machine we build for.
  static_assert(sizeof(double) == 8);
  uint64_t bits;
  std::memcpy(&bits, &v, 8);
  for (int i = 0; i < 8; ++i) byte(uint8_t(bits >> (8 * i)));
}

void XlsBof::Write(XlsStream& s) const {
  s.u16(kRecordBof);
  s.u16(4);
  s.u16(version_);
  s.u16(type_);
}

void XlsEof::Write(XlsStream& s) const {
  s.u16(kRecordEof);
  s.u16(0);
}

void XlsNumber::Write(XlsStream& s) const {
  s.u16(kRecordNumber);
  s.u16(15);
  cellHeader(s, cell_);
  s.f64(cell_.number);
}

void XlsLabel::Write(XlsStream& s) const {
  std::string text = utf8ToGbk(cell_.text.value_or(std::string()));
  if (text.size() > kMaxTextBytes) text.resize(kMaxTextBytes);
  s.u16(kRecordLabel);
  s.u16(uint16_t(8 + text.size()));
  cellHeader(s, cell_);
  s.byte(uint8_t(text.size()));
  s.bytes(text);
}

XlsSheet SpreadsheetExport::build(bool* truncated) const {
  const ClassicNumbers classic;
  XlsSheet sheet;
  const uint32_t rows = std::max(slots_[0]->elementCount(), slots_[1]->elementCount());
  // 16-bit row numbers: seconds past the 65,536th cannot be addressed.
  const uint32_t end = rows > kFirstSecond ? std::min<uint32_t>(rows, kFirstSecond + kXlsMaxRows) : 0;
  if (truncated) *truncated = rows > end && rows > kFirstSecond;
  for (uint32_t i = kFirstSecond; i < end; ++i) {
    const size_t row = i - kFirstSecond;
    if (std::string label = rowLabel(i); !label.empty()) sheet.Cell(row, 0).SetText(std::move(label));
    size_t column = 1;
    for (const FileSlot* slot : slots_) {
      if (!slot->isLoaded()) continue;
      for (int item = 0; item < 3; ++item) {
        if (!options_.item(item)) continue;
        if (i < slot->elementCount()) {
          // Rounded as the text report shows it, so both exports agree to the hundredth.
          char text[64];
          std::snprintf(text, sizeof text, "%.2f", cellValue(*slot, i, item));
          sheet.Cell(row, column).SetNumber(std::strtod(text, nullptr));
        }
        ++column;
      }
    }
  }
  return sheet;
}

int SpreadsheetExport::Export(const std::string& path) const {
  XlsStream stream;
  if (!stream.open(path, mediaIdentities({slots_[0], slots_[1]}))) {
    showMessage(msg::kWriteFailed);
    return 0;
  }
  bool truncated = false;
  XlsSheet sheet = build(&truncated);
  if (!sheet.WriteTo(stream)) {
    showMessage(msg::kWriteFailed);
    return 0;
  }
  if (truncated) showMessage(msg::kSheetTruncated);
  openWithShell(path);
  return 1;
}

}  // namespace mv
