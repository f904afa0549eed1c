#include "minigames/maigo/maigo.h"

#include <algorithm>
#include <array>
#include <utility>

#include "engine/app/doors.h"
#include "engine/gfx/text/text_big5.h"
#include "minigames/framework/minigame_cursor.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_input.h"
#include "minigames/framework/minigame_menu.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_sound.h"
#include "minigames/framework/minigame_text.h"
#include "minigames/minigame_context.h"

namespace maigo {
namespace {

constexpr const char* kStaticSounds[] = {
    "tamvik3\\se\\system00.wav", "tamvik3\\se\\system01.wav", "tamvik3\\se\\system02.wav",
    "tamvik3\\se\\system03.wav", "tamvik3\\se\\maigo09.wav",  "tamvik3\\se\\maigo10.wav",
    "tamvik3\\se\\maigo07.wav",  "tamvik3\\se\\maigo11.wav",  "tamvik3\\se\\maigo12.wav",
    nullptr,
};
constexpr const char* kMusic = "tamvik1\\bgm\\brise.wav";
constexpr const char* kVoiceGreeting = "tamvik3\\voice\\2411.wav";
constexpr const char* kVoiceStart = "tamvik3\\voice\\2412.wav";
constexpr const char* kVoicesRight[6] = {
    "tamvik3\\voice\\2413a.wav", "tamvik3\\voice\\2413b.wav", "tamvik3\\voice\\2413c.wav",
    "tamvik3\\voice\\2414a.wav", "tamvik3\\voice\\2414b.wav", "tamvik3\\voice\\2414c.wav",
};
constexpr const char* kVoicesWrong[2] = {"tamvik3\\voice\\2415.wav", "tamvik3\\voice\\2416.wav"};
constexpr const char* kVoiceFast = "tamvik3\\voice\\2418.wav";
constexpr const char* kVoiceGood = "tamvik3\\voice\\2419.wav";
constexpr const char* kVoiceSlow = "tamvik3\\voice\\2420.wav";
constexpr const char* kVoiceLost = "tamvik3\\voice\\2421.wav";

// The heroine's picture before the search begins.
constexpr int32_t kAnimWaiting = 276;
// The park behind everything, so that the walking heroine leaves nothing behind her.
constexpr int32_t kAnimPark = 1;
constexpr int32_t kWalkSpeed = 128;  // 8 pixels a step
constexpr int32_t kColumnSteps = 120;
constexpr int32_t kPoseSteps = 60;
constexpr int32_t kLeaveX = 704;
constexpr int32_t kRowX = 512;  // she turns into the child's row here
constexpr int32_t kFadeStep = 8;
constexpr int32_t kKindWithOwnSound = 6;

// Layers (larger is farther).
constexpr int32_t kLayerHud = 20;
constexpr int32_t kLayerWindow = 30;
constexpr int32_t kLayerLabel = 90;
constexpr int32_t kLayerPeople = 100;
constexpr int32_t kLayerShadow = 110;

// The message window: its slot (and slot + 1, its empty page) and where it stands.
constexpr int32_t kWindowSlot = 500;

// Content, UTF-8 here and Big5 in the game. Names 0-6 and 7-14 are two groups; the shuffle keeps
// each name in its group.
constexpr const char* kNamesUtf8[kKinds] = {
    "小花", "小梅", "小雪", "小玉", "小蘭", "小琴", "小鈴", "阿明",
    "阿強", "阿志", "阿德", "阿勇", "阿山", "阿平", "阿福",
};
// Byte 7 ("\a") takes the sought child's name.
constexpr const char* kCluesUtf8[kKinds] = {
    "我在找\a。",
    "請幫我找\a好嗎？",
    "\a不見了！\n拜託幫忙找一找。",
    "有沒有看到\a？",
    "我家的\a走丟了。",
    "\a，快回來！",
    "誰能帶\a回來？\n我會在這裡等。",
    "我要找的是\a。",
    "\a在哪裡呢？",
    "請找出\a。\n\a一定很害怕。",
    "我的孩子叫\a。",
    "\a！我在這裡！",
    "\a跑到哪裡去了？",
    "幫我找\a吧。\n謝謝你！",
    "一直找不到\a。",
};
constexpr const char* kPraiseUtf8 = "太厲害了！\n全部都找到了！";

template <size_t N>
std::array<std::string, N> ToBig5(const char* const (&texts)[N]) {
  std::array<std::string, N> out;
  for (size_t i = 0; i < N; ++i) out[i] = Big5FromUtf8(texts[i]).value_or("");
  return out;
}

const std::string& Praise() {
  static const std::string text = Big5FromUtf8(kPraiseUtf8).value_or("");
  return text;
}

MaigoState& State() { return Minigame().maigo; }

int32_t Random(int32_t mod) { return GetRandom() % mod; }

template <size_t N>
void Identity(std::array<int32_t, N>& table) {
  for (size_t i = 0; i < N; ++i) table[i] = static_cast<int32_t>(i);
}

template <size_t N>
void Swap(std::array<int32_t, N>& table, int32_t a, int32_t b) {
  std::swap(table[static_cast<size_t>(a)], table[static_cast<size_t>(b)]);
}

size_t Index(int i) { return static_cast<size_t>(i); }

int Child(int slot) { return kObjChildFirst + slot; }

// A child and its shadow shown or hidden together.
void ShowChild(int slot, bool shown) {
  mg_obj_flag(Child(slot), mg::kObjHidden, shown ? 0 : 1);
  mg_obj_flag(kObjShadowFirst + slot, mg::kObjHidden, shown ? 0 : 1);
}
int SoughtSlot() { return State().order[Index(State().round)]; }
int KindOf(int slot) { return State().kinds[Index(slot)]; }

void ShowLives() {
  const int lives = State().lives;
  for (int i = 0; i < kLives; ++i) {
    const bool shown = i < lives;
    mg_obj_put(kObjLifeFirst + i, kHomeX - 32 * i, 24, kLayerHud,
               shown ? kAnimLifeBase - lives : 0, shown ? 0 : mg::kObjHidden);
  }
}

void WalkTo(int32_t x, int32_t y) {
  mg_obj_move(kObjHeroine, x, y, kWalkSpeed);
  State().walk_steps = 0;
}

// One step of a walk: the footstep every 10 steps; true once she has arrived.
bool Walking() {
  MaigoState& g = State();
  if (mg_obj_moving(kObjHeroine) == 0) return false;
  if (g.walk_steps % 10 == 0) mg_static_play(kSeStep);
  ++g.walk_steps;
  return true;
}

void SetUp() {
  MaigoState& g = State();
  Shuffle();
  mg_obj_bg(kAnimPark);
  g.found = {};
  g.round = 0;
  g.found_count = 0;
  g.lives = kLives;
  g.picked = -1;
  g.timer = 0;
  g.timer_running = 0;
  g.result_time = 0;
  for (int s = 0; s < kSlots; ++s) {
    const int kind = KindOf(s);
    mg_obj_put(Child(s), SlotX(s), SlotY(s), kLayerPeople, ChildAnim(kind, kPoseNormal), 0);
    mg_obj_link(kObjShadowFirst + s, Child(s), 0, 8, kLayerShadow);
    mg_obj_put(kObjLabelFirst + s, SlotX(s), SlotY(s) + 48, kLayerLabel,
               kAnimLabelBase + g.names[Index(kind)], mg::kObjHidden);
  }
  mg_obj_put(kObjHeroine, kHomeX, kHomeY, kLayerPeople, kAnimWaiting, 0);
  ShowLives();
  mg_obj_put(kObjTimer, 32, 24, kLayerHud, kAnimTimerDigits, mg::kObjTime);
  mg_obj_set_value(kObjTimer, 0);
  mg_bgm_play(kMusic);
  mg_brightness(0);
}

void OpenPick() {
  const MaigoState& g = State();
  mg_cursor_open(kObjCursor, kAnimCursor);
  for (int s = 0; s < kSlots; ++s) {
    if (g.found[Index(s)] == 0) mg_cursor_target(s, Child(s));
  }
}

// The end: T, the voice and the praising line; then the wait for the voice.
void StartEnd() {
  MaigoState& g = State();
  const bool lives_left = g.lives > 0;
  g.result_time = lives_left ? g.timer : kLostTime;
  const EndResult end = EndFor(g.result_time, lives_left);
  if (!lives_left) mg_obj_anim_change(kObjHeroine, kAnimSad);
  if (end.praise) mg_print("\r%s", Praise().c_str());
  mg_voice_play(end.voice);
  g.step = kStepEndWait;
}

// One step of the game proper (after the menu).
void GameStep() {
  MaigoState& g = State();
  if (g.timer_running != 0) {
    ++g.timer;
    mg_obj_set_value(kObjTimer, g.timer);
  }
  switch (g.step) {
    case kStepFirst:
      mg_reset();
      mg_static_load(kStaticSounds);
      mg_textwin_open(32, 384, kLayerWindow, kWindowSlot, 16, 8);
      g.step = kStepSetUp;
      return;
    case kStepSetUp:
      SetUp();
      g.step = kStepFadeIn;
      return;
    case kStepFadeIn: {
      const int32_t level = std::min(256, Minigame().fw.brightness + kFadeStep);
      mg_brightness(level);
      if (level < 256) return;
      mg_voice_play(kVoiceGreeting);
      g.step = kStepMemorise;
      g.wait = 0;
      return;
    }
    case kStepMemorise:
    case kStepMemorise + 1:
    case kStepMemorise + 2: {
      const int column = g.step - kStepMemorise;
      if (g.wait == 0) {
        for (int s = column * 3; s < column * 3 + 3; ++s) {
          mg_obj_flag(kObjLabelFirst + s, mg::kObjHidden, 0);
        }
      }
      if (++g.wait < kColumnSteps) return;
      g.wait = 0;
      ++g.step;
      return;
    }
    case kStepSearchStart:
      for (int s = 0; s < kSlots; ++s) mg_obj_flag(kObjLabelFirst + s, mg::kObjHidden, 1);
      mg_obj_anim_change(kObjHeroine, kAnimSearching);
      mg_voice_play(kVoiceStart);
      g.timer_running = 1;
      g.step = kStepRound;
      return;
    case kStepRound:
      MakeClue();
      mg_print("\r%s", g.clue.data());  // on a fresh page
      OpenPick();
      g.step = kStepPick;
      return;
    case kStepPick: {
      if (mg_key_take(kMgKeyDecide) == 0) return;
      const int s = mg_cursor_get();
      if (s < 0 || s >= kSlots || g.found[Index(s)] != 0) return;
      mg_static_play(kSeDecide);
      mg_cursor_close();
      g.picked = s;
      WalkTo(kRowX, SlotY(s));
      g.step = kStepWalkRow;
      return;
    }
    case kStepWalkRow:
      if (Walking()) return;
      WalkTo(SlotX(g.picked) + 40, SlotY(g.picked));
      g.step = kStepWalkChild;
      return;
    case kStepWalkChild: {
      if (Walking()) return;
      const int picked_kind = KindOf(g.picked);
      if (picked_kind == KindOf(SoughtSlot())) {
        ++g.found_count;
        g.found[Index(g.picked)] = 1;
        if (g.found_count == kSlots) g.timer_running = 0;
        mg_static_play(picked_kind == kKindWithOwnSound ? kSeRight6 : kSeRight);
        mg_voice_play(kVoicesRight[(GetRandom() >> 4) % 6]);
        mg_obj_anim_change(Child(g.picked), ChildAnim(picked_kind, kPoseHappy));
        g.step = kStepRightWait;
      } else {
        --g.lives;
        mg_static_play(picked_kind == kKindWithOwnSound ? kSeWrong6 : kSeWrong);
        mg_voice_play(kVoicesWrong[(GetRandom() >> 4) & 1]);
        mg_obj_anim_change(Child(g.picked), ChildAnim(picked_kind, kPoseSad));
        mg_obj_anim_change(kObjHeroine, kAnimSad);
        g.step = kStepWrongWait;
      }
      g.wait = 0;
      return;
    }
    case kStepRightWait:
      if (++g.wait < kPoseSteps) return;
      mg_obj_anim_change(Child(g.picked), ChildAnim(KindOf(g.picked), kPoseLeaving));
      mg_obj_move(Child(g.picked), kLeaveX, SlotY(g.picked), kWalkSpeed);
      g.wait = 0;
      g.step = kStepLeaveWait;
      return;
    case kStepLeaveWait:
    case kStepWrongWait:
      if (++g.wait < kPoseSteps) return;
      WalkTo(kHomeX, kHomeY);
      g.step = kStepReturn;
      return;
    case kStepReturn: {
      if (Walking()) return;
      const int picked = g.picked;
      g.picked = -1;
      if (g.found[Index(picked)] != 0) {
        ShowChild(picked, false);
        if (g.found_count == kSlots) {
          g.step = kStepGather;
          return;
        }
        ++g.round;
      } else {
        mg_obj_anim_change(Child(picked), ChildAnim(KindOf(picked), kPoseNormal));
        mg_obj_anim_change(kObjHeroine, kAnimSearching);
        ShowLives();
        if (g.lives <= 0) {
          StartEnd();
          return;
        }
      }
      g.step = kStepRound;
      return;
    }
    case kStepGather:
      g.timer_running = 0;
      WalkTo(320, 240);
      for (int s = 0; s < kSlots; ++s) {
        ShowChild(s, true);
        mg_obj_anim_change(Child(s), ChildAnim(KindOf(s), kPoseNormal));
        mg_obj_move(Child(s), 64 + 64 * s, 160, kWalkSpeed);
      }
      g.step = kStepGatherWait;
      return;
    case kStepGatherWait: {
      bool moving = Walking();
      for (int s = 0; s < kSlots; ++s) moving = moving || mg_obj_moving(Child(s)) != 0;
      if (moving) return;
      for (int s = 0; s < kSlots; ++s) {
        mg_obj_anim_change(Child(s), ChildAnim(KindOf(s), kPoseHappy));
      }
      StartEnd();
      return;
    }
    case kStepEndWait: {
      const bool decided = mg_key_take(kMgKeyDecide) != 0;
      if (!decided && mg_voice_playing() != 0) return;
      const EndResult end = EndFor(g.result_time, g.lives > 0);
      mg_var_set(2, end.var2);
      mg_var_set(9, end.var9);
      mg_finish(g.result_time);
      g.step = kStepFadeOut;
      return;
    }
    case kStepFadeOut: {
      const int32_t level = std::max(0, Minigame().fw.brightness - kFadeStep);
      mg_brightness(level);
      if (level == 0) {
        g.step = kStepDone;
        mg_end();
      }
      return;
    }
    default:
      return;
  }
}

}  // namespace

void Shuffle() {
  MaigoState& g = State();
  Identity(g.kinds);
  for (int i = 0; i < 64; ++i) {
    const int32_t a = Random(kKinds);
    Swap(g.kinds, a, Random(kKinds));
  }
  Identity(g.names);
  for (int i = 0; i < 32; ++i) {
    const int32_t a = Random(7);
    Swap(g.names, a, Random(7));
  }
  for (int i = 0; i < 32; ++i) {
    const int32_t a = (GetRandom() & 7) + 7;
    Swap(g.names, a, (GetRandom() & 7) + 7);
  }
  Identity(g.order);
  for (int i = 0; i < 64; ++i) {
    const int32_t a = Random(kSlots);
    Swap(g.order, a, Random(kSlots));
  }
  Identity(g.forms);
  for (int i = 0; i < 64; ++i) {
    const int32_t a = Random(kKinds);
    Swap(g.forms, a, Random(kKinds));
  }
}

EndResult EndFor(int32_t time, bool lives_left) {
  EndResult end{};
  end.var2 = time <= 5400 ? 2 : time < 7201 ? 1 : 0;
  end.var9 = time < 3601 ? 1 : 0;
  if (!lives_left) {
    end.voice = kVoiceLost;
  } else if (time < 3601) {
    end.voice = kVoiceFast;
    end.praise = true;
  } else if (time > 5400) {
    end.voice = kVoiceSlow;
  } else {
    end.voice = kVoiceGood;
  }
  return end;
}

const std::string& Name(int i) {
  static const std::array<std::string, kKinds> names = ToBig5(kNamesUtf8);
  return names[Index(std::clamp(i, 0, kKinds - 1))];
}

const std::string& ClueTemplate(int form) {
  static const std::array<std::string, kKinds> clues = ToBig5(kCluesUtf8);
  return clues[Index(std::clamp(form, 0, kKinds - 1))];
}

size_t FillClue(char* out, size_t size, std::string_view tmpl,
                std::span<const std::string_view> names) {
  if (out == nullptr || size == 0) return 0;
  const size_t room = size - 1;
  size_t len = 0;
  size_t next_name = 0;
  // Copies whole characters of text; false once one does not fit.
  auto put = [&](std::string_view text) {
    for (size_t i = 0; i < text.size();) {
      const bool pair = static_cast<unsigned char>(text[i]) >= 0x80 && i + 1 < text.size();
      const size_t n = pair ? 2 : 1;
      if (len + n > room) return false;
      for (size_t k = 0; k < n; ++k) out[len++] = text[i + k];
      i += n;
    }
    return true;
  };
  for (size_t i = 0; i < tmpl.size();) {
    bool fits = true;
    if (tmpl[i] == '\a') {
      if (!names.empty()) {
        fits = put(names[std::min(next_name, names.size() - 1)]);
        ++next_name;
      }
      ++i;
    } else {
      const size_t n = static_cast<unsigned char>(tmpl[i]) >= 0x80 && i + 1 < tmpl.size() ? 2 : 1;
      fits = put(tmpl.substr(i, n));
      i += n;
    }
    if (!fits) break;
  }
  out[len] = '\0';
  return len;
}

void MakeClue() {
  MaigoState& g = State();
  const int kind = KindOf(SoughtSlot());
  const std::string_view name = Name(g.names[Index(kind)]);
  FillClue(g.clue.data(), g.clue.size(), ClueTemplate(g.forms[Index(kind)]),
           std::span<const std::string_view>(&name, 1));
}

int maigo_proc(int state) {
  MaigoState& g = State();
  const int answer = mg_menu(state);
  if (answer == mg::kMenuOpen) return 1;
  if (answer == mg::kMenuQuit) {
    mg_end();
    return 1;
  }
  if (answer == mg::kMenuRetry) {
    mg_menu(2);
    g.step = kStepFirst;
  }
  if (state == 2) g.step = kStepFirst;
  GameStep();
  return 1;
}

}  // namespace maigo
