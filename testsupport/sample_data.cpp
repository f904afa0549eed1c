#include "testsupport/sample_data.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <utility>

#include "engine/gfx/text/text_big5.h"
#include "platform/ffmpeg/test_movie.h"
#include "platform/little_endian.h"
#include "platform/wave_codec.h"
#include "testsupport/battle_install.h"
#include "testsupport/eyecatch_files.h"
#include "testsupport/icon_files.h"
#include "testsupport/lips_files.h"
#include "testsupport/od_writer.h"
#include "testsupport/od_writer.h"  // the cleaning game's od file
#include "testsupport/petal_wipe_writer.h"
#include "testsupport/portrait_writer.h"
#include "testsupport/program_messages.h"
#include "testsupport/save_data_builder.h"
#include "testsupport/scene_files.h"
#include "testsupport/script_writer.h"
// ---- Shooting game ----
#include "testsupport/shot_od.h"
#include "testsupport/spr_writer.h"
#include "testsupport/temp_tree.h"
#include "testsupport/wav_writer.h"

namespace testsupport {

namespace fs = std::filesystem;

namespace {

// ---- Text ----

// The code points of a UTF-8 string (bytes that do not decode are skipped).
std::vector<uint32_t> CodePoints(const std::string& utf8) {
  std::vector<uint32_t> out;
  for (size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<uint8_t>(utf8[i]);
    int extra = 0;
    uint32_t cp = 0;
    if (b < 0x80) {
      cp = b;
    } else if ((b & 0xE0) == 0xC0) {
      cp = b & 0x1F;
      extra = 1;
    } else if ((b & 0xF0) == 0xE0) {
      cp = b & 0x0F;
      extra = 2;
    } else if ((b & 0xF8) == 0xF0) {
      cp = b & 0x07;
      extra = 3;
    } else {
      ++i;
      continue;
    }
    if (i + static_cast<size_t>(extra) >= utf8.size()) break;
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      const auto c = static_cast<uint8_t>(utf8[i + static_cast<size_t>(k)]);
      if ((c & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (c & 0x3F);
    }
    i += static_cast<size_t>(extra) + 1;
    if (ok) out.push_back(cp);
  }
  return out;
}

std::string Utf8Of(uint32_t cp) {
  std::string s;
  if (cp < 0x80) {
    s.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    s.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    s.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    s.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    s.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    s.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    s.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    s.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    s.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    s.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
  return s;
}

// The Big5 code of one character beyond ASCII, 0 when Big5 has none.
uint16_t Big5Code(uint32_t cp) {
  const std::optional<std::string> big5 = Big5FromUtf8(Utf8Of(cp));
  if (!big5 || big5->size() != 2) return 0;
  return static_cast<uint16_t>((static_cast<uint8_t>((*big5)[0]) << 8) |
                               static_cast<uint8_t>((*big5)[1]));
}

std::string Big5(const std::string& utf8) { return Big5FromUtf8(utf8).value_or(""); }

// The font's characters: Big5 code -> code point.
std::map<uint16_t, uint32_t> FontCharacters(const std::vector<std::string>& extra_texts) {
  constexpr size_t kLimit = 3000;
  std::map<uint16_t, uint32_t> chosen;
  std::set<uint32_t> seen;
  const auto take = [&](const std::vector<std::string>& texts) {
    for (const std::string& text : texts) {
      for (uint32_t cp : CodePoints(text)) {
        if (cp < 0x80 || !seen.insert(cp).second) continue;
        if (chosen.size() >= kLimit) return;
        const uint16_t code = Big5Code(cp);
        if (code != 0) chosen.emplace(code, cp);
      }
    }
  };
  take(ProgramMessageTexts());
  take(SampleTexts());
  take(extra_texts);
  return chosen;
}

// ---- Glyphs ----

class Glyphs {
 public:
  explicit Glyphs(GlyphRaster raster) : raster_(std::move(raster)) {}

  const std::vector<uint8_t>& Of(uint32_t cp, int width) {
    const auto key = std::make_pair(cp, width);
    auto found = cache_.find(key);
    if (found != cache_.end()) return found->second;
    std::vector<uint8_t> levels;
    if (!raster_ || !raster_(cp, width, levels) ||
        levels.size() != static_cast<size_t>(width) * 24) {
      levels = BoxGlyph(cp, width);
    }
    for (uint8_t& v : levels) v = std::min<uint8_t>(v, 15);
    return cache_.emplace(key, std::move(levels)).first->second;
  }

 private:
  GlyphRaster raster_;
  std::map<std::pair<uint32_t, int>, std::vector<uint8_t>> cache_;
};

void AppendPacked(std::vector<uint8_t>& out, const std::vector<uint8_t>& levels, int width) {
  for (int row = 0; row < 24; ++row) {
    for (int col = 0; col < width; col += 2) {
      const uint8_t left = levels[static_cast<size_t>(row * width + col)];
      const uint8_t right = levels[static_cast<size_t>(row * width + col + 1)];
      out.push_back(static_cast<uint8_t>((left << 4) | right));
    }
  }
}

// ---- Pictures ----

// An 8-bit picture with its colour table; colour 0 is black (transparent in sprites).
class Canvas {
 public:
  Canvas(int w, int h, std::vector<SprRgb> colours)
      : w_(w), h_(h), pixels_(static_cast<size_t>(w) * static_cast<size_t>(h), 0),
        colours_(std::move(colours)) {
    if (colours_.empty()) colours_.push_back({0, 0, 0});
  }

  int width() const { return w_; }
  int height() const { return h_; }
  const std::vector<SprRgb>& colours() const { return colours_; }

  // Adds a colour; its index.
  uint8_t Colour(SprRgb c) {
    colours_.push_back(c);
    return static_cast<uint8_t>(colours_.size() - 1);
  }
  // A ramp of `steps` colours from a to b; the first index.
  uint8_t Ramp(SprRgb a, SprRgb b, int steps) {
    const auto first = static_cast<uint8_t>(colours_.size());
    for (int i = 0; i < steps; ++i) {
      const auto mix = [&](uint8_t x, uint8_t y) {
        return static_cast<uint8_t>(x + (y - x) * i / std::max(steps - 1, 1));
      };
      colours_.push_back({mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b)});
    }
    return first;
  }

  void Put(int x, int y, uint8_t v) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
    pixels_[static_cast<size_t>(y) * static_cast<size_t>(w_) + static_cast<size_t>(x)] = v;
  }
  void Fill(uint8_t v) { std::fill(pixels_.begin(), pixels_.end(), v); }
  void Rect(int x0, int y0, int x1, int y1, uint8_t v) {
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) Put(x, y, v);
    }
  }
  void Frame(int x0, int y0, int x1, int y1, int t, uint8_t v) {
    Rect(x0, y0, x1, y0 + t, v);
    Rect(x0, y1 - t, x1, y1, v);
    Rect(x0, y0, x0 + t, y1, v);
    Rect(x1 - t, y0, x1, y1, v);
  }
  // Top to bottom through the ramp at `first` of `steps` colours.
  void Gradient(int y0, int y1, uint8_t first, int steps) {
    for (int y = y0; y < y1; ++y) {
      const int k = (y - y0) * steps / std::max(y1 - y0, 1);
      Rect(0, y, w_, y + 1, static_cast<uint8_t>(first + k));
    }
  }
  void Disc(int cx, int cy, int r, uint8_t v) {
    for (int y = cy - r; y <= cy + r; ++y) {
      for (int x = cx - r; x <= cx + r; ++x) {
        if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) Put(x, y, v);
      }
    }
  }
  // UTF-8 text with the glyphs, each pixel `scale` times; a pixel is ink from level 8.
  int TextWidth(const std::string& utf8, int scale) const {
    int w = 0;
    for (uint32_t cp : CodePoints(utf8)) w += (cp < 0x80 ? 12 : 24) * scale;
    return w;
  }
  void Text(Glyphs& glyphs, int x, int y, const std::string& utf8, uint8_t v, int scale = 1) {
    for (uint32_t cp : CodePoints(utf8)) {
      const int gw = cp < 0x80 ? 12 : 24;
      const std::vector<uint8_t>& levels = glyphs.Of(cp, gw);
      for (int row = 0; row < 24; ++row) {
        for (int col = 0; col < gw; ++col) {
          if (levels[static_cast<size_t>(row * gw + col)] < 8) continue;
          for (int sy = 0; sy < scale; ++sy) {
            for (int sx = 0; sx < scale; ++sx) Put(x + col * scale + sx, y + row * scale + sy, v);
          }
        }
      }
      x += gw * scale;
    }
  }
  void CentredText(Glyphs& glyphs, int y, const std::string& utf8, uint8_t v, int scale = 1) {
    Text(glyphs, (w_ - TextWidth(utf8, scale)) / 2, y, utf8, v, scale);
  }

  SprImage Image() const {
    return SprImage(static_cast<uint16_t>(w_), static_cast<uint16_t>(h_), kSprDepth8, 0,
                    Encode8Bit(pixels_));
  }

 private:
  int w_;
  int h_;
  std::vector<uint8_t> pixels_;
  std::vector<SprRgb> colours_;
};

constexpr SprRgb kWhite{31, 31, 31};
constexpr SprRgb kInk{2, 2, 4};
constexpr SprRgb kLogoTop{6, 4, 20};
constexpr SprRgb kLogoBottom{20, 6, 14};
constexpr SprRgb kTitleTop{4, 10, 24};
constexpr SprRgb kTitleBottom{24, 16, 26};
constexpr SprRgb kWindowBody{4, 6, 16};
constexpr SprRgb kMenuTop{20, 24, 31};

// A full-screen card: a gradient, a disc and a ring of shapes, a large title and a line of text.
Canvas Card(Glyphs& glyphs, SprRgb top, SprRgb bottom, const std::string& title,
            const std::string& line, int seed) {
  Canvas c(640, 480, {{0, 0, 0}});
  const uint8_t white = c.Colour(kWhite);
  const uint8_t ink = c.Colour(kInk);
  const uint8_t accent = c.Colour({static_cast<uint8_t>((seed * 7) % 32), 28,
                                   static_cast<uint8_t>((seed * 13) % 32)});
  const uint8_t ramp = c.Ramp(top, bottom, 64);
  c.Gradient(0, 480, ramp, 64);
  c.Disc(320, 200, 120, accent);
  c.Disc(320, 200, 100, ramp);
  for (int k = 0; k < 8; ++k) {
    const double a = (seed + k) * 3.14159265358979 / 4;
    c.Disc(320 + static_cast<int>(std::lround(150 * std::cos(a))),
           200 + static_cast<int>(std::lround(150 * std::sin(a))), 12, accent);
  }
  c.Frame(16, 16, 624, 464, 4, white);
  c.CentredText(glyphs, 200 - 36, title, ink, 3);
  c.CentredText(glyphs, 200 - 39, title, white, 3);
  c.CentredText(glyphs, 380, line, white, 1);
  return c;
}

std::vector<uint8_t> PictureOf(const Canvas& c) { return PictureFile(c.colours(), {c.Image()}); }

// Several pictures of one colour table (the canvases' tables must be equal).
std::vector<uint8_t> PicturesOf(const std::vector<Canvas>& cs) {
  std::vector<SprImage> images;
  for (const Canvas& c : cs) images.push_back(c.Image());
  return PictureFile(cs.front().colours(), images);
}

// An animation file: one unit and one one-frame animation per canvas (all of one colour table).
std::vector<uint8_t> AnimationsOf(const std::vector<Canvas>& cs, uint16_t ticks = 30) {
  std::vector<SprImage> images;
  std::vector<std::vector<SprUnitEntry>> units;
  std::vector<std::vector<SprFrameSpec>> animations;
  for (size_t n = 0; n < cs.size(); ++n) {
    images.push_back(cs[n].Image());
    units.push_back({BoxEntry(static_cast<uint16_t>(n), 0, 0, static_cast<int16_t>(cs[n].width()),
                              static_cast<int16_t>(cs[n].height()))});
    animations.push_back({{static_cast<uint16_t>(n), ticks}});
  }
  return AnimationFile(cs.front().colours(), images, units, animations);
}

// The colour table every labelled sprite of a file shares.
std::vector<SprRgb> LabelColours(SprRgb paper) {
  return {{0, 0, 0}, kWhite, kInk, paper, {31, 24, 8}};
}

// A sprite of `w` x `h`: paper with a frame and centred text (colour indexes of LabelColours).
Canvas Label(Glyphs& glyphs, int w, int h, SprRgb paper, const std::string& text, int scale = 1) {
  Canvas c(w, h, LabelColours(paper));
  c.Fill(3);
  c.Frame(0, 0, w, h, 2, 4);
  c.CentredText(glyphs, (h - 24 * scale) / 2, text, 2, scale);
  return c;
}

// ---- Sounds ----

std::vector<int16_t> Notes(const std::vector<double>& hz, uint32_t rate, uint32_t each,
                           int16_t amplitude) {
  std::vector<int16_t> out;
  for (double f : hz) {
    std::vector<int16_t> tone = Tone(1, rate, each, f, amplitude);
    // A short fade at both ends, so the notes do not click.
    for (uint32_t i = 0; i < each && i < 200; ++i) {
      tone[i] = static_cast<int16_t>(tone[i] * static_cast<int>(i) / 200);
      tone[each - 1 - i] = static_cast<int16_t>(tone[each - 1 - i] * static_cast<int>(i) / 200);
    }
    out.insert(out.end(), tone.begin(), tone.end());
  }
  return out;
}

// A voice: a warbling tone of about `frames` sixtieths of a second.
std::vector<uint8_t> SampleVoice(int n, int frames) {
  const uint32_t rate = 22050;
  std::vector<double> hz;
  for (int k = 0; k < frames / 6; ++k) hz.push_back(220.0 + 40.0 * ((k * (n + 3)) % 5));
  return PcmWav(1, rate, 16, Notes(hz, rate, rate / 10, 6000)).Bytes();
}

// ---- Scenes ----

constexpr uint8_t kOpWall = 0x2A;
constexpr uint8_t kOpBg = 0x33;
constexpr uint8_t kOpBgon = 0x28;
constexpr uint8_t kOpMusic = 0x21;
constexpr uint8_t kOpFace = 0x2B;
constexpr uint8_t kOpPrint = 0x22;
constexpr uint8_t kOpMacroend = 0x06;
constexpr uint8_t kOpSelect = 0x17;
constexpr uint8_t kOpFight = 0x1F;
// The extra scene's choices: messages 3 and 4 of its table, no voice.
constexpr uint16_t kExtraChoiceFirst = 3;
const char* const kExtraChoices[2] = {
    "不看特典，結束場景$$看特典",
    "影片測試$$音樂測試$$圖片測試",
};

std::vector<uint8_t> ExtraSceneScript() {
  ScriptWriter w;
  w.Command(kOpWall, {Lit(1)});
  w.Command(kOpBg, {Lit(1), Lit(0), Lit(0), Lit(0)});
  w.Command(kOpBgon);
  w.Command(kOpMusic, {Lit(1)});
  w.Command(kOpFace, {Lit(1)});
  w.Command(kOpPrint, {Lit(1)});
  w.Command(kOpPrint, {Lit(2)});
  // ---- The extras: a choice before the end (the window holds three lines, so two choices:
  // "no test" or the extras, then which test; A[0] = 1 movie, 2 sound, 3 picture) ----
  const ScriptLabel end = w.NewLabel();
  w.Command(kOpSelect, {Lit(kExtraChoiceFirst)});
  w.If(A(0), 0, Lit(2), end);
  w.Command(kOpSelect, {Lit(kExtraChoiceFirst + 1)});
  w.Special(Lit(16));
  w.Bind(end).EndIf();
  // ---- end of the extras ----
  w.Command(kOpMacroend);
  return w.Bytes();
}

// The new game's choices: messages 3-7 of its table, no voice. The last is asked first: the
// minigames or the battle; the first picks a group of minigames; the others name the games of
// each group.
constexpr uint16_t kNewGameChoiceFirst = 3;
const char* const kNewGameChoices[5] = {
    "小遊戲：游泳、打掃、料理$$小遊戲：拉霸、迷路、射擊$$小遊戲：花牌、測試",
    "游泳$$打掃$$料理",
    "拉霸$$迷路$$射擊",
    "花牌對局$$花牌大廳$$測試畫面",
    // Asked first: the minigames' choices above, or the battle.
    "小遊戲$$戰鬥",
};

// The new game: its two messages, then a choice that ends the scene in its battle (FIGHT,
// battle map 0) or plays a minigame and comes back to the second message when it is over (rows
// 1-3, 5-7, then 4, 8 and 0).
std::vector<uint8_t> NewGameScript() {
  ScriptWriter w;
  w.Command(kOpWall, {Lit(1)});
  w.Command(kOpMusic, {Lit(1)});
  w.Command(kOpPrint, {Lit(1)});
  const ScriptLabel again = w.NewLabel();
  const ScriptLabel group[3] = {w.NewLabel(), w.NewLabel(), w.NewLabel()};
  const ScriptLabel row[3] = {w.NewLabel(), w.NewLabel(), w.NewLabel()};
  const ScriptLabel play = w.NewLabel();
  w.Bind(again);
  w.Command(kOpPrint, {Lit(2)});
  // A[0] is the chosen line from 1; the jump lists count from 0.
  const ScriptLabel minigames = w.NewLabel();
  const ScriptLabel fight = w.NewLabel();
  w.Command(kOpSelect, {Lit(kNewGameChoiceFirst + 4)});
  w.Switch(0x2C, A(0), {again, minigames, fight});
  w.Goto(again);
  w.Bind(minigames);
  w.Command(kOpSelect, {Lit(kNewGameChoiceFirst)});
  w.Switch(0x2C, A(0), {again, group[0], group[1], group[2]});
  w.Goto(again);
  w.Bind(group[0]);
  w.Command(kOpSelect, {Lit(kNewGameChoiceFirst + 1)});
  w.Assign(VarA(1), VarA(0));  // rows 1-3
  w.Goto(play);
  w.Bind(group[1]);
  w.Command(kOpSelect, {Lit(kNewGameChoiceFirst + 2)});
  w.Assign(VarA(1), VarA(0), {{'+', Num(4)}});  // rows 5-7
  w.Goto(play);
  w.Bind(group[2]);
  w.Command(kOpSelect, {Lit(kNewGameChoiceFirst + 3)});
  w.Switch(0x2C, A(0), {again, row[0], row[1], row[2]});
  w.Goto(again);
  const uint16_t rows[3] = {4, 8, 0};
  for (int i = 0; i < 3; ++i) {
    w.Bind(row[i]);
    w.Assign(VarA(1), Num(rows[i]));
    w.Goto(play);
  }
  w.Bind(play);
  w.Command(kOpMinigame, {A(1)});
  w.Goto(again);
  w.Bind(fight);
  w.Command(kOpFight, {Lit(0)});
  return w.Bytes();
}

// One line each: the message window holds 19 wide characters a line.
const char* const kExtraMessages[2] = {
    "這是樣本的場景，全由我們自己做的。",
    "按決定鍵結束場景，回到標題。",
};
const char* const kNewGameMessages[2] = {
    "新的遊戲從這裡開始。",
    "樣本到此。按Shift開選項，載入或結束。",
};

// Two voiced messages (ids 1 and 2) and the choice lines after them (ids from 3, no voice).
std::vector<uint8_t> MessageTable(const char* const (&texts)[2], int first_voice,
                                  const std::vector<const char*>& choices = {}) {
  MessageTableWriter t;
  for (int i = 0; i < 2; ++i) {
    t.Add({static_cast<uint16_t>(i + 1), static_cast<uint16_t>(first_voice + i), "aiueoaiueo",
           Big5(texts[i])});
  }
  for (size_t i = 0; i < choices.size(); ++i) {
    t.Add({static_cast<uint16_t>(3 + i), 0, "", Big5(choices[i])});
  }
  return t.Bytes();
}

// ---- Files ----

class Out {
 public:
  Out(fs::path root, std::string* error) : root_(std::move(root)), error_(error) {}

  void Write(const std::string& rel, const std::vector<uint8_t>& bytes) {
    if (!ok_) return;
    const fs::path path = root_ / rel;
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) Fail("cannot write " + path.string());
  }
  void Fail(const std::string& why) {
    if (ok_ && error_ != nullptr) *error_ = why;
    ok_ = false;
  }
  void SetTime(const std::string& rel, int64_t seconds) {
    if (!ok_) return;
    std::error_code ec;
    const auto since = std::chrono::system_clock::from_time_t(static_cast<std::time_t>(seconds));
    fs::last_write_time(root_ / rel, fs::file_time_type::clock::from_sys(since), ec);
    if (ec) Fail("cannot set the time of " + rel);
  }
  fs::path Path(const std::string& rel) const { return root_ / rel; }
  bool ok() const { return ok_; }

 private:
  fs::path root_;
  std::string* error_;
  bool ok_ = true;
};

void WriteFont(Out& out, Glyphs& glyphs, const std::map<uint16_t, uint32_t>& characters) {
  std::vector<uint8_t> cht;
  std::vector<uint8_t> cht24;
  std::vector<uint8_t> eng12;
  for (const auto& [code, cp] : characters) {
    platform::PutLe16(cht, code);
    AppendPacked(cht24, glyphs.Of(cp, 24), 24);
  }
  for (uint32_t c = 32; c < 128; ++c) AppendPacked(eng12, glyphs.Of(c, 12), 12);
  out.Write("CHT.DAT", cht);
  out.Write("CHT24.DAT", cht24);
  out.Write("ENG12.DAT", eng12);
}

void WriteLogoAndOpening(Out& out, Glyphs& g) {
  const std::string sys = "tamvik1/system/";
  out.Write(sys + "zevalogo.spr",
            PictureOf(Card(g, kLogoTop, kLogoBottom, "TAMVIK", "樣本資料 SAMPLE DATA", 1)));
  std::vector<Canvas> logo;
  const char* const kLogoLines[4] = {"第一張", "第二張", "不顯示", "第三張"};
  for (int i = 0; i < 4; ++i) {
    logo.push_back(Card(g, {4, static_cast<uint8_t>(8 + 4 * i), 12}, {2, 4, 6}, "LOGO",
                        kLogoLines[i], 2 + i));
  }
  // One colour table serves the four: the cards lay out their tables alike, so the later ones
  // take the first one's colours and differ in their shapes and words.
  std::vector<SprImage> logo_images;
  for (const Canvas& c : logo) logo_images.push_back(c.Image());
  out.Write(sys + "LOGO.spr", PictureFile(logo.front().colours(), logo_images));
  out.Write(sys + "mstaff.spr",
            PictureOf(Card(g, {2, 12, 14}, {1, 4, 8}, "STAFF", "製作 TAMVIK 樣本小組", 6)));
  out.Write(sys + "minitamv.spr",
            PictureOf(Card(g, {16, 4, 20}, {6, 2, 8}, "TAMVIK", "小小的故事", 7)));
  out.Write(sys + "sis_bg2.spr",
            PictureOf(Card(g, {12, 10, 6}, {4, 3, 2}, "TAMVIK", "系統背景 二", 8)));
  out.Write(sys + "sis_bg3.spr",
            PictureOf(Card(g, {6, 10, 12}, {2, 3, 4}, "TAMVIK", "系統背景 三", 9)));

  // The opening's 17 captions: words on a dark strip, 24 pixels high.
  std::vector<SprRgb> colours{{0, 0, 0}, kWhite, {2, 2, 6}};
  std::vector<SprImage> images;
  std::vector<std::vector<SprUnitEntry>> units;
  for (int s = 0; s < 17; ++s) {
    const std::string text = "字幕 " + std::to_string(s + 1) + " 開場動畫";
    Canvas c(0, 0, colours);
    const int w = c.TextWidth(text, 1) + 16;
    Canvas cap(w, 24, colours);
    cap.Fill(2);
    cap.Text(g, 8, 0, text, 1);
    images.push_back(cap.Image());
    units.push_back({BoxEntry(static_cast<uint16_t>(s), 0, 0, static_cast<int16_t>(w), 24)});
  }
  out.Write(sys + "karaoke.spr", AnimationFile(colours, images, units, {}));
}

void WriteTitle(Out& out, Glyphs& g) {
  const std::string sys = "tamvik1/system/";
  // Animations 0-12: 0 the turned emblem, 1-9 the letters, 12 the start prompt; sprite 4 (the
  // fly-in picture) 100 rows high.
  const SprRgb paper{28, 22, 10};
  std::vector<Canvas> title;
  title.push_back(Label(g, 256, 64, paper, "TAMVIK", 2));
  const char* const kLetters[9] = {"T", "A", "M", "V", "", "K", "樣", "本", "版"};
  for (int i = 1; i <= 9; ++i) {
    if (i == 4) {
      title.push_back(Label(g, 320, 100, paper, "TAMVIK", 3));
    } else {
      title.push_back(Label(g, 56, 56, paper, kLetters[i - 1], 2));
    }
  }
  title.push_back(Label(g, 64, 32, paper, "10"));
  title.push_back(Label(g, 64, 32, paper, "11"));
  title.push_back(Label(g, 256, 32, paper, "PUSH START"));
  out.Write(sys + "title.spr", AnimationsOf(title));
  out.Write(sys + "tl_bg0.spr",
            PictureOf(Card(g, kTitleTop, kTitleBottom, "", "TAMVIK 樣本 標題畫面", 10)));
  Canvas rogo(400, 96, {{0, 0, 0}});
  const uint8_t white = rogo.Colour(kWhite);
  const uint8_t gold = rogo.Colour({31, 24, 8});
  rogo.Frame(0, 0, 400, 96, 3, gold);
  rogo.CentredText(g, 12, "TAMVIK", white, 3);
  out.Write(sys + "tl_rogo0.spr", PictureOf(rogo));
  out.Write(sys + "op_win.spr",
            PictureOf(Card(g, kMenuTop, {10, 12, 20}, "MENU", "選單的背景", 11)));
  // hana.bin: 45 frames, pink growing from both sides of every line.
  std::vector<PetalFrame> frames;
  for (int n = 0; n < 45; ++n) {
    const int painted = std::min(320, 8 * (n + 1));
    PetalLine line{0};
    const auto run = [&line](int length) {
      while (length > 254) {
        line.push_back(254);
        line.push_back(0);
        length -= 254;
      }
      line.push_back(static_cast<uint8_t>(length));
    };
    run(painted);
    run(640 - 2 * painted);
    if (painted < 320) run(painted);
    frames.emplace_back(480, line);
  }
  out.Write(sys + "hana.bin", PetalWipeFile(frames));
}

void WriteMenus(Out& out, Glyphs& g) {
  const std::string sys = "tamvik1/system/";
  // The slot menu: its pictures and icons (rows by used/cursor, scroll buttons).
  std::vector<Canvas> sistem;
  sistem.push_back(Label(g, 96, 24, {20, 20, 20}, "存檔"));
  out.Write(sys + "sistem.spr", AnimationsOf(sistem, 6));
  std::vector<Canvas> icons;
  const char* const kIcons[8] = {"○", "●", "◎", "★", "▲", "▼", "△", "▽"};
  for (int n = 0; n < 8; ++n) icons.push_back(Label(g, 24, 24, {10, 18, 28}, kIcons[n]));
  out.Write(sys + "sis_icon.spr", AnimationsOf(icons, 6));
  std::vector<Canvas> option{Label(g, 512, 386, {30, 30, 26}, "")};
  option.front().CentredText(g, 8, "選項 OPTION", 2, 1);
  out.Write(sys + "option.spr", AnimationsOf(option, 10));
  out.Write(sys + "exit_w.spr", AnimationsOf({Label(g, 512, 48, {30, 30, 30}, "")}, 10));
  std::vector<Canvas> caution;
  for (int k = 0; k < 4; ++k) {
    caution.push_back(Card(g, {20, 8, 4}, {6, 2, 2}, "DISC " + std::to_string(k),
                           "請放入光碟，然後按決定鍵。", 12));
  }
  out.Write(sys + "caution.spr", PicturesOf(caution));
  // The item icons.
  std::vector<Canvas> items;
  for (int n = 0; n < 10; ++n) items.push_back(Label(g, 32, 32, {8, 20, 12}, std::to_string(n)));
  out.Write("tamvik1/item/itemicon.spr", AnimationsOf(items, 10));
}

void WriteSounds(Out& out) {
  const uint32_t rate = 22050;
  // Static effects: short blips of their own pitch.
  const char* const kStatic[17] = {"TE00.WAV", "TE01.WAV", "TE02.WAV", "TE03.WAV", "TE04.WAV",
                                   "TE05.WAV", "Dummy.WAV", "TE07.WAV", "TE08.WAV", "TE09.WAV",
                                   "TE10.WAV", "TE11.WAV", "TE12.WAV", "TE13.WAV", "TE14.WAV",
                                   "TE15.WAV", "TE16.WAV"};
  for (int i = 0; i < 17; ++i) {
    out.Write("tamvik1/system/se/" + std::string(kStatic[i]),
              PcmWav(1, rate, 16, Notes({660.0 + 30.0 * i, 880.0 + 30.0 * i}, rate, rate / 20, 7000))
                  .Bytes());
  }
  // Streamed effects (system sounds 7, 29-32, 35, 36): falling sweeps.
  for (int n : {6, 28, 29, 30, 31, 34, 35}) {
    char name[32];
    std::snprintf(name, sizeof name, "TE%02d.wav", n);
    out.Write("tamvik1/system/se/" + std::string(name),
              PcmWav(1, rate, 16, Notes({990.0 - 5 * n, 740.0 - 5 * n, 550.0 - 5 * n}, rate,
                                        rate / 12, 7000))
                  .Bytes());
  }
  // The music: a short tune in IMA ADPCM, looping from its start.
  const std::vector<double> tune = {523.3, 659.3, 784.0, 659.3, 587.3, 698.5, 880.0, 698.5,
                                    523.3, 659.3, 784.0, 1046.5, 784.0, 659.3, 587.3, 523.3};
  WavFile music = ImaAdpcmWav(1, rate, Notes(tune, rate, rate / 4, 9000), 512);
  music.loop_point = 0;
  out.Write("tamvik1/bgm/sm01.wav", music.Bytes());
  // ---- The extras' sound test: entry 1 plays sm02 (a lower tune of its own) ----
  const std::vector<double> second = {392.0, 440.0, 493.9, 587.3, 493.9, 440.0, 392.0, 329.6};
  WavFile music2 = ImaAdpcmWav(1, rate, Notes(second, rate, rate / 4, 9000), 512);
  music2.loop_point = 0;
  out.Write("tamvik1/bgm/sm02.wav", music2.Bytes());
  // ---- end of the extras' sound test ----
  // The voices of the scenes' messages.
  for (int v = 1; v <= kSampleVoices; ++v) {
    char name[32];
    std::snprintf(name, sizeof name, "tamvik1/voice/%04d.wav", v);
    out.Write(name, SampleVoice(v, 72));
  }
}

void WriteSceneFiles(Out& out, Glyphs& g) {
  // The pointer, the command icons and the message window (frame and shades).
  out.Write("tamvik1/system/icon/icon2.spr", IconSprFile());
  out.Write("tamvik1/system/icon/point.spr", PointerSprFile());
  Canvas frame(608, 128, {{0, 0, 0}});
  const uint8_t body = frame.Colour(kWindowBody);
  const uint8_t edge = frame.Colour({24, 26, 31});
  frame.Fill(body);
  frame.Frame(0, 0, 608, 128, 4, edge);
  out.Write("tamvik1/system/window/window_b.spr", PictureOf(frame));
  out.Write("tamvik1/system/window/shade_wa.spr", PlainPictureFile(608, 128, 3));
  out.Write("tamvik1/system/window/shade_wb.spr", PlainPictureFile(640, 480, 3));
  // The town map's label file (read when a scene starts).
  out.Write("tamvik1/map/tmap2.spr", MapLabelFile());
  // The face.
  FaceFileContents face;
  face.records = {{0, 0, 32}};
  out.Write("tamvik1/system/kao.spr", FaceFile(face));
  // The wall (one spelling on disc: the game asks "KABE0100.SPR" and "Kabe0100.spr").
  out.Write("tamvik1/WALL/KABE0100.SPR",
            PictureOf(Card(g, {8, 14, 8}, {2, 6, 4}, "WALL", "牆 樣本場景", 13)));
  // Background 1 with a hit map (the picture as "1.spr", the map as "01.spr").
  Canvas bg(576, 320, {{0, 0, 0}});
  const uint8_t ramp = bg.Ramp({24, 26, 31}, {8, 16, 10}, 32);
  const uint8_t sun = bg.Colour({31, 26, 6});
  const uint8_t ink = bg.Colour(kInk);
  bg.Gradient(0, 320, ramp, 32);
  bg.Disc(460, 80, 40, sun);
  bg.Rect(0, 250, 576, 320, static_cast<uint8_t>(ramp + 31));
  bg.Text(g, 24, 24, "背景 BG 1", ink, 2);
  SprFileWriter writer;
  writer.Add(1, ColourPart(bg.colours()));
  writer.Add(2, ImagePart({bg.Image()}));
  writer.Add(12, HitPart({{SprHitRow{1, {0, 0, 1151, 639}}}}));
  const std::vector<uint8_t> bg_file = writer.Build();
  out.Write("tamvik1/bg/1.spr", bg_file);
  out.Write("tamvik1/bg/01.spr", bg_file);
}

// ---- The extras' files (flow/tamvik_omake.cpp, flow/omake_lists.cpp) ----

// A window page of `w` x `h`: paper, a frame and its words in the lower right (the titles go over
// the rest, drawn by the game).
Canvas ExtrasPage(Glyphs& g, int w, int h, SprRgb paper, const std::string& words) {
  Canvas c(w, h, LabelColours(paper));
  c.Fill(3);
  c.Frame(0, 0, w, h, 2, 4);
  c.Text(g, w - c.TextWidth(words, 1) - 8, h - 28, words, 2);
  return c;
}

void WriteExtras(Out& out, Glyphs& g) {
  const std::string sys = "tamvik1/system/";
  // The movie test: pages 0-6 are sprites 0-6, 500 x 376.
  std::vector<Canvas> movie;
  for (int p = 0; p < 7; ++p) {
    movie.push_back(ExtrasPage(g, 500, 376, {6, 10, 20}, "影片 " + std::to_string(p + 1)));
  }
  out.Write(sys + "omkmov_w.spr", AnimationsOf(movie, 10));
  // The sound test: twelve sprites, pages 0-4 are sprites 7-11, 480 x 376.
  std::vector<Canvas> sound;
  for (int n = 0; n < 12; ++n) {
    const std::string words = n < 7 ? "音樂" : "音樂 " + std::to_string(n - 6);
    sound.push_back(ExtrasPage(g, 480, 376, {6, 16, 10}, words));
  }
  out.Write(sys + "omksnd_w.spr", AnimationsOf(sound, 10));
  // The picture test: pages 0-1, 208 x 384; the icons 64 x 64 (0 the cursor, 1-13 the pictures).
  std::vector<Canvas> buro;
  for (int p = 0; p < 2; ++p) {
    buro.push_back(ExtrasPage(g, 208, 384, {16, 8, 14}, "圖片 " + std::to_string(p + 1)));
  }
  out.Write(sys + "buro_w.spr", AnimationsOf(buro, 10));
  std::vector<Canvas> icons;
  for (int n = 0; n < 14; ++n) {
    if (n == 0) {
      Canvas cursor(64, 64, LabelColours({0, 0, 0}));
      cursor.Frame(0, 0, 64, 64, 4, 4);
      icons.push_back(cursor);
    } else {
      icons.push_back(Label(g, 64, 64, {20, 12, 18}, std::to_string(n)));
    }
  }
  out.Write("tamvik1/item/buroicon.spr", AnimationsOf(icons, 10));
  // The walls behind the three screens (one spelling: "WALL" as the wall command asks).
  out.Write("tamvik1/WALL/omake1.spr",
            PictureOf(Card(g, {4, 6, 16}, {2, 2, 6}, "MOVIE", "特典 影片測試", 14)));
  out.Write("tamvik1/WALL/omake2.spr",
            PictureOf(Card(g, {16, 6, 12}, {6, 2, 4}, "PICTURE", "特典 圖片測試", 15)));
  out.Write("tamvik1/WALL/omake3.spr",
            PictureOf(Card(g, {4, 14, 8}, {2, 6, 2}, "SOUND", "特典 音樂測試", 16)));
  // Pictures 1 and 7 (system.dat's picturesSeen bits 0 and 16), 360 x 380.
  for (int n : {1, 7}) {
    Canvas c(360, 380, {{0, 0, 0}});
    const uint8_t white = c.Colour(kWhite);
    const uint8_t ramp = c.Ramp({20, 10, 24}, {4, 6, 14}, 32);
    c.Gradient(0, 380, ramp, 32);
    c.Disc(180, 170, 90, static_cast<uint8_t>(ramp + 4 * n));
    c.Frame(0, 0, 360, 380, 4, white);
    c.CentredText(g, 140, "圖片 " + std::to_string(n), white, 2);
    char name[32];
    std::snprintf(name, sizeof name, "tamvik1/item/buro%02d.spr", n);
    out.Write(name, PictureOf(c));
  }
}

// The choice window the extra scene asks with: the plain window (512 x 176, an 8-pixel frame,
// keyed inside), the bar under a line (480 x 32) and the gauge's needle and steam.
void WriteChoiceFiles(Out& out, Glyphs& g) {
  const std::string win = "tamvik1/system/window/";
  Canvas frame(512, 176, LabelColours({0, 0, 0}));
  frame.Frame(0, 0, 512, 176, 8, 4);
  frame.Text(g, 512 - frame.TextWidth("選擇", 1) - 12, 176 - 32, "選擇", 1);
  out.Write(win + "window_c.spr", PictureOf(frame));
  Canvas bar(480, 32, LabelColours({24, 20, 6}));
  bar.Fill(3);
  out.Write(win + "LipsCur.spr", PictureOf(bar));
  out.Write("tamvik1/system/R_hari.spr", NeedleSprFile());
  out.Write("tamvik1/system/jyouki.spr", SteamSprFile());
}

// ---- end of the extras' files ----

void WriteScenesAndSaves(Out& out) {
  out.Write("Macro/0109.bin", ExtraSceneScript());
  out.Write("Macro/0109tbl.bin", MessageTable(kExtraMessages, 1, {kExtraChoices[0], kExtraChoices[1]}));
  out.Write("Macro/0100.bin", NewGameScript());
  out.Write("Macro/0100tbl.bin", MessageTable(kNewGameMessages, 3, {kNewGameChoices[0], kNewGameChoices[1], kNewGameChoices[2], kNewGameChoices[3], kNewGameChoices[4]}));
  ByteBuilder system = SystemDataBytes();
  system.U32(80, 0x80);  // endingsSeen bit 7: the title offers the extra scenario
  system.U32(84, 0x10001);  // picturesSeen bits 0 and 16: the extras show pictures 1 and 7
  out.Write("save/system.dat", system.bytes());
  SaveFileSpec slot;
  slot.scene = kSampleExtraScene;
  slot.depth1 = 0;
  slot.depth2 = 0;
  slot.stack_base = 0;
  slot.a_base = 0;
  slot.p_base = 0;
  out.Write("save/data1.sav", SaveFileBytes(slot));
  out.SetTime("save/system.dat", kSampleSaveTime);
  out.SetTime("save/data1.sav", kSampleSaveTime);
}

void WriteMovies(Out& out, const SampleOptions& options) {
  std::error_code ec;
  fs::create_directories(out.Path("Movie"), ec);
  std::string error;
  platform::ffmpeg::TestMovieOptions logo;
  logo.width = 160;
  logo.height = 120;
  logo.frames = 50;
  logo.sample_rate = 22050;
  if (!platform::ffmpeg::WriteTestMovie(out.Path("Movie/Vexlogo.mpg").string(), logo, &error)) {
    out.Fail("Vexlogo.mpg: " + error);
    return;
  }
  platform::ffmpeg::TestMovieOptions opening = logo;
  opening.frames = options.opening_pictures;
  opening.tone_start = 0.5;
  if (!platform::ffmpeg::WriteTestMovie(out.Path("Movie/Movie000.mpg").string(), opening,
                                        &error)) {
    out.Fail("Movie000.mpg: " + error);
  }
}

// ---- The scene after the new game's battle (the scene the succession names after the new
// game's): two messages, then the extras scene's code, whose end takes the manager back to the
// title. ----
const char* const kAfterBattleMessages[2] = {
    "戰鬥勝利！",
    "接著是特典場景，結束後回到標題。",
};
std::vector<uint8_t> AfterBattleScript() {
  ScriptWriter w;
  w.Command(kOpWall, {Lit(1)});
  w.Command(kOpMusic, {Lit(1)});
  w.Command(kOpPrint, {Lit(1)});
  w.Command(kOpPrint, {Lit(2)});
  w.NextScene(109);
  return w.Bytes();
}
// ---- end of the scene after the battle ----

// ---- The new game's battle: the battle builder's dressed form (every folder under
// "TaMvIk2", which nothing else of the sample uses), copied file by file ----
constexpr uint16_t kBattleFace = 510;  // the battle's face when none is set
void WriteBattle(Out& out) {
  GameTree tree;
  BattleInstall(BattleInstall::Form::kDressed).Lay(tree);
  const fs::path from(tree.install());
  std::error_code ec;
  for (fs::recursive_directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file()) continue;
    std::ifstream in(it->path(), std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    out.Write(fs::relative(it->path(), from).generic_string(), bytes);
  }
  if (ec) out.Fail("cannot copy the battle: " + ec.message());
  out.Write("Macro/0101.bin", AfterBattleScript());
  out.Write("Macro/0101tbl.bin", MessageTable(kAfterBattleMessages, 5));
  // What the road to it and its set-up show besides: the eyecatch of the offer to save before
  // the battle (its window faces and picture), the loading picture and the battle's face file
  // (the face shown when none is set).
  out.Write("tamvik1/icatch/ic01.spr", IcatFaceFile());
  out.Write("tamvik1/icatch/ic0100.spr", EyecatchPictureFile(100));
  out.Write("tamvik1/system/nowload.spr", PlainScreenFile({6, 6, 10}));
  FaceFileContents faces;
  faces.records.push_back({.index = kBattleFace - 1, .result = 0, .eye_top = 32});
  out.Write("TaMvIk2/system/kaoslg.spr", FaceFile(faces));
}
// ---- end of the new game's battle ----

// ---- Lost-child game (row 6): its od file, the universal pictures with a message window of a
// useful size (slot 500, its empty page 501) ----
void WriteLostChildGame(Out& out) {
  OdWriter od = UniversalOd();
  od.Solid(500, 576, 88, 240, 232, 208).Solid(501, 576, 88, 240, 232, 208);
  out.Write("tamvik3/od/mg_maigo.od", od.Build());
}
// ---- Cooking game (minigame row 3): its od file ----
// Every slot a small solid (UniversalOd), with the pictures that must be seen at their size:
// the background, the three panel faces, the knife, the pan and the text window with its empty
// background (slots 100 and 101). No result voice (text 200 empty).
void WriteCookingOd(Out& out) {
  OdWriter od = UniversalOd({200});
  od.Solid(1, 640, 480, 96, 72, 48);
  od.Solid(10, 448, 288, 200, 168, 120);
  od.Solid(11, 448, 288, 232, 224, 208);
  od.Solid(12, 448, 288, 64, 64, 72);
  od.Solid(20, 24, 96, 200, 200, 216);
  od.Solid(21, 4, 40, 72, 48, 32);
  od.Solid(100, 608, 112, 248, 244, 232);
  od.Solid(101, 608, 112, 248, 244, 232);
  out.Write("tamvik3/od/mg_cook.od", od.Build());
}
// ---- end of the cooking game ----

}  // namespace

std::vector<uint8_t> BoxGlyph(uint32_t code_point, int width) {
  std::vector<uint8_t> levels(static_cast<size_t>(width) * 24, 0);
  if (code_point == 0x20 || code_point == 0x3000) return levels;
  for (int row = 2; row <= 21; ++row) {
    for (int col = 1; col <= width - 2; ++col) {
      if (row == 2 || row == 21 || col == 1 || col == width - 2) {
        levels[static_cast<size_t>(row * width + col)] = 15;
      }
    }
  }
  return levels;
}

// ---- Flower-card rows (4 and 9-15): each row's od file, the universal pictures and the line
//      texts, with no voices, faces or music named ----
void WriteHanaFiles(Out& out) {
  std::vector<int> empty = {30};
  for (int i = 50; i < 75; ++i) empty.push_back(i);
  for (int i = 100; i < 111; ++i) empty.push_back(i);
  const std::vector<uint8_t> od = UniversalOd(empty).Build();
  for (const char* name : {"mg_hana", "mg_aysol", "mg_brise", "mg_lunet", "mg_davon", "mg_tamvi",
                           "mg_zuqel", "mg_zuq2"}) {
    out.Write("tamvik3/od/" + std::string(name) + ".od", od);
  }
}
// ---- end of the flower-card rows ----

// ---- Flower-card hub (row 8): its od file, the universal pictures with a background and a
//      menu panel at their size ----
void WriteHanaHubOd(Out& out) {
  OdWriter od = UniversalOd();
  od.Solid(100, 640, 480, 40, 64, 48).Solid(102, 640, 480, 24, 32, 40);
  out.Write("tamvik3/od/mg_koi.od", od.Build());
}
// ---- end of the flower-card hub ----

std::vector<std::string> GatherSourceTexts(const std::string& root) {
  std::vector<std::string> texts;
  std::set<std::string> seen;
  const char* const kFolders[] = {"engine", "game", "scene", "flow", "battle", "battle_events",
                                  "battle_effects", "minigames", "debug"};
  for (const char* folder : kFolders) {
    std::error_code ec;
    const fs::path dir = fs::path(root) / folder;
    if (!fs::is_directory(dir, ec)) continue;
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir, ec)) {
      const std::string ext = entry.path().extension().string();
      if (entry.is_regular_file() && (ext == ".cpp" || ext == ".h")) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
      std::ifstream in(file, std::ios::binary);
      std::stringstream buffer;
      buffer << in.rdbuf();
      const std::string text = buffer.str();
      // String literals: from a '"' to the next unescaped '"' on the same line.
      for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '/' && i + 1 < text.size() && text[i + 1] == '/') {
          i = text.find('\n', i);
          if (i == std::string::npos) break;
          continue;
        }
        if (text[i] == '\'' && i + 2 < text.size()) {
          // A character literal: skip it whole ('"' among them).
          const size_t end = text.find('\'', i + (text[i + 1] == '\\' ? 3 : 2));
          if (end != std::string::npos && end - i <= 4) i = end;
          continue;
        }
        if (text[i] != '"') continue;
        std::string literal;
        bool wide = false;
        size_t j = i + 1;
        for (; j < text.size() && text[j] != '"' && text[j] != '\n'; ++j) {
          if (text[j] == '\\' && j + 1 < text.size()) {
            ++j;
            continue;
          }
          if (static_cast<uint8_t>(text[j]) >= 0x80) wide = true;
          literal.push_back(text[j]);
        }
        i = j;
        if (wide && seen.insert(literal).second) texts.push_back(literal);
      }
    }
  }
  return texts;
}

std::vector<std::string> SampleTexts() {
  std::vector<std::string> texts = {
      "樣本資料 SAMPLE DATA", "第一張", "第二張", "不顯示", "第三張", "製作 TAMVIK 樣本小組",
      "小小的故事", "系統背景 二", "系統背景 三", "開場動畫", "字幕", "樣本版",
      "TAMVIK 樣本 標題畫面", "選單的背景", "存檔", "○●◎★▲▼△▽", "選項 OPTION",
      "請放入光碟，然後按決定鍵。", "牆 樣本場景", "背景 BG 1",
      // The extras' pages, walls and pictures.
      "影片 音樂 圖片 特典 影片測試 特典 圖片測試 特典 音樂測試 選擇",
  };
  for (const char* t : kExtraMessages) texts.emplace_back(t);
  for (const char* t : kExtraChoices) texts.emplace_back(t);
  for (const char* t : kNewGameMessages) texts.emplace_back(t);
  for (const char* t : kNewGameChoices) texts.emplace_back(t);
  for (const char* t : kAfterBattleMessages) texts.emplace_back(t);
  return texts;
}

std::vector<uint16_t> SampleFontCodes(const std::vector<std::string>& extra_texts) {
  std::vector<uint16_t> codes;
  for (const auto& [code, cp] : FontCharacters(extra_texts)) codes.push_back(code);
  return codes;
}

uint32_t SampleLogoColour() { return SprColourRef(kLogoTop); }
uint32_t SampleTitleColour() { return SprColourRef(kTitleTop); }
uint32_t SampleMenuColour() { return SprColourRef(kMenuTop); }
uint32_t SampleWindowColour() { return SprColourRef(kWindowBody); }

// ---- Swimming game and test entry: their od files (rows 1 and 0) ----
namespace {
void WriteSwimAndTestOd(Out& out) {
  // Text 200 (the result voice of the common menu) stays empty: the sample has no such voice.
  out.Write("tamvik3/od/mg_swim.od", UniversalOd({200}).Build());
  out.Write("tamvik3/od/mg_test.od", UniversalOd({200}).Build());
}
}  // namespace
// ---- Shooting game: its od file (row 7) ----
namespace {
void WriteShootingGame(Out& out) { out.Write("tamvik3/od/mg_shot.od", ShotOd().Build()); }
}  // namespace
// ---- end of the shooting game ----

// ---- Minigame sounds: the games' effects, voices and music (short tones of our own) ----
namespace {
void WriteMinigameSounds(Out& out) {
  const uint32_t rate = 22050;
  const char* const kEffects[] = {
      "cook07", "cook08", "hana07", "hana08", "hana10", "hana11", "hana13",
      "hana14", "maigo07", "maigo09", "maigo10", "maigo11", "maigo12", "shot07",
      "shot08", "shot10", "shot11", "slot07", "slot08", "slot09", "souji08",
      "souji09", "swim07", "swim08", "swim09", "system00", "system01", "system02",
      "system03",
  };
  int n = 0;
  for (const char* name : kEffects) {
    ++n;
    out.Write("tamvik3/se/" + std::string(name) + ".wav",
              PcmWav(1, rate, 16, Notes({700.0 + 20.0 * n, 520.0 + 20.0 * n}, rate, rate / 20, 7000))
                  .Bytes());
  }
  const char* const kVoices[] = {
      "2084", "2331", "2332", "2333", "2334", "2335", "2336", "2337",
      "2338", "2357", "2358a", "2358b", "2358c", "2358d", "2358e", "2358f",
      "2358g", "2358h", "2359", "2360", "2361", "2362", "2363", "2364",
      "2385", "2386", "2411", "2412", "2413a", "2413b", "2413c", "2414a",
      "2414b", "2414c", "2415", "2416", "2418", "2419", "2420", "2421",
      "2442", "2443", "2444", "2445", "2446", "2447", "2448", "2449",
      "2450", "2451", "2452", "2453", "2454", "2455", "2456", "2458",
      "2459", "2504",
  };
  n = 0;
  for (const char* name : kVoices) {
    out.Write("tamvik3/voice/" + std::string(name) + ".wav", SampleVoice(++n, 30));
  }
  const std::vector<double> tune = {440.0, 523.3, 659.3, 523.3, 587.3, 698.5, 587.3, 493.9};
  for (const char* name : {"brise", "davone", "lunet", "minigame", "tamvik", "ysol"}) {
    WavFile music = ImaAdpcmWav(1, rate, Notes(tune, rate, rate / 4, 8000), 512);
    music.loop_point = 0;
    out.Write("tamvik1/bgm/" + std::string(name) + ".wav", music.Bytes());
  }
}
}  // namespace
// ---- end of the minigame sounds ----
namespace {

// ---- Slot machine (game row 5): its od file ----
void WriteSlotGame(Out& out) {
  // Its effects and music are among the minigame sounds above.
  out.Write("tamvik3/od/mg_slot.od", UniversalOd({200}).Build());
}

}  // namespace
// ---- The cleaning game (minigame row 2): its od file, the universal one with 64 x 96 floor,
//      wall, front and edge tiles in slots 1-4 ----
void WriteCleaningGame(Out& out) {
  OdWriter od = UniversalOd({200});
  od.Solid(1, 64, 96, 200, 190, 160)   // floor
      .Solid(2, 64, 96, 90, 70, 60)    // wall
      .Solid(3, 64, 96, 120, 160, 90)  // front tile
      .Solid(4, 64, 96, 60, 50, 50);   // the edge column
  out.Write("tamvik3/od/mg_souji.od", od.Build());
}
// ---- end of the cleaning game ----

bool WriteSampleData(const std::string& dir, const SampleOptions& options, std::string* error) {
  Out out{fs::path(dir), error};
  Glyphs glyphs(options.raster);
  WriteFont(out, glyphs, FontCharacters(options.extra_texts));
  WriteLogoAndOpening(out, glyphs);
  WriteTitle(out, glyphs);
  WriteMenus(out, glyphs);
  WriteSounds(out);
  WriteSceneFiles(out, glyphs);
  WriteExtras(out, glyphs);
  WriteChoiceFiles(out, glyphs);
  WriteScenesAndSaves(out);
  WriteBattle(out);
  WriteMovies(out, options);
  WriteSwimAndTestOd(out);
  WriteLostChildGame(out);
  WriteShootingGame(out);
  WriteMinigameSounds(out);
  WriteCookingOd(out);
  WriteSlotGame(out);
  WriteHanaFiles(out);
  WriteHanaHubOd(out);
  WriteCleaningGame(out);
  return out.ok();
}

}  // namespace testsupport
