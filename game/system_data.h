#pragma once
// The game-state owner: the system data block, the story state block and the three game fonts.
// One lives in the game context (Game().system_data) for the whole run; GetSystemData and
// GetAdvState reach its blocks and are never null.

#include <memory>

#include "engine/gfx/text/game_font.h"
#include "game/game_state.h"

class CTamvikSystemData {
 public:
  // Both blocks fresh (SystemData::Reset, AdvState::Reset), then fonts A, B and C made.
  CTamvikSystemData();
  CTamvikSystemData(const CTamvikSystemData&) = delete;
  CTamvikSystemData& operator=(const CTamvikSystemData&) = delete;

  SystemData system;
  AdvState adv;

  // The three font slots; null while deleted.
  std::unique_ptr<GameFont> font_a;
  std::unique_ptr<GameFont> font_b;
  std::unique_ptr<GameFont> font_c;
};

SystemData* GetSystemData();
AdvState* GetAdvState();

// The game fonts (face "標楷體" in Big5, character set 136, every other field 0):
//   A  height 24, width 12, weight 500, pitch and family 0x31 (menus, prompts, battle windows)
//   B  height 32, width 15, weight 600, pitch and family 0x52 (title menu, trust panel, eyecatch)
//   C  height 32, width 16, weight 500, pitch and family 0x31
// Create deletes the slot's font first; Delete empties only its own slot; Get is null while
// the slot is empty.
void CreateGameFontA();
void CreateGameFontB();
void CreateGameFontC();
void DeleteGameFontA();
void DeleteGameFontB();
void DeleteGameFontC();
const GameFont* GetFontA();
const GameFont* GetFontB();
const GameFont* GetFontC();
