// The extras' lists and screen rules without the screens: the lists' shapes and locking, the
// cursor moves of the lists and of the picture grid, the tabs and rows under the pointer, and the
// caption's centring.

#include "flow/omake_lists.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "engine/gfx/text/text_big5.h"

namespace {

using omake::ListState;
using omake::Screen;

std::string Big5(const char* utf8) { return Big5FromUtf8(utf8).value_or(std::string()); }

omake::HasContent MovieContent(const std::vector<omake::MovieEntry>& list) {
  return [&list](int i) { return !list[static_cast<size_t>(i)].title.empty(); };
}

omake::HasContent PictureContent(const std::vector<omake::PictureEntry>& list) {
  return [&list](int i) {
    const auto& e = list[static_cast<size_t>(i)];
    return !e.title.empty() || !e.file.empty();
  };
}

// A cursor move by one key from (page, row) and where it should land.
enum Key { kUp, kDown, kLeft, kRight };
struct MoveCase {
  uint8_t page, row;
  Key key;
  uint8_t to_page, to_row;
  bool moved;
};

// The four moves of a layout, one a key.
using Move = bool (*)(ListState&, const omake::HasContent&);
struct Moves {
  Move up, down, left, right;
};
constexpr Moves kListMoves{&omake::RowUp, &omake::RowDown, &omake::PageLeft, &omake::PageRight};
constexpr Moves kGridMoves{&omake::GridUp, &omake::GridDown, &omake::GridLeft, &omake::GridRight};

// Runs each case on a fresh list state of the given last page and checks where it lands (and,
// with `page_mark`, that a page change and only one is marked for drawing).
void ExpectMoves(const std::vector<MoveCase>& cases, uint8_t last_page, const Moves& moves,
                 const omake::HasContent& has, bool page_mark) {
  for (const MoveCase& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.page) << "/" << int(c.row) << " key " << c.key);
    ListState s;
    s.last_page = last_page;
    s.page = c.page;
    s.row = c.row;
    bool moved = false;
    switch (c.key) {
      case kUp: moved = moves.up(s, has); break;
      case kDown: moved = moves.down(s, has); break;
      case kLeft: moved = moves.left(s, has); break;
      case kRight: moved = moves.right(s, has); break;
    }
    EXPECT_EQ(moved, c.moved);
    EXPECT_EQ(s.page, c.to_page);
    EXPECT_EQ(s.row, c.to_row);
    if (page_mark) {
      EXPECT_EQ(s.page_changed != 0, c.page != c.to_page);
    }
  }
}

TEST(OmakeLists, MovieListShape) {
  const auto list = omake::BuildMovieList(0xFFFFFFFF);
  ASSERT_EQ(list.size(), 56U);
  std::set<std::string> files;
  for (int i = 0; i < 56; ++i) {
    SCOPED_TRACE(i);
    const auto& e = list[static_cast<size_t>(i)];
    if (i % 8 == 7) {
      EXPECT_EQ(e.title, Big5("ＥＸＩＴ"));
      EXPECT_EQ(e.file, "");
      EXPECT_EQ(e.disc, 0);
    } else if (i >= 52 && i <= 54) {
      EXPECT_EQ(e.title, "");
      EXPECT_EQ(e.file, "");
      EXPECT_EQ(e.disc, 0);
    } else {
      EXPECT_FALSE(e.title.empty());
      EXPECT_GE(e.disc, 1);
      EXPECT_LE(e.disc, 3);
      ASSERT_EQ(e.file.size(), 8U);
      const int n = std::stoi(e.file.substr(5));
      EXPECT_TRUE((n >= 0 && n <= 30) || (n >= 100 && n <= 117)) << e.file;
      EXPECT_TRUE(files.insert(e.file).second) << e.file << " twice";
      // The title fits the window: 16 pixels a byte from x 98 to the inner edge 554.
      EXPECT_LE(98 + 16 * static_cast<int>(e.title.size()), 554);
    }
  }
  EXPECT_EQ(files.size(), 46U);
  EXPECT_EQ(list[0].file, "MOVIE000");
}

TEST(OmakeLists, EpilogueEntriesKeepTheirTitlesOnlyForTheirEndingBits) {
  // Entry -> bit: 41 0, 42 1, 43 5, 44 2, 45 3, 46 4.
  const struct {
    uint32_t seen;
    std::set<int> titled;
  } cases[] = {
      {0x00, {}},
      {0x01, {41}},
      {0x02, {42}},
      {0x04, {44}},
      {0x08, {45}},
      {0x10, {46}},
      {0x20, {43}},
      {0x3F, {41, 42, 43, 44, 45, 46}},
      {0xC0, {}},  // bits 6 and 7 open nothing
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.seen);
    const auto list = omake::BuildMovieList(c.seen);
    for (int i = 41; i <= 46; ++i) {
      EXPECT_EQ(!list[static_cast<size_t>(i)].title.empty(), c.titled.count(i) == 1) << i;
      // The file stays: the lock is the title alone.
      EXPECT_FALSE(list[static_cast<size_t>(i)].file.empty()) << i;
    }
    // Every other movie keeps its title whatever the bits.
    EXPECT_FALSE(list[40].title.empty());
    EXPECT_FALSE(list[48].title.empty());
  }
}

TEST(OmakeLists, SoundListShape) {
  const auto list = omake::BuildSoundList();
  ASSERT_EQ(list.size(), 40U);
  std::vector<std::string> files;
  for (int i = 0; i < 40; ++i) {
    const auto& e = list[static_cast<size_t>(i)];
    if (i % 8 == 7) {
      EXPECT_EQ(e.title, Big5("ＥＸＩＴ")) << i;
      EXPECT_EQ(e.file, "") << i;
      continue;
    }
    EXPECT_FALSE(e.title.empty()) << i;
    files.push_back(e.file);
  }
  std::vector<std::string> expected;
  for (int n = 1; n <= 30; ++n) {
    if (n == 11 || n == 20 || n == 21) continue;
    char name[8];
    std::snprintf(name, sizeof name, "sm%02d", n);
    expected.emplace_back(name);
  }
  for (const char* name : {"davone", "tezavi", "ysol", "tamvik", "brise", "lunet", "minigame", "otome"}) {
    expected.emplace_back(name);
  }
  EXPECT_EQ(files, expected);
}

TEST(OmakeLists, PicturesLockByTheirSeenBitsAndBitSevenIsAlwaysOpen) {
  const std::string locked = Big5("？？？");
  const struct {
    uint32_t seen;
    std::set<int> open;  // entries that carry their picture file
  } cases[] = {
      {0x00000000, {}},
      {0x00000001, {0}},
      {0x00000020, {5}},
      {0x00010000, {8}},
      {0x00400000, {14}},
      {0x0000FFC0, {}},  // bits 6-15 name no picture (7 is the exits' mark, not a picture bit)
      {0x007F003F, {0, 1, 2, 3, 4, 5, 8, 9, 10, 11, 12, 13, 14}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.seen);
    const auto list = omake::BuildPictureList(c.seen);
    ASSERT_EQ(list.size(), 16U);
    for (int i = 0; i < 16; ++i) {
      SCOPED_TRACE(i);
      const auto& e = list[static_cast<size_t>(i)];
      if (i == 7 || i == 15) {  // the exits: always open, no locked title
        EXPECT_EQ(e.bit, omake::kAlwaysOpenBit);
        EXPECT_EQ(e.file, "EXIT");
        EXPECT_EQ(e.title, "");
      } else if (i == 6) {  // the blank cell
        EXPECT_EQ(e.file, "");
        EXPECT_EQ(e.title, "");
      } else if (c.open.count(i) == 1) {
        char name[8];
        std::snprintf(name, sizeof name, "buro%02d", i < 6 ? i + 1 : i - 1);
        EXPECT_EQ(e.file, name);
        EXPECT_EQ(e.title, "");
      } else {
        EXPECT_EQ(e.file, "");
        EXPECT_EQ(e.title, locked);
      }
    }
  }
}

// ---- Cursor moves ----

TEST(OmakeLists, ListKeysSkipEmptyRowsWrapInThePageAndTurnPagesWithinTheList) {
  const auto list = omake::BuildMovieList(0x01);  // only epilogue 41 open: page 5 rows 2-6 empty
  const auto has = MovieContent(list);
  const std::vector<MoveCase> cases = {
      {0, 0, kUp, 0, 7, true},     // wraps to the exit row
      {0, 7, kDown, 0, 0, true},   // and back
      {0, 3, kDown, 0, 4, true},
      {5, 1, kDown, 5, 7, true},   // past the locked epilogues 42-46
      {5, 7, kUp, 5, 1, true},
      {6, 3, kDown, 6, 7, true},   // past the blank rows
      {6, 7, kUp, 6, 3, true},
      {0, 2, kLeft, 0, 2, false},  // nothing at the first page
      {6, 2, kRight, 6, 2, false}, // nor at the last
      {4, 3, kRight, 5, 7, true},  // page 5 row 3 empty: down to the exit row
      {4, 0, kRight, 5, 0, true},  // a row with a title stays
      {6, 5, kLeft, 5, 1, true},   // page 5 row 5 empty: up to row 1
      {1, 4, kLeft, 0, 4, true},
  };
  ExpectMoves(cases, 6, kListMoves, has, true);
}

TEST(OmakeLists, ListKeysTryEachRowOnce) {
  ListState s;
  s.last_page = 6;
  s.row = 3;
  int asked = 0;
  const omake::HasContent none = [&asked](int) {
    ++asked;
    return false;
  };
  EXPECT_FALSE(omake::RowDown(s, none));
  EXPECT_EQ(asked, 7);  // the seven other rows, not the row itself, once each
  EXPECT_EQ(s.row, 3);
  asked = 0;
  EXPECT_FALSE(omake::RowUp(s, none));
  EXPECT_EQ(asked, 7);
}

TEST(OmakeLists, PictureGridMovesByTwoCellsAndBetweenColumnsAndPages) {
  const auto none_seen = omake::BuildPictureList(0);
  const std::vector<MoveCase> cases = {
      {0, 0, kUp, 0, 4, true},      // wraps in the column past the blank cell 6
      {0, 4, kDown, 0, 0, true},    // the same downward
      {0, 1, kUp, 0, 7, true},      // right column: up from the top wraps to the exit
      {0, 5, kDown, 0, 7, true},
      {0, 2, kRight, 0, 3, true},   // left column -> right column
      {0, 3, kLeft, 0, 2, true},
      {0, 1, kRight, 1, 0, true},   // right column of page 0 -> left column of page 1
      {1, 4, kLeft, 0, 5, true},    // left column of page 1 -> right column of page 0
      {0, 4, kLeft, 0, 4, false},   // outer edges
      {1, 5, kRight, 1, 5, false},
      {0, 7, kLeft, 0, 4, true},    // onto the blank cell: up to the nearest cell with content
  };
  const auto has = PictureContent(none_seen);
  ExpectMoves(cases, 1, kGridMoves, has, false);
  // At most four tries in a column.
  int asked = 0;
  ListState s;
  s.last_page = 1;
  omake::GridDown(s, [&asked](int) {
    ++asked;
    return false;
  });
  EXPECT_EQ(asked, 4);
}

// ---- The mouse ----

TEST(OmakeLists, TabsPastTheLastPageLeadNowhere) {
  const struct {
    Screen screen;
    int x, y, last_page, tab;
  } cases[] = {
      {Screen::kMovie, 75, 60, 6, 0},
      {Screen::kMovie, 70 + 68 * 6 + 10, 60, 6, 6},
      {Screen::kMovie, 70 + 68 * 7 + 10, 60, 6, -1},  // the window holds a tab position 7
      {Screen::kMovie, 75, 90, 6, -1},                // below the tabs
      {Screen::kSound, 80 + 80 * 4 + 10, 60, 4, 4},
      {Screen::kSound, 80 + 80 * 5 + 10, 60, 4, -1},  // position 5
      {Screen::kPicture, 32 + 80 + 10, 40, 1, 1},
      {Screen::kPicture, 32 + 160 + 10, 40, 1, -1},   // position 2
      {Screen::kPicture, 20, 40, 1, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.screen) << " at " << c.x << "," << c.y);
    EXPECT_EQ(omake::TabAt(c.screen, c.x, c.y, c.last_page), c.tab);
  }
}

TEST(OmakeLists, RowsCountOnlyWithATitleAndSixteenPixelsAByte) {
  std::vector<std::string> titles(8);
  titles[2] = "abcd";  // 4 bytes: x 98-162
  EXPECT_EQ(omake::RowAt(Screen::kMovie, 98 + 64, 104 + 34 * 2 + 10, titles), 2);
  EXPECT_EQ(omake::RowAt(Screen::kMovie, 98 + 65, 104 + 34 * 2 + 10, titles), -1);
  EXPECT_EQ(omake::RowAt(Screen::kMovie, 100, 104 + 34 * 3 + 10, titles), -1);  // no title
  EXPECT_EQ(omake::RowAt(Screen::kSound, 108, 104 + 34 * 2 + 10, titles), 2);
  EXPECT_EQ(omake::RowAt(Screen::kSound, 100, 104 + 34 * 2 + 10, titles), -1);
  // Every grid cell counts, titled or not.
  EXPECT_EQ(omake::RowAt(Screen::kPicture, 64 + 72 + 5, 88 + 72 * 3 + 5, titles), 7);
  EXPECT_EQ(omake::RowAt(Screen::kPicture, 60, 90, titles), -1);
}

TEST(OmakeLists, CaptionCentringDividesTowardZero) {
  EXPECT_EQ(omake::CaptionX(24), 16 + 292);
  EXPECT_EQ(omake::CaptionX(608), 16);
  EXPECT_EQ(omake::CaptionX(611), 15);   // -3 / 2 is -1, not -2
  EXPECT_EQ(omake::CaptionX(720), -40);  // 30 double-byte characters start left of the screen
}

}  // namespace
