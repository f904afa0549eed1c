#pragma once
// Helpers of the attack-effect tests: the hero's sets, the frames between two game-clock times as
// the battle counts them, and what the engine shows of an attack (its live animations by the set
// they play from, the polygon entries of surface 4).

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_battle_state.h"
#include "battle/slg_geometry.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle/slg_unit_sprite.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_attack_state.h"
#include "battle_effects/step_timeline.h"
#include "engine/core/game_task.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "testsupport/attack_fixtures.h"
#include "testsupport/attack_rig.h"
#include "testsupport/battle_board.h"

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

// A target of the damage list on a cell of the board (raised to `height` first), a kind-1 unit
// with life enough for every hit; added before the attack starts (the list is made from the flag
// as the attack starts). Its slot.
inline uint8_t AddListedTarget(testsupport::AttackRig& r, int column, int row, int height = 0) {
  if (height != 0) {
    r.board()->SetCell(column, row, testsupport::CellWord(static_cast<uint32_t>(height)));
  }
  const uint8_t slot =
      r.board()->AddUnit(testsupport::OnCell(column, row, {.kind = 1, .category = 0}));
  SlgUnit& u = Battle().state.units[slot];
  Slg::PlaceUnit(u);
  u.stats.life = u.stats.max_life = 999;
  u.flags |= kUnitInDamageList;
  return slot;
}

// ---- Layered attacks: the objects each plays as it starts ----

// One object as it starts.
struct LayeredPlayed {
  int anim = -1;
  int depth = 0;  // less the unit body's depth
  int mode = -1;  // the flag byte
  int loop = -1;  // the engine's loop word; -1 without an animation
  int once = -1;  // freed at its end (SlgAnmPlayOnce)
  bool operator==(const LayeredPlayed&) const = default;
};
inline void PrintTo(const LayeredPlayed& p, std::ostream* os) {
  *os << "{anim " << p.anim << " depth " << p.depth << " mode " << p.mode << " loop " << p.loop
      << " once " << p.once << "}";
}

// A row of a table: {animation for directions 1 and 2, for 0 and 3}, depth offset.
struct LayeredRow {
  int anim[2];
  int depth;
};

// The held form's objects (battle_effects/player_shape.h): flag byte 1 on all, object 1 without
// looping and kept, the further ones once.
inline std::vector<LayeredPlayed> ExpectedHeldObjects(const std::vector<LayeredRow>& rows,
                                                      int count, int dir) {
  std::vector<LayeredPlayed> out;
  const int column = dir == 0 || dir == 3 ? 1 : 0;
  for (int i = 0; i < count; ++i) {
    const LayeredRow& r = rows[static_cast<size_t>(i)];
    out.push_back({.anim = r.anim[column], .depth = r.depth, .mode = 1, .loop = 0,
                   .once = i >= 2 ? 1 : 0});
  }
  return out;
}

// The context's objects as they stand, depths less the unit body's.
inline std::vector<LayeredPlayed> PlayedObjects(const SlgAttackCtx& ctx, int body_depth) {
  std::vector<LayeredPlayed> out;
  SpxAnimeKind* spx = Scene().tamvik_spr.spx();
  for (int i = 0; i < ctx.object_count; ++i) {
    const SlgAnmObj* obj = ctx.objects[static_cast<size_t>(i)];
    const SpxAnimeBlock* block = spx->Block(obj->handle);
    out.push_back({obj->pattern, obj->depth - body_depth, obj->mode,
                   block != nullptr ? static_cast<int>(block->loop) : -1,
                   block != nullptr ? static_cast<int>(block->free_at_end) : -1});
  }
  return out;
}

struct LayeredOutcome {
  std::vector<LayeredPlayed> objects;
  int from_body_end = -1;  // frames from the body's end to state 7
  std::vector<std::string> failures;
};

// Plays a layered attack's row to its end: the objects of the context `ctx_of` answers as they
// start, the frames from the body's end to state 7, the end check.
inline LayeredOutcome PlayLayered(const testsupport::AttackCase& row,
                                  const std::function<SlgAttackCtx*()>& ctx_of) {
  testsupport::AttackRig r(row);
  r.Start();
  LayeredOutcome out;
  uint32_t body_end_ms = 0;
  const auto each = [&] {
    if (r.attacker().state == 7 && body_end_ms != 0 && out.from_body_end < 0) {
      out.from_body_end = FramesBetween(body_end_ms, TimelineNow());
    }
    const SlgAttackCtx* ctx = r.attacker().state == 6 ? ctx_of() : nullptr;
    if (ctx == nullptr || ctx->object_count == 0) return;
    if (out.objects.empty()) out.objects = PlayedObjects(*ctx, r.attacker().anm->depth);
    if (body_end_ms == 0 && (ctx->objects[0]->state & kSlgAnmStateEnded) != 0) {
      body_end_ms = TimelineNow();
    }
  };
  out.failures = PlayToEnd(r, row, each);
  return out;
}

// ---- Player kinds' smoke rows ----

// A player kind's row: named "<family in lower case>_type<t>_dir<d>_<name>", reaching
// "<family>::SpecialAttack" (type 1) or "<family>::NormalAttack", its tasks named "<family>...";
// a special plays the kind's special voice and may leave the camera moved (`special_limit` frames at most),
// a normal attack gives no hit signal.
inline testsupport::AttackCase PlayerAttackRow(int kind, const std::string& family, int type,
                                               int dir, testsupport::AttackLayout layout,
                                               const std::string& name,
                                               int special_limit = 900) {
  std::string lower = family;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  testsupport::AttackCase row{
      .name = lower + "_type" + std::to_string(type) + "_dir" + std::to_string(dir) + "_" + name,
      .kind = kind,
      .type = type,
      .dir = dir,
      .layout = layout,
      .routine = family + (type == 1 ? "::SpecialAttack" : "::NormalAttack"),
      .prefixes = {family}};
  if (type == 1) {
    row.sounds = {"voice " +
                  std::to_string(testsupport::AttackFixtures::VoiceNumber(kind, kSlgVoiceSpecial))};
    row.leaves = testsupport::kLeavesCamera;
    row.frame_limit = special_limit;
  } else {
    row.hits = testsupport::HitSignal::kNone;
  }
  return row;
}

// The fixtures' variants on the sets as laid by default (animations the rows name may be
// missing): every animation of two frames, the attack type's slot left out (the attack then ends
// before its voice), one picture only; `make` gives the row for a name.
inline void ExpectSetVariants(
    const std::function<testsupport::AttackCase(const std::string& name)>& make) {
  using Variant = testsupport::AttackFixtures::Variant;
  for (const Variant v : {Variant::kFull, Variant::kTwoFrames, Variant::kMissingSlot,
                          Variant::kMissingPicture}) {
    testsupport::AttackCase row = make("variant" + std::to_string(static_cast<int>(v)));
    row.fixtures = {};
    row.variant = v;
    if (v == Variant::kMissingSlot) row.sounds.clear();
    testsupport::ExpectAttackCase(row);
  }
}

// Every direction first..last: no target, one and three on the board, one on the action road,
// each played twice (ExpectAttackCase), at `step_ms` a rig step (0: 60 frames a second; 50:
// frames skipped).
inline void ExpectSmokeRows(
    const std::function<testsupport::AttackCase(int dir, testsupport::AttackLayout layout,
                                                const std::string& name)>& make,
    int first, int last, uint32_t step_ms = 0) {
  using testsupport::AttackLayout;
  for (int dir = first; dir <= last; ++dir) {
    for (const auto& [layout, name] : {std::pair{AttackLayout::kNone, "none"},
                                       {AttackLayout::kFront, "one"},
                                       {AttackLayout::kThree, "three"}}) {
      testsupport::AttackCase row = make(dir, layout, name);
      row.step_ms = step_ms;
      testsupport::ExpectAttackCase(row);
    }
    // The action road: the attack as the battle's command runs it.
    testsupport::AttackCase action = make(dir, AttackLayout::kFront, "action");
    action.road = testsupport::AttackRoad::kAction;
    action.step_ms = step_ms;
    testsupport::ExpectAttackCase(action);
  }
}

// The set variants of attack types 0 and 1 facing 1 with one target (ExpectSetVariants); `make`
// gives the kind's row for a type, direction, layout and name.
inline void PlayVariantRows(
    const std::function<testsupport::AttackCase(int type, int dir, testsupport::AttackLayout,
                                                const std::string& name)>& make) {
  for (const int type : {0, 1}) {
    ExpectSetVariants([&make, type](const std::string& name) {
      return make(type, 1, testsupport::AttackLayout::kFront, name);
    });
  }
}

// The frames of the outcome's trace lines that start with `prefix`.
inline std::vector<int> TraceFrames(const testsupport::AttackOutcome& out,
                                    const std::string& prefix) {
  std::vector<int> frames;
  for (const auto& line : out.lines) {
    if (line.text.rfind(prefix, 0) == 0) frames.push_back(line.frame);
  }
  return frames;
}

// The game frames from the first trace line that starts with `from` to each line that starts
// with `prefix` (on the game clock, so that rows with skipped frames compare too).
inline std::vector<int> TraceGameFrames(const testsupport::AttackOutcome& out,
                                        const std::string& from, const std::string& prefix) {
  std::vector<int> frames;
  const testsupport::AttackTraceLine* start = nullptr;
  for (const auto& line : out.lines) {
    if (start == nullptr && line.text.rfind(from, 0) == 0) start = &line;
  }
  if (start == nullptr) return frames;
  for (const auto& line : out.lines) {
    if (line.text.rfind(prefix, 0) == 0) frames.push_back(FramesBetween(start->ms, line.ms));
  }
  return frames;
}

// A heroine the hero covers: the hero (`hero_kind` 0 or 7) placed on the cell beside the
// attacker (the front cell of direction dir + 1), able to cover once, and the row's first target
// marked covered; then two frames, so that he is shown as the others are when the attack starts.
// Slg::FindUnitByChara(0) finds him.
inline void CoverTheFirstTarget(testsupport::AttackRig& r, int hero_kind, int dir) {
  const auto cell = testsupport::AttackRig::LayoutCells(
      {.dir = (dir + 1) & 3, .layout = testsupport::AttackLayout::kFront})[0];
  const uint8_t slot = r.board()->AddUnit(testsupport::OnCell(
      cell.first, cell.second,
      {.side = 0, .character = 0, .kind = static_cast<uint8_t>(hero_kind), .category = 0}));
  SlgBattleState& s = r.rig().battle().state;
  SlgUnit& hero = s.units[slot];
  Slg::PlaceUnit(hero);
  hero.stats.life = hero.stats.max_life = 999;
  hero.cover_count() = 1;
  s.units[r.targets()[0]].flags |= kUnitCovered;
  r.Step();
  r.Step();
}
