#include "report/spreadsheet.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "fixtures/byte_writer.h"
#include "fixtures/message_recorder.h"
#include "fixtures/shell_recorder.h"
#include "fixtures/slot_builder.h"
#include "platform/shell.h"

namespace {

using mvtest::Bytes;

std::vector<uint32_t> ramp(size_t n, uint32_t base) {
  std::vector<uint32_t> v;
  for (size_t i = 0; i < n; ++i) v.push_back(base + uint32_t(i) * 128);
  return v;
}

class SpreadsheetTest : public ::testing::Test {
 protected:
  Bytes exportBytes(const mv::ReportOptions& o = {}) {
    const std::string path = dir.file("sheet.xls");
    EXPECT_EQ(mv::SpreadsheetExport(first, second, o).Export(path), 1);
    return mvtest::readFile(path);
  }

  mvtest::TempDir dir;
  mvtest::MessageRecorder recorder;
  mvtest::ShellRecorder shell;
  std::vector<std::string>& opened = shell.opened;
  mv::FileSlot first, second;
};

TEST_F(SpreadsheetTest, ThreeSecondsAreTwoHundredFortyThreeBytes) {
  mvtest::fillSlot(first, {.video = {129, 0, 256}, .audio = {128, 128, 128}});
  const Bytes b = exportBytes();
  ASSERT_EQ(b.size(), 243u);
  EXPECT_EQ(Bytes(b.begin(), b.begin() + 8), (Bytes{0x09, 0, 0x04, 0, 0x02, 0, 0x10, 0}));
  EXPECT_EQ(Bytes(b.end() - 4, b.end()), (Bytes{0x0A, 0, 0, 0}));
  // First NUMBER: row 0, column 1, no attributes, 129 bytes = 1.0078 kbit/s stored as 1.01.
  EXPECT_EQ(Bytes(b.begin() + 8, b.begin() + 15), (Bytes{0x03, 0, 15, 0, 0, 0, 1}));
  double v;
  std::memcpy(&v, b.data() + 8 + 4 + 7, 8);
  EXPECT_EQ(v, 1.01);
  // Ninth NUMBER: row 2, column 3 (total of the last second: 384 bytes = 3 kbit/s).
  const size_t ninth = 8 + 8 * 19;
  EXPECT_EQ(Bytes(b.begin() + long(ninth), b.begin() + long(ninth) + 8), (Bytes{0x03, 0, 15, 0, 2, 0, 3, 0}));
  std::memcpy(&v, b.data() + ninth + 11, 8);
  EXPECT_EQ(v, 3.0);
  // Then the three time labels in column 0.
  const size_t label = 8 + 9 * 19;
  const Bytes firstLabel(b.begin() + long(label), b.begin() + long(label) + 20);
  EXPECT_EQ(firstLabel,
            (Bytes{0x04, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 8, '0', '0', ':', '0', '0', ':', '0', '1'}));
  EXPECT_EQ(b[label + 40 + 4], 2);  // third label: row 2
  EXPECT_EQ(opened, std::vector<std::string>{dir.file("sheet.xls")});
}

TEST_F(SpreadsheetTest, NoSecondsGiveBofAndEofOnly) {
  mvtest::fillSlot(first, {.video = {}});
  EXPECT_EQ(exportBytes(), (Bytes{0x09, 0, 0x04, 0, 0x02, 0, 0x10, 0, 0x0A, 0, 0, 0}));
}

TEST_F(SpreadsheetTest, ShorterFileLeavesItsColumnsEmptyAndTheNextAligned) {
  mvtest::fillSlot(first, {.video = ramp(10, 0)});
  mvtest::fillSlot(second, {.video = ramp(20, 1280)});
  mv::XlsSheet sheet = mv::SpreadsheetExport(first, second, {}).build();
  ASSERT_EQ(sheet.rowCount(), 20u);
  EXPECT_EQ(sheet.Cell(9, 1).kind, mv::XlsCell::Number);
  EXPECT_EQ(sheet.Cell(10, 4).number, 20.0);
  for (size_t r = 10; r < 20; ++r)
    for (size_t c = 1; c <= 3; ++c) EXPECT_EQ(sheet.Cell(r, c).kind, mv::XlsCell::Empty);
  EXPECT_EQ(sheet.Cell(19, 0).text, "00:00:20");

  mv::XlsSheet timeOnly =
      mv::SpreadsheetExport(first, second, {.video = false, .audio = false, .total = false}).build();
  EXPECT_EQ(timeOnly.Cell(0, 0).kind, mv::XlsCell::Text);
  EXPECT_EQ(timeOnly.Cell(0, 1).kind, mv::XlsCell::Empty);
}

TEST_F(SpreadsheetTest, LongLabelIsCutToWhatOneLengthByteHolds) {
  mv::XlsSheet sheet;
  sheet.Cell(0, 0).SetText(std::string(300, 'x'));
  mv::XlsStream out;
  ASSERT_TRUE(out.open(dir.file("long.xls")));
  ASSERT_TRUE(sheet.WriteTo(out));
  const Bytes b = mvtest::readFile(dir.file("long.xls"));
  ASSERT_EQ(b.size(), 8u + 4 + 8 + 255 + 4);
  EXPECT_EQ(b[10], uint8_t(8 + 255));
  EXPECT_EQ(b[11], 1);
  EXPECT_EQ(b[8 + 4 + 7], 255);
}

TEST_F(SpreadsheetTest, MoreSecondsThanRowsWritesTheFirstAndSaysSo) {
  mvtest::fillSlot(first, {.video = std::vector<uint32_t>(mv::kXlsMaxRows + 5, 128)});
  const Bytes b = exportBytes({.audio = false, .total = false});
  EXPECT_EQ(b.size(), 8u + mv::kXlsMaxRows * (19 + 20) + 4);
  EXPECT_EQ(recorder.messages, std::vector<std::string>{"表格只能容纳前 65536 秒的数据。"});
  // The last row written is 65535 (0xFFFF), second 65,536.
  EXPECT_EQ(b[b.size() - 4 - 20 + 4], 0xFF);
  EXPECT_EQ(b[b.size() - 4 - 20 + 5], 0xFF);
}

TEST_F(SpreadsheetTest, UnwritableTargetTellsTheUser) {
  mvtest::fillSlot(first, {.video = ramp(3, 0)});
  EXPECT_EQ(mv::SpreadsheetExport(first, second, {}).Export(dir.file("missing/x.xls")), 0);
  EXPECT_EQ(mv::SpreadsheetExport(first, second, {}).Export("/dev/full"), 0);
  EXPECT_EQ(recorder.messages.size(), 2u);
  EXPECT_TRUE(opened.empty());
}

// An independent reader (python3-xlrd) sees every cell where the sheet put it.
TEST_F(SpreadsheetTest, IndependentReaderSeesEveryCell) {
  // Debian's python3-xlrd belongs to the system interpreter, whatever else is first on PATH.
  const std::string python = std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
  int status = 0;
  mvtest::runCommand(python + " -c 'import xlrd' 2>/dev/null", &status);
  if (status != 0) GTEST_SKIP() << "python3-xlrd not installed";
  mvtest::fillSlot(first, {.video = ramp(12, 129), .audio = ramp(12, 3)});
  mvtest::fillSlot(second, {.video = ramp(7, 4000)});
  const std::string path = dir.file("pair.xls");
  ASSERT_EQ(mv::SpreadsheetExport(first, second, {.audio = false}).Export(path), 1);
  const std::string script =
      "import os, sys, xlrd\n"
      "s = xlrd.open_workbook(sys.argv[1], logfile=open(os.devnull, 'w')).sheet_by_index(0)\n"
      "for r in range(s.nrows):\n"
      "  for c in range(s.ncols):\n"
      "    k = s.cell_type(r, c)\n"
      "    if k == xlrd.XL_CELL_EMPTY: continue\n"
      "    v = s.cell_value(r, c)\n"
      "    print(r, c, 'n' if k == xlrd.XL_CELL_NUMBER else 't', repr(v) if k == xlrd.XL_CELL_NUMBER else "
      "v)\n";
  mvtest::writeFile(dir.file("read.py"), Bytes(script.begin(), script.end()));
  const std::string got =
      mvtest::runCommand(python + " '" + dir.file("read.py") + "' '" + path + "'", &status);
  ASSERT_EQ(status, 0) << got;

  mv::XlsSheet sheet = mv::SpreadsheetExport(first, second, {.audio = false}).build();
  std::ostringstream want;
  for (size_t r = 0; r < sheet.rowCount(); ++r) {
    for (size_t c = 0; c < 5; ++c) {
      const mv::XlsCell& cell = sheet.Cell(r, c);
      if (cell.kind == mv::XlsCell::Number) {
        char num[64];
        std::snprintf(num, sizeof num, "%.17g", cell.number);
        std::string text = num;
        // Python's repr: the shortest text that reads back, always with a decimal point.
        double back = 0;
        for (int p = 1; p <= 17; ++p) {
          std::snprintf(num, sizeof num, "%.*g", p, cell.number);
          back = std::strtod(num, nullptr);
          if (back == cell.number) {
            text = num;
            break;
          }
        }
        if (text.find('.') == std::string::npos) text += ".0";
        want << r << ' ' << c << " n " << text << '\n';
      } else if (cell.kind == mv::XlsCell::Text) {
        want << r << ' ' << c << " t " << *cell.text << '\n';
      }
    }
  }
  EXPECT_EQ(got, want.str());
  EXPECT_NE(got.find("11 0 t 00:00:12"), std::string::npos);
  EXPECT_NE(got.find("0 3 n 31.25"), std::string::npos);  // 4000 bytes in the second file's video
}

}  // namespace
