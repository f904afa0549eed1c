// Satan's attacks (kind 33): the entry, the normal attack, the critical attack and the critical-2
// attack with its wind push (battle_effects/satan.h).

#include "battle_effects/satan.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_battle_state.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_map.h"
#include "battle/slg_math.h"
#include "battle/slg_screen.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle_effects/attack_routines.h"
#include "battle_effects/effect_family.h"
#include "battle_effects/kinematic.h"
#include "engine/core/debug_trace.h"
#include "scene/scene_context.h"

namespace {

constexpr int32_t kPx = 65536;
constexpr uint16_t kFlagsUnitsShown = 0x6;  // SlgFlags bits 1 and 2
constexpr uint16_t kFlagCritical = 0x80;    // SlgFlags bit 7
constexpr uint8_t kStateAfterAttack = 7;
constexpr uint8_t kModeLoop = 0;
constexpr uint8_t kModeOnce = kSlgAnmOnce;

constexpr SlgPair Map(int32_t x, int32_t y) { return {x * kPx, y * kPx}; }
constexpr SlgPair kHornsAt = Map(1600, 400);
constexpr SlgPair kCoreAt = Map(kSatanCore.x, kSatanCore.y);

SprAnm* Set() { return SatanWork().handle; }

// ---- The camera ----

SlgPair Scroll() {
  const SlgBattleState& s = Battle().state;
  return {s.scroll_x, s.scroll_y};
}
void SetScroll(const SlgPair& px) {
  SlgBattleState& s = Battle().state;
  s.scroll_x = static_cast<int16_t>(px.x);
  s.scroll_y = static_cast<int16_t>(px.y);
}

// A pan of a top task: sub-step 0 keeps the start scroll (start, pixels) and the slope (vel) and
// goes on at once; sub-step 1 puts the scroll at frame n + ahead; from 60 frames the scroll is the
// goal (`exact`) or where the 60th step puts it, the signal word is cleared and the sub-step
// becomes 2 (the next part starts on the next frame).
void PanFrame(SlgEffectTask* t, EffectWork& w, const SlgPair& to, int32_t ahead, bool exact) {
  if (w.sub == 0) {
    w.start = Scroll();
    w.vel = SatanPanSlope(w.start, to);
    EffectRestart(t, w);
    w.sub = 1;
  }
  const int32_t n = EffectFrames(t, w);
  if (n < kSatanPanFrames) {
    SetScroll(SatanPanAt(w.start, w.vel, n + ahead));
    return;
  }
  SetScroll(exact ? kSatanPanGoal : SatanPanAt(w.start, w.vel, kSatanPanFrames));
  t->signal = 0;
  w.sub = 2;
}

// Frames at 60 a second from `from` to `now` (game clock ms), toward zero.
int32_t FramesSince(uint32_t from, uint32_t now) {
  return static_cast<int32_t>(int64_t{static_cast<int32_t>(now - from)} * 60 / 1000);
}

// n / 2^shift as 16.16 (the zooms that grow or thin by frames); n held within 0-65536, so a clock
// that jumps far ahead reads as a long way past the end.
int32_t FramesOver(int32_t n, int shift) {
  return static_cast<int32_t>((int64_t{std::clamp(n, 0, 65536)} * kPx) >> shift);
}

// The whole pixels of a 16.16 map position, as 16.16.
SlgPair WholePixels(const SlgPair& p) { return {(p.x >> 16) * kPx, (p.y >> 16) * kPx}; }

// ---- Parts that play one animation ----

// The part's set-up: its depth and animation number, given by its maker.
SlgEffectTask* MakeOnce(SlgEffectTask* parent, SlgBody body, const char* name, const SlgPair& at,
                        uint8_t anm, int16_t depth) {
  SlgEffectTask* t = EffectCreate(parent, body, name, at);
  if (EffectWork* w = EffectWorkOf(t)) {
    w->anm = anm;
    w->depth = depth;
  }
  return t;
}

// Plays its animation once; when it has ended (or never started) it signals and ends on its next
// frame (the horns, the magic circle).
void OnceThenEnd(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kParent);
  if (w == nullptr) return;
  if (t->phase == 0) {
    EffectPlay(*w, Set(), w->anm, kModeOnce);
    t->phase = 1;
  }
  if (SlgAnmObjIsEnd(&w->obj) != 0) {
    EffectSignalParent(*w, EffectSignal::kSubStep);
    t->phase = 2;
  }
}

// The same, then it waits for the stop word; with `follow` it keeps to its map position as the
// camera moves.
void HoldAfterOnce(SlgEffectTask* t, bool follow) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  if (t->phase == 0) {
    EffectPlay(*w, Set(), w->anm, kModeOnce);
    t->phase = 1;
  }
  if (w->state == 0 && SlgAnmObjIsEnd(&w->obj) != 0) {
    EffectSignalParent(*w, EffectSignal::kSubStep);
    w->state = 1;
  }
  if (follow) EffectPlace(*w);
}

// The eye.
void OnceThenHold(SlgEffectTask* t) { HoldAfterOnce(t, false); }

// ---- The normal attack ----

constexpr int kCircles = 5;
constexpr int32_t kCircleHoldFrames = 90;
enum CircleStep : uint8_t { kGrow, kHold, kShrink, kAwaitBomb };

// "Satan::NormalAttack:Mahoujin:Bomb": animation 4 once, then 1 on circle 0's signal word.
void Bomb(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kParent);
  if (w == nullptr) return;
  if (t->phase == 0) {
    w->depth = -1000;
    EffectPlay(*w, Set(), 4, kModeOnce);
    t->phase = 1;
  }
  if (SlgAnmObjIsEnd(&w->obj) != 0) {
    EffectSignalParent(*w, EffectSignal::kWord);
    EffectEnd(t);
  }
}

// "Satan::NormalAttack:MahoujinMulti<k>": grows to 1.0 over 128 frames, holds 90, shrinks over
// 128; circle 0 makes the bomb as the hold ends and signals the top task once the bomb has.
void CircleMulti(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kParent);
  if (w == nullptr) return;
  const int k = t->index;
  if (t->phase == 0) {
    w->depth = static_cast<int16_t>(k == 1 ? -1000 : 300);
    EffectPlay(*w, Set(), static_cast<uint32_t>(k + 1), kModeLoop);
    w->state = kGrow;
    t->phase = 1;
  }
  const int32_t n = EffectFrames(t, *w);
  switch (w->state) {
    case kGrow:
      w->zoom = FramesOver(n, 7);
      if (w->zoom >= kPx) {
        w->zoom = kPx;
        EffectRestart(t, *w);
        w->state = kHold;
      }
      break;
    case kHold:
      w->zoom = kPx;
      if (n >= kCircleHoldFrames) {
        t->signal = 0;
        if (k == 0) {
          // A bomb that cannot be made counts as one that has gone off.
          SlgEffectTask* bomb = EffectCreate(t, &Bomb, "Satan::NormalAttack:Mahoujin:Bomb", w->pos);
          EffectKeepChild(*w, bomb);
          if (bomb == nullptr) t->signal = 1;
        }
        EffectRestart(t, *w);
        w->state = kShrink;
      }
      break;
    case kShrink:
      w->zoom = kPx - FramesOver(n, 7);
      if (w->zoom <= 0) {
        w->zoom = 0;
        if (k != 0) {
          EffectEnd(t);
          return;
        }
        w->state = kAwaitBomb;
      }
      break;
    default: {
      w->zoom = 0;
      if (t->signal != 0 || !EffectTaskIs(w->child, w->child_id)) {
        t->signal = 0;
        EffectSignalParent(*w, EffectSignal::kSubStep);
        EffectEnd(t);
        return;
      }
      break;
    }
  }
  SlgSprSetZoom(w->obj.handle, {w->zoom, w->zoom});
}

void EndTop(SlgEffectTask* t) {
  SatanAttackWork& s = SatanWork();
  if (s.top == t) {
    if (s.attacker != nullptr) ++s.attacker->step;
    s.top = nullptr;
  }
  EffectEnd(t);
}

// The targets' mean, or the boss's centre should the attacker be unknown.
SlgPair Mean() {
  const SlgUnit* a = SatanWork().attacker;
  return a != nullptr ? SatanTargetMean(*a) : kCoreAt;
}

// "Satan::NormalAttack".
void NormalTop(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kParent);
  if (w == nullptr) return;
  t->phase = 1;
  // One part a frame: a new part number takes effect on the next frame (its sub-step reset), so
  // every part sees the words the previous one left for a whole frame.
  switch (w->state) {
    case 0:  // the pan to the boss
      PanFrame(t, *w, kSatanPanGoal, 0, true);
      if (w->sub >= 2) w->state = 1;
      break;
    case 1:  // the horns
      if (w->sub == 0) {
        EffectAwait(*w, MakeOnce(t, &OnceThenEnd, "Satan::NormalAttack:Tsuno", kHornsAt, 0, -1000));
      }
      EffectAwaitGone(*w, 1);
      if (w->sub >= 2) w->state = 2;
      break;
    case 2: {  // the pan toward the targets
      const SlgPair mean = Mean();
      PanFrame(t, *w, {(mean.x >> 16) - kSlgCentreX, (mean.y >> 16) - kSlgCentreY}, 0, false);
      if (w->sub >= 2) w->state = 3;
      break;
    }
    case 3:  // the magic circle, then the five
      if (w->sub == 0) {
        w->pos = WholePixels(Mean());
        EffectAwait(*w, MakeOnce(t, &OnceThenEnd, "Satan::NormalAttack:Mahoujin", w->pos, 6, 300));
      }
      EffectAwaitGone(*w, 1);
      if (w->sub == 2) {
        // As SlgTaskCreateN: "<base>0" .. "<base>4" with their index bytes, stopping at the
        // first that cannot be made. Circle 0 is the one that signals.
        SlgEffectTask* first = nullptr;
        for (int k = 0; k < kCircles; ++k) {
          char name[48];
          std::snprintf(name, sizeof name, "Satan::NormalAttack:MahoujinMulti%d", k);
          SlgEffectTask* c = EffectCreate(t, &CircleMulti, name, w->pos);
          if (c == nullptr) break;
          c->index = static_cast<uint8_t>(k);
          if (k == 0) first = c;
        }
        EffectAwait(*w, first);
      }
      EffectAwaitGone(*w, 3);
      if (w->sub >= 4) w->state = 4;
      break;
    default:
      EndTop(t);
      return;
  }
}

// ---- The critical attack ----

// The star's strokes: the points of pair 0 .. 5 (5 = 0 again), relative to the screen centre.
struct StrokePair {
  PolygonPoint a, b;
};
constexpr StrokePair kStarPairs[kSatanStrokes + 1] = {
    {{-70, -78}, {-70, -28}},   {{-138, 102}, {-112, 80}}, {{42, 62}, {0, 54}},
    {{-180, -48}, {-138, -14}}, {{0, 172}, {-28, 118}},    {{-70, -78}, {-70, -28}}};
constexpr uint16_t kStarRed = 0x7C08;
constexpr uint16_t kStarLit = 0x7FEC;
constexpr uint16_t kStarDark = 0x7C00;

void DrawPoly(SlgPoly& poly, const SlgPair& at, uint16_t colour, int16_t depth,
              const std::array<PolygonPoint, 4>& corners) {
  poly.x = at.x;
  poly.y = at.y;
  poly.colour = colour;
  poly.depth = depth;
  std::copy(corners.begin(), corners.end(), poly.corners);
  poly.entry = nullptr;
  // No buffer name: drawn on this frame only; the sprite layer removes it.
  SlgPolyCreate(nullptr, &poly, SURFACE_ROOT);
}

// "Orbile::CriticalAttack:Star": five strokes of 15 frames, then it signals and blinks.
void Star(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  if (t->phase == 0) {
    auto* polys = static_cast<SlgPoly*>(SlgAlloc(sizeof(SlgPoly) * kSatanStrokes));
    if (polys == nullptr) {
      // No star without its strokes: it counts as drawn.
      EffectSignalParent(*w, EffectSignal::kSubStep);
      EffectEnd(t);
      return;
    }
    t->owned[1] = polys;
    w->colour = kStarRed;
    w->depth = -610;
    w->anm = 0;
    t->phase = 1;
  }
  if (w->anm < kSatanStrokes) {
    if (EffectFrames(t, *w) >= kSatanStrokeFrames) {
      ++w->anm;
      EffectRestart(t, *w);
    }
  } else {
    if (w->state == 0) {
      EffectSignalParent(*w, EffectSignal::kSubStep);
      t->signal = 0;
      w->state = 1;
    }
    t->signal ^= 1;
    w->colour = t->signal != 0 ? kStarLit : kStarDark;
  }
  auto* polys = static_cast<SlgPoly*>(t->owned[1]);
  const int32_t n = EffectFrames(t, *w);
  for (int s = 0; s <= std::min<int>(w->anm, kSatanStrokes - 1); ++s) {
    DrawPoly(polys[s], {}, w->colour, w->depth, SatanStarQuad(s, s < w->anm, n));
  }
}

// "Orbile::CriticalAttack:Thunder": animations 1, 2, 3 in turn; signals the frame after the
// third has started, then holds.
void Thunder(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  if (t->phase == 0) {
    w->depth = -650;
    w->anm = 1;
    EffectPlay(*w, Set(), 1, kModeOnce);
    t->phase = 1;
  } else if (w->state == 1) {
    EffectSignalParent(*w, EffectSignal::kSubStep);
    w->state = 2;
  }
  while (w->state == 0) {
    if (w->anm >= 3) {
      w->state = 1;
    } else if (SlgAnmObjIsEnd(&w->obj) != 0) {
      ++w->anm;
      EffectPlay(*w, Set(), w->anm, kModeOnce);
    } else {
      break;
    }
  }
}

// "Orbile::CriticalAttack:Line<n>": flies in from 960 pixels out and vanishes at the core.
void Line(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  if (t->phase == 0) {
    w->angle = static_cast<uint16_t>((SlgRand() >> 4) & 511);
    w->start = w->pos = SatanLineStart(w->angle);
    w->colour = 0xFFFF;
    w->depth = -620;
    EffectRestart(t, *w);
    t->phase = 1;
  } else if (w->state != 0) {
    // It reached the core on its previous frame.
    EffectEnd(t);
    return;
  }
  const SatanLinePos p = SatanLineAt(w->start, EffectFrames(t, *w));
  w->pos = p.pos;
  if (p.arrived) w->state = 1;
  DrawPoly(w->poly, EffectScreenPos(w->pos), w->colour, w->depth, SatanLineCorners(p.heading));
}

// "Orbile::CriticalAttack:Energy": grows over 128 frames, signals on the next, then holds.
void Energy(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  if (t->phase == 0) {
    w->depth = -600;
    EffectPlay(*w, Set(), 6, kModeLoop);
    t->phase = 1;
  }
  switch (w->state) {
    case 0:
      w->zoom = FramesOver(EffectFrames(t, *w), 7);
      if (w->zoom >= kPx) {
        w->zoom = kPx;
        w->state = 1;
      }
      break;
    case 1:
      EffectSignalParent(*w, EffectSignal::kSubStep);
      w->state = 2;
      break;
    default:
      break;
  }
  SlgSprSetZoom(w->obj.handle, {w->zoom, w->zoom});
}

// ---- The beam ----

constexpr int32_t kBeamScrollLimitY = 384;
constexpr int32_t kBeamEndY = 1120;
constexpr int32_t kRayMargin = 64;

// The head's offset n frames into its travel: (-20n, +10n) pixels. The travel ends after 68
// frames; a clock that jumps far ahead is held well past that, inside the 16.16 range.
SlgPair BeamAt(const SlgPair& start, int32_t n) {
  const int32_t m = std::clamp(n, 0, 1024);
  return {start.x - 20 * m * kPx, start.y + 10 * m * kPx};
}

// "Orbile::CriticalAttack:Hadouhou2": follows the head.
void BeamGlow(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  const EffectWork* head = EffectParent(*w);
  if (head != nullptr) w->pos = head->pos;
  if (t->phase == 0) {
    w->depth = -610;
    EffectPlay(*w, Set(), 5, kModeLoop);
    t->phase = 1;
  }
  EffectPlace(*w);
}

// "Orbile::CriticalAttack:Hadouhou3": the ray from the head's start, stretched to its length
// while the head travels, then thinned over 32 frames; it advances the head's state at the end.
void BeamRay(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  if (t->phase == 0) {
    w->depth = -605;
    EffectPlay(*w, Set(), 7, kModeLoop);
    w->zoom = 0;
    w->start_zoom = kPx;
    EffectRestart(t, *w);
    t->phase = 1;
  }
  if (Family().beam_done == 0) {
    if ((w->pos.x >> 16) >= Battle().state.scroll_x - kRayMargin) {
      w->pos = BeamAt(w->start, EffectFrames(t, *w));
    }
    const int64_t dx = (w->pos.x >> 16) - (w->start.x >> 16);
    const int64_t dy = (w->pos.y >> 16) - (w->start.y >> 16);
    const auto length = static_cast<int32_t>(std::sqrt(static_cast<double>(dx * dx + dy * dy)));
    w->zoom = length * (kPx / 16);
  } else if (w->state < 2) {
    if (w->state == 0) {
      EffectRestart(t, *w);
      w->state = 1;
    }
    w->start_zoom = kPx - FramesOver(EffectFrames(t, *w), 5);
    if (w->start_zoom <= 0) {
      w->start_zoom = 0;
      EffectSignalParent(*w, EffectSignal::kState);
      w->state = 2;
    }
  }
  SlgSprSetRot(w->obj.handle, SlgAtan2(-50, 100));
  SlgSprSetZoom(w->obj.handle, {w->zoom, w->start_zoom});
  EffectPlace(*w);
}

// "Orbile::CriticalAttack:Hadouhou": the head travels down and left, the camera with it until
// y 384; past y 1120 it stops (the beam flag); once the ray has thinned away it signals.
void BeamHead(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  EffectFamily& f = Family();
  if (t->phase == 0) {
    w->depth = -600;
    EffectPlay(*w, Set(), 6, kModeLoop);
    f.beam_done = 0;
    w->start_vel = Scroll();  // the scroll at its start, pixels
    EffectRestart(t, *w);
    EffectCreate(t, &BeamGlow, "Orbile::CriticalAttack:Hadouhou2", w->start);
    SlgEffectTask* ray = EffectCreate(t, &BeamRay, "Orbile::CriticalAttack:Hadouhou3", w->start);
    EffectKeepChild(*w, ray);
    t->phase = 1;
  }
  if (f.beam_done == 0) {
    const int32_t n = EffectFrames(t, *w);
    SlgPair scroll = Scroll();
    scroll.y = w->start_vel.y + 10 * n;
    if (scroll.y <= kBeamScrollLimitY) {
      scroll.x = std::max(w->start_vel.x - 20 * n, 0);
    } else {
      scroll.y = kBeamScrollLimitY;
    }
    SetScroll(scroll);
    w->pos = BeamAt(w->start, n);
    if ((w->pos.y >> 16) > kBeamEndY) f.beam_done = 1;
  }
  if (w->state == 0 && f.beam_done != 0) {
    // A ray that is gone (never made, or ended) cannot advance the state: it counts as done.
    if (!EffectTaskIs(w->child, w->child_id)) w->state = 1;
  }
  if (w->state == 1) {
    EffectSignalParent(*w, EffectSignal::kSubStep);
    w->state = 2;
  }
  EffectPlace(*w);
}

// "Satan::CriticalAttack".
void CriticalTop(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kParent);
  if (w == nullptr) return;
  BattleContext& b = Battle();
  EffectFamily& f = Family();
  if (t->phase == 0) {
    b.flags |= kFlagCritical;
    b.kind_states.satan_attack = 1;
    f.stop = 0;
    t->phase = 1;
  }
  // One part a frame, as the normal attack.
  switch (w->state) {
    case 0:  // the pan to the boss, one frame ahead
      PanFrame(t, *w, kSatanPanGoal, 1, true);
      if (w->sub >= 2) w->state = 1;
      break;
    case 1:  // the eye
      if (w->sub == 0) {
        EffectAwait(*w,
                    MakeOnce(t, &OnceThenHold, "Orbile::CriticalAttack:Eye", kHornsAt, 0, -500));
      }
      EffectAwaitGone(*w, 1);
      if (w->sub >= 2) w->state = 2;
      break;
    case 2:  // the star
      if (w->sub == 0) EffectAwait(*w, EffectCreate(t, &Star, "Orbile::CriticalAttack:Star"));
      EffectAwaitGone(*w, 1);
      if (w->sub >= 2) w->state = 3;
      break;
    case 3:  // the thunder
      if (w->sub == 0) {
        EffectAwait(*w, EffectCreate(t, &Thunder, "Orbile::CriticalAttack:Thunder", kCoreAt));
      }
      EffectAwaitGone(*w, 1);
      if (w->sub >= 2) w->state = 4;
      break;
    case 4: {  // the lines, then the energy
      if (w->sub == 0) {
        f.line_count = 0;
        EffectRestart(t, *w);
        w->sub = 1;
      }
      if (w->sub == 4) {
        w->state = 5;
        break;
      }
      char name[48];
      std::snprintf(name, sizeof name, "Orbile::CriticalAttack:Line%u", f.line_count++);
      EffectCreate(t, &Line, name);
      if (w->sub == 1 && EffectFrames(t, *w) >= 60) {
        t->signal = 0;
        w->sub = 2;
      } else if (w->sub == 2) {
        EffectAwait(*w, EffectCreate(t, &Energy, "Orbile::CriticalAttack:Energy", kCoreAt));
      }
      EffectAwaitGone(*w, 3);
      break;
    }
    case 5:  // the white-out; at its end every part so far ends
      if (w->sub == 0) {
        SlgWhiteOut(32);
        w->sub = 1;
      } else if (SlgIsFadeEnd() != 0) {
        f.stop = 1;
        w->state = 6;
      }
      break;
    case 6:  // back from white at once, and the beam
      if (w->sub == 0) {
        SlgWhiteIn(0);
        f.stop = 0;
        EffectAwait(*w, EffectCreate(t, &BeamHead, "Orbile::CriticalAttack:Hadouhou", kCoreAt));
      }
      EffectAwaitGone(*w, 1);
      if (w->sub >= 2) {
        f.stop = 1;
        w->state = 7;
      }
      break;
    default:
      b.flags &= static_cast<uint16_t>(~kFlagCritical);
      b.kind_states.satan_attack = 0;
      EndTop(t);
      return;
  }
}

// ---- The critical-2 attack ----

constexpr SlgPair kJewelAt = Map(1600, 400);
constexpr int32_t kScreenW = 640;
constexpr int32_t kScreenH = 480;
constexpr uint32_t kWindCount = 0x10000;  // one wind in the top task's signal word

// "Orbile::Critical2:Houseki": animation 0 once at (1600, 400), kept on its map position as the
// camera moves; signals when it has ended, then holds until the stop word.
void Jewel(SlgEffectTask* t) { HoldAfterOnce(t, true); }

// "Orbile::Critical2:KumoByuu": moves map plane 1 (the clouds) until the stop word; the offset
// stays where it was last put.
void Clouds(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  t->phase = 1;
  const SlgPair at = SatanCloudsAt(EffectFrames(t, *w));  // pixels
  SlgMap::SetPlaneOffset(1, at.x, at.y);
}

// "Satan::Critical2:Tiri<n>": a speck of dust blown in from above or from the right, down and
// left at (-32, +16) a frame; it ends on the frame after it has left the screen.
void Dust(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kStop);
  if (w == nullptr) return;
  const SlgPair scroll = Scroll();
  if (t->phase == 0) {
    const auto roll = [](uint32_t range) {
      return static_cast<int32_t>((static_cast<uint32_t>(SlgRand()) >> 8) % range);
    };
    if ((SlgRand() & 0x100) == 0) {
      w->start = Map(scroll.x + roll(kScreenW), scroll.y - 64);
    } else {
      w->start = Map(scroll.x + kScreenW + 64, scroll.y + roll(kScreenH));
    }
    w->pos = w->start;
    w->depth = -700;
    EffectPlay(*w, Set(), 2, kModeLoop);
    t->phase = 1;
  } else if (w->state != 0) {
    EffectEnd(t);
    return;
  }
  // Off the screen within 40 frames; a clock that jumps far ahead is held there.
  const int32_t n = std::clamp(EffectFrames(t, *w), 0, 1024);
  w->pos = {w->start.x - 32 * n * kPx, w->start.y + 16 * n * kPx};
  if ((w->pos.x >> 16) < scroll.x || (w->pos.y >> 16) > scroll.y + kScreenH) w->state = 1;
  EffectPlace(*w);
}

// "Satan::Critical2:Kaze<k>": a wind from the core down and left, growing to its full size; the
// first (index 0) carries the units along. Past y 992 it stops, lowers its parent's wind count
// on the next frame and ends on the one after.
void Wind(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kParent);
  if (w == nullptr) return;
  const bool pushes = t->index == 0;
  if (t->phase == 0) {
    w->depth = -600;
    w->zoom = kPx / 2;
    EffectPlay(*w, Set(), 1, kModeLoop);
    if (pushes) SatanPushSetUp();
    t->phase = 1;
  }
  switch (w->state) {
    case 0: {
      if (pushes) SatanPushRestore();
      const SatanWindPos p = SatanWindAt(EffectFrames(t, *w), pushes);
      if (pushes) SatanPushEnter();
      w->pos = p.pos;
      w->zoom = p.zoom;
      if (p.stopped) w->state = 1;
      break;
    }
    case 1:
      if (EffectParent(*w) != nullptr && w->parent->signal >= kWindCount) {
        w->parent->signal -= kWindCount;
      }
      w->state = 2;
      break;
    default:
      EffectEnd(t);
      return;
  }
  SlgSprSetZoom(w->obj.handle, {w->zoom, w->zoom});
  EffectPlace(*w);
}

// Whether every wind the top task made has gone (ended, whether or not it lowered the count).
bool WindsGone() {
  const SatanAttackWork& s = SatanWork();
  for (int k = 0; k < kSatanWinds; ++k) {
    if (EffectTaskIs(s.winds[static_cast<size_t>(k)], s.wind_ids[static_cast<size_t>(k)])) {
      return false;
    }
  }
  return true;
}

// The critical-2 top task's part number 2: the dust, and after 120 frames the four winds, 16
// frames apart, the camera drifting down and left with them; it ends once the winds have.
void DustAndWinds(SlgEffectTask* t, EffectWork& w) {
  EffectFamily& f = Family();
  SatanAttackWork& s = SatanWork();
  switch (w.sub) {
    case 0:
      f.dust_count = 0;
      EffectRestart(t, w);
      w.anm = 0;  // the winds made
      s.winds = {};
      s.wind_ids = {};
      w.sub = 1;
      break;
    case 1:
      if (EffectFrames(t, w) >= kSatanWindsAfter) {
        t->signal = 0;
        EffectRestart(t, w);
        w.start_vel = Scroll();  // the stored scroll
        w.mark_ms = t->now;
        w.sub = 2;
      }
      break;
    case 2:
      if (EffectFrames(t, w) >= kSatanWindEvery) {
        EffectRestart(t, w);
        const uint32_t k = t->signal >> 16;
        char name[40];
        std::snprintf(name, sizeof name, "Satan::Critical2:Kaze:%u", k);
        // A wind that cannot be made is tried again 16 frames later.
        if (SlgEffectTask* wind = EffectCreate(t, &Wind, name, kCoreAt)) {
          wind->index = static_cast<uint8_t>(k);
          t->signal += kWindCount;
          s.winds[w.anm] = wind;
          s.wind_ids[w.anm] = EffectWorkOf(wind)->id;
          if (++w.anm >= kSatanWinds) w.sub = 3;
        }
      }
      break;
    case 3:
      if ((t->signal >> 16) == 0 || WindsGone()) w.sub = 4;
      break;
    default:
      break;
  }
  if (w.sub == 2 || w.sub == 3) {
    const int32_t m = std::clamp(FramesSince(w.mark_ms, t->now), 0, 65536);
    SetScroll(SatanWindScroll(w.start_vel, m));
  }
  char name[40];
  std::snprintf(name, sizeof name, "Satan::Critical2:Tiri:%u", f.dust_count++);
  EffectCreate(t, &Dust, name);
  if (w.sub >= 4) w.state = 7;
}

// "Satan::Critical2Attack".
void Critical2Top(SlgEffectTask* t) {
  EffectWork* w = EffectPartBegin(t, EffectWatch::kParent);
  if (w == nullptr) return;
  if (t->phase == 0) {
    Family().stop = 0;
    t->phase = 1;
  }
  // One part a frame, as the other attacks.
  switch (w->state) {
    case 0:  // the pan to the boss
      PanFrame(t, *w, kSatanPanGoal, 0, true);
      if (w->sub >= 2) w->state = 1;
      break;
    case 1:  // the jewel, and the clouds rushing by
      if (w->sub == 0) {
        EffectAwait(*w, MakeOnce(t, &Jewel, "Orbile::Critical2:Houseki", kJewelAt, 0, -500));
        EffectCreate(t, &Clouds, "Orbile::Critical2:KumoByuu");
      }
      EffectAwaitGone(*w, 1);
      if (w->sub >= 2) w->state = 2;
      break;
    case 2:
      DustAndWinds(t, *w);
      break;
    default:
      Family().stop = 1;
      EndTop(t);
      return;
  }
}

// ---- The entry ----

void Entry(SlgUnit& unit, int slot, const char* name, SlgBody top) {
  SatanAttackWork& s = SatanWork();
  switch (unit.step) {
    case 0: {
      // What an attack cut short (a stage switch) left.
      ReleaseUnitAnm(&s.handle);
      s.handle = GetUnitAnm(unit.kind, slot);
      s.attacker = &unit;
      DamageMember();
      Battle().flags |= kFlagsUnitsShown;
      s.top = EffectCreate(nullptr, top, name);
      s.top_id = s.top != nullptr ? EffectWorkOf(s.top)->id : 0;
      if (s.top == nullptr) {
        DebugPrint("%s: the attack's task could not be made: the attack ends\n", name);
      }
      unit.step = s.top != nullptr ? 1 : 2;
      break;
    }
    case 1: {
      // A top task ended from outside never advances the step.
      if (!EffectTaskIs(s.top, s.top_id)) {
        // What the critical attack's end would have put back.
        Battle().flags &= static_cast<uint16_t>(~kFlagCritical);
        Battle().kind_states.satan_attack = 0;
        Family().stop = 1;
        s.top = nullptr;
        unit.step = 2;
      }
      break;
    }
    default:
      ReleaseUnitAnm(&s.handle);
      s.handle = nullptr;
      s.attacker = nullptr;
      s.top = nullptr;
      SetUnitState(unit, kStateAfterAttack);
      break;
  }
}

}  // namespace

// ---- The block and the shapes ----

SatanAttackWork& SatanWork() { return Battle().Extension<SatanAttackWork>(); }

SatanAttackWork::~SatanAttackWork() {
  if (HasScene()) ReleaseUnitAnm(&handle);
}

SlgPair SatanPanSlope(const SlgPair& from, const SlgPair& to) {
  return {static_cast<int32_t>((int64_t{to.x} - from.x) * kPx / kSatanPanFrames),
          static_cast<int32_t>((int64_t{to.y} - from.y) * kPx / kSatanPanFrames)};
}

SlgPair SatanPanAt(const SlgPair& from, const SlgPair& slope, int32_t n) {
  return {static_cast<int32_t>((int64_t{from.x} * kPx + int64_t{slope.x} * n) >> 16),
          static_cast<int32_t>((int64_t{from.y} * kPx + int64_t{slope.y} * n) >> 16)};
}

SlgPair SatanTargetMean(const SlgUnit& attacker) {
  const BattleContext& b = Battle();
  int64_t sx = 0;
  int64_t sy = 0;
  int64_t count = 0;
  const int listed = std::clamp<int>(b.target_count, 0, kSlgMaxUnits);
  for (int i = 0; i < listed; ++i) {
    const int slot = b.targets[static_cast<size_t>(i)];
    if (slot < 0 || slot >= b.state.unit_count) continue;
    const SlgUnit& u = b.state.units[static_cast<size_t>(slot)];
    sx += u.x;
    sy += u.y;
    ++count;
  }
  // No target: the circles fall on the boss himself.
  if (count == 0) return {attacker.x, attacker.y};
  return {static_cast<int32_t>(sx / count), static_cast<int32_t>(sy / count)};
}

std::array<PolygonPoint, 4> SatanStarQuad(int stroke, bool finished, int32_t n) {
  const int s = std::clamp(stroke, 0, kSatanStrokes - 1);
  const StrokePair& p = kStarPairs[s];
  const StrokePair& q = kStarPairs[s + 1];
  if (finished) return {p.a, q.a, q.b, p.b};
  const auto grown = [n](int32_t from, int32_t to) {
    const int64_t slope = int64_t{to - from} * kPx / kSatanStrokeFrames;
    return static_cast<int32_t>((slope * n) >> 16);
  };
  return {p.a,
          {p.a.x + grown(p.a.x, q.a.x), p.a.y + grown(p.a.y, q.a.y)},
          {p.b.x + grown(p.b.x, q.b.x), p.b.y + grown(p.b.y, q.b.y)},
          p.b};
}

SlgPair SatanLineStart(int32_t angle) {
  return {kCoreAt.x + SlgFxMul(960 * kPx, SlgCos(angle) * 4),
          kCoreAt.y + SlgFxMul(960 * kPx, SlgSin(angle) * 4)};
}

SatanLinePos SatanLineAt(const SlgPair& start, int32_t frames) {
  // Strictly inside 1576-1608 x 430-462.
  const auto inside = [](const SlgPair& p) {
    return p.x > 1576 * kPx && p.x < 1608 * kPx && p.y > 430 * kPx && p.y < 462 * kPx;
  };
  const auto heading = [](const SlgPair& p) { return SlgAtan2(kCoreAt.y - p.y, kCoreAt.x - p.x); };
  // A line flies 40 frames; one that somehow misses the box ends after 120.
  constexpr int32_t kLongest = 120;
  const auto r = KinematicReplay(
      SatanLinePos{start, heading(start), false}, frames,
      [&](SatanLinePos& l, int32_t i) {
        l.heading = heading(l.pos);
        l.pos.x += SlgFxMul(24 * kPx, SlgCos(l.heading) * 4);
        l.pos.y += SlgFxMul(24 * kPx, SlgSin(l.heading) * 4);
        l.arrived = inside(l.pos) || i + 1 >= kLongest;
        return !l.arrived;
      },
      kLongest);
  return r.state;
}

std::array<PolygonPoint, 4> SatanLineCorners(int32_t heading) {
  const int32_t a = (heading - 256) & 511;
  // Rounded down: an arithmetic shift.
  const int32_t c = (SlgCos(a) * 96) >> 14;
  const int32_t s = (SlgSin(a) * 96) >> 14;
  const auto sign = [](int32_t v) { return v > 0 ? 1 : v < 0 ? -1 : 0; };
  const int32_t e = -2 * sign(s);
  const int32_t f = -2 * sign(c);
  return {PolygonPoint{0, 0}, PolygonPoint{c, s}, PolygonPoint{c + e, s + f}, PolygonPoint{e, f}};
}

SatanWindPos SatanWindAt(int32_t frames, bool push) {
  const auto r = KinematicReplay(SatanWindPos{kCoreAt, kPx / 2, 0, false}, frames,
                                 [push](SatanWindPos& p, int32_t) {
                                   p.pos.x -= 12 * kPx;
                                   p.pos.y += 6 * kPx;
                                   p.zoom = std::min(p.zoom + kPx / 64, kPx);
                                   if (push) SatanPushStep({p.pos.x >> 16, p.pos.y >> 16});
                                   return (p.pos.y >> 16) <= kSatanWindEndY;
                                 });
  return {r.state.pos, r.state.zoom, r.steps, r.stopped};
}

SlgPair SatanCloudsAt(int32_t frames) {
  // The velocity reaches (32, -16) on the 171st frame and stays; the steps after are added at
  // once, in 64 bits, for a clock held well inside the 32-bit range of the pixels.
  constexpr int32_t kAccelerating = 171;
  const int64_t n = std::clamp<int64_t>(frames, 0, int64_t{1} << 24);
  struct Cloud {
    int64_t x, y, vx, vy;
  };
  const auto r = KinematicReplay(Cloud{0, 0, 0, 0}, static_cast<int32_t>(n),
                                 [](Cloud& c, int32_t) {
                                   c.vy -= 3 * kPx / 32;
                                   c.vx += 3 * kPx / 16;
                                   if (c.vx >= 32 * kPx) {
                                     c.vx = 32 * kPx;
                                     c.vy = -16 * kPx;
                                   }
                                   c.x += c.vx;
                                   c.y += c.vy;
                                   return true;
                                 },
                                 kAccelerating);
  const int64_t rest = n - r.steps;
  return {static_cast<int32_t>((r.state.x >> 16) + 32 * rest),
          static_cast<int32_t>((r.state.y >> 16) - 16 * rest)};
}

SlgPair SatanWindScroll(const SlgPair& stored, int32_t m) {
  const int64_t k = std::clamp(m, 0, 65536);
  return {static_cast<int32_t>(std::max<int64_t>(stored.x - 12 * k, kSatanWindScrollMinX)),
          static_cast<int32_t>(std::min<int64_t>(stored.y + 6 * k, kSatanWindScrollMaxY))};
}

// ---- The wind push ----

SatanWindPush& WindPush() { return Battle().Extension<SatanWindPush>(); }

namespace {

constexpr int32_t kChainStepX = 48;  // one cell down-left: (-48, +24) pixels
constexpr int32_t kChainStepY = 24;
constexpr int32_t kPushBand = 128;
constexpr int32_t kStuckLeft = 48;
constexpr int32_t kStuckBottom = 840;
constexpr int32_t kSpent = -100 * kPx;

// The units the wind carries: live, of side 0 or 1.
bool Carried(const SlgUnit& u) { return SlgUnitLive(u) && u.side <= 1; }

int PushSlots() {
  return std::clamp<int>(std::min<int>(WindPush().count, Battle().state.unit_count), 0,
                         kSlgMaxUnits);
}

// Takes the unit off the grid: the cell under its snapped position, only while it is the unit's
// own entry (a cell another unit holds keeps it).
void TakeOff(const SlgUnit& u) {
  const SlgPoint snap = SnapPosToCell(u.x >> 16, u.y >> 16);
  const SlgCell c = PosToCell(snap.x, snap.y);
  if (GetUnitAtCell(c.column, c.row) == u.slot) ClearUnitCell(u);
}

void Snap(SlgUnit& u) {
  const SlgPair p = SatanPushSnap({u.x >> 16, u.y >> 16});
  u.x = p.x * kPx;
  u.y = p.y * kPx;
}

bool SameCell(SlgCell a, SlgCell b) { return a.column == b.column && a.row == b.row; }

// The chain headed by slot `head`: the head, then while one is found the first unit (slot
// order) not yet pushed that stands exactly one cell down-left of the last member. Bounded by
// the number of units: every member is a different unit. Answers its length.
int BuildChain(SatanWindPush& p, int head, int slots, std::array<bool, kSlgMaxUnits>& member) {
  const auto& units = Battle().state.units;
  int len = 0;
  p.chain[static_cast<size_t>(len++)] = static_cast<int8_t>(head);
  p.pushed[static_cast<size_t>(head)] = 1;
  member[static_cast<size_t>(head)] = true;
  while (len < slots) {
    const SlgUnit& last = units[static_cast<size_t>(p.chain[static_cast<size_t>(len - 1)])];
    const int32_t want_x = last.x - kChainStepX * kPx;
    const int32_t want_y = last.y + kChainStepY * kPx;
    int next = -1;
    for (int j = 0; j < slots && next < 0; ++j) {
      const SlgUnit& u = units[static_cast<size_t>(j)];
      if (p.pushed[static_cast<size_t>(j)] == 0 && Carried(u) && u.x == want_x && u.y == want_y) {
        next = j;
      }
    }
    if (next < 0) break;
    p.chain[static_cast<size_t>(len++)] = static_cast<int8_t>(next);
    p.pushed[static_cast<size_t>(next)] = 1;
    member[static_cast<size_t>(next)] = true;
  }
  p.chain[static_cast<size_t>(len)] = -1;
  return len;
}

// Whether the chain's front, one step on, would enter a cell that a unit outside the chain holds
// (in the grid, or standing there while the push has taken it off the grid): one unit a cell.
bool Blocked(const SlgUnit& front, const std::array<bool, kSlgMaxUnits>& member) {
  const SlgCell here = PosToCell(front.x >> 16, front.y >> 16);
  const SlgCell next = PosToCell((front.x >> 16) - 12, (front.y >> 16) + 6);
  if (SameCell(here, next)) return false;
  const uint16_t holder = GetUnitAtCell(next.column, next.row);
  if (holder != kSlgNoUnit && (holder >= kSlgMaxUnits || !member[holder])) return true;
  const SlgBattleState& s = Battle().state;
  for (int j = 0; j < s.unit_count && j < kSlgMaxUnits; ++j) {
    const SlgUnit& u = s.units[static_cast<size_t>(j)];
    if (member[static_cast<size_t>(j)] || !SlgUnitLive(u) || (u.flags & kUnitOnGrid) == 0) continue;
    if (SameCell(PosToCell(u.x >> 16, u.y >> 16), next)) return true;
  }
  return false;
}

}  // namespace

SlgPair SatanPushSnap(const SlgPair& px) {
  // Up to the next multiple of 48 (a floor division for either sign), down to a multiple of 24.
  const auto floor_div = [](int32_t a, int32_t b) { return a / b - (a % b != 0 && a < 0 ? 1 : 0); };
  const int32_t cx = -floor_div(-px.x, 48);
  const int32_t cy = floor_div(px.y, 24);
  // A cell point has x / 48 + y / 24 odd.
  if (((cx + cy) & 1) != 0) return {cx * 48, cy * 24};
  const SlgPoint p = SnapPosToCell(px.x, px.y);
  return {p.x, p.y};
}

void SatanPushSetUp() {
  SatanWindPush& p = WindPush();
  const SlgBattleState& s = Battle().state;
  p.count = std::clamp<int>(s.unit_count, 0, kSlgMaxUnits);
  for (int i = 0; i < p.count; ++i) {
    const SlgUnit& u = s.units[static_cast<size_t>(i)];
    p.saved[static_cast<size_t>(i)] = {u.x, u.y};
    p.budget[static_cast<size_t>(i)] = kSatanPushBudget * kPx;
    p.pushed[static_cast<size_t>(i)] = 0;
  }
}

void SatanPushRestore() {
  SatanWindPush& p = WindPush();
  auto& units = Battle().state.units;
  const int slots = PushSlots();
  for (int i = 0; i < slots; ++i) {
    SlgUnit& u = units[static_cast<size_t>(i)];
    p.budget[static_cast<size_t>(i)] = kSatanPushBudget * kPx;
    if (!Carried(u)) continue;
    TakeOff(u);  // where the last frame left it
    u.x = p.saved[static_cast<size_t>(i)].x;
    u.y = p.saved[static_cast<size_t>(i)].y;
    TakeOff(u);
  }
}

void SatanPushStep(const SlgPair& wind) {
  SatanWindPush& p = WindPush();
  auto& units = Battle().state.units;
  const int slots = PushSlots();
  std::fill_n(p.pushed.begin(), slots, uint8_t{0});
  for (int i = 0; i < slots; ++i) {
    const SlgUnit& head = units[static_cast<size_t>(i)];
    if (p.pushed[static_cast<size_t>(i)] != 0 || !Carried(head) ||
        p.budget[static_cast<size_t>(i)] <= 0) {
      continue;
    }
    const int32_t left = wind.x + 2 * ((head.y >> 16) - wind.y);
    const int32_t x = head.x >> 16;
    if (x < left || x > left + kPushBand) continue;
    std::array<bool, kSlgMaxUnits> member{};
    const int len = BuildChain(p, i, slots, member);
    const SlgUnit& front = units[static_cast<size_t>(p.chain[static_cast<size_t>(len - 1)])];
    const bool stuck = (front.x >> 16) < kStuckLeft || (front.y >> 16) > kStuckBottom ||
                       Blocked(front, member);
    for (int m = 0; m < len; ++m) {
      const auto slot = static_cast<size_t>(p.chain[static_cast<size_t>(m)]);
      SlgUnit& u = units[slot];
      TakeOff(u);
      if (stuck) {
        p.budget[slot] = kSpent;
        Snap(u);
      } else {
        u.x -= 12 * kPx;
        u.y += 6 * kPx;
        p.budget[slot] -= 12 * kPx;
        if (p.budget[slot] < 0) Snap(u);
      }
      SetUnitCell(u);
    }
  }
}

void SatanPushEnter() {
  const SatanWindPush& p = WindPush();
  auto& units = Battle().state.units;
  const int slots = PushSlots();
  for (int i = 0; i < slots; ++i) {
    SlgUnit& u = units[static_cast<size_t>(i)];
    if (!Carried(u)) continue;
    // The sprite, the cell word, the lift and the shade follow a unit the replay has moved.
    const SlgPair& saved = p.saved[static_cast<size_t>(i)];
    if (u.x != saved.x || u.y != saved.y) EventObjPlace(u);
    SetUnitCell(u);
  }
}

// ---- The routines ----

namespace Satan {

void NormalAttack(SlgUnit& unit, SlgPair& /*pos*/) {
  Entry(unit, kAnmAttackEffect, "Satan::NormalAttack", &NormalTop);
}

void CriticalAttack(SlgUnit& unit, SlgPair& /*pos*/) {
  Entry(unit, kAnmSpecialEffect, "Satan::CriticalAttack", &CriticalTop);
}

void Critical2Attack(SlgUnit& unit, SlgPair& /*pos*/) {
  Entry(unit, kAnmSpecialEffect2, "Satan::Critical2Attack", &Critical2Top);
}

}  // namespace Satan
