// The town map's puppet task and floor slide.

#include <cstdint>

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/gfx_types.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_map.h"

namespace {

// Steps in pixels by direction: 0 down, 1 up, 2 left, 3 right.
constexpr int kStepX[4] = {0, 0, -2, 2};
constexpr int kStepY[4] = {2, -2, 0, 0};

// Frames without pointer movement before the idle turn.
constexpr uint16_t kIdleFrames = 300;
// Frames of the arrival animation: at the end of a trip, on the way.
constexpr uint8_t kTripEndFrames = 80;
constexpr uint8_t kLegEndFrames = 30;
// The walk moves only once this many milliseconds of its timer are unused.
constexpr uint32_t kMoveGateMs = 16;
// Steps of 2 pixels per frame: walking, and with logical key 2 held.
constexpr uint32_t kWalkSpeed = 2;
constexpr uint32_t kFastSpeed = 4;
constexpr int kFastKey = 2;

// The slide: moves, and milliseconds between them.
constexpr int32_t kSlideMoves = 32;
constexpr uint32_t kSlideInterval = 16;
constexpr int kFloorHeight = 480;

GameTaskRec* FindLive(const char* name) { return Ctx().game_task.FindTask(name); }

CTamvikMap& Map() { return Scene().map; }
CDdrawAnime& Anime() { return Ctx().anime; }

// The view y of layer 5 that shows a floor's band (floor 2 at the top of the 1440-pixel map).
int FloorViewY(int floor) { return (2 - floor) * kFloorHeight; }

// The walk cannot go on from the current node: it ends there, as an arrival.
void EndWalkHere(PapetWork& work, CTamvikMap& map, const char* why) {
  DebugPrint("PapetSeq: %s from %d to %d after %d hops; the walk ends here\n", why,
             map.current_node, map.go_target, work.hops);
  work.next = map.current_node;
  work.hops = 0;
  work.state = CTamvikMap::kPapetArrive;
}

// One frame of movement toward (tx, ty).
void Move(PapetWork& work, CTamvikMap& map) {
  const int32_t elapsed = Anime().GetTimer(map.walk_timer, 1, 0);
  const uint32_t t = elapsed < 0 ? 0 : static_cast<uint32_t>(elapsed) - work.used;
  if (t < kMoveGateMs) return;
  const uint64_t frames = uint64_t{t} * 60 / 1000;
  const uint32_t speed = IsKeyHeld(kFastKey) != 0 ? kFastSpeed : kWalkSpeed;
  const uint64_t steps = frames * speed;
  const uint16_t direction = work.direction & 3;
  bool arrived = false;
  // A leg is a straight line of whole steps (checked when it starts), so arrival ends the loop
  // within the leg's length whatever the step count.
  for (uint64_t i = 0; i < steps; ++i) {
    if (work.x == work.tx && work.y == work.ty) {
      arrived = true;
      break;
    }
    work.x += kStepX[direction];
    work.y += kStepY[direction];
  }
  SpxAnimeKind* kind = Scene().tamvik_spr.spx();
  if (!arrived) {
    work.used += static_cast<uint32_t>(frames * 1000 / 60);
    if (kind != nullptr) kind->SetSpxPos(map.puppet, work.x, work.y);
    Ctx().ddraw.SetUpdate(SURFACE_FG, 1);
    return;
  }
  map.current_node = work.next;
  work.state = CTamvikMap::kPapetWalk;
  if (kind != nullptr) kind->SetSpxPos(map.puppet, work.x, work.y);
  Ctx().ddraw.SetUpdate(SURFACE_FG, 1);
  Anime().DeleteRef(&map.walk_timer);
}

// State 4: the next hop, its direction and animation, a fresh timer, and the first move.
void StartLeg(PapetWork& work, CTamvikMap& map) {
  work.next = CTamvikMap::NextHop(map.current_node, map.go_target);
  if (map.current_node == map.go_target) {
    work.hops = 0;
    work.state = CTamvikMap::kPapetArrive;
    return;
  }
  // A walk that could reach its target does so in fewer hops than the building has nodes; a
  // route that goes round in circles (a target the graph cannot reach, or no node of it) stops.
  if (work.hops >= CTamvikMap::NodeCount(CTamvikMap::RouteBuilding())) {
    EndWalkHere(work, map, "hop limit reached");
    return;
  }
  if (work.next == map.current_node) {
    EndWalkHere(work, map, "no route");
    return;
  }
  // The next node must lie on a straight line of 2-pixel steps from the puppet, or the walk
  // would never reach it.
  int tx = 0, ty = 0;
  if (!map.SetNodePos(work.next) ||
      !CTamvikMap::NodePosition(map.map_kind, work.next, &tx, &ty) ||
      (tx != work.x && ty != work.y) || ((tx - work.x) % 2) != 0 || ((ty - work.y) % 2) != 0) {
    EndWalkHere(work, map, "no straight way");
    return;
  }
  ++work.hops;
  work.tx = map.node_x;
  work.ty = map.node_y;
  if (work.tx < work.x) {
    work.direction = 2;
  } else if (work.tx > work.x) {
    work.direction = 3;
  } else if (work.ty < work.y) {
    work.direction = 1;
  } else if (work.ty > work.y) {
    work.direction = 0;
  }
  map.PlayPuppetAnimation(work.direction, work.x, work.y, 1);
  Anime().DeleteRef(&map.walk_timer);
  map.walk_timer = Anime().CreateTimer();
  work.used = 0;
  work.state = CTamvikMap::kPapetMove;
  Move(work, map);
}

bool PointerMoved(const PapetWork& work, const CTamvikMap& map) {
  return work.tx != map.pointer_x || work.ty != map.pointer_y;
}

}  // namespace

CTamvikMap::~CTamvikMap() {
  if (!HasCtx()) return;
  Ctx().anime.DeleteRef(&walk_timer);
  Ctx().anime.DeleteRef(&slide_scroll);
}

void CTamvikMap::PlayPuppetAnimation(uint32_t animation, int x, int y, uint32_t loop) {
  CTamvikSpr& units = Scene().tamvik_spr;
  units.ReleaseAnm(&puppet);
  puppet = units.PlayAnmLoopFlag(label_file, animation, x, y, loop, SURFACE_FG, 1);
}

int CTamvikMap::StartPapetSeq(GameTaskRec* owner, const char* name) {
  Map().puppet_name = name != nullptr ? name : "";
  auto* work = TaskNewBlock<PapetWork>();
  return Ctx().game_task.SetTask(owner, &CTamvikMap::PapetSeq, kPapetTaskName, work, nullptr);
}

void CTamvikMap::EndPapetSeq() {
  Scene().tamvik_spr.ReleaseAnm(&Map().puppet);
  if (GameTaskRec* task = FindLive(kPapetTaskName)) Ctx().game_task.DelTask(task);
}

int CTamvikMap::GetPapetState() {
  GameTaskRec* task = FindLive(kPapetTaskName);
  return task != nullptr ? TaskWorkAs<PapetWork>(task)->state : 0;
}

void CTamvikMap::SetPapetState(uint8_t state) {
  if (GameTaskRec* task = FindLive(kPapetTaskName)) TaskWorkAs<PapetWork>(task)->state = state;
}

void CTamvikMap::SetPapetPos(int x, int y) {
  if (GameTaskRec* task = FindLive(kPapetTaskName)) {
    PapetWork* work = TaskWorkAs<PapetWork>(task);
    work->x = x;
    work->y = y;
  }
}

void CTamvikMap::PapetSeq(GameTaskRec* task) {
  if (!HasScene()) return;
  if (task->owner != nullptr && Ctx().game_task.IsTask(OwnerHandle(task)) == 0) {
    EndPapetSeq();
    return;
  }
  CTamvikMap& map = Map();
  PapetWork& work = *TaskWorkAs<PapetWork>(task);
  switch (work.state) {
    case kPapetStart:
      map.SetNodePos(map.current_node);
      // The picture's coordinates are the window's client coordinates and the pointer's.
      TamvikFunc::SetMouseCursorPos(map.node_x, map.node_y);
      work.x = map.node_x;
      work.y = map.node_y;
      map.PlayPuppetAnimation(kAnimStand, work.x, work.y, 1);
      work.idle = 0;
      work.state = kPapetIdle;
      break;
    case kPapetIdle:
      if (++work.idle >= kIdleFrames) {
        map.PlayPuppetAnimation(kAnimIdleOnce, work.x, work.y, 0);
        work.state = kPapetIdleOnce;
      }
      if (PointerMoved(work, map)) work.idle = 0;
      break;
    case kPapetIdleOnce:
    case kPapetIdleLoop: {
      if (work.state == kPapetIdleOnce) {
        SpxAnimeKind* kind = Scene().tamvik_spr.spx();
        if (kind == nullptr || kind->IsEnd(map.puppet) != 0) {
          map.PlayPuppetAnimation(kAnimIdleLoop, work.x, work.y, 1);
          work.state = kPapetIdleLoop;
        }
      }
      if (PointerMoved(work, map)) {
        map.PlayPuppetAnimation(kAnimStand, work.x, work.y, 1);
        work.idle = 0;
        work.state = kPapetIdle;
      }
      break;
    }
    case kPapetWalk:
      StartLeg(work, map);
      break;
    case kPapetMove:
      Move(work, map);
      break;
    case kPapetArrive:
      if (map.go_flag != 0) {
        map.PlayPuppetAnimation(kAnimTripEnd + work.direction, work.x, work.y, 1);
        work.wait = kTripEndFrames;
        map.stack_depth = 0;
      } else {
        map.PlayPuppetAnimation(kAnimLegEnd + work.direction, work.x, work.y, 1);
        work.wait = kLegEndFrames;
        if (IsOnKaidan(work.next) == 0) {
          DebugPrint("MapStackPointer Force Clear\n");
          map.stack_depth = 0;
        }
      }
      work.count = 0;
      Anime().DeleteRef(&map.walk_timer);
      map.walk_timer = Anime().CreateTimer();
      work.state = kPapetArriving;
      break;
    case kPapetArriving:
      if (Anime().GetTimer(map.walk_timer, 0, 0) >= 1) {
        Anime().ResetTimer(map.walk_timer);
        if (++work.count >= work.wait) {
          Anime().DeleteRef(&map.walk_timer);
          work.state = kPapetDone;
        }
      }
      break;
    default:
      break;
  }
  if (work.state <= kPapetIdleLoop) {
    work.tx = map.pointer_x;
    work.ty = map.pointer_y;
  }
}

GameTaskRec* CTamvikMap::StartSlideFloor(GameTaskRec* owner, uint16_t floor, uint32_t mode) {
  auto* work = TaskNewBlock<SlideFloorWork>();
  work->mode = mode;
  work->floor = floor;
  if (Ctx().game_task.SetTask(owner, &CTamvikMap::SlideFloor, kSlideTaskName, work, nullptr) ==
      0) {
    return nullptr;
  }
  // The newest record of that name is the one just appended.
  GameTaskRec* found = nullptr;
  for (GameTaskRec* t = Ctx().game_task.root(); t != nullptr; t = t->next) {
    if (!t->deleted && t->name == kSlideTaskName) found = t;
  }
  return found;
}

bool CTamvikMap::IsSlideFloorEnd() { return FindLive(kSlideTaskName) == nullptr; }

void CTamvikMap::SlideFloor(GameTaskRec* task) {
  if (!HasScene()) return;
  CTamvikMap& map = Map();
  SlideFloorWork& work = *TaskWorkAs<SlideFloorWork>(task);
  switch (work.step) {
    case 0: {
      int view_x = 0, view_y = 0;
      Ctx().ddraw.GetLayerScroll(SURFACE_BG, &view_x, &view_y);
      const int dy = (FloorViewY(work.floor) - view_y) / kSlideMoves;
      Anime().DeleteRef(&map.slide_scroll);
      map.slide_scroll = Anime().CreateLayerScroll(SURFACE_BG, 0, dy, kSlideInterval, kSlideMoves);
      Anime().SetAutoClear(&map.slide_scroll);
      Scene().tamvik_spr.ReleaseAnm(&map.puppet);
      work.step = 1;
      break;
    }
    case 1:
      if (map.slide_scroll != nullptr) break;
      {
        int view_x = 0, view_y = 0;
        Ctx().ddraw.GetLayerScroll(SURFACE_BG, &view_x, &view_y);
        Ctx().ddraw.SetLayerScroll(SURFACE_BG, view_x, FloorViewY(work.floor));
      }
      work.step = 2;
      break;
    case 2: {
      uint16_t node = map.current_node;
      if (map.stack_depth != 0 && map.stack_depth <= kStackSize && work.mode == 2) {
        node = map.PlaceToNode(work.floor, map.map_stack[map.stack_depth - 1].destination_place);
      }
      int x = 0, y = 0;
      // A node in no row keeps the puppet where it stands.
      if (NodePosition(map.map_kind, node, &x, &y)) {
        SetPapetPos(x, y);
      } else if (GameTaskRec* puppet = FindLive(kPapetTaskName)) {
        x = TaskWorkAs<PapetWork>(puppet)->x;
        y = TaskWorkAs<PapetWork>(puppet)->y;
      }
      map.PlayPuppetAnimation(kAnimStand, x, y, 1);
      work.step = 3;
      break;
    }
    default:
      Ctx().game_task.DelTask(task);
      break;
  }
}
