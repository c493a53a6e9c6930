// Every list of containers a user or the desktop sees is made from the container table: the
// CLI's help, the open dialog's filter, the packaging's MIME types and the manual page.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/containers.h"
#include "fixtures/byte_writer.h"

namespace {

std::string help(const std::string& command) {
  int status = -1;
  const std::string out =
      mvtest::runCommand(std::string(MORV_CLI_PATH) + " " + command + " --help 2>&1", &status);
  EXPECT_EQ(status, 0) << command;
  return out;
}

bool has(const std::string& text, std::string_view part) { return text.find(part) != std::string::npos; }

std::string readText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(ContainerTable, HelpTextsAndTheOpenDialogNameEveryRow) {
  const std::string filter = mv::openFileFilter();
  const std::string supported = filter.substr(0, filter.find('|', filter.find('|') + 1));
  const std::string main = help("");
  const std::string check = help("check");
  for (const char* command : {"series", "info", "gaps", "frames"})
    EXPECT_TRUE(
        has(help(command), "FILE TEXT REQUIRED          Media file (" + mv::containerNames(", ") + ")\n"))
        << command;
  for (const mv::Container& c : mv::containers()) {
    EXPECT_TRUE(has(filter, "|" + std::string(c.filterName) + "|" + mv::searchMask(c) + "|")) << c.name;
    for (std::string_view suffix : c.suffixes) {
      EXPECT_TRUE(has(supported, "*" + std::string(suffix))) << suffix;
      EXPECT_TRUE(has(main, suffix)) << suffix;
    }
    EXPECT_TRUE(has(main, std::string(c.name) + " (")) << c.name;
    // check reads the containers that mark seconds without video, all of them with --all-formats.
    EXPECT_EQ(has(check, "List the " + std::string(c.displayName) + " "), c.marksZeroSeconds) << c.name;
  }
}

TEST(ContainerTable, DesktopEntryAndAppStreamOfferTheTablesMimeTypes) {
  std::vector<std::string> table;
  for (const mv::Container& c : mv::containers()) {
    EXPECT_FALSE(c.mimeTypes.empty()) << c.name;
    for (std::string_view type : c.mimeTypes) table.emplace_back(type);
  }
  EXPECT_EQ(std::set<std::string>(table.begin(), table.end()).size(), table.size())
      << "a MIME type in two rows";

  const std::string entry = readText(MORV_DESKTOP_ENTRY);
  std::smatch line;
  ASSERT_TRUE(std::regex_search(entry, line, std::regex("\nMimeType=([^\n]*)\n"))) << entry;
  std::string joined;
  for (const std::string& type : table) joined += type + ';';
  EXPECT_EQ(line[1], joined);

  const std::string metainfo = readText(MORV_METAINFO);
  std::vector<std::string> offered;
  const std::regex mediaType("<mediatype>([^<]*)</mediatype>");
  for (auto it = std::sregex_iterator(metainfo.begin(), metainfo.end(), mediaType);
       it != std::sregex_iterator(); ++it)
    offered.push_back((*it)[1]);
  EXPECT_EQ(offered, table);
}

#ifdef MORV_HELP_PAGE
TEST(ContainerTable, TheHelpPageNamesEveryRowAndItsSuffixes) {
  const std::string page = readText(MORV_HELP_PAGE);
  for (const mv::Container& c : mv::containers()) {
    EXPECT_TRUE(has(page, std::string(c.displayName) + "（<code>" + std::string(c.suffixes[0]) + "</code>"))
        << c.name;
    EXPECT_TRUE(has(page, c.filterName.substr(0, c.filterName.find('('))))
        << c.name;  // the open dialog's entry
    for (std::string_view suffix : c.suffixes) {
      EXPECT_TRUE(has(page, "<code>" + std::string(suffix) + "</code>")) << suffix;
      EXPECT_TRUE(has(page, "*" + std::string(suffix))) << suffix;  // in Supported Files
    }
  }
  EXPECT_FALSE(has(page, "{{")) << "a list left unfilled";
}
#endif

#ifdef MORV_MAN_DIR
// The manual pages as man shows them: no line taken for a roff request, every row's suffixes named.
TEST(ContainerTable, TheManualPagesNameEveryRowAndLoseNoLine) {
  const std::string dir = MORV_MAN_DIR;
  for (const std::string& page : {dir + "/morvatelline.1", dir + "/morvatelline-cli.1"}) {
    int status = -1;
    const std::string warnings = mvtest::runCommand("groff -man -ww -z " + page + " 2>&1", &status);
    EXPECT_EQ(status, 0) << page;
    EXPECT_EQ(warnings, "") << page;
  }
  const std::string shown = mvtest::runCommand("groff -man -Tutf8 -rLL=5000n -rHY=0 -P-cbou " + dir +
                                               "/morvatelline.1 2>/dev/null");
  for (const mv::Container& c : mv::containers()) {
    std::string suffixes;
    for (std::string_view suffix : c.suffixes)
      suffixes += (suffixes.empty() ? "" : ", ") + std::string(suffix);
    EXPECT_TRUE(has(shown, std::string(c.displayName) + " (" + suffixes + ")")) << c.name;
  }
  EXPECT_FALSE(has(shown, "{{")) << "a list left unfilled";
}
#endif

}  // namespace
