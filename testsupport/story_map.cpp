#include "testsupport/story_map.h"

#include <array>
#include <cstdlib>
#include <string>
#include <utility>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_start.h"
#include "battle/slg_geometry.h"
#include "battle/slg_unit.h"
#include "battle_events/core/event_check.h"
#include "battle_events/core/event_heroines.h"
#include "battle_events/event_bg.h"
#include "battle_events/event_movie.h"
#include "battle_events/event_npc.h"
#include "battle_events/event_runtime_state.h"
#include "battle_events/fix_task.h"
#include "battle_events/map_setup.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/event_seq.h"
#include "battle_events/maps/kit/generic_rows.h"
#include "battle_events/runtime/event_anm_handlers.h"
#include "battle_events/runtime/event_tone.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/input/dinput.h"
#include "game/system_data.h"
#include "platform/headless/headless_movie.h"
#include "testsupport/battle_install.h"
#include "testsupport/battle_rig.h"
#include "testsupport/lips_files.h"
#include "testsupport/portrait_writer.h"
#include "testsupport/program_driver.h"
#include "testsupport/script_writer.h"
#include "testsupport/slg_table_writer.h"

namespace testsupport {
namespace {

namespace S = EventSeq;

constexpr uint16_t kTalkA = 10000;
constexpr uint16_t kTalkB = 10001;
constexpr uint16_t kEndTalk = 10002;
constexpr uint16_t kChoice = 10100;
// The player phase's bit of a turn's attack done (the control words' action_done).
constexpr uint8_t kPlayerAttacked = 4;
// The unit state of a defeated unit (its death action).
constexpr uint8_t kStoryFellState = 15;
// The generic rows' messages.
constexpr uint16_t kGenericTalkFirst = 3010;
constexpr uint16_t kGenericTalkLast = 3033;

int SlideInBackground() { return EventBgSlideIn(BattleInstall::kBackground); }
int FadeOutBackground() { return EventBgFadeOut(10, 100); }
int PlayMovie() { return EventMoviePlay(0, 5); }
int DestroyEnemies() { return EventDestroyEnemies(); }
// The third ASHIGARU, placed hidden, shown.
constexpr uint8_t kHiddenAshigaru[] = {14, BattleInstall::kHiddenAshigaruNumber};
int RevealHiddenAshigaru() { return EventRevealUnits(kHiddenAshigaru, 1); }

// Map A: the opening, the choice on round 2, the movie once the ASHIGARU is at half life, the
// enemies destroyed from round 3, the ending (no enemy left) switching to map B, and the defeat
// the choice's third answer asks for.
StoryLeftAtMapB g_left_at_b;
void NoteMapAStart() {
  g_left_at_b.anm_in_use_at_a = Battle().anm_pool.in_use;
  g_left_at_b.alloc_live_at_a = Battle().alloc.live;
}

constexpr auto kOpeningTalk = TalkList({{11, kTalkA}, {74, kTalkB}});
constexpr S::Op kOpening[] = {
    S::Do(&NoteMapAStart),
    S::FadeIn(),
    S::Custom(&SlideInBackground, 1),
    S::Messages(kOpeningTalk),
    S::Custom(&FadeOutBackground, 2),
    S::ScrollPx(32, 0, 8),
    // The two event objects come on (kind 80 holds its last frame, 81 plays once) while
    // heroine 1 walks beside the second ASHIGARU; then the hidden ASHIGARU appears.
    S::DeployKind(BattleInstall::kObjectKinds[0]),
    S::DeployKind(BattleInstall::kObjectKinds[1]),
    S::WalkUnit(0, 0, 1, kStoryWalkX, kStoryWalkY, 0),
    S::Custom(&RevealHiddenAshigaru, 5),
    S::End(),
};
static_assert(S::Valid(kOpening));
constexpr SeqArgs kOpeningArgs{kOpening};

constexpr S::Op kChoiceOps[] = {
    S::TimedChoice(kChoice, 0),
    S::Branch({{1, 1}, {2, 2}, {3, 3}}, 9),
    S::Label(1), S::AddHeroineParam(1, 5), S::Goto(9),
    S::Label(2), S::AddHeroineParam(2, 5), S::Goto(9),
    S::Label(3), S::SetFlag(kStoryLostFlag),
    S::Label(9), S::End(),
};
static_assert(S::Valid(kChoiceOps));
constexpr SeqArgs kChoiceArgs{kChoiceOps};

// After the movie the handler has the map drawn again (the movie's preparation stopped it), then
// fades the battle in.
void DrawMapAgain() { Battle().flags |= 0x2; }
constexpr S::Op kMovieOps[] = {S::Custom(&PlayMovie, 3), S::Do(&DrawMapAgain), S::FadeIn(),
                               S::End()};
static_assert(S::Valid(kMovieOps));
constexpr SeqArgs kMovieArgs{kMovieOps};

constexpr S::Op kDestroyOps[] = {S::Custom(&DestroyEnemies, 4), S::End()};
static_assert(S::Valid(kDestroyOps));
constexpr SeqArgs kDestroyArgs{kDestroyOps};

constexpr S::Op kLostOps[] = {S::RequestGameOver(), S::End()};
static_assert(S::Valid(kLostOps));
constexpr SeqArgs kLostArgs{kLostOps};

// The ending's map B (the core switches to some maps at once, fades to others).
int g_map_b = 1;
void SwitchToMapB() { Slg::SwitchStage(g_map_b); }
constexpr S::Op kEndingOps[] = {S::Message(11, kEndTalk), S::Do(&SwitchToMapB), S::End()};
static_assert(S::Valid(kEndingOps));
constexpr SeqArgs kEndingArgs{kEndingOps};

constexpr auto kStoryRows = std::to_array<SlgEventEntry>({
    {.id = kStoryOpening, .timing = 0x8000, .guard = {kStoryOpening, 0},
     .set = {kStoryOpening, 0}, .handler = &SeqRow, .arg = &kOpeningArgs},
    {.id = kStoryChoice, .timing = 0x0001, .a = "F(101)&(T()>=2);", .guard = {kStoryChoice, 0},
     .set = {kStoryChoice, 0}, .handler = &SeqRow, .arg = &kChoiceArgs},
    {.id = kStoryMovie, .timing = 0x8000, .a = "F(102);", .b = "HGU(GZA,14,50);",
     .guard = {kStoryMovie, 0}, .set = {kStoryMovie, 0}, .handler = &SeqRow,
     .arg = &kMovieArgs},
    {.id = kStoryDestroy, .timing = 0x0001, .a = "F(103)&(T()>=3);",
     .guard = {kStoryDestroy, 0}, .set = {kStoryDestroy, 0}, .handler = &SeqRow,
     .arg = &kDestroyArgs},
    {.id = kStoryEnding, .timing = 0x8000, .a = "F(101);", .b = "NG(GZA);",
     .guard = {kStoryEnding, 0}, .set = {kStoryEnding, 0}, .handler = &SeqRow, .arg = &kEndingArgs},
    {.id = kStoryDefeat, .timing = 0x8000, .a = "F(120);", .guard = {kStoryDefeat, 0},
     .set = {kStoryDefeat, 0}, .handler = &SeqRow, .arg = &kLostArgs},
});

// The generic rows of heroines 1 and 2: their falls, remarks on a defeat and a joint action,
// turn remarks and the favourite's.
constexpr GenericTalkSet kTalks{
    .falls = {{{1, {{{36, 3010}, {36, 3011}, {31, 3012}}}},
               {2, {{{81, 3020}, {81, 3021}, {76, 3022}}}}}},
    .ref_talks = {{{30, 3013}, {75, 3023}}},
    .ref_talks2 = {{{30, 3014}, {75, 3024}}},
    .char_talks = {{{1, {{{36, 3015}, {30, 3016}, {29, 3017}, {29, 3018}, {29, 3019}}}},
                    {2, {{{81, 3025}, {75, 3026}, {74, 3027}, {75, 3028}, {74, 3029}}}}}},
    .favourite = {{{{0, 0}, {0, 0}, {30, 3030}, {30, 3031}, {75, 3032}, {75, 3033}}}}};
constexpr GenericDesc kGeneric{
    .talks = &kTalks,
    .falls = {.base = kStoryFallBase, .members = kITV | kIDV},
    .ref_talks = {.base = kStoryRefTalkBase, .members = kITV | kIDV},
    .ref_talks2 = {.base = kStoryRefTalk2Base, .members = kITV | kIDV},
    .char_talks = {.base = kStoryCharTalkBase, .members = kITV | kIDV}};

constexpr auto kMapATable = JoinRows(kStoryRows, GenericRows<kGeneric>());
// Kind 80 holds its last frame, kind 81 plays once.
constexpr SlgEventAnmHandler kMapAAnm[] = {EventAnmHold, EventAnmOnce};
// Two fixed sprites of kind 80's pictures, one in the normal shade, one under the map's tone (kind
// 81's colours on screen are its object's alone).
constexpr FixTaskRow kMapAFixed[] = {{0, 80, 560, 96}, {16, 80, -80, 400}, kFixTaskRowEnd};
void AddFixedSprites() { FixTaskAddList(kMapAFixed); }
// The map task counts the frames it runs while the map has its events.
void CountMapTaskFrame(SlgEffectTask*) { ++g_left_at_b.map_task_frames; }
constexpr MapTaskSpec kMapATasks[] = {MapTask<&CountMapTaskFrame>(kStoryMapTaskName)};
constexpr MapSetup kMapASetup{.bgm = MapBgm::Play(kStoryBgm), .table = kMapATable.data(),
                              .anm_table = kMapAAnm, .deferred = &AddFixedSprites,
                              .tasks = kMapATasks};

void NoteWhatMapALeft() {
  const StoryLeftAtMapB at_a = g_left_at_b;
  g_left_at_b = {};
  g_left_at_b.anm_in_use_at_a = at_a.anm_in_use_at_a;
  g_left_at_b.alloc_live_at_a = at_a.alloc_live_at_a;
  g_left_at_b.map_task_frames = at_a.map_task_frames;
  g_left_at_b.fixed_sprites = Battle().fix_tasks.count;
  g_left_at_b.map_task = Ctx().game_task.FindTask(kStoryMapTaskName) != nullptr;
  g_left_at_b.anm_in_use_at_b = Battle().anm_pool.in_use;
  g_left_at_b.alloc_live_at_b = Battle().alloc.live;
  g_left_at_b.reached = true;
  for (int flag : {int{kStoryOpening}, int{kStoryChoice}, int{kStoryMovie}, int{kStoryDestroy},
                   int{kStoryEnding}, kStoryLostFlag, int{kStoryDefeat}}) {
    if (CheckEventFlag(flag) != 0) g_left_at_b.flags.push_back(flag);
  }
  g_left_at_b.background = Battle().Extension<SlgEventRuntimeState>().bg_entry != nullptr;
}

// Map B: an opening that fades the map in and wins.
constexpr S::Op kMapBOpening[] = {S::Do(&NoteWhatMapALeft), S::FadeIn(), S::StartGameWin(),
                                  S::End()};
static_assert(S::Valid(kMapBOpening));
constexpr SeqArgs kMapBOpeningArgs{kMapBOpening};
constexpr SlgEventEntry kMapBTable[] = {
    {.id = kStoryMapBOpening, .timing = 0x8000, .guard = {kStoryOpening, 0},
     .set = {kStoryOpening, 0},
     .handler = &SeqRow, .arg = &kMapBOpeningArgs},
    kEventTableEnd};
constexpr MapSetup kMapBSetup{.table = kMapBTable};

void SetupByMap(int stage) {
  const bool map_a = GetSystemData()->battleMap() == static_cast<uint32_t>(kStoryMapA);
  MapSetupRows().rows[static_cast<size_t>(stage)] = map_a ? &kMapASetup : &kMapBSetup;
  SlgMapSetup::SetupMapEvent(stage);
}
void InstallSetupByMap(BattleContext& battle) { battle.events.setup_map_event = &SetupByMap; }

}  // namespace

int StoryMapB(int map) {
  if (map >= 0) g_map_b = map;
  return g_map_b;
}

const StoryLeftAtMapB& StoryLeft() { return g_left_at_b; }

const SlgEventEntry* StoryMapATable() { return kMapATable.data(); }

void LayEventFaces(GameTree& tree) {
  FaceFileContents faces;
  faces.records = {{0, 1, 32}};
  faces.images = 1;
  // Beside the install's own folder (one folder whatever the case: the file layer's case-blind
  // search takes the first it finds).
  tree.Write("install/TaMvIk2/system/kaoslg.spr", FaceFile(faces));
  LayLipsFiles(tree);
}

void AddScriptedMovie(BattleRig& rig, int group, int index, double seconds) {
  const std::string path =
      rig.driver().tree.Write(SlgTableWriter::TreeRel(MovieFileName(group, index)), "scripted");
  platform::headless::ScriptedMovie script;
  script.duration = seconds;
  script.format.width = 64;
  script.format.height = 48;
  for (int i = 0; i < 3; ++i) {
    script.frames.push_back(platform::headless::HeadlessMovies::SolidFrame(
        script.format, seconds * i / 3, static_cast<uint16_t>(0x1111 * (i + 1))));
  }
  rig.driver().host().movies.Add(path, script);
}

void LayStoryFiles(BattleRig& rig) {
  GameTree& tree = rig.driver().tree;
  // The text tables are one set for every map: map A's, laid last, are those read (its cast's
  // sprite sets and event-object rows; map B places none that map A's tables lack).
  for (const int map : {g_map_b, kStoryMapA}) {
    BattleInstall install;
    install.stage.map = map;
    install.stage.face_conv.fill(1);  // every event face opens internal face 0
    if (map == kStoryMapA) {
      install.StoryCast();
    } else {
      install.HeroineInsteadOfEnemy();
    }
    install.Lay(tree);
    MessageTableWriter messages;
    for (uint16_t id : {kTalkA, kTalkB, kEndTalk}) {
      messages.Add({.id = id, .voice_word = 0, .lip = "", .text = "AB"});
    }
    for (uint16_t id = kGenericTalkFirst; id <= kGenericTalkLast; ++id) {
      messages.Add({.id = id, .voice_word = 0, .lip = "", .text = "CD"});
    }
    messages.Add({.id = kChoice, .voice_word = 0, .lip = "", .text = ChoiceText(3, 4)});
    tree.Write(SlgMessageRel(map), messages.Bytes());
  }
  LayEventFaces(tree);
  AddScriptedMovie(rig, 0, 5, 0.3);
}

StoryBattle::StoryBattle(BattleRig& rig, int answer, Road road)
    : answer_(answer), road_(road), halved_(answer != 1 || road == Road::kFought),
      player_(rig.driver()) {
  GetSystemData()->setVoiceOff(1);
  // The scripted movie is timed by the rig's clock and posts nothing from a thread of its own: a
  // wait for an event while it plays could only run out in wall time.
  rig.driver().host_window().waits_for_other_threads = false;
  rig.InstallEventTable(kMapATable.data());
  by_map_.emplace(&InstallSetupByMap);
  InstallSetupByMap(rig.battle());
  SetTrustVar(1, 12);
  SetTrustVar(2, 8);
  g_left_at_b = {};
}

bool StoryBattle::BesideAnEnemy(const SlgUnit& unit, SlgCell& to) {
  const SlgBattleState& s = Battle().state;
  const SlgCell at = PosToCell(unit.x >> 16, unit.y >> 16);
  int best = -1;
  for (uint32_t i = 0; i < s.unit_count; ++i) {
    const SlgUnit& e = s.units[i];
    if (e.kind != 14 || !SlgUnitLive(e) || e.stats.life == 0 || (e.flags & kUnitShown) == 0) {
      continue;
    }
    const SlgCell c = PosToCell(e.x >> 16, e.y >> 16);
    // The four cells that touch a diamond cell: a row up and down, odd rows shifted right.
    const int left = c.column - 1 + (c.row & 1);
    for (const auto& [col, row] : {std::pair{left, c.row - 1}, std::pair{left + 1, c.row - 1},
                                   std::pair{left, c.row + 1}, std::pair{left + 1, c.row + 1}}) {
      const bool mine = col == at.column && row == at.row;
      if (!mine && GetUnitAtCell(col, row) != kSlgNoUnit) continue;
      const int d = mine ? 0 : std::abs(col - at.column) * 2 + std::abs(row - at.row);
      if (best >= 0 && d >= best) continue;
      best = d;
      to = {static_cast<int16_t>(col), static_cast<int16_t>(row)};
    }
  }
  return best >= 0;
}

void StoryBattle::FoughtHook() {
  SlgBattleState& s = Battle().state;
  const SlgUnit* acting = BattleScript::ActingUnit();
  for (uint32_t i = 0; i < s.unit_count; ++i) {
    SlgUnit& u = s.units[i];
    if (u.kind == 14 && u.stats.life > 1) u.stats.life = 1;
    if (u.side == 0 && u.character == 1) u.stats.life = u.stats.max_life = 30000;
    if (!felled_ && acting != nullptr && acting->character == 0 && u.side == 0 &&
        u.character == 2 && SlgUnitLive(u)) {
      felled_ = true;
      u.stats.life = 0;
      SetUnitState(u, kStoryFellState);
    }
  }
}

void StoryBattle::BeforeFrame() {
  if (!HasBattle() || Battle().state.round < 1) return;
  BattleContext& b = Battle();
  BattleScript::InstallAttackStubs({0, 1, 2, 14});
  b.state.units[0].stats.life = b.state.units[0].stats.max_life = 30000;
  if (road_ == Road::kFought) FoughtHook();
  if (!halved_ && CheckEventFlag(kStoryChoice) != 0) {
    halved_ = true;
    for (uint32_t i = 0; i < b.state.unit_count; ++i) {
      SlgUnit& u = b.state.units[i];
      if (u.kind == 14) u.stats.life = static_cast<decltype(u.stats.life)>(u.stats.max_life / 2);
    }
  }
  const SlgEventRuntimeState& rt = b.Extension<SlgEventRuntimeState>();
  choice_frames_ = rt.choice_phase == 1 ? choice_frames_ + 1 : 0;
  const SlgEventCheckState& check = b.Extension<SlgEventCheckState>();
  const bool event_running = check.task != nullptr && check.task->phase != kEventCheckIdle;
  if (!player_.Ready() || player_.AnswerGameOver(true)) return;
  constexpr int kChoiceSettle = 40;
  if (choice_frames_ >= kChoiceSettle && downs_ < answer_ - 1) {
    player_.Press(kGameKeyDown);
    ++downs_;
  } else if (b.message.wait_state == 1 || choice_frames_ >= kChoiceSettle) {
    if (choice_frames_ >= kChoiceSettle) ++downs_;
    player_.Press(kGameKey0);
  } else if (!event_running) {
    const SlgUnit* acting = BattleScript::ActingUnit();
    if (acting == nullptr || acting->side != 0) return;
    SlgCell to{};
    // One attack a turn: a unit that has attacked ends its turn. The hero walks to the enemy; a
    // heroine attacks only from where she stands.
    const bool attacked = (b.control.action_done & kPlayerAttacked) != 0;
    const SlgCell at = PosToCell(acting->x >> 16, acting->y >> 16);
    if (road_ == Road::kFought && !attacked && BesideAnEnemy(*acting, to) &&
        (acting->character == 0 || (to.column == at.column && to.row == at.row)) &&
        player_.HeroWalksAndAttacks(to)) {
      return;
    }
    player_.EndHeroTurn();
  }
}

}  // namespace testsupport
