#include "settings/para_block.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <vector>

#include "fixtures/byte_writer.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "settings/ini_file.h"

namespace fs = std::filesystem;

namespace {

mvtest::Bytes bytesOf(std::string_view s) { return mvtest::Bytes(s.begin(), s.end()); }
std::string textOf(const mvtest::Bytes& b) { return std::string(b.begin(), b.end()); }

std::array<int, mv::PARA_INT_COUNT> allInts(const mv::CParaBlock& p) {
  std::array<int, mv::PARA_INT_COUNT> v{};
  for (int i = 0; i < mv::PARA_INT_COUNT; ++i) v[i] = p.GetInt(i);
  return v;
}

constexpr std::array<int, mv::PARA_INT_COUNT> kDefaults = {1, 1, 1, 1, 1, 1, 0, 1, 5, 5};

class ExecutableAt {
 public:
  explicit ExecutableAt(const std::string& path) { mv::setExecutablePathOverride(path); }
  ~ExecutableAt() { mv::setExecutablePathOverride(""); }
};

TEST(ParaBlock, DefaultsHoldUntilAFileSaysOtherwise) {
  mv::CParaBlock fresh;
  EXPECT_EQ(allInts(fresh), kDefaults);
  EXPECT_EQ(fresh.GetText(mv::PARA_RM_CHK_SRC), "");
  EXPECT_EQ(fresh.GetText(mv::PARA_RM_CHK_TGT), "");
  EXPECT_EQ(fresh.profilePath(), "");

  mvtest::TempDir dir;
  mv::CParaBlock loaded;
  loaded.LoadFrom(dir.file("absent.ini"));
  EXPECT_EQ(allInts(loaded), kDefaults);
  EXPECT_EQ(loaded.GetText(mv::PARA_RM_CHK_TGT), "");
  EXPECT_FALSE(fs::exists(dir.file("absent.ini")));  // reading creates nothing

  // Indices outside the table are harmless.
  EXPECT_EQ(loaded.GetInt(-1), 0);
  EXPECT_EQ(loaded.GetInt(mv::PARA_INT_COUNT), 0);
  loaded.SetInt(mv::PARA_INT_COUNT, 3);
  EXPECT_EQ(loaded.GetText(mv::PARA_TEXT_COUNT), "");
  EXPECT_EQ(loaded.SetText(-1, "x", 1), 0);
  EXPECT_EQ(allInts(loaded), kDefaults);
  EXPECT_FALSE(fs::exists(dir.file("absent.ini")));
}

TEST(ParaBlock, LoadClampsTheChartAndCountValuesOnly) {
  mvtest::TempDir dir;
  mvtest::writeFile(dir.file("a.ini"), bytesOf("[ParaBlock]\n"
                                               "PARA_VIEW_ITEM=7\n"
                                               "PARA_VIEW_SCALE=-3\n"
                                               "PARA_TOP_POINTS=0\n"
                                               "PARA_BOTTOM_POINTS=250\n"
                                               "PARA_OUT_VIDEO=7\n"
                                               "PARA_VIEW_POINTS=0\n"
                                               "PARA_OUT_HEADER=-20\n"));
  mv::CParaBlock p;
  p.LoadFrom(dir.file("a.ini"));
  EXPECT_EQ(p.GetInt(mv::PARA_VIEW_ITEM), 2);
  EXPECT_EQ(p.Zoom(), 100);
  EXPECT_EQ(p.GetInt(mv::PARA_TOP_POINTS), 1);
  EXPECT_EQ(p.GetInt(mv::PARA_BOTTOM_POINTS), 99);
  EXPECT_EQ(p.GetInt(mv::PARA_OUT_VIDEO), 7);
  EXPECT_EQ(p.GetInt(mv::PARA_VIEW_POINTS), 0);
  EXPECT_EQ(p.GetInt(mv::PARA_OUT_HEADER), -20);

  mvtest::writeFile(dir.file("b.ini"), bytesOf("[ParaBlock]\n"
                                               "PARA_VIEW_ITEM=-5\n"
                                               "PARA_VIEW_SCALE=4\n"
                                               "PARA_TOP_POINTS=100\n"
                                               "PARA_BOTTOM_POINTS=-7\n"));
  mv::CParaBlock q;
  q.LoadFrom(dir.file("b.ini"));
  EXPECT_EQ(q.GetInt(mv::PARA_VIEW_ITEM), 0);
  EXPECT_EQ(q.Zoom(), 200);
  EXPECT_EQ(q.GetInt(mv::PARA_TOP_POINTS), 99);
  EXPECT_EQ(q.GetInt(mv::PARA_BOTTOM_POINTS), 1);
}

TEST(ParaBlock, AbsentMinusOneAndNonNumbersReadAsTheProfileFunctionsDo) {
  mvtest::TempDir dir;
  mvtest::writeFile(dir.file("a.ini"), bytesOf("[Other]\nPARA_OUT_VIDEO=0\n"
                                               "[ParaBlock]\n"
                                               "PARA_TOP_POINTS=-1\n"  // -1 means absent
                                               "PARA_OUT_AUDIO=\n"     // empty: absent
                                               "PARA_VIEW_POINTS=x\n"  // present, no number
                                               "PARA_OUT_A_AND_V=yes\n"
                                               "PARA_BOTTOM_POINTS=12 points\n"
                                               "PARA_VIEW_ITEM=99999999999999\n"));
  mv::CParaBlock p;
  p.LoadFrom(dir.file("a.ini"));
  EXPECT_EQ(p.GetInt(mv::PARA_OUT_VIDEO), 1);
  EXPECT_EQ(p.GetInt(mv::PARA_TOP_POINTS), 5);
  EXPECT_EQ(p.GetInt(mv::PARA_OUT_AUDIO), 1);
  EXPECT_EQ(p.GetInt(mv::PARA_VIEW_POINTS), 0);
  EXPECT_EQ(p.GetInt(mv::PARA_OUT_A_AND_V), 0);
  EXPECT_EQ(p.GetInt(mv::PARA_BOTTOM_POINTS), 12);
  EXPECT_EQ(p.GetInt(mv::PARA_VIEW_ITEM), 2);
}

TEST(ParaBlock, CrLfFileIsRead) {
  mvtest::TempDir dir;
  mvtest::writeFile(dir.file("a.ini"), bytesOf("[ParaBlock]\r\n"
                                               "PARA_VIEW_SCALE=1\r\n"
                                               "PARA_RM_CHK_SRC=/srv/media/rm\r\n"
                                               "PARA_RM_CHK_TGT=/srv/media/result.txt\r\n"));
  mv::CParaBlock p;
  p.LoadFrom(dir.file("a.ini"));
  EXPECT_EQ(p.Zoom(), 200);
  EXPECT_EQ(p.GetText(mv::PARA_RM_CHK_SRC), "/srv/media/rm");
  EXPECT_EQ(p.GetText(mv::PARA_RM_CHK_TGT), "/srv/media/result.txt");
}

TEST(ParaBlock, LoadUsesTheIniNamedAfterTheExecutable) {
  mvtest::TempDir dir;
  fs::create_directory(dir.path() / "bin.d");
  mvtest::writeFile(dir.file("morvatelline.ini"), bytesOf("[ParaBlock]\nPARA_TOP_POINTS=11\n"));
  mvtest::writeFile(dir.file("renamed-copy.ini"), bytesOf("[ParaBlock]\nPARA_TOP_POINTS=22\n"));
  mvtest::writeFile(dir.file("tool.v2.ini"), bytesOf("[ParaBlock]\nPARA_TOP_POINTS=33\n"));
  const struct {
    std::string exe, ini;
    int top;
  } cases[] = {
      {dir.file("renamed-copy"), dir.file("renamed-copy.ini"), 22},
      {dir.file("tool.v2.exe"), dir.file("tool.v2.ini"), 33},
      // A dot in a folder name is not an extension.
      {dir.file("bin.d/morvatelline"), dir.file("bin.d/morvatelline.ini"), 5},
  };
  for (const auto& c : cases) {
    ExecutableAt exe(c.exe);
    mv::CParaBlock p;
    p.Load();
    EXPECT_EQ(p.profilePath(), c.ini);
    EXPECT_EQ(p.GetInt(mv::PARA_TOP_POINTS), c.top) << c.exe;
  }
}

TEST(ParaBlock, SetIntWritesAtOnceEvenWhenUnchangedAndDoesNotClamp) {
  mvtest::TempDir dir;
  const std::string ini = dir.file("a.ini");
  mv::CParaBlock p;
  p.LoadFrom(ini);

  p.SetInt(mv::PARA_TOP_POINTS, 12);
  EXPECT_EQ(textOf(mvtest::readFile(ini)), "[ParaBlock]\nPARA_TOP_POINTS=12\n");

  fs::remove(ini);
  p.SetInt(mv::PARA_TOP_POINTS, 12);  // same value: still written
  EXPECT_EQ(textOf(mvtest::readFile(ini)), "[ParaBlock]\nPARA_TOP_POINTS=12\n");

  p.SetInt(mv::PARA_VIEW_ITEM, 7);
  p.SetInt(mv::PARA_OUT_AUDIO, -2);
  EXPECT_EQ(p.GetInt(mv::PARA_VIEW_ITEM), 7);
  EXPECT_EQ(textOf(mvtest::readFile(ini)),
            "[ParaBlock]\nPARA_TOP_POINTS=12\nPARA_VIEW_ITEM=7\nPARA_OUT_AUDIO=-2\n");

  // What was written comes back on the next start, clamped then.
  mv::CParaBlock next;
  next.LoadFrom(ini);
  EXPECT_EQ(next.GetInt(mv::PARA_TOP_POINTS), 12);
  EXPECT_EQ(next.GetInt(mv::PARA_VIEW_ITEM), 2);
  EXPECT_EQ(next.GetInt(mv::PARA_OUT_AUDIO), -2);
}

TEST(ParaBlock, WritesKeepTheRestOfTheFile) {
  mvtest::TempDir dir;
  const std::string ini = dir.file("a.ini");
  mvtest::writeFile(ini, bytesOf("; kept by hand\r\n"
                                 "[Other]\r\n"
                                 "PARA_VIEW_ITEM=9\r\n"
                                 "\r\n"
                                 "[ParaBlock]\r\n"
                                 "PARA_VIEW_ITEM=0\r\n"
                                 "PARA_RM_CHK_SRC=/old\r\n"
                                 "\r\n"
                                 "[Last]\r\n"
                                 "X=1\r\n"));
  mv::CParaBlock p;
  p.LoadFrom(ini);
  p.SetInt(mv::PARA_VIEW_ITEM, 1);
  EXPECT_NE(p.SetText(mv::PARA_RM_CHK_SRC, "/new folder", 1), 0);
  EXPECT_NE(p.SetText(mv::PARA_RM_CHK_TGT, "/out/result.txt", 1), 0);
  EXPECT_EQ(textOf(mvtest::readFile(ini)),
            "; kept by hand\r\n"
            "[Other]\r\n"
            "PARA_VIEW_ITEM=9\r\n"
            "\r\n"
            "[ParaBlock]\r\n"
            "PARA_VIEW_ITEM=1\r\n"
            "PARA_RM_CHK_SRC=/new folder\r\n"
            "PARA_RM_CHK_TGT=/out/result.txt\r\n"
            "\r\n"
            "[Last]\r\n"
            "X=1\r\n");
}

TEST(ParaBlock, SetTextWritesOnlyWhatChanged) {
  mvtest::TempDir dir;
  const std::string ini = dir.file("a.ini");
  mvtest::writeFile(ini, bytesOf("[ParaBlock]\nPARA_RM_CHK_SRC=/videos\n"));
  mv::CParaBlock p;
  p.LoadFrom(ini);

  fs::remove(ini);
  EXPECT_EQ(p.SetText(mv::PARA_RM_CHK_SRC, "/videos", 1), 0);
  EXPECT_FALSE(fs::exists(ini));

  EXPECT_NE(p.SetText(mv::PARA_RM_CHK_SRC, "/视频/新", 1), 0);
  EXPECT_EQ(p.GetText(mv::PARA_RM_CHK_SRC), "/视频/新");
  EXPECT_EQ(textOf(mvtest::readFile(ini)), "[ParaBlock]\nPARA_RM_CHK_SRC=/视频/新\n");

  // Emptied: the key stays, with nothing after "=".
  EXPECT_NE(p.SetText(mv::PARA_RM_CHK_SRC, "", 1), 0);
  EXPECT_EQ(textOf(mvtest::readFile(ini)), "[ParaBlock]\nPARA_RM_CHK_SRC=\n");
  EXPECT_EQ(p.SetText(mv::PARA_RM_CHK_SRC, "", 1), 0);

  // write = 0 changes memory only.
  EXPECT_NE(p.SetText(mv::PARA_RM_CHK_TGT, "/r.txt", 0), 0);
  EXPECT_EQ(p.GetText(mv::PARA_RM_CHK_TGT), "/r.txt");
  EXPECT_EQ(textOf(mvtest::readFile(ini)), "[ParaBlock]\nPARA_RM_CHK_SRC=\n");
}

TEST(ParaBlock, TextsSurviveARestartAsTyped) {
  mvtest::TempDir dir;
  const std::string ini = dir.file("a.ini");
  mv::CParaBlock p;
  p.LoadFrom(ini);
  p.SetText(mv::PARA_RM_CHK_SRC, "/media/folder with trailing space ", 1);
  p.SetText(mv::PARA_RM_CHK_TGT, "\"quoted\".txt", 1);
  mv::CParaBlock next;
  next.LoadFrom(ini);
  EXPECT_EQ(next.GetText(mv::PARA_RM_CHK_SRC), "/media/folder with trailing space ");
  EXPECT_EQ(next.GetText(mv::PARA_RM_CHK_TGT), "\"quoted\".txt");
}

TEST(ParaBlock, NothingIsWrittenBeforeLoad) {
  mvtest::TempDir dir;
  ExecutableAt exe(dir.file("morvatelline"));
  mv::CParaBlock p;
  p.SetInt(mv::PARA_TOP_POINTS, 9);
  EXPECT_NE(p.SetText(mv::PARA_RM_CHK_SRC, "/x", 1), 0);
  EXPECT_EQ(p.GetInt(mv::PARA_TOP_POINTS), 9);
  EXPECT_EQ(p.GetText(mv::PARA_RM_CHK_SRC), "/x");
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(ParaBlock, FailedWritesStillChangeTheValues) {
  mvtest::TempDir dir;
  mv::CParaBlock p;
  p.LoadFrom(dir.file("missing-folder/a.ini"));
  p.SetInt(mv::PARA_BOTTOM_POINTS, 40);
  EXPECT_NE(p.SetText(mv::PARA_RM_CHK_TGT, "/r.txt", 1), 0);
  // A path with a line break cannot be stored in the file without damaging it.
  const std::string ini = dir.file("a.ini");
  mv::CParaBlock q;
  q.LoadFrom(ini);
  EXPECT_NE(q.SetText(mv::PARA_RM_CHK_SRC, "/odd\nname", 1), 0);
  EXPECT_EQ(p.GetInt(mv::PARA_BOTTOM_POINTS), 40);
  EXPECT_EQ(p.GetText(mv::PARA_RM_CHK_TGT), "/r.txt");
  EXPECT_EQ(q.GetText(mv::PARA_RM_CHK_SRC), "/odd\nname");
  EXPECT_FALSE(fs::exists(ini));
}

// Portable beside the program, or in the user's settings folder when installed or unwritable;
// the folder is made with the first change and a failed write is told once.
TEST(ParaBlock, SettingsBesideAPortableProgramElseInTheUserFolder) {
  mvtest::TempDir dir;
  const std::string config = dir.file("config");
  ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  const std::string xdg = config + "/morvatelline/morvatelline.ini";
  for (const char* folder : {"portable", "installed/bin", "installed/share/doc/morvatelline", "readonly"})
    fs::create_directories(dir.path() / folder);
  mvtest::writeFile(dir.file("installed/share/doc/morvatelline/morvatelline.htm"), bytesOf("<html>"));
  mvtest::writeFile(dir.file("readonly/morvatelline.ini"), bytesOf("[ParaBlock]\n"));
  fs::permissions(dir.file("readonly/morvatelline.ini"), fs::perms::owner_read | fs::perms::group_read);
  const struct {
    std::string exe, ini;
  } cases[] = {
      {dir.file("portable/morvatelline"), dir.file("portable/morvatelline.ini")},
      {dir.file("installed/bin/morvatelline"), xdg},
      {"/nonexistent/bin/morvatelline", xdg},
  };
  for (const auto& c : cases) EXPECT_EQ(mv::settingsFileFor(c.exe), c.ini) << c.exe;
  if (::geteuid() != 0) {
    EXPECT_EQ(mv::settingsFileFor(dir.file("readonly/morvatelline")), xdg);
  }

  std::vector<std::string> warnings;
  const mv::MessageSink previous = mv::setWarningSink([&](const std::string& w) { warnings.push_back(w); });
  mv::CParaBlock p;
  p.LoadFrom(xdg);
  p.SetInt(mv::PARA_VIEW_ITEM, 2);
  mv::CParaBlock again;
  again.LoadFrom(xdg);
  EXPECT_EQ(again.GetInt(mv::PARA_VIEW_ITEM), 2);
  EXPECT_TRUE(warnings.empty());
  p.SetText(mv::PARA_RM_CHK_SRC, "/odd\nname", 1);
  p.SetText(mv::PARA_RM_CHK_TGT, "/odd\nname", 1);
  EXPECT_EQ(warnings.size(), 1u);
  mv::setWarningSink(previous);
  ::unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
