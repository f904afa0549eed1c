#include "battle_events/runtime/event_anm_handlers.h"

#include "battle/slg_anm_pool.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_events/core/event_queries.h"
#include "battle_events/event_units.h"
#include "battle_events/runtime/event_script_helpers.h"
#include "engine/app/context.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"

namespace {

// The play mode every form replays its pattern with.
constexpr uint8_t kReplayMode = 4;

SpxAnimeKind* Spx() { return HasScene() ? Scene().tamvik_spr.spx() : nullptr; }

// The first frame's placement; the drawing position follows the unit.
void Snap(EventAnmSnap snap, SlgUnit& unit, SlgPair& position) {
  switch (snap) {
    case EventAnmSnap::kNone:
      return;
    case EventAnmSnap::kCell: {
      const SlgPoint cell = SnapPosToCell(unit.x >> 16, unit.y >> 16);
      const SlgPoint lifted = CellPosLift(cell.x, cell.y);
      unit.x = static_cast<int32_t>(static_cast<uint32_t>(lifted.x) << 16);
      unit.y = static_cast<int32_t>(static_cast<uint32_t>(lifted.y) << 16);
      EventObjPlace(unit);
      position = EventObjScreenPos(unit);
      return;
    }
    case EventAnmSnap::kObject:
      EventObjSnap(unit);
      EventObjPlace(unit);
      position = EventObjScreenPos(unit);
      return;
    case EventAnmSnap::kCellPos: {
      SlgPair at{};
      EventObjCellPos(at, unit.x >> 16, unit.y >> 16);
      unit.x = at.x;
      unit.y = at.y;
      EventObjPlace(unit);
      position = Slg::PosToScreen({unit.x, unit.y});
      return;
    }
  }
}

// The body's pattern replayed from its set (ChangeUnitAnm), then the flag byte `flags` in force
// on the new animation: it loops only with flags 0, and flag bit 1 holds it on its first frame.
void Replay(SlgUnit& unit, uint8_t flags) {
  ChangeUnitAnm(unit, kReplayMode);
  SlgAnmObj* body = unit.anm;
  body->mode = flags;
  if (body->handle == nullptr) return;
  if (SpxAnimeKind* spx = Spx(); spx != nullptr) spx->SetLoop(body->handle, flags == 0 ? 1 : 0);
  if ((flags & kSlgAnmStartStopped) != 0) Ctx().anime.SetStop(body->handle, 1);
}

void Start(const EventAnmDesc& d, SlgUnit& unit) {
  SlgAnmObj* body = unit.anm;
  switch (d.start) {
    case EventAnmStart::kPlay:
      SetAnmObjFlags(body, kSlgAnmOnce);
      Replay(unit, body->mode);
      break;
    case EventAnmStart::kStill:
      SetAnmPattern(body, 0);
      Replay(unit, static_cast<uint8_t>(body->mode | kSlgAnmStartStopped));
      break;
    case EventAnmStart::kLoop:
      Replay(unit, 0);
      break;
    case EventAnmStart::kCharaOnce:
    case EventAnmStart::kCharaLoop:
      SetAnmPattern(body, unit.character);
      Replay(unit, d.start == EventAnmStart::kCharaOnce ? kSlgAnmOnce : 0);
      break;
  }
  if (d.held_start) {
    body->mode |= kSlgAnmStartStopped;
    if (body->handle != nullptr) Ctx().anime.SetStop(body->handle, 1);
  }
}

}  // namespace

void EventAnmReplay(SlgUnit& unit, uint8_t flags) {
  if (unit.anm != nullptr) Replay(unit, flags);
}

int RunEventAnm(const EventAnmDesc& d, SlgUnit& unit, SlgPair& position) {
  SlgAnmObj* body = unit.anm;
  if (body == nullptr || unit.state >= kEventAnmEnded) return 0;
  if (unit.state == kEventAnmFirst) {
    Snap(d.snap, unit, position);
    Start(d, unit);
    SetUnitState(unit, kEventAnmRunning);
  }
  if (d.shade0) body->shade = 0;
  if (d.depth_rule == EventAnmDepth::kOffset) {
    body->depth = static_cast<int16_t>(body->depth + d.depth);
  } else if (d.depth_rule == EventAnmDepth::kFixed) {
    body->depth = d.depth;
  } else if (d.depth_rule == EventAnmDepth::kHalfY) {
    body->depth = static_cast<int16_t>(-((unit.y >> 16) / 2) + d.depth);
  }
  if (d.place == EventAnmPlace::kObjectAndSprite) SetAnmPos(body, position);
  SlgSprSetPos(body->handle, position);
  SlgSprSetPri(body->handle, body->depth);
  if (d.shadow) Slg::DrawUnitShadow(position);
  // A held one-shot has not started yet: its end comes after EventResumeKindAnm.
  if (d.release_at_end && (body->mode & kSlgAnmStartStopped) == 0 && SlgAnmObjIsEnd(body) != 0) {
    if (HasScene()) Scene().tamvik_spr.ReleaseAnm(&body->handle);
    SetUnitState(unit, kEventAnmEnded);
  }
  return 0;
}
