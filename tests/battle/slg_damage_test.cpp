// The hit reaction: the pattern or zoomed body chosen at its first frame (attack types, the
// attackers that play a special as an ordinary hit, the hero still leading in, the categories
// that can be shown zoomed), the two signals (hit now, reaction over), a state change in the
// middle of a reaction, attacker slots that name no live unit and animation sets not loaded.

#include "battle/slg_damage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_damage_state.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "scene/sprite/tamvik_spr.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/trace_capture.h"
#include "testsupport/unit_anm_writer.h"

namespace {

using testsupport::BattleBoard;
using testsupport::BattleRig;
using testsupport::BoardUnit;
using testsupport::OnCell;
using testsupport::SlgTableWriter;
using testsupport::TraceCapture;
using testsupport::UnitAnmWriter;

constexpr int32_t kPx = 0x10000;
constexpr uint8_t kHitKind = 14;

// The four targets the tests hit: by category and character.
enum Target { kCat0 = 0, kCat2 = 1, kCat4Zoomed = 2, kCat4Other = 3 };

// A rig with an attacker (kind 0) and four targets of kind 14 (categories 0, 2, 4 with
// character 22 and 4 with character 30), placed; kind 14's body set has the hit patterns
// (4-13) and, unless left out, a ZOOM_BODY set.
class HitRig {
 public:
  struct Options {
    bool zoom_slot = true;
    bool anm_table = true;  // false: an empty UnitAnm table
  };
  HitRig() : HitRig(Options{}) {}
  explicit HitRig(const Options& o) {
    SlgTableWriter tables;
    if (o.anm_table) {
      std::vector<int> slots = {kUnitAnmBaseBody, kUnitAnmBaseEffect};
      if (o.zoom_slot) slots.push_back(kUnitAnmZoomBody);
      UnitAnmWriter(kHitKind).Slots(slots).ExtraPatterns(10).Lay(rig.driver().tree, tables);
      UnitAnmWriter(0).Lay(rig.driver().tree, tables);
    }
    tables.Lay(rig.driver().tree);
    LoadSlgTables();
    attacker = board.AddUnit(OnCell(4, 20, {.side = 0, .character = 3, .kind = 0}));
    const uint8_t cats[4] = {0, 2, 4, 4};
    const uint8_t chars[4] = {30, 30, 22, 30};
    for (int i = 0; i < 4; ++i)
      targets[i] = board.AddUnit(OnCell(6 + i, 24, {.side = 1,
                                                .character = chars[i],
                                                .kind = kHitKind,
                                                .category = cats[i]}));
    for (int i = 0; i < Battle().state.unit_count; ++i) Slg::PlaceUnit(Battle().state.units[i]);
  }
  SlgUnit& U(uint8_t slot) { return Battle().state.units[slot]; }
  SlgUnit& A() { return U(attacker); }
  SlgUnit& T(Target t) { return U(targets[t]); }
  SlgHitRecord& Rec(Target t) { return Battle().hit_records[targets[t]]; }
  // What the hit resolution does to a target.
  void Hit(Target t) {
    T(t).stats.attack_type = attacker;
    T(t).reaction_over() = 0;
    T(t).flags |= kUnitShown;
    SetUnitState(T(t), kUnitStateHit);
  }
  void React(Target t) { UnitDamagedDefault(T(t), pos); }
  void Frame(Target t) {
    rig.Step();
    React(t);
  }
  int PoolInUse() const { return Battle().anm_pool.in_use; }

  BattleRig rig;
  BattleBoard board{rig.battle()};
  uint8_t attacker = 0;
  uint8_t targets[4] = {};
  SlgPair pos{12 * kPx, -30 * kPx};
};

int CountTraces(const TraceCapture& trace, const std::string& text) {
  int n = 0;
  for (const auto& line : trace.lines()) n += line.text == text ? 1 : 0;
  return n;
}

TEST(Damaged, FirstFrameChoosesPatternZoomOrHiding) {
  struct Case {
    const char* what;
    uint8_t type, attacker_character, attacker_state;
    Target target;
    uint8_t dir;
    int pattern;  // the body's pattern, -1 not looked at
    uint16_t attr;
    bool zoom, shown;
    uint8_t state;
    uint32_t step;
  };
  const Case cases[] = {
      {"ordinary d0", 0, 3, 6, kCat2, 0, 13, 0, false, true, 9, 1},
      {"ordinary d1", 0, 3, 6, kCat2, 1, 12, 0, false, true, 9, 1},
      {"ordinary d2", 0, 3, 6, kCat2, 2, 12, 16, false, true, 9, 1},
      {"ordinary d3", 0, 3, 6, kCat2, 3, 13, 16, false, true, 9, 1},
      {"critical d0", 2, 3, 6, kCat0, 0, 11, 0, false, true, 9, 1},
      {"critical d1", 2, 3, 6, kCat0, 1, 10, 0, false, true, 9, 1},
      {"critical d2", 2, 3, 6, kCat0, 2, 10, 16, false, true, 9, 1},
      {"critical d3", 2, 3, 6, kCat0, 3, 11, 16, false, true, 9, 1},
      {"special by character 15 is ordinary", 1, 15, 6, kCat0, 2, 12, 16, false, true, 9, 1},
      {"special by a heroine hides", 1, 3, 6, kCat0, 0, -1, 0, false, false, 0, 0},
      {"the hero still leading in: wait", 1, 0, 5, kCat0, 0, -1, 0, false, true, 9, 0},
      {"the hero's special zooms category 0", 1, 0, 6, kCat0, 1, -1, 0, true, true, 9, 1},
      {"the hero's special zooms category 2", 1, 0, 6, kCat2, 1, -1, 0, true, true, 9, 1},
      {"category 4, character 22 zooms", 1, 0, 6, kCat4Zoomed, 1, -1, 0, true, true, 9, 1},
      {"category 4, character 30 hides", 1, 0, 6, kCat4Other, 1, -1, 0, false, false, 0, 0},
      {"category 4 without a body, ordinary", 0, 0, 6, kCat4Other, 0, -1, 0, false, true, 9,
       1},
  };
  HitRig r;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    r.A().stats.attack_type = c.type;
    r.A().character = c.attacker_character;
    r.A().state = c.attacker_state;
    r.T(c.target).dir = c.dir;
    const int pool = r.PoolInUse();
    r.Hit(c.target);
    r.React(c.target);
    SlgUnit& t = r.T(c.target);
    EXPECT_EQ(t.state, c.state);
    EXPECT_EQ(t.step, c.step);
    EXPECT_EQ((t.flags & kUnitShown) != 0, c.shown);
    EXPECT_EQ(r.PoolInUse() - pool, c.zoom ? 1 : 0);
    const SlgHitRecord& rec = r.Rec(c.target);
    EXPECT_EQ(rec.zoom, c.zoom ? 1 : 0);
    if (c.zoom) {
      ASSERT_NE(rec.obj, nullptr);
      EXPECT_NE(rec.obj, t.anm);
      EXPECT_EQ(rec.obj->pattern, 0);
      EXPECT_EQ(rec.obj->attr, 16);
      EXPECT_EQ(rec.obj->mode, kSlgAnmStartStopped);
      EXPECT_NE(rec.obj->handle, nullptr);
      EXPECT_EQ(rec.obj->x, r.pos.x);
      EXPECT_EQ(rec.obj->y, r.pos.y);
    }
    if (c.pattern >= 0) {
      ASSERT_NE(t.anm, nullptr);
      EXPECT_EQ(rec.obj, t.anm);
      EXPECT_EQ(t.anm->pattern, c.pattern);
      EXPECT_EQ(t.anm->attr, c.attr);
      EXPECT_EQ(t.anm->mode, kSlgAnmStartStopped);
      EXPECT_NE(t.anm->handle, nullptr);
      EXPECT_EQ(t.anm->x, r.pos.x);
    }
    SetUnitState(t, 0);
    EXPECT_EQ(r.PoolInUse(), pool);
    EXPECT_EQ(r.Rec(c.target).obj, nullptr);
  }
}

TEST(Damaged, AttackerSlotNamingNoLiveUnitIsAnOrdinaryAttacker) {
  HitRig r;
  // The attacker would make a critical hit, but it is dead; the other slots name nobody.
  r.A().stats.attack_type = 2;
  r.A().step = kSlgDeadStep;
  const uint8_t empty = static_cast<uint8_t>(Battle().state.unit_count);
  for (uint8_t slot : {uint8_t{200}, empty, uint8_t{63}, r.attacker}) {
    SCOPED_TRACE(slot);
    r.T(kCat0).dir = 1;
    r.Hit(kCat0);
    r.T(kCat0).stats.attack_type = slot;
    r.React(kCat0);
    EXPECT_EQ(r.T(kCat0).state, kUnitStateHit);
    EXPECT_EQ(r.T(kCat0).anm->pattern, 12);  // the ordinary table
    SetUnitState(r.T(kCat0), 0);
  }
}

TEST(Damaged, HitSignalReplaysOnceAndReactionOverStands) {
  for (bool zoom : {false, true}) {
    SCOPED_TRACE(zoom ? "zoomed" : "body");
    HitRig r;
    r.A().stats.attack_type = zoom ? 1 : 0;
    r.A().character = 0;
    r.A().state = 6;
    const int pool = r.PoolInUse();
    r.Hit(kCat0);
    r.Frame(kCat0);
    ASSERT_EQ(r.T(kCat0).step, 1u);
    SlgAnmObj* obj = r.Rec(kCat0).obj;
    ASSERT_NE(obj, nullptr);
    TraceCapture trace;
    for (int replay = 1; replay <= 2; ++replay) {
      r.T(kCat0).flags |= kUnitHitNow;
      r.Frame(kCat0);
      EXPECT_EQ(obj->mode, kSlgAnmOnce);
      EXPECT_EQ(r.T(kCat0).flags & kUnitHitNow, 0u);
      EXPECT_EQ(CountTraces(trace, "Damaged\n"), replay);
      // Played once to its end, it stands stopped on its first frame again.
      int frames = 0;
      while (obj->mode != kSlgAnmStartStopped && frames < 60) {
        r.Frame(kCat0);
        ++frames;
      }
      EXPECT_EQ(obj->mode, kSlgAnmStartStopped);
      EXPECT_NE(obj->handle, nullptr);
      EXPECT_EQ(CountTraces(trace, "Damaged\n"), replay);
    }
    r.pos = {30 * kPx, 40 * kPx};
    r.Frame(kCat0);
    EXPECT_EQ(obj->x, r.pos.x);  // it follows the position
    EXPECT_EQ(obj->y, r.pos.y);
    EXPECT_EQ(r.T(kCat0).state, kUnitStateHit);  // no timer of its own
    r.T(kCat0).reaction_over() = 1;
    r.Frame(kCat0);
    EXPECT_EQ(r.T(kCat0).state, 0);
    EXPECT_EQ(r.PoolInUse(), pool);
    EXPECT_EQ(r.Rec(kCat0).obj, nullptr);
    EXPECT_EQ(r.Rec(kCat0).zoom_anims, nullptr);
  }
}

TEST(Damaged, LeavingOrReenteringTheReactionGivesBackItsObjectAndSet) {
  for (uint8_t next : {uint8_t{0}, uint8_t{15}, kUnitStateHit}) {
    SCOPED_TRACE(next);
    HitRig r;
    // A reference of the test's own shows what the reaction keeps of the ZOOM_BODY set.
    SprAnm* zoom_set = GetUnitAnm(kHitKind, kUnitAnmZoomBody);
    ASSERT_NE(zoom_set, nullptr);
    const int32_t refs = zoom_set->ref;
    r.A().stats.attack_type = 1;
    r.A().character = 0;
    r.A().state = 6;
    const int pool = r.PoolInUse();
    r.Hit(kCat2);
    r.Frame(kCat2);
    ASSERT_EQ(r.Rec(kCat2).zoom, 1);
    EXPECT_EQ(zoom_set->ref, refs + 1);
    EXPECT_EQ(r.PoolInUse(), pool + 1);
    SetUnitState(r.T(kCat2), next);  // an event's state change in the middle
    EXPECT_EQ(r.PoolInUse(), pool);
    EXPECT_EQ(zoom_set->ref, refs);
    EXPECT_EQ(r.Rec(kCat2).obj, nullptr);
    if (next == kUnitStateHit) {  // a second reaction takes one object again, not two
      r.Frame(kCat2);
      EXPECT_EQ(r.PoolInUse(), pool + 1);
      EXPECT_EQ(zoom_set->ref, refs + 1);
      SetUnitState(r.T(kCat2), 0);
      EXPECT_EQ(r.PoolInUse(), pool);
    }
    ReleaseUnitAnm(&zoom_set);
  }
}

TEST(Damaged, RemovingALowerSlotMovesTheRecordWithItsUnit) {
  HitRig r;
  r.A().stats.attack_type = 1;
  r.A().character = 0;
  r.A().state = 6;
  r.Hit(kCat2);
  r.Frame(kCat2);
  ASSERT_EQ(r.Rec(kCat2).zoom, 1);
  SlgAnmObj* zoom = r.Rec(kCat2).obj;
  Slg::RemoveUnit(r.targets[kCat0]);  // the zoomed unit moves down a slot
  SlgUnit& moved = r.U(static_cast<uint8_t>(r.targets[kCat2] - 1));
  ASSERT_EQ(moved.category, 2);
  EXPECT_EQ(Battle().hit_records[moved.slot].obj, zoom);
  moved.reaction_over() = 1;
  r.rig.Step();
  UnitDamagedDefault(moved, r.pos);
  EXPECT_EQ(moved.state, 0);
  EXPECT_EQ(zoom->tag, 0u) << "the zoom object is back in the pool";
  EXPECT_EQ(Battle().hit_records[moved.slot].obj, nullptr);
}

TEST(Damaged, SetsNotLoadedEndInsteadOfWaiting) {
  {
    SCOPED_TRACE("no ZOOM_BODY: the hero's special hides the target");
    HitRig r({.zoom_slot = false});
    r.A().stats.attack_type = 1;
    r.A().character = 0;
    r.A().state = 6;
    const int pool = r.PoolInUse();
    r.Hit(kCat0);
    r.Frame(kCat0);
    EXPECT_EQ(r.T(kCat0).state, 0);
    EXPECT_EQ(r.T(kCat0).flags & kUnitShown, 0u);
    EXPECT_EQ(r.PoolInUse(), pool);
  }
  {
    SCOPED_TRACE("an empty UnitAnm table: the reaction runs and ends");
    HitRig r({.anm_table = false});
    TraceCapture trace;
    r.Hit(kCat0);
    r.Frame(kCat0);
    EXPECT_EQ(r.T(kCat0).step, 1u);
    for (int i = 0; i < 2; ++i) {
      r.T(kCat0).flags |= kUnitHitNow;
      r.Frame(kCat0);
      r.Frame(kCat0);
    }
    EXPECT_EQ(CountTraces(trace, "Damaged\n"), 2);
    r.T(kCat0).reaction_over() = 1;
    r.Frame(kCat0);
    EXPECT_EQ(r.T(kCat0).state, 0);
  }
}

}  // namespace
