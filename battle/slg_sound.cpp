// The battle's sound: effects, voices, music, the animation sound hook and the switches beside
// them.

#include "battle/slg_sound.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_draw.h"
#include "battle/slg_math.h"
#include "battle/slg_task.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/input/dinput.h"
#include "engine/sound/dsound_func.h"
#include "scene/ui/tamvik_func.h"

namespace {

constexpr const char* kMusicTask = "TamvikSlgFunc::decodeMusic";

// The unit kind's voices of a situation; null for a kind outside the table.
const std::vector<uint16_t>* Voices(const SlgUnit& unit, int situation) {
  if (unit.kind >= kSlgUnitKinds) return nullptr;
  return &Battle().tables.unit_voices[unit.kind][static_cast<size_t>(situation)];
}

// Entry i of the list as a voice number, -1 when i is not an index of it.
int VoiceAt(const std::vector<uint16_t>* list, int i) {
  if (list == nullptr || i < 0 || static_cast<size_t>(i) >= list->size()) return -1;
  return (*list)[static_cast<size_t>(i)];
}

enum MusicPhase : uint8_t { kMusicStart = 0, kMusicFading, kMusicPlay, kMusicSettle };

void DecodeMusic(SlgEffectTask* task) {
  CDsoundFunc& sound = Ctx().dsound;
  switch (task->phase) {
    case kMusicStart:
      if (!sound.IsBGMStop()) {
        sound.SetBGMVolume(50, 25);
        task->phase = kMusicFading;
        break;
      }
      // No music plays: the new one starts at once, without a fade.
      [[fallthrough]];
    case kMusicPlay: {
      char path[64];
      std::snprintf(path, sizeof path, "%sSM%02d%s", "tamvik1\\bgm\\", Battle().bgm_number, ".wav");
      DebugPrint("SLG:BGMPlay: %s\n", path);
      sound.PlayBGM(path);
      sound.SetBGMVolume(100, 0);
      task->phase = kMusicSettle;
      break;
    }
    case kMusicFading:
      if (sound.IsBGMFadeEnd()) task->phase = kMusicPlay;
      break;
    default:  // kMusicSettle, or asked to stop
      if (task->phase != kMusicSettle || sound.IsBGMFadeEnd()) SlgTaskEnd(task);
      break;
  }
}

// Tells a test's sound hook of a call (battle/slg_test_hooks.h).
void TellSoundHook(SlgSoundCall call, int value, int frames = 0) {
  const SlgTestHooks& hooks = Battle().test_hooks;
  if (hooks.sound != nullptr) hooks.sound(hooks.user, call, value, frames);
}

// The music volume, told to the hook.
void SetBgmVolume(int volume, int frames) {
  TellSoundHook(SlgSoundCall::kBgmVolume, volume, frames);
  Ctx().dsound.SetBGMVolume(volume, frames);
}

}  // namespace

void SePlay(int n, int mode) {
  if (mode == 1 || mode == 2) {
    TellSoundHook(mode == 1 ? SlgSoundCall::kEffect : SlgSoundCall::kEffectStop, n);
  }
  if (n < 0 || n >= kSlgSeCount) {
    DebugPrint("SePlay: SeNo %d is outside 0-%d: ignored\n", n, kSlgSeCount - 1);
    return;
  }
  const SlgSeEntry& e = Battle().tables.se[static_cast<size_t>(n)];
  CDsoundFunc& sound = Ctx().dsound;
  const bool is_static = e.mode == kSlgSeStatic && e.static_index >= 0;
  if (mode == 1) {
    if (is_static) {
      sound.PlayStaticSE(e.static_index);
    } else if (!e.path.empty()) {
      DebugPrint("SePlay: No%d %s\n", n, e.path.c_str());
      sound.PlaySE(e.path.c_str());
    } else {
      DebugPrint("SePlay: SeNo %d is no file!\n", n);
    }
  } else if (mode == 2) {
    if (is_static) {
      DebugPrint("SeStopStatic: SeNo %d.\n", n);
      sound.StopStaticSE(e.static_index);
    } else if (!e.path.empty()) {
      DebugPrint("SeStop: SeNo %d.\n", n);
      sound.StopSE();
    }
  }
}

void SlgSePlay(int n) {
  Battle().last_se = n;
  SePlay(n, 1);
}

int SlgSePlay400(int n) {
  // A number past the int range is no effect either way: SePlay refuses it.
  SlgSePlay(n <= INT_MAX - 400 ? 400 + n : INT_MAX);
  return 1;
}

int SelectUnitVoice(const SlgUnit& unit) {
  BattleContext& b = Battle();
  b.chosen_voice = -1;
  int voice = -1;
  switch (unit.stats.attack_type) {
    case 0: {
      const std::vector<uint16_t>* list = Voices(unit, kSlgVoiceAttack);
      if (list != nullptr && !list->empty()) {
        const int i = static_cast<int>(static_cast<uint32_t>(SlgRand20() >> 1) % list->size());
        voice = VoiceAt(list, i);
      }
      break;
    }
    case 1:
      voice = VoiceAt(Voices(unit, kSlgVoiceSpecial), b.cmd_special);
      break;
    case 2:
      voice = VoiceAt(Voices(unit, kSlgVoiceCritical), 0);
      break;
    case 5:
      voice = VoiceAt(Voices(unit, kSlgVoiceGattai), 0);
      break;
    default:
      break;
  }
  b.chosen_voice = voice;
  return voice;
}

void SelectSpecialVoice(const SlgUnit& unit, int i) {
  Battle().chosen_voice = VoiceAt(Voices(unit, kSlgVoiceSpecial), i);
}

void PlayUnitVoice() {
  if (Battle().chosen_voice >= 0) VoicePlay(Battle().chosen_voice);
}

void VoicePlay(int n) {
  TellSoundHook(SlgSoundCall::kVoice, n);
  CDsoundFunc& sound = Ctx().dsound;
  sound.StopVoice();
  const std::vector<std::string>& names = Battle().tables.voice_files;
  if (n < 0 || static_cast<size_t>(n) >= names.size() || n >= kSlgVoiceCount) return;
  const std::string& name = names[static_cast<size_t>(n)];
  if (name.empty()) return;
  // Built in place: a voice starts in the middle of an attack's frames, which allocate nothing.
  char path[kWaveNameSize];
  const int length = std::snprintf(path, sizeof path, "tamvik2\\Voice\\%s", name.c_str());
  if (length < 0 || static_cast<size_t>(length) >= sizeof path) {
    DebugPrint("Voice %d: name too long (%zu bytes)\n", n, name.size());
    return;
  }
  DebugPrint("Voice = %s\n", path);
  sound.PlayVoice(path);
}

void AttackVoice(uint32_t code) {
  const int value = static_cast<int16_t>(static_cast<uint16_t>(code & 0xFFFF));
  BattleContext& b = Battle();
  if (value == -1) {
    for (int8_t slot : b.targets) {
      if (slot < 0) break;
      if (slot >= kSlgMaxUnits) continue;  // not a unit slot: nothing to flag
      b.state.units[static_cast<size_t>(slot)].flags |= kUnitHitNow;
    }
  } else if (value == -2) {
    DebugPrint("Attack Voice %d.\n", b.chosen_voice);
    b.voice_request = 1;
  } else if (value == -3) {
    b.anm_signal = 1;
  } else if (value == -9) {
    SePlay(b.last_se, 2);
  } else if (value <= -10) {
    SlgSePlay(-value);
  }
}

void BGMPlayStart(int n) {
  SlgTellShowHook(SlgShowCall::kBgm, n, 0);
  Battle().bgm_number = n;
  SlgTaskCreate(SlgTaskOwner(), &DecodeMusic, kMusicTask);
  DebugPrint("SLG:BGMPlayStart: BGMNo %d\n", n);
}

void BGMPlayDefault() { BGMPlayStart(15); }

void SlgBgmVolumeDown() { SetBgmVolume(50, 200); }
void SlgBgmVolumeUp() { SetBgmVolume(100, 128); }
void SlgBgmVolumeDip() { SetBgmVolume(87, 30); }
void SlgBgmVolumeBack() { SetBgmVolume(100, 30); }

void SlgStopSound() {
  CDsoundFunc& sound = Ctx().dsound;
  sound.StopBGM();
  sound.StopSE();
  sound.StopVoice();
}

int SlgIsSeStop() { return Ctx().dsound.IsSEStop() ? 1 : 0; }

void ShowFlaggedUnits() {
  BattleContext& b = Battle();
  b.flags = static_cast<uint16_t>((b.flags & ~0x60u) | 0x06u);
  const size_t count = std::min<size_t>(b.state.unit_count, kSlgMaxUnits);
  for (size_t i = 0; i < count; ++i) {
    SlgUnit& unit = b.state.units[i];
    if ((unit.flags & kUnitShowFlagged) == 0) continue;
    unit.flags |= kUnitShown;
    if (unit.anm != nullptr) SlgAnmObjShow(unit.anm);
  }
}

uint32_t SlgMouseFlag() {
  const BattleContext& b = Battle();
  if (b.pointer_mode != 0) return 1;
  if (b.event_words.demo_cursor == 1) return 0;  // a demonstration drives the cursor
  return TamvikFunc::GetMouseFlag();
}

void SlgPointerPos(int32_t* x, int32_t* y) {
  int32_t px = 0, py = 0;
  if (Battle().pointer_mode != 0) {
    px = Battle().state.pointer.x >> 16;
    py = Battle().state.pointer.y >> 16;
  } else {
    px = Ctx().input.GetMouseX() - 40;
    py = Ctx().input.GetMouseY() - 30;
  }
  if (x != nullptr) *x = px;
  if (y != nullptr) *y = py;
}

void SlgSetMouse(int x, int y) { TamvikFunc::SetMouseCursorPos(x + 320, y + 240); }
