#pragma once
// Observing a boss family's attack on the attack rig, frame by frame: the live animations of its
// sets, the polygons of surface 4, the step byte, the shadow switch, the flags and the family's
// event flag, and the frame at which each step was set (tests/battle_effects/*_test.cpp of the
// boss families).
//
// Frame counts are checked against the game clock the rig records (a wait of n frames from a
// frame S ends at the first frame F with (clock(F) - clock(S)) x 60 / 1000 >= n), so the rig's
// 16 / 17 ms steps never blur a check.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
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
#include "tests/battle_effects/effect_test_support.h"

namespace boss_play {

using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackRig;

constexpr uint8_t kStateAttack = 6;
constexpr int kNoDepth = 99999;

// The shared observers (tests/battle_effects/effect_test_support.h) under this header's names.
using Anim = EffectAnim;
using Poly = EffectPoly;

// The live animations of a slot of a kind's sets.
inline std::vector<Anim> Anims(int kind, int slot) { return EffectAnims(kind, slot); }

inline std::vector<Poly> Polys() { return EffectPolys(); }

using ::OfAnm;

inline bool SameCorners(const std::array<PolygonPoint, 4>& a,
                        const std::array<PolygonPoint, 4>& b) {
  for (size_t i = 0; i < 4; ++i) {
    if (a[i].x != b[i].x || a[i].y != b[i].y) return false;
  }
  return true;
}

inline uint8_t StepOf(const SlgUnit& u) { return u.anm != nullptr ? u.anm->state : 0; }

// The row with slot `omit` left out of its sets, or the n-th object (0 first) its set-up (step 0)
// allocates refused, after the row's own `before` (-1: neither).
inline AttackCase SetUpFailureRow(AttackCase row, int omit, int refuse_obj) {
  if (omit >= 0) {
    row.fixtures = [sets = row.fixtures, omit](AttackFixtures& f) {
      if (sets) sets(f);
      f.Omit(omit);
    };
  }
  if (refuse_obj >= 0) {
    row.before = [before = row.before, refuse_obj](AttackRig& r) {
      if (before) before(r);
      auto objects = std::make_shared<int>(0);
      Battle().alloc.refuse = [&r, refuse_obj, objects](uint32_t, size_t bytes) {
        const SlgUnit& a = r.attacker();
        if (a.state != kStateAttack || StepOf(a) != 0 || bytes != sizeof(SlgAnmObj)) return false;
        return (*objects)++ == refuse_obj;
      };
    };
  }
  return row;
}

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
