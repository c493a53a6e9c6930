#include "settings/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <random>

#include "fixtures/byte_writer.h"
#include "fixtures/unprivileged.h"

namespace fs = std::filesystem;

namespace {

mvtest::Bytes bytesOf(std::string_view s) { return mvtest::Bytes(s.begin(), s.end()); }
std::string textOf(const mvtest::Bytes& b) { return std::string(b.begin(), b.end()); }

std::optional<std::string> valueIn(std::string content, std::string_view key,
                                   std::string_view section = "ParaBlock") {
  return mv::IniFile(std::move(content)).value(section, key);
}

std::vector<std::string> folderEntries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// --- reading ---

TEST(IniRead, SectionsAndKeysMatchAnyCaseWithBlanksTrimmed) {
  const std::string ini =
      "[other]\nA=wrong\n"
      "  [ parablock ]  \n"
      "\t para_view_item =  2 \t\n"
      "B=x=y\n";
  EXPECT_EQ(valueIn(ini, "PARA_VIEW_ITEM"), "2");
  EXPECT_EQ(valueIn(ini, "B"), "x=y");
  EXPECT_EQ(valueIn(ini, "A"), std::nullopt);
  EXPECT_EQ(valueIn(ini, "A", "OTHER"), "wrong");
  EXPECT_EQ(valueIn(ini, "PARA_VIEW_ITEM", "Missing"), std::nullopt);
}

TEST(IniRead, CrLfLinesGiveTheSameValuesAsLf) {
  const std::string ini = "[ParaBlock]\r\nPARA_RM_CHK_SRC=/home/u/video\r\nPARA_TOP_POINTS=7\r\n";
  EXPECT_EQ(valueIn(ini, "PARA_RM_CHK_SRC"), "/home/u/video");
  EXPECT_EQ(valueIn(ini, "PARA_TOP_POINTS"), "7");
}

TEST(IniRead, FirstKeyWinsAndRepeatedSectionsAreSearchedInOrder) {
  const std::string ini = "[ParaBlock]\nK=first\nK=second\n[Other]\nL=other\n[PARABLOCK]\nL=later\nK=third\n";
  EXPECT_EQ(valueIn(ini, "K"), "first");
  EXPECT_EQ(valueIn(ini, "L"), "later");
}

TEST(IniRead, CommentsStrayLinesAndByteOrderMarkAreNoObstacle) {
  const std::string ini =
      "\xEF\xBB\xBF[ParaBlock]\n"
      "; K=commented\n"
      "no equals sign here\n"
      "=no key\n"
      "[broken section\n"
      "K=real\n";
  EXPECT_EQ(valueIn(ini, "K"), "real");
  EXPECT_EQ(valueIn(ini, "; K"), std::nullopt);
}

TEST(IniRead, EmptyValueIsPresentAndOnePairOfQuotesIsDropped) {
  const std::string ini =
      "[ParaBlock]\nE=\nQ=\"  padded  \"\nS='single'\nD=\"\"twice\"\"\nH=\"half\nM=\"mixed'\n";
  EXPECT_EQ(valueIn(ini, "E"), "");
  EXPECT_EQ(valueIn(ini, "Q"), "  padded  ");
  EXPECT_EQ(valueIn(ini, "S"), "single");
  EXPECT_EQ(valueIn(ini, "D"), "\"twice\"");
  EXPECT_EQ(valueIn(ini, "H"), "\"half");
  EXPECT_EQ(valueIn(ini, "M"), "\"mixed'");
}

TEST(IniRead, OverlongValueIsCutWithoutSplittingACharacter) {
  const std::string ascii(5000, 'a');
  EXPECT_EQ(valueIn("[ParaBlock]\nK=" + ascii + "\n", "K"), ascii.substr(0, mv::kIniMaxValueBytes));

  std::string wide;
  for (int i = 0; i < 3000; ++i) wide += "\xC3\xA9";  // two bytes each
  const auto v = valueIn("[ParaBlock]\nK=" + wide + "\n", "K");
  ASSERT_TRUE(v);
  EXPECT_EQ(v->size(), mv::kIniMaxValueBytes - 1);
  EXPECT_EQ(*v, wide.substr(0, v->size()));
}

TEST(IniRead, ProfileIntegersFollowTheWindowsReading) {
  struct Case {
    const char* text;
    int want;
  };
  const Case cases[] = {
      {"7", 7},
      {"-3", -3},
      {"+4", 4},
      {"12abc", 12},
      {"abc", 0},
      {"", 0},
      {"-", 0},
      {"  5", 5},
      {"0x10", 0},
      {"2147483647", INT_MAX},
      {"-2147483648", INT_MIN},
      {"99999999999999999999", INT_MAX},
      {"-99999999999999999999", INT_MIN},
  };
  for (const auto& c : cases) EXPECT_EQ(mv::parseProfileInt(c.text), c.want) << c.text;

  const mv::IniFile file("[ParaBlock]\nEMPTY=\nBLANK=  \nQUOTES=\"\"\nWORD=on\nQUOTED=\"9\"\n");
  EXPECT_EQ(file.intValue("ParaBlock", "ABSENT", -1), -1);
  // Nothing after "=" reads as absent, as GetPrivateProfileInt has it.
  for (const char* key : {"EMPTY", "BLANK", "QUOTES"})
    EXPECT_EQ(file.intValue("ParaBlock", key, 7), 7) << key;
  EXPECT_EQ(file.intValue("ParaBlock", "WORD", -1), 0);
  EXPECT_EQ(file.intValue("ParaBlock", "QUOTED", -1), 9);
}

TEST(IniRead, DamagedOrOddFilesReadWithoutHarm) {
  mvtest::TempDir dir;
  EXPECT_EQ(mv::IniFile::load(dir.file("missing.ini")).content(), "");
  EXPECT_EQ(mv::IniFile::load(dir.path().string()).content(), "");  // a folder

  // A FIFO in the file's place must not block the program at start-up.
  const std::string fifo = dir.file("fifo.ini");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(mv::IniFile::load(fifo).content(), "");

  // Binary noise with a NUL, a 3 MiB line without any line end, then a real section.
  std::mt19937 rng(42);
  std::string noise;
  for (int i = 0; i < 200000; ++i) noise += char(rng() & 0xFF);
  const std::string ini = noise + "\n" + std::string(3 << 20, '[') + "\n[ParaBlock]\nK=found\n";
  mvtest::writeFile(dir.file("noise.ini"), bytesOf(ini));
  EXPECT_EQ(mv::IniFile::load(dir.file("noise.ini")).value("ParaBlock", "K"), "found");
}

TEST(IniRead, OnlyTheFirstBytesOfAnOversizedFileAreRead) {
  mvtest::TempDir dir;
  const std::string head = "[ParaBlock]\nEARLY=1\n";
  std::string ini = head + std::string(mv::kIniMaxFileBytes, '\n') + "LATE=2\n";
  mvtest::writeFile(dir.file("big.ini"), bytesOf(ini));
  const auto file = mv::IniFile::load(dir.file("big.ini"));
  EXPECT_EQ(file.content().size(), mv::kIniMaxFileBytes);
  EXPECT_EQ(file.value("ParaBlock", "EARLY"), "1");
  EXPECT_EQ(file.value("ParaBlock", "LATE"), std::nullopt);
}

// --- changing the text ---

TEST(IniEdit, ExistingKeyIsReplacedInPlaceAndEverythingElseKept) {
  const std::string before =
      "; settings of the tool\n"
      "[Window]\n"
      "PARA_TOP_POINTS=1\n"
      "\n"
      "[ParaBlock]\n"
      "PARA_OUT_VIDEO=1\n"
      "  para_top_points = 5   ; old\n"
      "PARA_BOTTOM_POINTS=5\n"
      "\n"
      "[Tail]\n"
      "X=y";
  const std::string after =
      "; settings of the tool\n"
      "[Window]\n"
      "PARA_TOP_POINTS=1\n"
      "\n"
      "[ParaBlock]\n"
      "PARA_OUT_VIDEO=1\n"
      "PARA_TOP_POINTS=12\n"
      "PARA_BOTTOM_POINTS=5\n"
      "\n"
      "[Tail]\n"
      "X=y";
  EXPECT_EQ(mv::withIniValue(before, "ParaBlock", "PARA_TOP_POINTS", "12"), after);
}

TEST(IniEdit, MissingKeyGoesAfterTheSectionsLastLine) {
  const std::string before = "[ParaBlock]\nA=1\n; note\n\n\n[Other]\nB=2\n[ParaBlock]\nC=3\n";
  const std::string after = "[ParaBlock]\nA=1\n; note\nNEW=v\n\n\n[Other]\nB=2\n[ParaBlock]\nC=3\n";
  EXPECT_EQ(mv::withIniValue(before, "parablock", "NEW", "v"), after);
  // A key that exists only in the repeated section is changed there, where the reader finds it.
  EXPECT_EQ(mv::withIniValue(before, "ParaBlock", "C", "4"),
            "[ParaBlock]\nA=1\n; note\n\n\n[Other]\nB=2\n[ParaBlock]\nC=4\n");
  // Section header as the file's last line, without a line end.
  EXPECT_EQ(mv::withIniValue("[ParaBlock]", "ParaBlock", "K", "1"), "[ParaBlock]\nK=1\n");
}

TEST(IniEdit, MissingSectionIsAppended) {
  EXPECT_EQ(mv::withIniValue("", "ParaBlock", "K", "1"), "[ParaBlock]\nK=1\n");
  EXPECT_EQ(mv::withIniValue("[Other]\nA=1", "ParaBlock", "K", ""), "[Other]\nA=1\n[ParaBlock]\nK=\n");
}

TEST(IniEdit, CrLfFilesStayCrLf) {
  EXPECT_EQ(mv::withIniValue("[ParaBlock]\r\nA=1\r\n", "ParaBlock", "A", "2"), "[ParaBlock]\r\nA=2\r\n");
  EXPECT_EQ(mv::withIniValue("[ParaBlock]\r\nA=1\r\n", "ParaBlock", "B", "2"),
            "[ParaBlock]\r\nA=1\r\nB=2\r\n");
  EXPECT_EQ(mv::withIniValue("[Other]\r\nA=1", "ParaBlock", "B", "2"),
            "[Other]\r\nA=1\r\n[ParaBlock]\r\nB=2\r\n");
}

TEST(IniEdit, AnyValueWithoutLineBreaksReadsBackUnchanged) {
  const std::string values[] = {"",         " lead", "trail ", "\ttabs\t",      "\"quoted\"",
                                "'single'", "a=b;c", "[x]",    "路径/视频 文件"};
  for (const auto& v : values) {
    const std::string ini = mv::withIniValue("[ParaBlock]\nK=old\n", "ParaBlock", "K", v);
    EXPECT_EQ(valueIn(ini, "K"), v) << ini;
  }
}

// Whatever the file looks like, a change makes the key read back as written and leaves every
// other value the reader sees as it was.
TEST(IniEdit, ChangeTouchesNoOtherValueInGeneratedFiles) {
  const char* pieces[] = {"[ParaBlock]", "[parablock]", "[Other]", "[ParaBlock", "A=1",
                          " a = 2 ",     "B=3",         "C=",      "; A=9",      "",
                          "  ",          "junk",        "=5",      "b=\"q\""};
  const char* keys[] = {"A", "B", "C", "D"};
  const char* sections[] = {"ParaBlock", "Other", "Third"};
  std::mt19937 rng(7);
  for (int round = 0; round < 2000; ++round) {
    const std::string eol = rng() % 2 ? "\n" : "\r\n";
    std::string ini;
    const int lines = int(rng() % 12);
    for (int i = 0; i < lines; ++i) {
      ini += pieces[rng() % std::size(pieces)];
      if (i + 1 < lines || rng() % 2) ini += eol;
    }
    const std::string section = sections[rng() % 2];
    const std::string key = keys[rng() % std::size(keys)];
    const std::string value = "v" + std::to_string(round);
    const mv::IniFile before(ini);
    const mv::IniFile after(mv::withIniValue(ini, section, key, value));
    ASSERT_EQ(after.value(section, key), value) << ini;
    for (const char* s : sections)
      for (const char* k : keys)
        if (s != section || k != key) {
          ASSERT_EQ(after.value(s, k), before.value(s, k)) << ini;
        }
  }
}

// --- writing the file ---

TEST(IniWrite, CreatesUpdatesAndLeavesNoTemporaryFiles) {
  mvtest::TempDir dir;
  const std::string path = dir.file("tool.ini");
  ASSERT_TRUE(mv::writeIniValue(path, "ParaBlock", "PARA_VIEW_ITEM", "1"));
  EXPECT_EQ(textOf(mvtest::readFile(path)), "[ParaBlock]\nPARA_VIEW_ITEM=1\n");
  ASSERT_TRUE(mv::writeIniValue(path, "ParaBlock", "PARA_VIEW_ITEM", "2"));
  ASSERT_TRUE(mv::writeIniValue(path, "ParaBlock", "PARA_VIEW_ITEM", "2"));
  EXPECT_EQ(textOf(mvtest::readFile(path)), "[ParaBlock]\nPARA_VIEW_ITEM=2\n");
  EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"tool.ini"});
}

TEST(IniWrite, KeepsModeAndReplacesLinksInsteadOfWritingThroughThem) {
  mvtest::TempDir dir;
  const std::string own = dir.file("own.ini");
  mvtest::writeFile(own, bytesOf("[ParaBlock]\r\nA=1\r\n"));
  ASSERT_EQ(::chmod(own.c_str(), 0640), 0);
  ASSERT_TRUE(mv::writeIniValue(own, "ParaBlock", "A", "2"));
  struct stat st {};
  ASSERT_EQ(::stat(own.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(textOf(mvtest::readFile(own)), "[ParaBlock]\r\nA=2\r\n");

  // Whatever a link at the settings path leads to stays as it was.
  for (const bool symbolic : {true, false}) {
    const std::string other = dir.file("other.ini"), link = dir.file("tool.ini");
    fs::remove(link);
    mvtest::writeFile(other, bytesOf("[ParaBlock]\nA=1\n"));
    if (symbolic)
      fs::create_symlink("other.ini", link);
    else
      fs::create_hard_link(other, link);
    ASSERT_TRUE(mv::writeIniValue(link, "ParaBlock", "A", "2")) << symbolic;
    EXPECT_FALSE(fs::is_symlink(link));
    EXPECT_EQ(textOf(mvtest::readFile(link)), "[ParaBlock]\nA=2\n");
    EXPECT_EQ(textOf(mvtest::readFile(other)), "[ParaBlock]\nA=1\n") << symbolic;
  }
}

TEST(IniWrite, RefusesWhatCouldNotBeWrittenSafelyAndLeavesTheFileAlone) {
  mvtest::TempDir dir;
  const std::string path = dir.file("tool.ini");
  const std::string original = "[ParaBlock]\nK=keep\n";
  mvtest::writeFile(path, bytesOf(original));

  // A line break would split the value and could forge another key or section.
  EXPECT_FALSE(mv::writeIniValue(path, "ParaBlock", "K", "a\n[Evil]"));
  EXPECT_FALSE(mv::writeIniValue(path, "ParaBlock", "K", "a\rb"));
  EXPECT_FALSE(mv::writeIniValue(path, "ParaBlock", "K", std::string("a\0b", 3)));
  EXPECT_EQ(textOf(mvtest::readFile(path)), original);

  EXPECT_FALSE(mv::writeIniValue(dir.file("no/such/folder/tool.ini"), "ParaBlock", "K", "1"));
  EXPECT_FALSE(mv::writeIniValue(dir.path().string(), "ParaBlock", "K", "1"));
  EXPECT_FALSE(mv::writeIniValue("", "ParaBlock", "K", "1"));

  // Rewriting would mean holding the whole file; it is left as it is.
  const std::string big = dir.file("big.ini");
  mvtest::writeFile(big, mvtest::Bytes(mv::kIniMaxFileBytes + 1, '\n'));
  EXPECT_FALSE(mv::writeIniValue(big, "ParaBlock", "K", "1"));
  EXPECT_EQ(fs::file_size(big), mv::kIniMaxFileBytes + 1);

  EXPECT_EQ(folderEntries(dir.path()), (std::vector<std::string>{"big.ini", "tool.ini"}));
}

TEST(IniWrite, ReadOnlyFileIsNotReplacedButAWritableFileInALockedFolderIs) {
  mvtest::TempDir dir;
  const std::string folder = dir.file("locked");
  fs::create_directory(folder);
  const std::string path = folder + "/tool.ini", linked = folder + "/linked.ini";
  mvtest::writeFile(path, bytesOf("[ParaBlock]\nK=1\n"));
  mvtest::writeFile(linked, bytesOf("[ParaBlock]\nK=1\n"));
  fs::create_hard_link(linked, dir.file("second-name.ini"));
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  ASSERT_EQ(::chmod(linked.c_str(), 0666), 0);
  ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
  EXPECT_TRUE(mvtest::inUnprivilegedChild([&] { return !mv::writeIniValue(path, "ParaBlock", "K", "2"); }));
  EXPECT_EQ(textOf(mvtest::readFile(path)), "[ParaBlock]\nK=1\n");
  // A file with a second name is not rewritten in place: that would write through the link.
  EXPECT_TRUE(mvtest::inUnprivilegedChild([&] { return !mv::writeIniValue(linked, "ParaBlock", "K", "2"); }));
  EXPECT_EQ(textOf(mvtest::readFile(dir.file("second-name.ini"))), "[ParaBlock]\nK=1\n");

  ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
  EXPECT_TRUE(mvtest::inUnprivilegedChild([&] { return mv::writeIniValue(path, "ParaBlock", "K", "3"); }));
  EXPECT_EQ(textOf(mvtest::readFile(path)), "[ParaBlock]\nK=3\n");
  ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
}

}  // namespace
