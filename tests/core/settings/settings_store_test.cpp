#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

#include "fixtures/byte_writer.h"
#include "settings/ini_file.h"
#include "settings/para_block.h"

namespace {

mvtest::Bytes bytesOf(std::string_view s) { return mvtest::Bytes(s.begin(), s.end()); }
std::string textOf(const mvtest::Bytes& b) { return std::string(b.begin(), b.end()); }

// A settings file as the program before the one store wrote it: the eleven options (100 % and
// 200 % as PARA_VIEW_SCALE), the window's values and folders; `window` holds the zoom, if any.
std::string todaysFile(int scale, const std::string& window, const std::string& eol) {
  std::string s =
      "[ParaBlock]\nPARA_OUT_FILE_INFO=1\nPARA_OUT_HEADER=0\nPARA_OUT_STATISTICS=1\nPARA_OUT_VIDEO=0\n"
      "PARA_OUT_AUDIO=1\nPARA_OUT_A_AND_V=0\nPARA_VIEW_ITEM=2\nPARA_VIEW_SCALE=" +
      std::to_string(scale) +
      "\nPARA_VIEW_POINTS=0\nPARA_TOP_POINTS=12\nPARA_BOTTOM_POINTS=3\n"
      "PARA_RM_CHK_SRC=/home/u/视频\nPARA_RM_CHK_TGT=/home/u/结果 .txt\n"
      "[Window]\nX=40\nY=30\n" +
      window + "Width=900\n[Folders]\nMedia=/home/u/片\n";
  std::string out;
  for (const char c : s) out += c == '\n' ? eol : std::string(1, c);
  return out;
}

TEST(SettingsStore, TodaysFilesReadBackWithEveryOptionAndTheSameZoom) {
  const struct {
    const char* what;
    int scale;
    std::string window, eol;
    int zoom;
  } cases[] = {
      {"100 % before the zoom key", 0, "", "\n", 100},
      {"200 % before the zoom key", 1, "", "\r\n", 200},
      {"200 % with the zoom key", 1, "Zoom=200\n", "\n", 200},
      {"whole file after 200 %", 1, "Zoom=0\n", "\r\n", 0},
      {"400 % after 100 %", 0, "Zoom=400\n", "\n", 400},
      {"50 % after 200 %", 1, "Zoom=50\n", "\n", 50},
      {"a zoom the chart has not: the scale", 1, "Zoom=123\n", "\n", 200},
      {"first of two keys, any case", 0, "zoom=25\nZOOM=800\n", "\n", 25},
  };
  const std::array<int, mv::PARA_INT_COUNT> options = {1, 0, 1, 0, 1, 0, 2, 0, 12, 3};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    mvtest::TempDir dir;
    const std::string ini = dir.file("morvatelline.ini");
    const std::string content = todaysFile(c.scale, c.window, c.eol);
    mvtest::writeFile(ini, bytesOf(content));
    mv::CParaBlock p;
    p.LoadFrom(ini);
    for (int i = 0; i < mv::PARA_INT_COUNT; ++i) EXPECT_EQ(p.GetInt(i), options[size_t(i)]) << i;
    EXPECT_EQ(p.GetText(mv::PARA_RM_CHK_SRC), "/home/u/视频");
    EXPECT_EQ(p.GetText(mv::PARA_RM_CHK_TGT), "/home/u/结果 .txt");
    EXPECT_EQ(p.Zoom(), c.zoom);
    EXPECT_EQ(p.store().intValue("window", "x", -1), 40);
    EXPECT_EQ(p.store().intValue("Window", "Width", -1), 900);
    EXPECT_EQ(p.store().value("Folders", "Media"), "/home/u/片");
    EXPECT_EQ(p.store().value("Folders", "Image"), std::nullopt);
    EXPECT_EQ(textOf(mvtest::readFile(ini)), content);  // reading writes nothing
  }
}

TEST(SettingsStore, ChangesLandInTheFileAndSurviveAReload) {
  using Change = std::function<void(mv::CParaBlock&)>;
  using Check = std::function<void(const mv::CParaBlock&)>;
  const struct {
    const char* what;
    Change change;
    const char* section;
    const char* key;
    const char* written;
    Check check;
  } cases[] = {
      {"option", [](mv::CParaBlock& p) { p.SetInt(mv::PARA_TOP_POINTS, 42); }, "ParaBlock", "PARA_TOP_POINTS",
       "42", [](const mv::CParaBlock& p) { EXPECT_EQ(p.GetInt(mv::PARA_TOP_POINTS), 42); }},
      {"text", [](mv::CParaBlock& p) { p.SetText(mv::PARA_RM_CHK_TGT, " /r/结果.txt", 1); }, "ParaBlock",
       "PARA_RM_CHK_TGT", " /r/结果.txt",
       [](const mv::CParaBlock& p) { EXPECT_EQ(p.GetText(mv::PARA_RM_CHK_TGT), " /r/结果.txt"); }},
      // The old scale option says 100 %; the one zoom key wins from now on.
      {"zoom 200 %", [](mv::CParaBlock& p) { p.SetZoom(200); }, "Window", "Zoom", "200",
       [](const mv::CParaBlock& p) { EXPECT_EQ(p.Zoom(), 200); }},
      {"zoom 100 % over a stale 400 %", [](mv::CParaBlock& p) { p.SetZoom(400), p.SetZoom(100); }, "Window",
       "Zoom", "100", [](const mv::CParaBlock& p) { EXPECT_EQ(p.Zoom(), 100); }},
      {"whole file", [](mv::CParaBlock& p) { p.SetZoom(0); }, "Window", "Zoom", "0",
       [](const mv::CParaBlock& p) { EXPECT_EQ(p.Zoom(), 0); }},
      {"window value", [](mv::CParaBlock& p) { p.store().set("Window", "Height", "640"); }, "Window",
       "Height", "640",
       [](const mv::CParaBlock& p) { EXPECT_EQ(p.store().intValue("WINDOW", "height", -1), 640); }},
      {"folder", [](mv::CParaBlock& p) { p.store().set("Folders", "Image", "/home/u/图"); }, "Folders",
       "Image", "/home/u/图",
       [](const mv::CParaBlock& p) { EXPECT_EQ(p.store().value("Folders", "Image"), "/home/u/图"); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    mvtest::TempDir dir;
    const std::string ini = dir.file("morvatelline.ini");
    mvtest::writeFile(ini, bytesOf(todaysFile(0, "", "\r\n")));
    mv::CParaBlock p;
    p.LoadFrom(ini);
    c.change(p);
    c.check(p);
    EXPECT_EQ(mv::IniFile::load(ini).value(c.section, c.key), c.written);
    mv::CParaBlock next;
    next.LoadFrom(ini);
    c.check(next);
  }
}

TEST(SettingsStore, LinesTheProgramDoesNotKnowAreKeptWhenWriting) {
  mvtest::TempDir dir;
  const std::string ini = dir.file("morvatelline.ini");
  mvtest::writeFile(ini, bytesOf("; by hand\n"
                                 "[ParaBlock]\n"
                                 "PARA_VIEW_SCALE=1\n"
                                 "PARA_FUTURE=3\n"
                                 "\n"
                                 "[Plugins]\n"
                                 "Name=x\n"
                                 "[Window]\n"
                                 "Zoom=50\n"
                                 "Theme=dark\n"));
  mv::CParaBlock p;
  p.LoadFrom(ini);
  EXPECT_EQ(p.store().value("ParaBlock", "PARA_FUTURE"), "3");
  p.SetInt(mv::PARA_VIEW_ITEM, 1);
  p.SetZoom(200);
  p.SetText(mv::PARA_RM_CHK_SRC, "/m", 1);
  p.store().set("Folders", "Media", "/m");
  p.store().set("Window", "X", "7");
  // The old scale option is left for older programs to read; the zoom lives in one key.
  EXPECT_EQ(textOf(mvtest::readFile(ini)),
            "; by hand\n"
            "[ParaBlock]\n"
            "PARA_VIEW_SCALE=1\n"
            "PARA_FUTURE=3\n"
            "PARA_VIEW_ITEM=1\n"
            "PARA_RM_CHK_SRC=/m\n"
            "\n"
            "[Plugins]\n"
            "Name=x\n"
            "[Window]\n"
            "Zoom=200\n"
            "Theme=dark\n"
            "X=7\n"
            "[Folders]\n"
            "Media=/m\n");
}

TEST(SettingsStore, ReadsComeFromMemoryAndWritesKeepOtherChangesInTheFile) {
  mvtest::TempDir dir;
  const std::string ini = dir.file("morvatelline.ini");
  mvtest::writeFile(ini, bytesOf("[Window]\nX=40\nZoom=400\n"));
  mv::SettingsStore store;
  store.load(ini);
  // Another copy of the program changes the file: this one goes on with what it read...
  mvtest::writeFile(ini, bytesOf("[Window]\nX=99\nZoom=400\n[Folders]\nMedia=/other\n"));
  EXPECT_EQ(store.intValue("Window", "X", -1), 40);
  EXPECT_EQ(store.value("Folders", "Media"), std::nullopt);
  // ...and its own change is written into the file as it now stands.
  EXPECT_TRUE(store.set("Window", "Zoom", "25"));
  EXPECT_EQ(textOf(mvtest::readFile(ini)), "[Window]\nX=99\nZoom=25\n[Folders]\nMedia=/other\n");
  // Without a file the values hold for this run only.
  mv::SettingsStore none;
  none.load(std::string());
  EXPECT_FALSE(none.set("Window", "X", "1"));
  EXPECT_EQ(none.intValue("Window", "X", -1), 1);
}

}  // namespace
