#include "testsupport/attack_table.h"

#include <cstdlib>

#include "battle/battle_context.h"
#include "battle/slg_screen.h"
#include "battle_effects/attack_dispatch.h"
#include "battle_effects/attack_routines.h"
#include "battle_effects/gattai.h"

namespace testsupport::attack_table {

SlgAttackRoutine RoutineOf(int kind, int type) {
  const AttackKindRoutines r = DefaultAttackRoutines().kinds[static_cast<size_t>(kind)];
  switch (AttackShapeOf(kind)) {
    case AttackShape::kPlayer:
    case AttackShape::kTwoWay:
      return type == 1 ? r.special : r.normal;
    case AttackShape::kDirect:
      return r.normal;
    case AttackShape::kHero:
      return type == 1 ? r.special : type == 2 ? r.critical : r.normal;
    case AttackShape::kSatan:
      return type == 1 ? r.normal : type == 3 ? r.special : r.critical;
    case AttackShape::kEmpty:
      break;
  }
  return nullptr;
}

std::string NameOf(SlgAttackRoutine routine) {
  const char* name = AttackRoutineName(routine);
  return name != nullptr ? name : "";
}

std::string TaskPrefix(const std::string& routine) {
  const size_t colon = routine.find("::");
  return colon == std::string::npos ? "" : routine.substr(0, colon);
}

const char* LayoutName(AttackLayout layout) {
  switch (layout) {
    case AttackLayout::kNone: return "none";
    case AttackLayout::kFront: return "one";
    case AttackLayout::kThree: return "three";
    case AttackLayout::kWallAhead: return "wall";
    case AttackLayout::kRaised: return "raised";
    case AttackLayout::kFive: return "five";
  }
  return "?";
}

AttackCase TableRow(int kind, int type, int dir, AttackLayout layout, AttackRoad road) {
  const bool satan = kind == kSatanKind;
  const int attack_type = satan ? 0 : type;
  AttackCase row{.name = "table_k" + std::to_string(kind) + "_t" + std::to_string(type) + "_d" +
                         std::to_string(dir) + "_" + LayoutName(layout) +
                         (road == AttackRoad::kAction ? "_action" : ""),
                 .kind = kind,
                 .type = attack_type,
                 .dir = dir,
                 .layout = road == AttackRoad::kAction ? AttackLayout::kFront : layout,
                 .road = road,
                 .frame_limit = 3000};
  // A gallery for people: with $TAMVIK_BATTLE_FRAMES naming a folder, each row leaves a PNG of
  // the frame its routine starts in and of its 90th frame there (<row>_<checkpoint>.png).
  if (std::getenv("TAMVIK_BATTLE_FRAMES") != nullptr) {
    row.checkpoints = {{.name = "routine", .event = "routine "}, {.name = "frame90", .frame = 90}};
  }
  if (type == kTypeCombination) {
    row.routine = "GattaiAction";
    row.prefixes = {"Gattai::"};
    row.outlive = 90;
    row.sounds = {"bgm-volume 50 200", "bgm-volume 100 128"};
    // One heroine part for each row: the kinds take the characters in turn.
    const int character = (kind < 7 ? kind - 1 : kind - 2) % kGattaiCharacters;
    row.before = [character](AttackRig& r) {
      r.attacker().character = static_cast<uint8_t>(character);
    };
    return row;
  }
  row.routine = NameOf(RoutineOf(kind, type));
  row.prefixes = {TaskPrefix(row.routine)};
  if (type == 1) row.leaves |= testsupport::kLeavesCamera;
  if (type == 1 && AttackShapeOf(kind) != AttackShape::kDirect && !satan) {
    row.sounds = {"voice " + std::to_string(testsupport::AttackFixtures::VoiceNumber(
                                 kind, kSlgVoiceSpecial))};
  }
  if (satan) {
    // Satan's attack is chosen by the attack kind word his program sets; his clouds leave plane
    // 1's offset where they put it.
    row.leaves = testsupport::kLeavesCamera | testsupport::kLeavesPlaneOffset;
    row.hits = testsupport::HitSignal::kNone;
    row.before = [type](AttackRig&) { Battle().attack.attack_kind = static_cast<uint16_t>(type); };
  } else if (IsBoss(kind) && road == AttackRoad::kAction) {
    // A boss special keeps layer 4 in mode 2, where a battle keeps it: the action task's bare
    // stage is given the battle's layer first.
    row.before = [](AttackRig&) { SlgSetLayer(SURFACE_ROOT, 2); };
  } else if (IsBoss(kind)) {
    // A boss stands on the map with its shadow shown.
    row.before = [](AttackRig& r) {
      Battle().kind_states.boss_shadow = 1;
      r.Step();
    };
  }
  return row;
}

std::vector<int> TypesOf(int kind) {
  if (kind == kSatanKind) return {1, 3, 0};
  return {0, 1, 2, 3};
}

std::vector<AttackCase> KindRows(int kind) {
  std::vector<AttackCase> rows;
  const std::vector<int> types = TypesOf(kind);
  for (size_t n = 0; n < types.size(); ++n) {
    rows.push_back(TableRow(kind, types[n], static_cast<int>((kind + n) % 4), kLayouts[n % 4],
                            AttackRoad::kBoard));
  }
  if (kind != kSatanKind) {
    for (size_t n = 0; n < 2; ++n) {
      AttackCase row = TableRow(kind, types[n], static_cast<int>((kind + n + 2) % 4),
                                AttackLayout::kFront, AttackRoad::kAction);
      // The action road draws in the other pixel layout.
      row.pixels = platform::PixelLayout::kRgb555;
      rows.push_back(row);
    }
  }
  return rows;
}

std::vector<AttackCase> CombinationRows(std::initializer_list<int> kinds) {
  std::vector<AttackCase> rows;
  for (int kind : kinds) {
    rows.push_back(TableRow(kind, kTypeCombination, kind % 4,
                            kind % 2 == 0 ? AttackLayout::kFront : AttackLayout::kThree,
                            AttackRoad::kBoard));
  }
  return rows;
}

const std::vector<Family>& Families() {
  static const std::vector<Family> families = {
      {"Hero", {0}},
      {"Heroines", {1, 2, 3, 4}},
      {"SecondFormA", {5, 6, 7}},
      {"SecondFormB", {8, 9, 10}},
      {"SecondFormC", {11, 12, 13}},
      {"CommonEnemiesA", {14, 15, 16, 17}},
      {"CommonEnemiesB", {18, 19, 34, 35}},
      {"CommonEnemiesC", {48, 49, 50}},
      {"KamuiAndSamurai", {20, 21, 22}},
      {"KamuiForms", {31, 32}},
      {"BossesA", {23, 24, 25}},
      {"Amateras", {26, 27}},
      {"VevazAndDododi", {28, 29}},
      {"Boss30AndSatan", {30, 33}},
  };
  return families;
}

void PrintTo(const Family& family, std::ostream* os) { *os << family.name; }

}  // namespace testsupport::attack_table
