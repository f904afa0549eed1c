#include "testsupport/sample_data.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <utility>

#include "platform/ffmpeg/test_movie.h"
#include "platform/little_endian.h"
#include "testsupport/eyecatch_files.h"
#include "testsupport/lips_files.h"
#include "testsupport/petal_wipe_writer.h"
#include "testsupport/portrait_writer.h"
#include "testsupport/program_messages.h"
#include "testsupport/sample_art.h"
#include "testsupport/save_data_builder.h"
#include "testsupport/scene_files.h"
#include "testsupport/script_writer.h"
#include "testsupport/wav_writer.h"

namespace testsupport {

namespace fs = std::filesystem;
using namespace sample;

namespace {

// ---- The scenes' texts (UTF-8 here, Big5 in the files; full width as the game's own) ----

// One line each: the message window holds 19 wide characters a line.
const char* const kExtraMessages[2] = {
    "這是樣本的場景，全由我們自己做的。",
    "按決定鍵結束場景，回到標題。",
};
const char* const kNewGameMessages[2] = {
    "新的遊戲從這裡開始。",
    "選擇小遊戲或戰鬥。Ｓｈｉｆｔ鍵開選項。",
};
const char* const kAfterBattleMessages[2] = {
    "戰鬥勝利！",
    "接著是特典場景，結束後回到標題。",
};

// The extra scene's choices, messages 3-8 of its table (no voice): the end, the extras' tests
// or the minigames in free play; which test; which group of minigames; which game of a group.
constexpr uint16_t kExtraChoiceFirst = 3;
const char* const kExtraChoices[6] = {
    "不看特典，結束場景$$看特典$$自由遊玩小遊戲",
    "影片測試$$音樂測試$$圖片測試",
    "游泳、打掃、料理$$拉霸、迷路、射擊$$花牌、花牌大廳",
    "游泳$$打掃$$料理",
    "拉霸$$迷路$$射擊",
    "花牌$$花牌大廳",
};

// The new game's choices, messages 3-7 of its table (no voice). The last is asked first: the
// minigames or the battle; the first picks a group of minigames; the others name the games.
constexpr uint16_t kNewGameChoiceFirst = 3;
const char* const kNewGameChoices[5] = {
    "小遊戲：游泳、打掃、料理$$小遊戲：拉霸、迷路、射擊$$小遊戲：花牌",
    "游泳$$打掃$$料理",
    "拉霸$$迷路$$射擊",
    "花牌對局$$花牌大廳",
    "小遊戲$$戰鬥",
};

// The opening's captions (sprites 0-16 of karaoke.spr; 11-16 belong to the second disc's movie).
const char* const kCaptions[17] = {
    "很久以前，有一座小鎮。", "鎮上住著一位少年。",   "他每天都在廣場上練劍。",
    "有一天，天空變暗了。",   "遠方傳來奇怪的聲音。", "少年拿起了他的劍。",
    "朋友們也來幫忙。",       "大家一起出發了。",     "路上有許多考驗。",
    "也有許多歡笑。",         "這就是我們的故事。",   "新的旅程開始了。",
    "少年長大了。",           "他回到了小鎮。",       "小鎮又熱鬧起來。",
    "大家都在等他。",         "故事還會繼續。",
};

// Words drawn into the sample's pictures (their characters go into the font too).
const char* const kPictureWords[] = {
    "樣本資料 第一張 第二張 不顯示 第三張 製作 樣本小組 小小的故事 開場動畫 二 樣本版",
    "選單 存檔 ○●◎★▲▼△▽ 選項 請放入光碟，然後按決定鍵。 牆 樣本場景 小鎮的廣場",
    "影片 音樂 圖片 特典 影片測試 圖片測試 音樂測試 選擇 幕間 第一話 旅程的開始 載入中"};

// ---- Font ----

void AppendPacked(std::vector<uint8_t>& out, const std::vector<uint8_t>& levels, int width) {
  for (int row = 0; row < 24; ++row) {
    for (int col = 0; col < width; col += 2) {
      const uint8_t left = levels[static_cast<size_t>(row * width + col)];
      const uint8_t right = levels[static_cast<size_t>(row * width + col + 1)];
      out.push_back(static_cast<uint8_t>((left << 4) | right));
    }
  }
}

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

// ---- Colours the tests know the pictures by ----

constexpr SprRgb kLogoTop{6, 4, 20};
constexpr SprRgb kLogoBottom{20, 6, 14};
constexpr SprRgb kTitleTop{4, 10, 24};
constexpr SprRgb kTitleBottom{24, 16, 26};
constexpr SprRgb kWindowBody{4, 6, 16};
constexpr SprRgb kMenuTop{20, 24, 31};
constexpr SprRgb kCaptionStrip{2, 2, 10};
constexpr SprRgb kPromptColour{31, 28, 6};
constexpr SprRgb kLogoFrame{31, 24, 8};
constexpr SprRgb kGold{31, 24, 8};
constexpr SprRgb kShade{28, 27, 22};

// ---- Logo, staff card and opening ----

void WriteLogoAndOpening(Out& out, Glyphs& g) {
  const std::string sys = "tamvik1/system/";
  out.Write(sys + "zevalogo.spr",
            PictureOf(Card(g, kLogoTop, kLogoBottom, "TAMVIK", "樣本資料 SAMPLE DATA", 1)));
  std::vector<Canvas> logo;
  const char* const kLogoLines[4] = {"第一張", "第二張", "不顯示", "第三張"};
  for (int i = 0; i < 4; ++i) {
    logo.push_back(
        Card(g, {4, static_cast<uint8_t>(8 + 4 * i), 12}, {2, 4, 6}, "LOGO", kLogoLines[i], 2 + i));
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
  // The backdrop of the opening movie (the second disc's is the third): dark, a frame round the
  // movie's place (32,32)-(608,320), its name below where the captions come.
  for (int n : {2, 3}) {
    Canvas backdrop(640, 480, {{0, 0, 0}});
    backdrop.Fill(backdrop.Colour({1, 1, 2}));
    backdrop.Frame(26, 26, 614, 326, 3, backdrop.Colour(n == 2 ? kGold : SprRgb{20, 24, 31}));
    backdrop.CentredText(g, 392, n == 2 ? "開場動畫" : "開場動畫 二", backdrop.Colour(kWhite));
    out.Write(sys + "sis_bg" + std::to_string(n) + ".spr", PictureOf(backdrop));
  }

  // The opening's 17 captions: white words with a dark edge on a dark strip, 32 pixels high.
  std::vector<SprRgb> colours{{0, 0, 0}, kWhite, kCaptionStrip, kInk};
  std::vector<SprImage> images;
  std::vector<std::vector<SprUnitEntry>> units;
  for (int s = 0; s < 17; ++s) {
    const std::string text = kCaptions[s];
    const int w = Canvas::TextWidth(text) + 24;
    Canvas cap(w, 32, colours);
    cap.Fill(2);
    cap.OutlinedText(g, 12, 4, text, 1, 3);
    images.push_back(cap.Image());
    units.push_back({BoxEntry(static_cast<uint16_t>(s), 0, 0, static_cast<int16_t>(w), 32)});
  }
  out.Write(sys + "karaoke.spr", AnimationFile(colours, images, units, {}));
}

// ---- Title ----

constexpr int kPromptX = kSamplePromptBox.x;
constexpr int kPromptY = kSamplePromptBox.y;
constexpr int kPromptW = kSamplePromptBox.w;
constexpr int kPromptH = kSamplePromptBox.h;
constexpr int kLogoX = kSampleLogoBox.x;
constexpr int kLogoY = kSampleLogoBox.y;
constexpr int kLogoW = kSampleLogoBox.w;
constexpr int kLogoH = kSampleLogoBox.h;

void WriteTitle(Out& out, Glyphs& g) {
  const std::string sys = "tamvik1/system/";
  // title.spr: image 0 the crest turned in at (248, 231), images 1-3 and 5-10 the nine stages of
  // the letters, image 4 the fly-in picture (sprite 4, which comes to rest at (284, 14)), 11 the
  // prompt and 12 its blank half. Units carry the places; animation n plays unit n.
  std::vector<SprRgb> colours = LabelColours({28, 22, 10});
  colours.push_back(kPromptColour);  // 5
  colours.push_back({6, 4, 14});     // 6 the crest's field
  std::vector<Canvas> images;
  Canvas crest(128, 128, colours);
  crest.Disc(64, 64, 62, 4);
  crest.Disc(64, 64, 52, 6);
  crest.CentredText(g, 28, "T", 1, 3);
  images.push_back(crest);
  const char* const kStages[9] = {"T",      "TA",        "TAM",         "TAMV",         "TAMVI",
                                  "TAMVIK", "TAMVIK 樣", "TAMVIK 樣本", "TAMVIK 樣本版"};
  std::vector<Canvas> stages;
  for (const char* text : kStages) {
    Canvas c(336, 56, colours);
    c.OutlinedText(g, 8, 4, text, 4, 2, 2);
    stages.push_back(c);
  }
  for (int i = 0; i < 3; ++i) images.push_back(stages[static_cast<size_t>(i)]);
  Canvas fly(320, 100, colours);
  fly.Fill(3);
  fly.Frame(0, 0, 320, 100, 4, 4);
  fly.CentredText(g, 14, "TAMVIK", 2, 3);
  images.push_back(fly);
  for (int i = 3; i < 9; ++i) images.push_back(stages[static_cast<size_t>(i)]);
  Canvas prompt(kPromptW, kPromptH, colours);
  prompt.OutlinedText(g, (kPromptW - Canvas::TextWidth("PUSH START", 1)) / 2, 8, "PUSH START", 5,
                      2);
  images.push_back(prompt);
  images.push_back(Canvas(kPromptW, kPromptH, colours));
  std::vector<SprImage> sprites;
  for (const Canvas& c : images) sprites.push_back(c.Image());
  const auto box = [&images](int image, int x, int y) {
    const Canvas& c = images[static_cast<size_t>(image)];
    return std::vector<SprUnitEntry>{
        BoxEntry(static_cast<uint16_t>(image), static_cast<int16_t>(x), static_cast<int16_t>(y),
                 static_cast<int16_t>(c.width()), static_cast<int16_t>(c.height()))};
  };
  std::vector<std::vector<SprUnitEntry>> units;
  units.push_back(box(0, -64, -64));
  const int kStageImage[9] = {1, 2, 3, 5, 6, 7, 8, 9, 10};
  for (int image : kStageImage) units.push_back(box(image, 152, 300));
  units.push_back(box(kStageImage[8], 152, 300));  // 10 and 11 as the last stage
  units.push_back(box(kStageImage[8], 152, 300));
  units.push_back(box(11, kPromptX, kPromptY));  // 12 the prompt
  units.push_back(box(12, kPromptX, kPromptY));  // 13 its blank half
  std::vector<std::vector<SprFrameSpec>> animations;
  for (uint16_t n = 0; n < 12; ++n) animations.push_back({{n, 30}});
  animations.push_back({{12, 40}, {13, 20}});
  out.Write(sys + "title.spr", AnimationFile(colours, sprites, units, animations));

  // The background: sky, a sun behind hills, the town's roofs.
  Canvas bg(640, 480, {{0, 0, 0}});
  const uint8_t sky = bg.Ramp(kTitleTop, kTitleBottom, 48);
  bg.Gradient(0, 480, sky, 48);
  bg.Disc(470, 250, 70, bg.Colour({31, 26, 12}));
  const uint8_t hill = bg.Colour({6, 14, 10});
  const uint8_t near_hill = bg.Colour({3, 9, 6});
  bg.Ellipse(150, 470, 330, 150, hill);
  bg.Ellipse(560, 480, 300, 120, hill);
  bg.Rect(0, 430, 640, 480, near_hill);
  const uint8_t roof = bg.Colour({18, 6, 6});
  const uint8_t wall = bg.Colour({24, 22, 18});
  for (int k = 0; k < 6; ++k) {
    const int x = 40 + k * 100;
    const int y = 380 + (k % 2) * 12;
    bg.Rect(x, y, x + 60, 432, wall);
    bg.Polygon({{x - 8, y}, {x + 30, y - 30}, {x + 68, y}}, roof);
  }
  out.Write(sys + "tl_bg0.spr", PictureOf(bg));

  // The logo: a framed name plate at its place on a keyed whole screen.
  Canvas rogo(640, 480, {{0, 0, 0}});
  const uint8_t white = rogo.Colour(kWhite);
  const uint8_t frame = rogo.Colour(kLogoFrame);
  const uint8_t plate = rogo.Colour({4, 4, 14});
  rogo.Rect(kLogoX, kLogoY, kLogoX + kLogoW, kLogoY + kLogoH, plate);
  rogo.Frame(kLogoX, kLogoY, kLogoX + kLogoW, kLogoY + kLogoH, 6, frame);
  rogo.Text(g, kLogoX + (kLogoW - Canvas::TextWidth("TAMVIK", 4)) / 2, kLogoY + 16, "TAMVIK", white,
            4);
  rogo.Text(g, kLogoX + (kLogoW - Canvas::TextWidth("樣本版")) / 2, kLogoY + 120, "樣本版", frame);
  out.Write(sys + "tl_rogo0.spr", PictureOf(rogo));

  // The menu's picture, the window's size (416 x 304): light paper under the dark rows.
  Canvas menu(416, 304, {{0, 0, 0}});
  const uint8_t paper = menu.Ramp(kMenuTop, {28, 28, 31}, 32);
  menu.Gradient(0, 304, paper, 32);
  const uint8_t edge = menu.Colour(kGold);
  const uint8_t title_ink = menu.Colour({6, 8, 20});
  menu.Frame(0, 0, 416, 304, 6, edge);
  menu.Frame(10, 10, 406, 294, 2, edge);
  menu.CentredText(g, 24, "MENU 選單", title_ink);
  out.Write(sys + "op_win.spr", PictureOf(menu));

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

// ---- The menus' pictures ----

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
  // The save screen's background behind the slot list (the eyecatch's save entry): a quiet
  // gradient, since the list's windows are drawn half-transparent over it.
  Canvas save(640, 480, {{0, 0, 0}});
  const uint8_t ramp = save.Ramp({4, 10, 16}, {2, 4, 8}, 32);
  save.Gradient(0, 480, ramp, 32);
  save.Frame(8, 8, 632, 472, 2, save.Colour({10, 16, 24}));
  out.Write(sys + "sis_bg.spr", PictureOf(save));
}

// ---- Sounds ----

void WriteSounds(Out& out) {
  const uint32_t rate = 22050;
  // Static effects: short blips of their own pitch.
  const char* const kStatic[17] = {"TE00.WAV", "TE01.WAV",  "TE02.WAV", "TE03.WAV", "TE04.WAV",
                                   "TE05.WAV", "Dummy.WAV", "TE07.WAV", "TE08.WAV", "TE09.WAV",
                                   "TE10.WAV", "TE11.WAV",  "TE12.WAV", "TE13.WAV", "TE14.WAV",
                                   "TE15.WAV", "TE16.WAV"};
  for (int i = 0; i < 17; ++i) {
    out.Write(
        "tamvik1/system/se/" + std::string(kStatic[i]),
        PcmWav(1, rate, 16, Notes({660.0 + 30.0 * i, 880.0 + 30.0 * i}, rate, rate / 20, 7000))
            .Bytes());
  }
  // Streamed effects (system sounds 7, 29-32, 35, 36): falling sweeps.
  for (int n : {6, 28, 29, 30, 31, 34, 35}) {
    char name[32];
    std::snprintf(name, sizeof name, "TE%02d.wav", n);
    out.Write("tamvik1/system/se/" + std::string(name),
              PcmWav(1, rate, 16,
                     Notes({990.0 - 5 * n, 740.0 - 5 * n, 550.0 - 5 * n}, rate, rate / 12, 7000))
                  .Bytes());
  }
  // The timed choice's countdowns (TE06_00 to TE06_08, by the length of the time given): a clock's
  // ticks, one a second, falling in pitch towards the end.
  for (int band = 0; band <= 8; ++band) {
    std::vector<double> ticks;
    for (int t = 0; t < band + 2; ++t) ticks.push_back(t % 2 == 0 ? 1320.0 - 40 * t : 0.0);
    char name[32];
    std::snprintf(name, sizeof name, "TE06_%02d.wav", band);
    out.Write("tamvik1/system/se/" + std::string(name),
              PcmWav(1, rate, 16, Notes(ticks, rate, rate / 2, 6000)).Bytes());
  }
  // The music: a short tune, looping from its start; the extras' sound test plays sm02.
  out.Write("tamvik1/bgm/sm01.wav",
            SampleTune({523.3, 659.3, 784.0, 659.3, 587.3, 698.5, 880.0, 698.5, 523.3, 659.3, 784.0,
                        1046.5, 784.0, 659.3, 587.3, 523.3},
                       rate / 4));
  out.Write("tamvik1/bgm/sm02.wav",
            SampleTune({392.0, 440.0, 493.9, 587.3, 493.9, 440.0, 392.0, 329.6}, rate / 4));
  // The first battle's music: its start, its first fight, the soldiers gone, the victory.
  out.Write("tamvik1/bgm/sm06.wav", SampleTune({293.7, 349.2, 440.0, 349.2}, rate / 4));
  out.Write("tamvik1/bgm/sm13.wav", SampleTune({329.6, 392.0, 493.9, 392.0}, rate / 4));
  out.Write("tamvik1/bgm/sm16.wav", SampleTune({261.6, 329.6, 392.0, 523.3}, rate / 4));
  out.Write("tamvik1/bgm/sm18.wav", SampleTune({523.3, 659.3, 784.0, 1046.5}, rate / 4));
  // The voices of the scenes' messages.
  for (int v = 1; v <= kSampleVoices; ++v) {
    char name[32];
    std::snprintf(name, sizeof name, "tamvik1/voice/%04d.wav", v);
    out.Write(name, SampleVoice(v, 72));
  }
}

// ---- The scenes' pictures ----

// The message window's frame: a band round the window (the shade and the window's box show
// through the keyed middle, under the text).
Canvas WindowFrame() {
  Canvas frame(608, 128, {{0, 0, 0}});
  const uint8_t body = frame.Colour(kWindowBody);
  const uint8_t edge = frame.Colour({24, 26, 31});
  frame.Frame(0, 0, 608, 128, 14, body);
  frame.Frame(0, 0, 608, 128, 4, edge);
  frame.Frame(12, 12, 596, 116, 2, edge);
  return frame;
}

// The mouse pointer (point.spr, animation 0): a white arrow with a dark edge, its tip at the
// pointer.
std::vector<uint8_t> PointerFile() {
  const char* const kRows[] = {
      "X",           "XX",          "XWX",         "XWWX",        "XWWWX",
      "XWWWWX",      "XWWWWWX",     "XWWWWWWX",    "XWWWWWWWX",   "XWWWWWWWWX",
      "XWWWWWWWWWX", "XWWWWWWXXXXX", "XWWWXWWX",   "XWWX XWWX",   "XWX  XWWX",
      "XX    XWWX",  "X     XWWX",  "       XX",
  };
  Canvas arrow(12, 18, {{0, 0, 0}});
  const uint8_t edge = arrow.Colour(kInk);
  const uint8_t body = arrow.Colour(kWhite);
  for (int y = 0; y < 18; ++y) {
    for (int x = 0; kRows[y][x] != 0; ++x) {
      if (kRows[y][x] != ' ') arrow.Put(x, y, kRows[y][x] == 'X' ? edge : body);
    }
  }
  return AnimationsOf({arrow});
}

// The command icons (icon2.spr), centred on the pointer: 0 the neutral ring; for each command
// code c (3, 6, ..., 21) a disc of its own colour with its number, c - 2 growing into it and
// c - 1 shrinking out of it; 22 the key-wait mark, a gold arrowhead bobbing at the bottom of the
// message window.
std::vector<uint8_t> CommandIconsFile(Glyphs& g) {
  std::vector<Canvas> frames;
  std::vector<std::pair<int, int>> offsets;
  const auto add = [&frames, &offsets](Canvas c, int x, int y) {
    frames.push_back(std::move(c));
    offsets.emplace_back(x, y);
    return static_cast<uint16_t>(frames.size() - 1);
  };
  const auto disc = [](SprRgb colour, int r) {
    Canvas c(28, 28, {{0, 0, 0}});
    c.Disc(14, 14, r + 2, c.Colour(kInk));
    c.Disc(14, 14, r, c.Colour(colour));
    return c;
  };
  std::vector<std::vector<SprFrameSpec>> animations;
  Canvas ring = disc(kWhite, 11);
  ring.Disc(14, 14, 7, ring.Colour(kInk));
  animations.push_back({{add(ring, -14, -14), 30}});
  const SprRgb kHues[7] = {{31, 8, 8},  {31, 20, 4}, {20, 28, 4}, {4, 24, 10},
                           {4, 20, 31}, {14, 8, 31}, {28, 8, 26}};
  for (int k = 0; k < 7; ++k) {
    Canvas steady = disc(kHues[k], 11);
    const std::string number = std::to_string(k + 1);
    steady.HalfText(g, 14 - Canvas::HalfTextWidth(number) / 2, 8, number, steady.Colour(kWhite));
    const uint16_t small = add(disc(kHues[k], 5), -14, -14);
    const uint16_t middle = add(disc(kHues[k], 8), -14, -14);
    const uint16_t whole = add(steady, -14, -14);
    animations.push_back({{small, 4}, {middle, 4}});  // appearing
    animations.push_back({{middle, 4}, {small, 4}});  // vanishing
    animations.push_back({{whole, 30}});
  }
  Canvas mark(18, 12, {{0, 0, 0}});
  mark.Polygon({{0, 0}, {18, 0}, {9, 12}}, mark.Colour(kInk));
  mark.Polygon({{2, 1}, {16, 1}, {9, 9}}, mark.Colour(kGold));
  animations.push_back({{add(mark, -9, -14), 20}, {add(mark, -9, -11), 20}});
  return FramesFileWith(frames, offsets, animations);
}

void WriteSceneFiles(Out& out, Glyphs& g) {
  // The pointer, the command icons and the message window (frame and shades).
  out.Write("tamvik1/system/icon/icon2.spr", CommandIconsFile(g));
  out.Write("tamvik1/system/icon/point.spr", PointerFile());
  out.Write("tamvik1/system/window/window_b.spr", PictureOf(WindowFrame()));
  // The window shade (608 x 128, drawn behind the window: half-transparent in the scenes, whole
  // under the battle's messages), light under the dark text; and the screen shade (576 x 320).
  Canvas shade(608, 128, {{0, 0, 0}});
  shade.Fill(shade.Colour(kShade));
  out.Write("tamvik1/system/window/shade_wb.spr", PictureOf(shade));
  Canvas screen_shade(576, 320, {{0, 0, 0}});
  screen_shade.Fill(screen_shade.Colour({1, 1, 3}));
  out.Write("tamvik1/system/window/shade_wa.spr", PictureOf(screen_shade));
  // The town map's label file (read when a scene starts).
  out.Write("tamvik1/map/tmap2.spr", MapLabelFile());
  // The face: a girl with brown hair.
  out.Write("tamvik1/system/kao.spr",
            FaceFileOf({{{14, 8, 4}, {31, 24, 19}, {8, 12, 24}}}, {{0, 0}}));
  // The wall round the picture area (32,16)-(608,336): a stone pattern, its words at the top of
  // the picture area, which a background covers, so that none lie under the message window or
  // the choice window.
  Canvas wall(640, 480, {{0, 0, 0}});
  const uint8_t stone = wall.Ramp({10, 16, 10}, {4, 8, 6}, 32);
  wall.Gradient(0, 480, stone, 32);
  const uint8_t joint = wall.Colour({2, 4, 3});
  for (int row = 0; row < 480 / 32; ++row) {
    wall.Rect(0, row * 32, 640, row * 32 + 2, joint);
    for (int x = (row % 2) * 40; x < 640; x += 80)
      wall.Rect(x, row * 32, x + 2, row * 32 + 32, joint);
  }
  const uint8_t white = wall.Colour(kWhite);
  const uint8_t ink = wall.Colour(kInk);
  wall.Frame(28, 12, 612, 340, 4, wall.Colour({20, 24, 18}));
  wall.OutlinedText(g, 320 - Canvas::TextWidth("WALL 牆 樣本場景") / 2, 40, "WALL 牆 樣本場景",
                    white, ink);
  out.Write("tamvik1/WALL/KABE0100.SPR", PictureOf(wall));
  // Background 1 with a hit map (the picture as "1.spr", the map as "01.spr"): the town square.
  Canvas bg(576, 320, {{0, 0, 0}});
  const uint8_t sky = bg.Ramp({16, 22, 31}, {26, 28, 31}, 32);
  bg.Gradient(0, 200, sky, 32);
  bg.Disc(470, 70, 36, bg.Colour({31, 26, 6}));
  const uint8_t ground = bg.Colour({20, 16, 10});
  bg.Rect(0, 200, 576, 320, ground);
  const uint8_t stones = bg.Colour({16, 13, 8});
  for (int y = 210; y < 320; y += 22) {
    for (int x = (y / 22 % 2) * 20; x < 576; x += 40) bg.Rect(x, y, x + 30, y + 14, stones);
  }
  const uint8_t roof = bg.Colour({20, 6, 4});
  const uint8_t house = bg.Colour({28, 26, 20});
  const uint8_t door = bg.Colour({10, 6, 2});
  for (int k = 0; k < 3; ++k) {
    const int x = 30 + k * 190;
    bg.Rect(x, 110, x + 140, 200, house);
    bg.Polygon({{x - 10, 110}, {x + 70, 60}, {x + 150, 110}}, roof);
    bg.Rect(x + 56, 150, x + 84, 200, door);
  }
  bg.Ellipse(288, 250, 50, 16, bg.Colour({8, 14, 26}));  // the well's water
  bg.Text(g, 16, 12, "小鎮的廣場", bg.Colour(kInk));
  SprFileWriter writer;
  writer.Add(1, ColourPart(bg.colours()));
  writer.Add(2, ImagePart({bg.Image()}));
  writer.Add(12, HitPart({{SprHitRow{1, {0, 0, 1151, 639}}}}));
  const std::vector<uint8_t> bg_file = writer.Build();
  out.Write("tamvik1/bg/1.spr", bg_file);
  out.Write("tamvik1/bg/01.spr", bg_file);
}

// ---- The extras' files ----

// A window page of `w` x `h`: paper, a frame and its words in the lower right (the titles go over
// the rest, drawn by the game).
Canvas ExtrasPage(Glyphs& g, int w, int h, SprRgb paper, const std::string& words) {
  Canvas c(w, h, LabelColours(paper));
  c.Fill(3);
  c.Frame(0, 0, w, h, 2, 4);
  c.Text(g, w - Canvas::TextWidth(words, 1) - 8, h - 28, words, 2);
  return c;
}

void WriteExtras(Out& out, Glyphs& g) {
  const std::string sys = "tamvik1/system/";
  // The movie test: pages 0-6 are sprites 0-6, 500 x 376.
  std::vector<Canvas> movie;
  for (int p = 0; p < 7; ++p) {
    movie.push_back(ExtrasPage(g, 500, 376, {26, 28, 31}, "影片 " + std::to_string(p + 1)));
  }
  out.Write(sys + "omkmov_w.spr", AnimationsOf(movie, 10));
  // The sound test: twelve sprites, pages 0-4 are sprites 7-11, 480 x 376.
  std::vector<Canvas> sound;
  for (int n = 0; n < 12; ++n) {
    const std::string words = n < 7 ? "音樂" : "音樂 " + std::to_string(n - 6);
    sound.push_back(ExtrasPage(g, 480, 376, {26, 31, 26}, words));
  }
  out.Write(sys + "omksnd_w.spr", AnimationsOf(sound, 10));
  // The picture test: pages 0-1, 208 x 384; the icons 64 x 64 (0 the cursor, 1-13 the pictures).
  std::vector<Canvas> buro;
  for (int p = 0; p < 2; ++p) {
    buro.push_back(ExtrasPage(g, 208, 384, {31, 26, 30}, "圖片 " + std::to_string(p + 1)));
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
  // The walls behind the three screens (one spelling: "WALL" as the wall command asks): the
  // screens' windows cover their middle, so their names stand low on the left.
  const auto wall = [&g](SprRgb top, SprRgb bottom, const std::string& words) {
    Canvas c(640, 480, {{0, 0, 0}});
    const uint8_t ramp = c.Ramp(top, bottom, 48);
    c.Gradient(0, 480, ramp, 48);
    const uint8_t dots = c.Colour({static_cast<uint8_t>(top.r + 4), static_cast<uint8_t>(top.g + 4),
                                   static_cast<uint8_t>(top.b + 4)});
    for (int y = 12; y < 480; y += 24) {
      for (int x = (y / 24 % 2) * 12; x < 640; x += 24) c.Disc(x, y, 2, dots);
    }
    c.OutlinedText(g, 24, 440, words, c.Colour(kWhite), c.Colour(kInk));
    return c;
  };
  out.Write("tamvik1/WALL/omake1.spr", PictureOf(wall({4, 6, 16}, {2, 2, 6}, "特典 影片測試")));
  out.Write("tamvik1/WALL/omake2.spr", PictureOf(wall({16, 6, 12}, {6, 2, 4}, "特典 圖片測試")));
  out.Write("tamvik1/WALL/omake3.spr", PictureOf(wall({4, 14, 8}, {2, 6, 2}, "特典 音樂測試")));
  // Pictures 1 and 7 (system.dat's picturesSeen bits 0 and 16), 360 x 380: a portrait each.
  for (int n : {1, 7}) {
    Canvas c(360, 380, {{0, 0, 0}});
    const uint8_t white = c.Colour(kWhite);
    const uint8_t ramp = c.Ramp({20, 10, 24}, {4, 6, 14}, 32);
    c.Gradient(0, 380, ramp, 32);
    const Look look = n == 1 ? Look{{14, 8, 4}, {31, 24, 19}, {8, 12, 24}}
                             : Look{{4, 4, 6}, {30, 23, 18}, {24, 6, 8}};
    DrawPerson(c, 80, 40, 200, 320, look, false, n == 7);
    c.Frame(0, 0, 360, 380, 4, white);
    c.Text(g, 16, 340, "圖片 " + std::to_string(n), white);
    char name[32];
    std::snprintf(name, sizeof name, "tamvik1/item/buro%02d.spr", n);
    out.Write(name, PictureOf(c));
  }
}

// The choice window the scenes ask with: the plain window (512 x 176, an 8-pixel frame, keyed
// inside), the bar under a line (480 x 32) and the gauge's needle and steam.
void WriteChoiceFiles(Out& out, Glyphs& g) {
  const std::string win = "tamvik1/system/window/";
  Canvas frame(512, 176, LabelColours({0, 0, 0}));
  frame.Frame(0, 0, 512, 176, 8, 4);
  frame.Text(g, 512 - Canvas::TextWidth("選擇", 1) - 12, 176 - 32, "選擇", 1);
  out.Write(win + "window_c.spr", PictureOf(frame));
  // The timed choice's window (544 x 240), labelled the same with the time it counts down.
  Canvas timed(544, 240, LabelColours({0, 0, 0}));
  timed.Frame(0, 0, 544, 240, 8, 4);
  timed.Text(g, 544 - Canvas::TextWidth("限時選擇", 1) - 12, 240 - 32, "限時選擇", 1);
  out.Write(win + "window_a.spr", PictureOf(timed));
  Canvas bar(480, 32, LabelColours({24, 20, 6}));
  bar.Fill(3);
  out.Write(win + "LipsCur.spr", PictureOf(bar));
  out.Write("tamvik1/system/R_hari.spr", NeedleSprFile());
  out.Write("tamvik1/system/jyouki.spr", SteamSprFile());
}

// ---- Scenes and saves ----

constexpr uint8_t kOpWall = 0x2A;
constexpr uint8_t kOpBg = 0x33;
constexpr uint8_t kOpBgon = 0x28;
constexpr uint8_t kOpMusic = 0x21;
constexpr uint8_t kOpFace = 0x2B;
constexpr uint8_t kOpPrint = 0x22;
constexpr uint8_t kOpSelect = 0x17;

// A choice of three lines naming minigame rows (`rows`, 0 for a line that goes back): the row
// into A[1], then MINIGAME with A[0] cleared (the card match reads it as its tutorial request)
// and back to `again` once the game is over.
void MinigameChoice(ScriptWriter& w, uint16_t message, const std::vector<uint16_t>& rows,
                    const ScriptLabel& again) {
  std::vector<ScriptTarget> targets{again};
  std::vector<ScriptLabel> lines;
  for (size_t i = 0; i < rows.size(); ++i) lines.push_back(w.NewLabel());
  for (const ScriptLabel& l : lines) targets.push_back(l);
  w.Command(kOpSelect, {Lit(message)});
  w.Switch(0x2C, A(0), targets);
  w.Goto(again);
  for (size_t i = 0; i < rows.size(); ++i) {
    w.Bind(lines[i]);
    w.Assign(VarA(0), Num(0));
    w.Command(kOpMinigame, {Lit(rows[i])});
    w.Goto(again);
  }
}

// The extra scenario (scene 0x0109; ADV byte 40 is set in it, so its minigames play in free
// play): its two messages, then the choice of the end, the extras' tests (A[0] = 1 movie,
// 2 sound, 3 picture for SPECIAL 16) or the minigames, which come back to the choice.
std::vector<uint8_t> ExtraSceneScript() {
  ScriptWriter w;
  w.Command(kOpWall, {Lit(1)});
  w.Command(kOpBg, {Lit(1), Lit(0), Lit(0), Lit(0)});
  w.Command(kOpBgon);
  w.Command(kOpMusic, {Lit(1)});
  w.Command(kOpFace, {Lit(1)});
  w.Command(kOpPrint, {Lit(1)});
  w.Command(kOpPrint, {Lit(2)});
  const ScriptLabel choice = w.NewLabel();
  const ScriptLabel end = w.NewLabel();
  const ScriptLabel tests = w.NewLabel();
  const ScriptLabel games = w.NewLabel();
  w.Bind(choice);
  w.Command(kOpSelect, {Lit(kExtraChoiceFirst)});
  w.Switch(0x2C, A(0), {end, end, tests, games});
  w.Goto(end);
  w.Bind(tests);
  w.Command(kOpSelect, {Lit(kExtraChoiceFirst + 1)});
  w.Special(Lit(16));
  w.Goto(end);
  w.Bind(games);
  const ScriptLabel group[3] = {w.NewLabel(), w.NewLabel(), w.NewLabel()};
  w.Command(kOpSelect, {Lit(kExtraChoiceFirst + 2)});
  w.Switch(0x2C, A(0), {choice, group[0], group[1], group[2]});
  w.Goto(choice);
  const std::vector<uint16_t> rows[3] = {{1, 2, 3}, {5, 6, 7}, {4, 8}};
  for (int k = 0; k < 3; ++k) {
    w.Bind(group[k]);
    MinigameChoice(w, static_cast<uint16_t>(kExtraChoiceFirst + 3 + k), rows[k], choice);
  }
  w.Bind(end);
  w.Command(kOpMacroend);
  return w.Bytes();
}

// The new game: its two messages, then a choice that ends the scene in its battle (FIGHT,
// battle map 0) or plays a minigame of the story and comes back to the second message when it
// is over (rows 1-3, 5-7, then 4 and 8).
std::vector<uint8_t> NewGameScript() {
  ScriptWriter w;
  w.Command(kOpWall, {Lit(1)});
  w.Command(kOpMusic, {Lit(1)});
  w.Command(kOpPrint, {Lit(1)});
  const ScriptLabel again = w.NewLabel();
  const ScriptLabel minigames = w.NewLabel();
  const ScriptLabel fight = w.NewLabel();
  const ScriptLabel group[3] = {w.NewLabel(), w.NewLabel(), w.NewLabel()};
  w.Bind(again);
  w.Command(kOpPrint, {Lit(2)});
  w.Command(kOpSelect, {Lit(kNewGameChoiceFirst + 4)});
  w.Switch(0x2C, A(0), {again, minigames, fight});
  w.Goto(again);
  w.Bind(minigames);
  w.Command(kOpSelect, {Lit(kNewGameChoiceFirst)});
  w.Switch(0x2C, A(0), {again, group[0], group[1], group[2]});
  w.Goto(again);
  const std::vector<uint16_t> rows[3] = {{1, 2, 3}, {5, 6, 7}, {4, 8}};
  for (int k = 0; k < 3; ++k) {
    w.Bind(group[k]);
    MinigameChoice(w, static_cast<uint16_t>(kNewGameChoiceFirst + 1 + k), rows[k], again);
  }
  w.Bind(fight);
  w.Command(kOpFight, {Lit(0)});
  return w.Bytes();
}

// The scene after the new game's battle: two messages, then the extras scene, whose end takes
// the manager back to the title.
std::vector<uint8_t> AfterBattleScript() {
  ScriptWriter w;
  w.Command(kOpWall, {Lit(1)});
  w.Command(kOpMusic, {Lit(1)});
  w.Command(kOpPrint, {Lit(1)});
  w.Command(kOpPrint, {Lit(2)});
  w.NextScene(109);
  return w.Bytes();
}

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

void WriteScenesAndSaves(Out& out) {
  out.Write("Macro/0109.bin", ExtraSceneScript());
  out.Write("Macro/0109tbl.bin", MessageTable(kExtraMessages, 1,
                                              std::vector<const char*>(std::begin(kExtraChoices),
                                                                       std::end(kExtraChoices))));
  out.Write("Macro/0100.bin", NewGameScript());
  out.Write("Macro/0100tbl.bin", MessageTable(kNewGameMessages, 3,
                                              std::vector<const char*>(std::begin(kNewGameChoices),
                                                                       std::end(kNewGameChoices))));
  out.Write("Macro/0101.bin", AfterBattleScript());
  out.Write("Macro/0101tbl.bin", MessageTable(kAfterBattleMessages, 5));
  ByteBuilder system = SystemDataBytes();
  system.U32(80, 0x80);     // endingsSeen bit 7: the title offers the extra scenario
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
  // The loading picture.
  out.Write("tamvik1/system/nowload.spr", PlainScreenFile({6, 6, 10}));
}

// The eyecatch of the offers to save: its picture (the chapter's, 640 x 480) and the faces of
// its window (224 x 256: 0 with the eyes shut, 1 open).
void WriteEyecatch(Out& out, Glyphs& g) {
  Canvas picture(640, 480, {{0, 0, 0}});
  const uint8_t sky = picture.Ramp({20, 12, 24}, {6, 4, 14}, 48);
  picture.Gradient(0, 480, sky, 48);
  picture.Disc(160, 120, 60, picture.Colour({31, 28, 18}));
  picture.Ellipse(200, 520, 360, 140, picture.Colour({4, 8, 6}));
  picture.OutlinedText(g, 40, 320, "幕間", picture.Colour(kWhite), picture.Colour(kInk), 3);
  picture.Text(g, 48, 400, "第一話 旅程的開始", picture.Colour(kWhite));
  out.Write("tamvik1/icatch/ic0100.spr", PictureOf(picture));
  std::vector<Canvas> faces;
  for (int open = 0; open < 2; ++open) {
    Canvas face(224, 256, {{0, 0, 0}});
    face.Fill(face.Colour({26, 24, 30}));
    DrawFace(face, 12, 16, 200, 232, {{14, 8, 4}, {31, 24, 19}, {8, 12, 24}}, open != 0 ? 0 : 2,
             open);
    face.Lighten(60);  // the menu's words are drawn over it
    faces.push_back(face);
  }
  out.Write("tamvik1/icatch/ic01.spr", AnimationsOf(faces, 30));
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
  if (!platform::ffmpeg::WriteTestMovie(out.Path("Movie/Movie000.mpg").string(), opening, &error)) {
    out.Fail("Movie000.mpg: " + error);
  }
}

// ---- The directory ----

constexpr const char* kMarkerName = "SAMPLE.TXT";
constexpr const char* kMarkerText =
    "A sample install directory of TAMVIK, written by make_sample_data: every picture, text,\n"
    "sound and movie in it was made by the project's own code. It may be replaced whole by the\n"
    "next build.\n";

// Whether a directory may be replaced: one this writer made (it holds the marker, or, from the
// writers before the marker, the fonts, the extra scene and the battle's folder together) or an
// empty one; anything else may hold a person's files.
bool Replaceable(const fs::path& dir) {
  std::error_code ec;
  if (!fs::exists(dir, ec)) return true;
  if (!fs::is_directory(dir, ec)) return false;
  if (fs::is_regular_file(dir / kMarkerName, ec)) return true;
  bool earlier = true;
  for (const char* rel : {"CHT.DAT", "CHT24.DAT", "ENG12.DAT", "Macro/0109.bin", "TaMvIk2"}) {
    earlier = earlier && fs::exists(dir / rel, ec);
  }
  return earlier || (fs::is_empty(dir, ec) && !ec);
}

bool WriteAll(const fs::path& dir, const SampleOptions& options, std::string* error) {
  Out out{dir, error};
  out.Write(kMarkerName, std::vector<uint8_t>(kMarkerText, kMarkerText + std::strlen(kMarkerText)));
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
  WriteEyecatch(out, glyphs);
  WriteBattle(out, glyphs);
  WriteMinigames(out, glyphs);
  WriteMovies(out, options);
  return out.ok();
}

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

std::vector<std::string> GatherSourceTexts(const std::string& root) {
  std::vector<std::string> texts;
  std::set<std::string> seen;
  const char* const kFolders[] = {"engine",        "game",           "scene",     "flow", "battle",
                                  "battle_events", "battle_effects", "minigames", "debug"};
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
  std::vector<std::string> texts(std::begin(kPictureWords), std::end(kPictureWords));
  for (const char* t : kExtraMessages) texts.emplace_back(t);
  for (const char* t : kExtraChoices) texts.emplace_back(t);
  for (const char* t : kNewGameMessages) texts.emplace_back(t);
  for (const char* t : kNewGameChoices) texts.emplace_back(t);
  for (const char* t : kAfterBattleMessages) texts.emplace_back(t);
  for (const char* t : kCaptions) texts.emplace_back(t);
  for (const std::string& t : BattleTexts()) texts.push_back(t);
  for (const std::string& t : MinigameTexts()) texts.push_back(t);
  return texts;
}

std::vector<std::string> SamplePrintedTexts() {
  std::vector<std::string> texts;
  for (const auto* list : {&kExtraMessages, &kNewGameMessages, &kAfterBattleMessages}) {
    texts.insert(texts.end(), std::begin(*list), std::end(*list));
  }
  texts.insert(texts.end(), std::begin(kExtraChoices), std::end(kExtraChoices));
  texts.insert(texts.end(), std::begin(kNewGameChoices), std::end(kNewGameChoices));
  for (const std::string& t : BattlePrintedTexts()) texts.push_back(t);
  for (const std::string& t : MinigamePrintedTexts()) texts.push_back(t);
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
uint32_t SampleCaptionColour() { return SprColourRef(kCaptionStrip); }
uint32_t SamplePromptColour() { return SprColourRef(kPromptColour); }
uint32_t SampleLogoFrameColour() { return SprColourRef(kLogoFrame); }

bool WriteSampleData(const std::string& dir, const SampleOptions& options, std::string* error) {
  const fs::path target = fs::absolute(fs::path(dir)).lexically_normal();
  const auto fail = [error](const std::string& why) {
    if (error != nullptr) *error = why;
    return false;
  };
  if (!target.has_filename()) return fail("no directory named: " + dir);
  if (!Replaceable(target)) {
    return fail(target.string() +
                " exists and is not a sample install directory; nothing was written");
  }
  // Written beside the target and renamed into place, so that an interrupted run leaves no
  // half sample; a leftover of such a run is ours to replace.
  const fs::path writing = target.parent_path() / ("." + target.filename().string() + ".writing");
  const fs::path old = target.parent_path() / ("." + target.filename().string() + ".old");
  std::error_code ec;
  for (const fs::path& leftover : {writing, old}) {
    if (!Replaceable(leftover)) return fail(leftover.string() + " is in the way");
    fs::remove_all(leftover, ec);
  }
  fs::create_directories(writing, ec);
  if (ec) return fail("cannot make " + writing.string() + ": " + ec.message());
  if (!WriteAll(writing, options, error)) {
    fs::remove_all(writing, ec);
    return false;
  }
  if (fs::exists(target, ec)) {
    fs::rename(target, old, ec);
    if (ec) {
      fs::remove_all(writing, ec);
      return fail("cannot move the earlier sample " + target.string() + " aside");
    }
  }
  fs::rename(writing, target, ec);
  if (ec)
    return fail("cannot move the sample into place at " + target.string() + ": " + ec.message());
  fs::remove_all(old, ec);
  return true;
}

}  // namespace testsupport
