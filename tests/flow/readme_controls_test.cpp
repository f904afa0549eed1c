// README.md's table of default keys against the key assignment as built: each game key's
// keyboard keys and pad buttons, by the names the README gives them.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/input/dinput.h"

namespace {

// The cells of a table row "| a | b | c |".
std::vector<std::string> Cells(const std::string& row) {
  std::vector<std::string> cells;
  std::stringstream in(row);
  std::string cell;
  std::getline(in, cell, '|');  // before the first bar
  while (std::getline(in, cell, '|')) {
    const size_t first = cell.find_first_not_of(' ');
    const size_t last = cell.find_last_not_of(' ');
    cells.push_back(first == std::string::npos ? "" : cell.substr(first, last - first + 1));
  }
  if (!cells.empty() && cells.back().empty()) cells.pop_back();  // after the last bar
  return cells;
}

// A cell's names, split at ", "; "none" is no name.
std::set<std::string> Names(const std::string& cell) {
  std::set<std::string> names;
  if (cell == "none") return names;
  size_t start = 0;
  for (size_t end; (end = cell.find(", ", start)) != std::string::npos; start = end + 2) {
    names.insert(cell.substr(start, end - start));
  }
  names.insert(cell.substr(start));
  return names;
}

TEST(ReadmeControls, TheDefaultKeyTableIsTheAssignmentAsBuilt) {
  std::ifstream in(std::string(TAMVIK_SOURCE_DIR) + "/README.md");
  ASSERT_TRUE(in) << "README.md";
  // The rows of the table after the line that introduces the default keys.
  std::map<std::string, std::vector<std::string>> rows;
  bool in_table = false;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("Default keys", 0) == 0) {
      in_table = true;
      continue;
    }
    if (!in_table) continue;
    if (line.rfind("|", 0) != 0) {
      if (!rows.empty()) break;
      continue;
    }
    const std::vector<std::string> cells = Cells(line);
    if (cells.size() == 3 && cells[0] != "game key" && cells[0].rfind("---", 0) != 0) {
      rows[cells[0]] = cells;
    }
  }
  const std::map<uint32_t, std::string> kKeyNames = {
      {0x1C, "Enter"},      {0x9C, "numpad Enter"}, {0x2D, "X"},          {0x39, "Space"},
      {0x52, "numpad 0"},   {0x2C, "Z"},            {0x1D, "left Ctrl"},  {0x9D, "right Ctrl"},
      {0x2A, "left Shift"}, {0x36, "right Shift"},
  };
  const std::map<uint32_t, std::string> kPadNames = {
      {5, "A (button 0)"},      {6, "B (button 1)"},     {7, "X (button 2)"},
      {8, "Y (button 3)"},      {11, "Back (button 6)"}, {12, "Start (button 7)"},
      {13, "left stick press (button 8)"},
  };
  // The game keys and the assignment entries that feed them.
  const struct {
    const char* name;
    uint32_t first, last;
  } keys[] = {{"decide", 0, 2}, {"cancel", 3, 5}, {"fast", 6, 7}, {"menu", 8, 9},
              {"battle keys", 10, 15}};
  EXPECT_EQ(rows.size(), std::size(keys));
  for (const auto& key : keys) {
    SCOPED_TRACE(key.name);
    ASSERT_TRUE(rows.count(key.name)) << "no row in README.md";
    std::set<std::string> keyboard;
    std::set<std::string> pad;
    for (uint32_t entry = key.first; entry <= key.last; ++entry) {
      if (const uint32_t code = CDinput::GetDefaultKeyConfig(entry); code != 0) {
        ASSERT_TRUE(kKeyNames.count(code)) << "no name for key code " << code;
        keyboard.insert(kKeyNames.at(code));
      }
      if (const uint32_t number = CDinput::GetDefaultPadConfig(entry); number != 0) {
        ASSERT_TRUE(kPadNames.count(number)) << "no name for pad input " << number;
        pad.insert(kPadNames.at(number));
      }
    }
    EXPECT_EQ(Names(rows[key.name][1]), keyboard);
    EXPECT_EQ(Names(rows[key.name][2]), pad);
  }
}

}  // namespace
