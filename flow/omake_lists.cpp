// The extras' lists (titles of our own, in Big5), their locking, the cursor moves and the mouse
// areas of the three list screens.

#include "flow/omake_lists.h"

#include <array>
#include <cstdio>

#include "engine/gfx/text/text_big5.h"

namespace omake {

namespace {

std::string Big5(const std::string& utf8) { return Big5FromUtf8(utf8.c_str()).value_or(std::string()); }

constexpr const char* kExitTitle = "ＥＸＩＴ";
constexpr int kExitRow = kRowsPerPage - 1;
// Movie numbers of the first series that have no file.
constexpr std::array<int, 3> kAbsentMovies{11, 18, 22};
// The blank rows of the last movie page.
constexpr int kFirstBlankMovie = 52;
constexpr int kLastBlankMovie = 54;

// The movie files in list order.
std::vector<int> MovieNumbers() {
  std::vector<int> numbers;
  for (int n = 0; n <= 30; ++n) {
    bool absent = false;
    for (int a : kAbsentMovies) absent = absent || a == n;
    if (!absent) numbers.push_back(n);
  }
  for (int n = 100; n <= 117; ++n) numbers.push_back(n);
  return numbers;
}

std::string Format(const char* format, int n) {
  char text[64];
  std::snprintf(text, sizeof text, format, n);
  return text;
}

// value modulo count, in 0..count-1 also for a negative value.
int Wrap(int value, int count) { return ((value % count) + count) % count; }

bool Inside(int x, int y, Rect r) { return x >= r.left && y >= r.top && x <= r.right && y <= r.bottom; }

struct Geometry {
  int tab_left, tab_top, tab_pitch, tab_bottom, window_right;
  int row_left, row_top, row_pitch;
};
constexpr Geometry kMovieGeometry{70, 52, 68, 84, 570, 98, 104, 34};
constexpr Geometry kSoundGeometry{80, 52, 80, 84, 560, 108, 104, 34};
constexpr Geometry kPictureGeometry{32, 32, 80, 64, 240, 64, 88, 72};

const Geometry& GeometryOf(Screen screen) {
  switch (screen) {
    case Screen::kMovie: return kMovieGeometry;
    case Screen::kSound: return kSoundGeometry;
    default: return kPictureGeometry;
  }
}

// Moves the row by `direction` (+1 / -1) from the row itself (first = 0) or its neighbour
// (first = 1) up to `tries` rows, wrapping in the page; true when a row with content is found.
bool SeekRow(ListState& s, const HasContent& has, int direction, int first, int tries) {
  for (int t = first; t < first + tries; ++t) {
    const int row = Wrap(s.row + direction * t, kRowsPerPage);
    if (has(s.page * kRowsPerPage + row)) {
      s.row = static_cast<uint8_t>(row);
      return true;
    }
  }
  return false;
}

// The same in the grid: steps of one grid row (two cells) in the cell's column.
bool SeekCell(ListState& s, const HasContent& has, int direction, int first, int tries) {
  const int column = s.row % 2;
  const int grid_row = s.row / 2;
  for (int t = first; t < first + tries; ++t) {
    const int row = Wrap(grid_row + direction * t, kRowsPerPage / 2);
    const int cell = row * 2 + column;
    if (has(s.page * kRowsPerPage + cell)) {
      s.row = static_cast<uint8_t>(cell);
      return true;
    }
  }
  return false;
}

void PageChanged(ListState& s) {
  s.page_changed = 1;
  s.redraw = 1;
}

}  // namespace

int EpilogueBit(int index) {
  switch (index) {
    case 41: return 0;
    case 42: return 1;
    case 43: return 5;
    case 44: return 2;
    case 45: return 3;
    case 46: return 4;
    default: return -1;
  }
}

std::vector<MovieEntry> BuildMovieList(uint32_t endings_seen) {
  std::vector<MovieEntry> list(kMovieEntries);
  const std::vector<int> numbers = MovieNumbers();
  size_t next = 0;
  int epilogue = 0;
  for (int i = 0; i < kMovieEntries; ++i) {
    MovieEntry& e = list[static_cast<size_t>(i)];
    if (i % kRowsPerPage == kExitRow) {
      e.title = Big5(kExitTitle);
      continue;
    }
    if (i >= kFirstBlankMovie && i <= kLastBlankMovie) continue;
    const int n = numbers[next++];
    e.file = Format("MOVIE%03d", n);
    e.disc = static_cast<uint8_t>(n >= 100 ? 3 : n <= 10 ? 1 : 2);
    const int bit = EpilogueBit(i);
    if (bit >= 0) {
      ++epilogue;
      if ((endings_seen >> bit & 1U) != 0) e.title = Big5(Format("後日談　其%d", epilogue));
    } else if (n < 100) {
      e.title = Big5(Format("往昔之卷　第%02d幕", n + 1));
    } else {
      e.title = Big5(Format("今朝之卷　第%02d幕", n - 99));
    }
  }
  return list;
}

std::vector<SoundEntry> BuildSoundList() {
  std::vector<std::string> files;
  for (int n = 1; n <= 30; ++n) {
    if (n == 11 || n == 20 || n == 21) continue;
    files.push_back(Format("sm%02d", n));
  }
  for (const char* name : {"davone", "tezavi", "ysol", "tamvik", "brise", "lunet", "minigame", "otome"}) {
    files.emplace_back(name);
  }
  static const char* const kNamedTitles[8] = {"人物之曲　其一", "人物之曲　其二", "人物之曲　其三",
                                              "人物之曲　其四", "人物之曲　其五", "人物之曲　其六",
                                              "遊戲之曲", "少女之歌"};
  std::vector<SoundEntry> list(kSoundEntries);
  size_t next = 0;
  for (int i = 0; i < kSoundEntries; ++i) {
    SoundEntry& e = list[static_cast<size_t>(i)];
    if (i % kRowsPerPage == kExitRow) {
      e.title = Big5(kExitTitle);
      continue;
    }
    const size_t k = next++;
    e.file = files[k];
    e.title = k < 27 ? Big5(Format("樂章　第%02d曲", static_cast<int>(k) + 1)) : Big5(kNamedTitles[k - 27]);
  }
  return list;
}

std::vector<PictureEntry> BuildPictureList(uint32_t pictures_seen) {
  std::vector<PictureEntry> list(kPictureEntries);
  int picture = 0;
  for (int i = 0; i < kPictureEntries; ++i) {
    PictureEntry& e = list[static_cast<size_t>(i)];
    if (i % kRowsPerPage == kExitRow) {
      e.file = "EXIT";
      continue;
    }
    if (i == 6) continue;  // the blank cell of page 0
    ++picture;
    // Pictures 1-6 are bits 0-5, 7-13 bits 16-22 (as the scene end records them).
    e.bit = static_cast<uint8_t>(picture <= 6 ? picture - 1 : picture + 9);
    const bool open = (pictures_seen >> e.bit & 1U) != 0;
    if (open) {
      e.file = Format("buro%02d", picture);
    } else {
      e.title = Big5("？？？");
    }
  }
  return list;
}

bool RowUp(ListState& s, const HasContent& has) { return SeekRow(s, has, -1, 1, kRowsPerPage - 1); }
bool RowDown(ListState& s, const HasContent& has) { return SeekRow(s, has, +1, 1, kRowsPerPage - 1); }

bool PageLeft(ListState& s, const HasContent& has) {
  if (s.page == 0) return false;
  --s.page;
  PageChanged(s);
  SeekRow(s, has, -1, 0, kRowsPerPage);
  return true;
}

bool PageRight(ListState& s, const HasContent& has) {
  if (s.page >= s.last_page) return false;
  ++s.page;
  PageChanged(s);
  SeekRow(s, has, +1, 0, kRowsPerPage);
  return true;
}

bool GridUp(ListState& s, const HasContent& has) { return SeekCell(s, has, -1, 1, 4); }
bool GridDown(ListState& s, const HasContent& has) { return SeekCell(s, has, +1, 1, 4); }

bool GridLeft(ListState& s, const HasContent& has) {
  if (s.row % 2 == 1) {
    --s.row;
  } else if (s.page > 0) {
    --s.page;
    ++s.row;
    PageChanged(s);
  } else {
    return false;
  }
  SeekCell(s, has, -1, 0, 4);
  return true;
}

bool GridRight(ListState& s, const HasContent& has) {
  if (s.row % 2 == 0) {
    ++s.row;
  } else if (s.page < s.last_page) {
    ++s.page;
    --s.row;
    PageChanged(s);
  } else {
    return false;
  }
  SeekCell(s, has, +1, 0, 4);
  return true;
}

Rect TabArea(Screen screen, int k) {
  const Geometry& g = GeometryOf(screen);
  return Rect{g.tab_left + g.tab_pitch * k, g.tab_top, g.tab_left + g.tab_pitch * (k + 1), g.tab_bottom};
}

Rect RowArea(Screen screen, int i, int title_bytes) {
  const Geometry& g = GeometryOf(screen);
  if (screen == Screen::kPicture) {
    const int c = i % 2;
    const int r = i / 2;
    return Rect{g.row_left + 72 * c, g.row_top + 72 * r, g.row_left + 72 * (c + 1),
                g.row_top + 72 * (r + 1)};
  }
  return Rect{g.row_left, g.row_top + g.row_pitch * i, g.row_left + 16 * title_bytes,
              g.row_top + g.row_pitch * (i + 1)};
}

int TabAt(Screen screen, int x, int y, int last_page) {
  const Geometry& g = GeometryOf(screen);
  // Every tab position the window holds; the ones past the last page lead nowhere.
  for (int k = 0; g.tab_left + g.tab_pitch * k < g.window_right; ++k) {
    if (!Inside(x, y, TabArea(screen, k))) continue;
    return k <= last_page ? k : -1;
  }
  return -1;
}

int RowAt(Screen screen, int x, int y, const std::vector<std::string>& page_titles) {
  for (int i = 0; i < kRowsPerPage; ++i) {
    if (screen == Screen::kPicture) {
      if (Inside(x, y, RowArea(screen, i, 0))) return i;
      continue;
    }
    const size_t bytes = static_cast<size_t>(i) < page_titles.size() ? page_titles[static_cast<size_t>(i)].size() : 0;
    if (bytes == 0) continue;
    if (Inside(x, y, RowArea(screen, i, static_cast<int>(bytes)))) return i;
  }
  return -1;
}

int CaptionX(int width) { return 16 + (608 - width) / 2; }

}  // namespace omake
