#pragma once
// The per-second rates as a BIFF2 worksheet (Excel 2.x, ".xls"): an in-memory sheet, the four
// records it is written with, and the export that fills it from the slots.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/file_slot.h"
#include "platform/output_file.h"
#include "report/text_report.h"

namespace mv {

class XlsStream;

struct XlsCell {
  enum Kind : int32_t { Empty = 0, Number = 1, Text = 2 };

  int32_t row = 0;     // set by the writer
  int32_t column = 0;  // set by the writer
  uint8_t attributes[3] = {0, 0, 0};
  std::optional<std::string> text;  // UTF-8; written in the system code page
  double number = 0;
  Kind kind = Empty;

  void SetNumber(double value) {
    number = value;
    kind = Number;
  }
  void SetText(std::string value) {
    text = std::move(value);
    kind = Text;
  }
};

class XlsSheet {
 public:
  // The cell at (row, column), growing rows and cells as needed.
  XlsCell& Cell(size_t row, size_t column);
  // BOF, every number cell row by row, every text cell row by row, EOF. False on a write error.
  bool WriteTo(XlsStream& stream);

  size_t rowCount() const { return rows_.size(); }

 private:
  std::vector<std::vector<XlsCell>> rows_;
};

// Little-endian output through a buffer; remembers a failed write.
class XlsStream {
 public:
  bool open(const std::string& path, std::span<const FileIdentity> keep = {}) {
    return out_.open(path, keep);
  }
  void byte(uint8_t v) { out_.put(char(v)); }
  void u16(uint16_t v) {
    byte(uint8_t(v));
    byte(uint8_t(v >> 8));
  }
  void f64(double v);
  void bytes(const std::string& s) { out_.append(s.data(), s.size()); }
  // Flushes and closes; false when anything failed since open.
  bool close() { return out_.close(); }

 private:
  OutputFile out_;
};

class XlsRecord {
 public:
  virtual ~XlsRecord() = default;
  virtual void Write(XlsStream& stream) const = 0;
};

class XlsBof : public XlsRecord {
 public:
  XlsBof(uint16_t version = 0x0002, uint16_t documentType = 0x0010)
      : version_(version), type_(documentType) {}
  void Write(XlsStream& stream) const override;

 private:
  uint16_t version_, type_;
};

class XlsEof : public XlsRecord {
 public:
  void Write(XlsStream& stream) const override;
};

class XlsNumber : public XlsRecord {
 public:
  explicit XlsNumber(const XlsCell& cell) : cell_(cell) {}
  void Write(XlsStream& stream) const override;

 private:
  const XlsCell& cell_;
};

class XlsLabel : public XlsRecord {
 public:
  // Longest text a one-byte length can announce.
  static constexpr size_t kMaxTextBytes = 255;
  explicit XlsLabel(const XlsCell& cell) : cell_(cell) {}
  void Write(XlsStream& stream) const override;

 private:
  const XlsCell& cell_;
};

// Rows a BIFF2 sheet can address with its 16-bit row numbers.
inline constexpr uint32_t kXlsMaxRows = 65536;

class SpreadsheetExport {
 public:
  SpreadsheetExport(const FileSlot& first, const FileSlot& second, ReportOptions options)
      : slots_{&first, &second}, options_(options) {}

  // Builds the sheet, writes it to `path` (extension already added) and opens it with the
  // shell. 0 after telling the user, when the file cannot be written.
  int Export(const std::string& path) const;
  // The sheet as the export writes it; `truncated` tells whether seconds were left out.
  XlsSheet build(bool* truncated = nullptr) const;

 private:
  const FileSlot* slots_[2];
  ReportOptions options_;
};

}  // namespace mv
