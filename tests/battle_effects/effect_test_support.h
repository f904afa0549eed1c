#pragma once
// Helpers of the attack-effect tests: the hero's sets, the frames between two game-clock times as
// the battle counts them, and what the engine shows of an attack (its live animations by the set
// they play from, the polygon entries of surface 4).

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "engine/core/game_task.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "testsupport/attack_fixtures.h"
#include "testsupport/attack_rig.h"

// The hero's sets for his attack tests (kind 0, and kind 7 for the cover move): SPECIAL_BODY
// animation 0 of 32 one-tick frames, SPECIAL_EFFECT animations 0-4, ATTACK_EFFECT 0-9 and the
// SPECIAL_BG pictures 0 (the flash) and 1 (the background's tile), 1024 x 512 each.
inline void HeroSets(testsupport::AttackFixtures& f) {
  f.Slot(kAnmSpecialBody, {testsupport::AttackAnim{.frames = 32, .ticks = 1}});
  f.Slot(kAnmSpecialEffect, 5);
  f.Slot(kAnmAttackEffect, 10);
  f.Pictures(kAnmSpecialBg, {{1024, 512}, {1024, 512}});
}

// The live effect task of that name (the first one), and its work area (slot 0); null for none.
inline SlgEffectTask* EffectTaskNamed(const std::string& name) {
  GameTaskRec* rec = Ctx().game_task.FindTask(name.c_str());
  return rec != nullptr ? static_cast<SlgEffectTask*>(rec->work) : nullptr;
}
template <class T>
T* EffectTaskWork(const std::string& name) {
  SlgEffectTask* t = EffectTaskNamed(name);
  return t != nullptr ? static_cast<T*>(t->owned[0]) : nullptr;
}

// (to - from) x 60 / 1000, toward zero: the frames the battle counts from `from` at `to` (ms).
inline int32_t FramesBetween(uint32_t from, uint32_t to) {
  return static_cast<int32_t>(int64_t{static_cast<int32_t>(to - from)} * 60 / 1000);
}

// The slot of a kind's sets a set was loaded from (its file's name, which the loader
// upper-cases); -1 for none of them.
inline int SlotOfSet(int kind, const SprAnm* set) {
  if (set == nullptr) return -1;
  const testsupport::AttackFixtures f(kind);
  for (int slot = 0; slot < kSlgAnmSlots; ++slot) {
    std::string name = f.FileName(slot);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (set->name.size() > name.size() &&
        set->name.compare(set->name.size() - name.size(), name.size(), name) == 0 &&
        set->name[set->name.size() - name.size() - 1] == '\\') {
      return slot;
    }
  }
  return -1;
}

// A live sprite-file animation.
struct EffectAnim {
  AnimeHandle handle;
  int slot = -1;  // the slot its set was loaded from
  uint32_t anm = 0;
  int x = 0, y = 0;  // screen pixels
  int priority = 0;
  int32_t zoom = 0;  // x; and y
  int32_t zoom_y = 0;
  int32_t rotation = 0;  // radians x 256
  uint32_t reverse = 0;
  uint32_t loop = 0;
  int32_t frame = 0;
  bool drawn = false;
  bool ended = false;
  BlendWord alpha = 0;
};

// The live animations playing from the kind's set of `slot`.
inline std::vector<EffectAnim> EffectAnims(int kind, int slot) {
  std::vector<EffectAnim> out;
  SpxAnimeKind* spx = Scene().tamvik_spr.spx();
  for (AnimeHandle h : Ctx().anime.Records(kAnimeSpx)) {
    const SpxAnimeBlock* b = spx->Block(h);
    if (b == nullptr || SlotOfSet(kind, b->anm) != slot) continue;
    out.push_back({h, slot, b->animation, b->x, b->y, b->priority, b->zoom_x, b->zoom_y,
                   b->rotation, b->reverse, b->loop, b->frame, b->drawn != nullptr,
                   b->end_reached != 0, spx->GetSpxAlpha(h)});
  }
  return out;
}

// Those of `anims` playing animation `anm`.
inline std::vector<EffectAnim> OfAnm(const std::vector<EffectAnim>& anims, uint32_t anm) {
  std::vector<EffectAnim> out;
  for (const EffectAnim& a : anims) {
    if (a.anm == anm) out.push_back(a);
  }
  return out;
}

// A polygon entry of surface 4.
struct EffectPoly {
  int priority = 0;
  int x = 0, y = 0;
  std::array<PolygonPoint, 4> c{};
  BlendWord alpha = 0;
  int32_t angle2 = 0;
  int32_t zoom = 0;
  uint32_t colour = 0;  // a pixel of the screen's layout
};

// The polygon entries of surface 4 as they stand (a one-frame entry only until the compose).
inline std::vector<EffectPoly> EffectPolys() {
  std::vector<EffectPoly> out;
  const SprBuffer* buffer = Ctx().ddraw_spr.FindBuffer(SURFACE_ROOT, nullptr);
  if (buffer == nullptr) return out;
  for (int p = 0; p < SprBuffer::kPriorityCount; ++p) {
    const SprLink* tail = &buffer->tail[static_cast<size_t>(p)];
    for (const SprLink* l = buffer->head[static_cast<size_t>(p)].next; l != nullptr && l != tail;
         l = l->next) {
      const auto* e = static_cast<const SprBufferEntry*>(l);
      if (e->type != kSprEntryPolygon) continue;
      const PolygonBlock& pb = e->polygon;
      out.push_back({e->priority,
                     pb.x,
                     pb.y,
                     {pb.corner[0], pb.corner[1], pb.corner[2], pb.corner[3]},
                     e->alpha,
                     pb.angle2,
                     pb.zoom_x,
                     pb.color});
    }
  }
  return out;
}

// The heroine units' sets (kinds 1 and 2): the body slots' animations 0-12 of 16 one-tick frames,
// the effect slots' 0-12 of the default length; kind 1's SPECIAL_BG a 448 x 192 background and
// three 320 x 320 cut-ins, kind 2's three 320 x 240 backgrounds.
inline void HeroineSets(testsupport::AttackFixtures& f) {
  const testsupport::AttackAnim body{.frames = 16, .ticks = 1};
  f.Slot(kAnmAttackBody, 13, body);
  f.Slot(kAnmSpecialBody, 13, body);
  f.Slot(kAnmAttackEffect, 13);
  f.Slot(kAnmSpecialEffect, 13);
  if (f.kind() == 1) {
    f.Pictures(kAnmSpecialBg, {{448, 192}, {320, 320}, {320, 320}, {320, 320}});
  } else {
    f.Pictures(kAnmSpecialBg, {{320, 240}, {320, 240}, {320, 240}});
  }
}

// Frames from the first frame the routine was called to the attacker's state 7 (0: on that frame).
inline int FramesInRoutine(const testsupport::AttackOutcome& out, const std::string& routine) {
  for (const auto& line : out.lines) {
    if (line.text == "routine " + routine) return out.state7_frame - line.frame;
  }
  return -1;
}

// The frames from the attacker's attack state (6) to its state 7 in an outcome's trace.
inline int AttackFrames(const testsupport::AttackOutcome& out) {
  int six = -1, seven = -1;
  for (const auto& line : out.lines) {
    if (line.text == "unit 0 state 6" && six < 0) six = line.frame;
    if (line.text == "unit 0 state 7" && seven < 0) seven = line.frame;
  }
  return seven - six;
}

// Plays the started rig to the attacker's state 7 (each frame after the step: `each`), then
// through the attack's end and the row's outlive budget; the end check's failures.
inline std::vector<std::string> PlayToEnd(testsupport::AttackRig& r,
                                          const testsupport::AttackCase& row,
                                          const std::function<void()>& each = {}) {
  constexpr uint8_t kAfterAttack = 7;
  std::vector<std::string> failures;
  while (r.attacker().state != kAfterAttack && r.frames() < row.frame_limit) {
    r.Step();
    if (each) each();
  }
  if (r.attacker().state != kAfterAttack) failures.push_back("state 7 not reached");
  for (int n = 0; !r.Ended() && n < testsupport::AttackRig::kEndLimit; ++n) r.Step();
  for (int i = 0; i < row.outlive; ++i) r.Step();
  r.CheckEnd(row, failures);
  return failures;
}
