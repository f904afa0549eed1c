#include "game/system_data.h"

#include "game/game_context.h"

void SystemData::Reset() {
  Clear();
  setCursorSpeed(2);
}

void AdvState::Reset() {
  Clear();
  setCursorX(320);
  setCursorY(240);
}

namespace {

// "標楷體" in Big5.
constexpr const char kFontFace[] = "\xBC\xD0\xB7\xA2\xC5\xE9";

std::unique_ptr<GameFont> MakeFont(int32_t height, int32_t width, int32_t weight,
                                   uint8_t pitch_and_family) {
  auto font = std::make_unique<GameFont>();
  font->height = height;
  font->width = width;
  font->weight = weight;
  font->char_set = kChineseBig5Charset;
  font->pitch_and_family = pitch_and_family;
  font->face_name = kFontFace;
  return font;
}

std::unique_ptr<GameFont> MakeFontA() { return MakeFont(24, 12, 500, 0x31); }
std::unique_ptr<GameFont> MakeFontB() { return MakeFont(32, 15, 600, 0x52); }
std::unique_ptr<GameFont> MakeFontC() { return MakeFont(32, 16, 500, 0x31); }

}  // namespace

CTamvikSystemData::CTamvikSystemData() {
  system.Reset();
  adv.Reset();
  font_a = MakeFontA();
  font_b = MakeFontB();
  font_c = MakeFontC();
}

SystemData* GetSystemData() { return &Game().system_data.system; }
AdvState* GetAdvState() { return &Game().system_data.adv; }

void CreateGameFontA() {
  DeleteGameFontA();
  Game().system_data.font_a = MakeFontA();
}
void CreateGameFontB() {
  DeleteGameFontB();
  Game().system_data.font_b = MakeFontB();
}
void CreateGameFontC() {
  DeleteGameFontC();
  Game().system_data.font_c = MakeFontC();
}
void DeleteGameFontA() { Game().system_data.font_a.reset(); }
void DeleteGameFontB() { Game().system_data.font_b.reset(); }
void DeleteGameFontC() { Game().system_data.font_c.reset(); }
const GameFont* GetFontA() { return Game().system_data.font_a.get(); }
const GameFont* GetFontB() { return Game().system_data.font_b.get(); }
const GameFont* GetFontC() { return Game().system_data.font_c.get(); }
