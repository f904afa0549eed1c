#pragma once
// Observing a boss family's attack on the attack rig, frame by frame: the live animations of its
// sets, the polygons of surface 4, the step byte, the shadow switch, the flags and the family's
// event flag, and the frame at which each step was set (tests/battle_effects/*_test.cpp of the
// boss families); and the rows those tests share: the smoke rows, the ends on the first call, the
// plays with targets round the attacked unit.
//
// Frame counts are checked against the game clock the rig records (a wait of n frames from a
// frame S ends at the first frame F with (clock(F) - clock(S)) x 60 / 1000 >= n), so the rig's
// 16 / 17 ms steps never blur a check.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_effects/boss_frame.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "testsupport/attack_rig.h"
#include "testsupport/battle_board.h"
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

// A row whose routine must end on its first call (EndAttack) with everything given back: `omit`
// a slot left out of the kind's sets, `refuse_obj` the routine's n-th object refused at its step
// 0 (-1: neither).
inline void ExpectEndOnFirstCall(AttackCase row, int omit, int refuse_obj) {
  row = SetUpFailureRow(std::move(row), omit, refuse_obj);
  row.sounds = {};  // it ends before its voice
  const testsupport::AttackOutcome out = testsupport::PlayAttackCase(row);
  EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
  EXPECT_EQ(AttackFrames(out), 1) << "EndAttack on the first call";
}

// The rows of a boss family that must end on their first call: each of its four slots left out
// (5 and 6 from a normal attack, 7 and 8 from the special), then each of `refused` (attack type,
// n: the routine's n-th object refused). `row` makes the family's row of an attack type.
inline void ExpectBossEndsOnFirstCall(const std::function<AttackCase(int type)>& row,
                                      std::initializer_list<std::pair<int, int>> refused) {
  for (int slot : {kAnmAttackBody, kAnmAttackEffect, kAnmSpecialBody, kAnmSpecialEffect}) {
    SCOPED_TRACE(testing::Message() << "slot " << slot << " left out");
    ExpectEndOnFirstCall(row(slot >= kAnmSpecialBody ? 1 : 0), slot, -1);
  }
  for (const auto& [type, n] : refused) {
    SCOPED_TRACE(testing::Message() << "type " << type << ": object " << n << " refused");
    ExpectEndOnFirstCall(row(type), -1, n);
  }
}

// A special attack row played without any background of its kind: it plays on to its end.
inline void ExpectSpecialWithoutBackgrounds(AttackCase row) {
  row.fixtures = [sets = row.fixtures](AttackFixtures& f) {
    if (sets) sets(f);
    f.Pictures(kAnmSpecialBg, {});
  };
  const testsupport::AttackOutcome out = testsupport::PlayAttackCase(row);
  EXPECT_TRUE(out.failures.empty()) << testing::PrintToString(out.failures);
  EXPECT_GT(out.state7_frame, 0);
}

// ---- Plays ----

// The boss's first stand frame turns its shadow switch on (the board's boss never had one); a
// frame shows it before the attack starts.
inline void ShadowOn(AttackRig& r) {
  Battle().kind_states.boss_shadow = 1;
  r.Step();
}

// Adds a target of the damage list of `side` on a cell before the attack starts (the list is
// made from the flag as the attack starts), with life enough for every hit.
inline uint8_t AddListedTarget(AttackRig& r, int column, int row, uint8_t side = 0) {
  const uint8_t slot =
      r.board()->AddUnit(testsupport::OnCell(column, row, {.side = side, .kind = 1}));
  SlgUnit& u = Battle().state.units[slot];
  Slg::PlaceUnit(u);
  u.stats.life = u.stats.max_life = 999;
  u.flags |= kUnitInDamageList;
  return slot;
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

// ---- Smoke rows ----

// The smoke table's layouts by direction: no target, one in front, three, one on a raised cell.
inline constexpr std::array<std::pair<int, testsupport::AttackLayout>, 4> kBossSmokeLayouts{
    {{0, testsupport::AttackLayout::kNone},
     {1, testsupport::AttackLayout::kFront},
     {2, testsupport::AttackLayout::kThree},
     {3, testsupport::AttackLayout::kRaised}}};

// A smoke row of a boss family: its routine "<family>::SpecialAttack" (type 1) or
// "<family>::NormalAttack", its tasks' prefix `family`, its sets, the special's voice; the shadow
// switch on before it starts.
inline AttackCase BossSmokeRow(const char* family, int kind,
                               const std::function<void(AttackFixtures&)>& sets, std::string name,
                               int type, int dir, testsupport::AttackLayout layout) {
  AttackCase row{.name = std::move(name),
                 .kind = kind,
                 .type = type,
                 .dir = dir,
                 .layout = layout,
                 .frame_limit = 3000,
                 .fixtures = sets,
                 .before = &ShadowOn};
  row.routine = std::string(family) + (type == 1 ? "::SpecialAttack" : "::NormalAttack");
  row.prefixes = {family};
  if (type == 1) {
    row.sounds = {"voice " + std::to_string(AttackFixtures::VoiceNumber(kind, kSlgVoiceSpecial))};
  }
  return row;
}

// The smoke rows of attack type `type` in the directions `dirs` (each with its layout of the
// table), each played twice alike; `row` makes a row from its name, type, direction and layout.
inline void ExpectBossSmokeRows(
    const std::function<AttackCase(std::string, int, int, testsupport::AttackLayout)>& row,
    const std::string& name, int type, std::initializer_list<int> dirs) {
  for (int dir : dirs) {
    const auto& [d, layout] = kBossSmokeLayouts[static_cast<size_t>(dir)];
    testsupport::ExpectAttackCase(row(
        name + "_type" + std::to_string(type) + "_dir" + std::to_string(d), type, d, layout));
  }
}

// ---- Strikes round the attacked unit ----

// A target as the attack began: its drawing place (screen pixels), depth and side.
struct TargetView {
  int x, y;
  int depth;
  uint8_t side;
};

// A play with its damage list and the attacked unit's drawing position (16.16 about the screen
// centre) as the attack began, and the priority of depth 0.
struct StrikePlay {
  Play play;
  int base = 0;
  std::vector<TargetView> targets;
  SlgPair attacked{};
};

// PlayObserved of `row`, noting the targets and the attacked unit on the first attack frame.
// `extra` runs after every frame, as PlayObserved's `between`.
inline StrikePlay PlayStrikes(const AttackCase& row, const char* family,
                              const std::function<void(AttackRig&, const Play&)>& extra = {}) {
  StrikePlay s;
  bool noted = false;
  s.play = PlayObserved(row, 0, family, 0, [&](AttackRig& r, const Play& p) {
    if (extra) extra(r, p);
    if (noted || r.attacker().state != kStateAttack) return;
    noted = true;
    const BattleContext& b = Battle();
    for (int i = 0; i < b.target_count; ++i) {
      const SlgUnit& t = b.state.units[static_cast<size_t>(b.targets[static_cast<size_t>(i)])];
      const SlgPair at = SlgMapToScreen(t);
      s.targets.push_back({(at.x >> 16) + 320, (at.y >> 16) + 240, BossUnitDepth(t), t.side});
    }
    s.attacked = SlgMapToScreen(BossAttackedUnit(r.attacker()));
  });
  for (const FrameView& v : s.play.frames) {
    if (!v.body.empty() && v.state == kStateAttack) {
      s.base = v.body[0].priority - s.play.unit_depth;
      break;
    }
  }
  return s;
}

// PlayStrikes of `row` with the attacked-unit byte naming a free slot (60) when `free_slot`; its
// `attacked` then is where the strikes must centre, found apart from the routine's own look-up:
// on the first target, or without targets on the acting unit.
inline StrikePlay PlayStrikesCentred(const AttackCase& row, const char* family, bool free_slot) {
  StrikePlay s = PlayStrikes(row, family,
                             free_slot ? PinAttacked([](AttackRig&) { return uint8_t{60}; })
                                       : std::function<void(AttackRig&, const Play&)>{});
  if (s.play.first_call < 0) {
    ADD_FAILURE() << "the routine never ran";
  } else if (s.targets.empty()) {
    s.attacked = s.play.frames[static_cast<size_t>(s.play.first_call)].unit_screen;
  } else {
    s.attacked = {(s.targets[0].x - 320) * 0x10000, (s.targets[0].y - 240) * 0x10000};
  }
  return s;
}

// PlayStrikes of `row` (layout kFront or kNone) with targets of both sides round the attacked
// unit: with kFront, besides the one in front, one of side 1 two rows below it and one of side 0
// two rows above it (48 px below and above it on the screen: cells 4 and 6 of the thirteen);
// with kNone no target at all.
inline StrikePlay PlayStrikesOnBothSides(
    AttackCase row, const char* family,
    const std::function<void(AttackRig&, const Play&)>& extra = {}) {
  if (row.layout == testsupport::AttackLayout::kFront) {
    row.before = [before = row.before, front = row](AttackRig& r) {
      if (before) before(r);
      const auto cell = AttackRig::LayoutCells(front)[0];
      AddListedTarget(r, cell.first, cell.second + 2, 1);
      AddListedTarget(r, cell.first, cell.second - 2, 0);
      r.Step();
    };
  }
  return PlayStrikes(row, family, extra);
}

}  // namespace boss_play
