// Map 20's boss effect tasks: sprites at fixed map positions over the boss's body, each an effect
// task with a work block (owned slot 0) holding its EventAnm animation, its animation object and
// its 8.8 map position.

#include <algorithm>
#include <cstdint>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_math.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle_events/core/event_check.h"
#include "battle_events/maps/map20.h"
#include "engine/core/debug_trace.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"

namespace {

// The surface the boss sprites play on.
constexpr SurfaceId kBossSurface = 4;
// The weak point's alpha word.
constexpr BlendWord kWeakAlpha = 128;
constexpr int32_t kOne = 0x10000;
// The horn explosion's blink period and fall (8.8 pixels a frame).
constexpr int32_t kBlinkPeriod = 2;
constexpr int32_t kFallVx = -256;
constexpr int32_t kFallVy = -1024;
constexpr int32_t kFallGravity = 64;

enum class BossKind : uint8_t { kHorns, kWeak, kCrackle, kJewel, kFragment, kExplosion, kPieces };

struct BossDesc {
  int anm;
  int32_t x;  // map pixels
  int32_t y;
};
constexpr BossDesc Desc(BossKind kind) {
  switch (kind) {
    case BossKind::kHorns: return {95, 1475, 259};
    case BossKind::kWeak: return {97, 1600, 468};
    case BossKind::kCrackle: return {98, 1600, 400};
    case BossKind::kJewel: return {99, 1600, 400};
    case BossKind::kFragment: return {99, 1608, 280};
    case BossKind::kExplosion: return {95, 1472, 254};
    case BossKind::kPieces: return {96, 1580, 234};
  }
  return {};
}
// The jewel's second animation, once its first has ended.
constexpr BossDesc kJewelRest{100, 1614, 279};

int32_t Wrap(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); }

// The sprite's place: the map position less the camera's top-left and half the screen, 16.16.
SlgPair ScreenOf(const Map20BossWork& w) {
  const SlgBattleState& s = Battle().state;
  return {Wrap(int64_t{w.x} * 256 - (int64_t{s.scroll_x} + 320) * kOne),
          Wrap(int64_t{w.y} * 256 - (int64_t{s.scroll_y} + 240) * kOne)};
}
void Place(Map20BossWork& w) {
  const SlgPair at = ScreenOf(w);
  w.obj.x = at.x;
  w.obj.y = at.y;
  SlgSprSetPos(w.obj.handle, at);
}
void Play(Map20BossWork& w, uint32_t pattern, uint8_t mode) {
  w.obj.mode = mode;
  Place(w);
  SlgPlayAnm(w.anm, pattern, &w.obj, kBossSurface);
}

// ---- The tracked tasks ----

void Track(SlgEffectTask* t) {
  Map20Words& m = Map20State();
  auto slot = std::find(m.live.begin(), m.live.end(), nullptr);
  if (slot == m.live.end()) {
    DebugPrint("map 20: boss task %s not tracked (all %d slots taken)\n", t->name, kMap20TaskSlots);
    return;
  }
  *slot = t;
  EventCheckState().map_end = &Map20EndBossTasks;
}
void Untrack(SlgEffectTask* t) {
  Map20Words& m = Map20State();
  std::replace(m.live.begin(), m.live.end(), t, static_cast<SlgEffectTask*>(nullptr));
  for (SlgEffectTask** kept : {&m.horns, &m.crackle, &m.weak, &m.jewel}) {
    if (*kept == t) *kept = nullptr;
  }
}

// The animation released and the task ended (its work block goes with its owned slots).
void Release(SlgEffectTask* t) {
  if (Map20BossWork* w = Map20WorkOf(t); w != nullptr) {
    if (HasScene()) Scene().tamvik_spr.ReleaseAnm(&w->obj.handle);
    ReleaseEventAnm(&w->anm);
    w->anm = nullptr;
  }
  Untrack(t);
  SlgTaskEnd(t);
}

SlgBody BodyOf(BossKind kind);
SlgEffectTask* StartTask(BossKind kind);

// ---- Set-up and steps of each kind ----

// The seen stage's pattern: 0-3 for the weak point, the crackle's 1-3 as 0-2.
uint32_t StagePattern(uint8_t stage) { return std::min<uint32_t>(stage, 3); }

void SetUp(BossKind kind, Map20BossWork& w) {
  Map20Words& m = Map20State();
  switch (kind) {
    case BossKind::kHorns:
    case BossKind::kExplosion:
      Play(w, 0, 0);
      if (kind == BossKind::kExplosion && w.obj.handle != nullptr && HasScene()) {
        if (SpxAnimeKind* spx = Scene().tamvik_spr.spx()) spx->SetBlink(w.obj.handle, kBlinkPeriod);
      }
      break;
    case BossKind::kWeak:
      m.weak_seen = m.weak_stage;
      Play(w, StagePattern(m.weak_stage), 0);
      SlgSprSetAlpha(&w.obj, kWeakAlpha);
      SlgSprSetZoom(w.obj.handle, {0, 0});
      break;
    case BossKind::kCrackle:
      // Nothing is shown until the stage byte changes.
      m.crackle_seen = m.crackle_stage;
      break;
    case BossKind::kJewel:
    case BossKind::kPieces:
      Play(w, 0, kSlgAnmOnce);
      break;
    case BossKind::kFragment: {
      // Three draws in this order: the pattern, the direction, the speed.
      const uint32_t pattern = (SlgRand() & 0x10000) != 0 ? 2 : 1;
      w.direction = (SlgRand() >> 8) % 512;
      w.flight = {.x = w.x, .y = w.y, .speed = 2048 + (SlgRand() >> 8) % 2048, .zoom = kOne};
      Play(w, pattern, 0);
      SlgSprSetZoom(w.obj.handle, {kOne, kOne});
      break;
    }
  }
}

void Step(BossKind kind, SlgEffectTask* t, Map20BossWork& w) {
  Map20Words& m = Map20State();
  switch (kind) {
    case BossKind::kHorns:
      break;
    case BossKind::kWeak: {
      if (m.weak_stage != m.weak_seen) {
        m.weak_seen = m.weak_stage;
        Play(w, StagePattern(m.weak_stage), 0);
        SlgSprSetAlpha(&w.obj, kWeakAlpha);
      }
      const int32_t zoom = static_cast<int32_t>(
          std::min<int64_t>(int64_t{std::max(t->frames, 0)} * 1024, kOne));
      SlgSprSetZoom(w.obj.handle, {zoom, zoom});
      break;
    }
    case BossKind::kCrackle:
      if (m.crackle_stage != m.crackle_seen) {
        m.crackle_seen = m.crackle_stage;
        if (m.crackle_stage == 0) {
          t->phase = kSlgPhaseStop;
          return;
        }
        Play(w, StagePattern(m.crackle_stage) - 1, 0);
      }
      break;
    case BossKind::kJewel:
      if (w.burst == 0 && t->frames >= kMap20FragmentFrame) {
        w.burst = 1;
        const int made = SlgTaskCreateN(SlgTaskOwner(), BodyOf(BossKind::kFragment),
                                        kMap20Fragments, kMap20FragmentTask);
        if (made < kMap20Fragments) DebugPrint("map 20: %d of the jewel's fragments made\n", made);
      }
      if (w.rested == 0 && SlgAnmObjIsEnd(&w.obj) != 0) {
        w.rested = 1;
        ReleaseEventAnm(&w.anm);
        w.anm = GetEventAnm(kJewelRest.anm);
        w.x = kJewelRest.x * 256;
        w.y = kJewelRest.y * 256;
        Play(w, 0, 0);
      }
      break;
    case BossKind::kFragment:
      if (w.begun == 0) {
        // The start values saved and the clock restarted: the flight is replayed from here.
        w.begun = 1;
        w.start = w.flight;
        t->start = t->now;
        t->frames = 0;
      }
      w.flight = Map20FragmentFlight(w.start, w.direction, t->frames);
      w.x = w.flight.x;
      w.y = w.flight.y;
      if (w.flight.ended) ++t->phase;
      SlgSprSetZoom(w.obj.handle, {w.flight.zoom, w.flight.zoom});
      break;
    case BossKind::kExplosion: {
      if (w.begun == 0) {
        w.begun = 1;
        w.start = {.x = w.x, .y = w.y};
        StartTask(BossKind::kPieces);
      }
      // The fall replayed for the frames since the task began, 40 at most.
      const int32_t n = std::clamp(t->frames, 0, kMap20FallFrames);
      int64_t y = w.start.y;
      int64_t vy = kFallVy;
      for (int32_t i = 0; i < n; ++i) {
        y += vy;
        vy += kFallGravity;
      }
      w.x = Wrap(int64_t{w.start.x} + int64_t{kFallVx} * n);
      w.y = Wrap(y);
      if (t->frames >= kMap20FallFrames) ++t->phase;
      break;
    }
    case BossKind::kPieces:
      if (SlgAnmObjIsEnd(&w.obj) != 0) ++t->phase;
      break;
  }
  Place(w);
}

// The common rules, each frame: no event table -> phase 100 (whether hidden or not, so that no
// task outlives the map's events); bit 0x20 of the flag word -> hidden and nothing else; clear ->
// shown again; phase 0 the set-up, 1 the step, any other the release and the end.
template <BossKind K>
void BossBody(SlgEffectTask* t) {
  Map20BossWork* w = Map20WorkOf(t);
  if (HasEventTable() == 0) {
    t->phase = kSlgPhaseStop;
  } else if ((Battle().flags & kMap20HideBit) != 0) {
    if (w != nullptr && w->hidden == 0) {
      SlgAnmHide(w->obj.handle);
      w->hidden = 1;
    }
    return;
  } else if (w != nullptr && w->hidden != 0) {
    SlgAnmShow(w->obj.handle);
    w->hidden = 0;
  }
  switch (t->phase) {
    case 0: {
      if (w == nullptr) {
        t->owned[0] = SlgAlloc(sizeof(Map20BossWork));
        w = Map20WorkOf(t);
        if (w == nullptr) {
          DebugPrint("map 20: no work block for %s\n", t->name);
          Release(t);
          return;
        }
      }
      const BossDesc d = Desc(K);
      w->x = d.x * 256;
      w->y = d.y * 256;
      w->anm = GetEventAnm(d.anm);
      // Without its animation the task runs on and draws nothing.
      if (w->anm == nullptr) DebugPrint("map 20: %s has no EventAnm %d\n", t->name, d.anm);
      Track(t);
      SetUp(K, *w);
      t->phase = 1;
      break;
    }
    case 1:
      if (w != nullptr) Step(K, t, *w);
      break;
    default:
      Release(t);
      return;
  }
}

SlgBody BodyOf(BossKind kind) {
  switch (kind) {
    case BossKind::kHorns: return &BossBody<BossKind::kHorns>;
    case BossKind::kWeak: return &BossBody<BossKind::kWeak>;
    case BossKind::kCrackle: return &BossBody<BossKind::kCrackle>;
    case BossKind::kJewel: return &BossBody<BossKind::kJewel>;
    case BossKind::kFragment: return &BossBody<BossKind::kFragment>;
    case BossKind::kExplosion: return &BossBody<BossKind::kExplosion>;
    case BossKind::kPieces: return &BossBody<BossKind::kPieces>;
  }
  return nullptr;
}

const char* NameOf(BossKind kind) {
  switch (kind) {
    case BossKind::kHorns: return kMap20HornsTask;
    case BossKind::kWeak: return kMap20WeakTask;
    case BossKind::kCrackle: return kMap20CrackleTask;
    case BossKind::kJewel: return kMap20JewelTask;
    case BossKind::kFragment: return kMap20FragmentTask;
    case BossKind::kExplosion: return kMap20ExplosionTask;
    case BossKind::kPieces: return kMap20PiecesTask;
  }
  return nullptr;
}

SlgEffectTask* StartTask(BossKind kind) {
  SlgEffectTask* t = SlgTaskCreate(SlgTaskOwner(), BodyOf(kind), NameOf(kind));
  if (t == nullptr) DebugPrint("map 20: task %s not made\n", NameOf(kind));
  return t;
}

}  // namespace

Map20BossWork* Map20WorkOf(SlgEffectTask* task) {
  return task != nullptr ? static_cast<Map20BossWork*>(task->owned[0]) : nullptr;
}

Map20Flight Map20FragmentFlight(const Map20Flight& start, int32_t direction, int32_t frames) {
  Map20Flight f = start;
  const int64_t c = SlgCos(direction);
  const int64_t s = SlgSin(direction);
  for (int32_t n = 0; n < frames && !f.ended; ++n) {
    f.x = Wrap(f.x + ((c * f.speed) >> 14));
    f.y = Wrap(f.y + ((s * f.speed) >> 14));
    f.zoom -= 1024;
    f.speed -= 128;
    if (f.speed <= 0) f.ended = true;
  }
  return f;
}

SlgEffectTask* Map20StartHorns() { return StartTask(BossKind::kHorns); }
SlgEffectTask* Map20StartWeakPoint() { return StartTask(BossKind::kWeak); }
SlgEffectTask* Map20StartCrackle() { return StartTask(BossKind::kCrackle); }
SlgEffectTask* Map20StartJewel() { return StartTask(BossKind::kJewel); }
SlgEffectTask* Map20StartExplosion() { return StartTask(BossKind::kExplosion); }

void Map20StopTask(SlgEffectTask* task) {
  if (task != nullptr && SlgTaskIsAlive(task) != 0) SlgTaskStop(task);
}

void Map20EndBossTasks() {
  Map20Words& m = Map20State();
  for (SlgEffectTask* t : m.live) {
    if (t != nullptr && SlgTaskIsAlive(t) != 0) Release(t);
  }
  m.live.fill(nullptr);
}

int Map20LiveTasks() {
  const Map20Words& m = Map20State();
  return static_cast<int>(std::count_if(m.live.begin(), m.live.end(),
                                        [](const SlgEffectTask* t) { return t != nullptr; }));
}
