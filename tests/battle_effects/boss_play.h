#pragma once
// Observing a boss family's attack on the attack rig, frame by frame: the live animations of its
// sets, the polygons of surface 4, the step byte, the shadow switch, the flags and the family's
// event flag, and the frame at which each step was set (tests/battle_effects/*_test.cpp of the
// boss families).
//
// Frame counts are checked against the game clock the rig records (a wait of n frames from a
// frame S ends at the first frame F with (clock(F) - clock(S)) x 60 / 1000 >= n), so the rig's
// 16 / 17 ms steps never blur a check.

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "battle_effects/boss_frame.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "testsupport/attack_rig.h"

namespace boss_play {

using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackRig;

constexpr uint8_t kStateAttack = 6;
constexpr int kNoDepth = 99999;

// A live sprite-file animation.
struct Anim {
  AnimeHandle handle;
  int slot = -1;  // the slot its set was loaded from
  uint32_t anm = 0;
  int x = 0, y = 0;  // screen pixels
  int priority = 0;
  int32_t zoom = 0;  // x
  int32_t zoom_y = 0;
  int32_t rotation = 0;  // the engine's word
  uint32_t reverse = 0;
  uint32_t loop = 0;
  int32_t frame = 0;
  bool drawn = false;
  bool ended = false;
};

// The slot of a kind's sets a set was loaded from (its file's name, which the loader
// upper-cases); -1 for another kind's set.
inline int SlotOfSet(int kind, const SprAnm* set) {
  if (set == nullptr) return -1;
  const AttackFixtures f(kind);
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

// The live animations of a slot of a kind's sets.
inline std::vector<Anim> Anims(int kind, int slot) {
  std::vector<Anim> out;
  SpxAnimeKind* spx = Scene().tamvik_spr.spx();
  for (AnimeHandle h : Ctx().anime.Records(kAnimeSpx)) {
    const SpxAnimeBlock* b = spx->Block(h);
    if (b == nullptr || SlotOfSet(kind, b->anm) != slot) continue;
    out.push_back({h, slot, b->animation, b->x, b->y, b->priority, b->zoom_x, b->zoom_y,
                   b->rotation, b->reverse, b->loop, b->frame, b->drawn != nullptr,
                   b->end_reached != 0});
  }
  return out;
}

inline std::vector<Anim> OfAnm(const std::vector<Anim>& anims, uint32_t anm) {
  std::vector<Anim> out;
  for (const Anim& a : anims) {
    if (a.anm == anm) out.push_back(a);
  }
  return out;
}

// A polygon entry of surface 4.
struct Poly {
  int priority = 0;
  int x = 0, y = 0;
  std::array<PolygonPoint, 4> c{};
  BlendWord alpha = 0;
  int32_t angle2 = 0;
  int32_t zoom = 0;
};

inline std::vector<Poly> Polys() {
  std::vector<Poly> out;
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
                     pb.zoom_x});
    }
  }
  return out;
}

inline bool SameCorners(const std::array<PolygonPoint, 4>& a,
                        const std::array<PolygonPoint, 4>& b) {
  for (size_t i = 0; i < 4; ++i) {
    if (a[i].x != b[i].x || a[i].y != b[i].y) return false;
  }
  return true;
}

inline uint8_t StepOf(const SlgUnit& u) { return u.anm != nullptr ? u.anm->state : 0; }

// ---- Plays ----

// The boss's first stand frame turns its shadow switch on (the board's boss never had one); a
// frame shows it before the attack starts.
inline void ShadowOn(AttackRig& r) {
  Battle().kind_states.boss_shadow = 1;
  r.Step();
}

// What one frame of an attack showed.
struct FrameView {
  uint32_t ms = 0;
  uint8_t state = 0;
  uint8_t step = 0;
  uint32_t shadow = 0;
  uint16_t flags = 0;
  bool flag = false;  // the family's event flag
  bool fading = false;
  SlgPair unit_screen{};     // the attacker's drawing position
  std::vector<Anim> effect;  // slot 8 (special) or 6 (normal)
  std::vector<Anim> body;    // slot 7 or 5
  std::vector<Poly> polys;
};

struct Play {
  std::vector<FrameView> frames;  // by rig frame
  std::map<int, int> step_set;    // step -> the frame whose call set it
  int first_call = -1;            // the routine's first frame (step 0)
  int state7 = -1;
  std::vector<uint8_t> targets;
  std::vector<std::string> tasks;  // "task+" / "task-" lines of the family
  std::vector<std::string> sounds;
  std::vector<std::string> failures;  // the harness's end check (AttackRig::CheckEnd)
  int unit_depth = kNoDepth;          // the attacker's depth and attribute in its attack
  uint16_t unit_attr = 0;

  // Frames on the game clock from frame a to frame b.
  int Between(int a, int b) const {
    return static_cast<int>(
        int64_t{frames[static_cast<size_t>(b)].ms - frames[static_cast<size_t>(a)].ms} * 60 / 1000);
  }
  // The first frame after `from` that lies n frames after it.
  int After(int from, int n) const {
    for (int f = from + 1; f < static_cast<int>(frames.size()); ++f) {
      if (Between(from, f) >= n) return f;
    }
    return -1;
  }
};

// Plays the row on the rig to state 7 and `after` frames more, observing every frame (`between`
// runs after each of those: a test changes the battle there); then to the attack's end and the
// row's outlive frames, and the harness's end check. `event_flag` is watched in every frame;
// the effect tasks whose names contain `family` are kept.
inline Play PlayObserved(const AttackCase& row, uint32_t event_flag, const char* family,
                         int after = 0,
                         const std::function<void(AttackRig&, const Play&)>& between = {}) {
  Play play;
  AttackRig r(row);
  r.Start();
  const bool special = row.type == 1;
  const int effect_slot = special ? kAnmSpecialEffect : kAnmAttackEffect;
  const int body_slot = special ? kAnmSpecialBody : kAnmAttackBody;
  FrameView start{};
  start.ms = r.rig().Now();
  play.frames.push_back(start);
  int left = -1;
  while (r.frames() < 3000 && left != 0) {
    r.Step();
    const SlgUnit& a = r.attacker();
    const BattleContext& b = Battle();
    FrameView v{r.rig().Now(),
                a.state,
                StepOf(a),
                b.kind_states.boss_shadow,
                b.flags,
                CheckEventFlag(event_flag) != 0,
                b.fade_handle != nullptr,
                SlgMapToScreen(a),
                Anims(row.kind, effect_slot),
                Anims(row.kind, body_slot),
                Polys()};
    if (play.unit_depth == kNoDepth && a.state == kStateAttack) {
      play.unit_depth = BossUnitDepth(a);
      play.unit_attr = BossUnitAttr(a);
    }
    play.frames.push_back(v);
    const int f = r.frames();
    if (a.state == kStateAttack && play.first_call < 0 && v.step != 0) play.first_call = f;
    if (play.first_call >= 0 && play.state7 < 0) {
      if (a.state == kStateAttack && play.step_set.count(v.step) == 0) play.step_set[v.step] = f;
      if (a.state != kStateAttack) {
        play.state7 = f;
        left = after;
      }
    }
    if (left > 0) --left;
    if (between) between(r, play);
  }
  for (int n = 0; !r.Ended() && n < AttackRig::kEndLimit; ++n) r.Step();
  if (!r.Ended()) play.failures.push_back("the attack's end did not come");
  for (int n = 0; n < row.outlive; ++n) r.Step();
  r.CheckEnd(row, play.failures);
  play.targets = r.targets();
  play.sounds = r.trace().SoundCalls();
  for (const std::string& t : r.trace().Filter({"task"})) {
    if (t.find(family) != std::string::npos) play.tasks.push_back(t);
  }
  return play;
}

// Pins the attacked-unit byte to a slot once the attack state is reached (before its first call).
inline std::function<void(AttackRig&, const Play&)> PinAttacked(
    std::function<uint8_t(AttackRig&)> slot) {
  return [slot](AttackRig& r, const Play& p) {
    SlgUnit& a = r.attacker();
    if (a.state == kStateAttack && p.first_call < 0) a.stats.action_bytes[0] = slot(r);
  };
}

}  // namespace boss_play
