#include "battle/slg_face.h"

#include <cstdio>

#include "battle/battle_context.h"
#include "battle/slg_draw.h"
#include "battle/slg_formulas.h"
#include "battle/slg_math.h"
#include "battle/slg_message.h"
#include "battle/slg_stage.h"
#include "battle/slg_sys_spr.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/core/frame_rate.h"
#include "scene/ui/tamvik_func.h"

namespace {

constexpr int kFaceRows = 64;
constexpr int kExpressions = 6;
// The blink sprites (TamvikFunc::GetBlinkSprTable): 1 half-closed, 2 closed, 3 the whole face.
constexpr int kBlinkHalf = 1;
constexpr int kBlinkClosed = 2;
constexpr int kBlinkWhole = 3;
constexpr int kBlinkFrames[3] = {kBlinkHalf, kBlinkClosed, kBlinkHalf};

uint32_t Now() { return static_cast<uint32_t>(Ctx().frame_rate.GetTime()); }
int32_t FramesSince(uint32_t start) {
  return static_cast<int32_t>(static_cast<int64_t>(static_cast<int32_t>(Now() - start)) * 60 / 1000);
}
uint32_t NewBlinkInterval() { return (static_cast<uint32_t>(SlgRand()) >> 3) & 248u; }

void DrawBlinkSprite(int n, int dx, int dy, int surface) {
  SprRec* sprite = TamvikFunc::GetBlinkSprTable()[n];
  if (sprite == nullptr) return;
  SlgSprCreate(nullptr, sprite, dx, dy, static_cast<SurfaceId>(surface), 0, kSlgSysTopDepth, 0);
}

}  // namespace

int SlgUnitExpression(const SlgUnit& unit) {
  const int64_t life100 = int64_t{unit.stats.life} * 100;
  const int64_t max = unit.stats.max_life;
  if (unit.side == 0 && life100 <= 20 * max) return kSlgFaceHurt;
  if (unit.side == 2 && life100 < 31 * max) return kSlgFaceHurt;
  if (unit.side == 0 && TrustLevel(unit) >= 11) return kSlgFacePleased;
  return kSlgFacePlain;
}

int SlgUnitFace(const SlgUnit& unit) {
  const BattleContext& b = Battle();
  if (!b.face_table || !b.face_conv || unit.character >= kFaceRows) return 0;
  const size_t at = size_t{unit.character} * kExpressions + static_cast<size_t>(SlgUnitExpression(unit));
  const int internal = (*b.face_table)[at];
  for (size_t i = 0; i < b.face_conv->size(); ++i) {
    if ((*b.face_conv)[i] == internal + 1) return static_cast<int>(i);
  }
  return 0;
}

void InitFace(int n) {
  const int face = n != 0 ? n : kSlgDefaultFace;
  DebugPrint("InitFace: No%d, InternalNo%d \n", face, GetInternalFace(face));
  TamvikFunc::ReleaseBlinkAnm();
  TamvikFunc::PutKaoToSurface(face, kSlgFaceSurface, 0, kSlgBattleFaceKind);
  SlgFaceState& f = Battle().face;
  f.blink_start = Now();
  f.blink_interval = NewBlinkInterval();
  f.blink_step = 0;
}

void DrawFaceBlink(int x, int y, int surface) {
  if (TamvikFunc::GetBlinkSprTable()[kBlinkWhole] == nullptr) return;
  const int dx = x - TamvikFunc::kFaceBox.left;
  const int dy = y - TamvikFunc::kFaceBox.top;
  DrawBlinkSprite(kBlinkWhole, dx, dy, surface);
  SlgFaceState& f = Battle().face;
  if (f.blink_step == 0 && FramesSince(f.blink_start) >= static_cast<int32_t>(f.blink_interval)) {
    f.blink_step = 1;
  }
  if (f.blink_step == 0) return;
  DrawBlinkSprite(kBlinkFrames[f.blink_step - 1], dx, dy, surface);
  if (++f.blink_step > 3) {
    f.blink_step = 0;
    f.blink_start = Now();
    f.blink_interval = NewBlinkInterval();
  }
}

namespace Slg {

void ShowUnitPanel(int unit) {
  BattleContext& b = Battle();
  if (unit < 0 || unit >= b.state.unit_count || unit >= kSlgMaxUnits) return;
  const SlgUnit& u = b.state.units[static_cast<size_t>(unit)];
  InitFace(SlgUnitFace(u));
  int position = 0;
  for (int i = 0; i < b.order.count && i < kSlgMaxUnits; ++i) {
    if (b.order.entries[static_cast<size_t>(i)].slot == unit) position = i + 1;
  }
  std::snprintf(b.face.panel_text.data(), b.face.panel_text.size(), "%2d/%2d", position % 100,
                b.order.count % 100);
  b.face.panel_unit = static_cast<uint16_t>(unit);
}

void FaceMessageOpen(int face, int message) {
  SlgTellShowHook(SlgShowCall::kMessage, face, message);
  Battle().face.current = static_cast<uint16_t>(face);
  OpenMessageWindow();
  InitFace(face);
  ShowMessage(-192, 96, 0, message);
}

int FaceMessageFrame() {
  DrawFaceBlink(TamvikFunc::kFaceBox.left, TamvikFunc::kFaceBox.top, SURFACE_TEXT);
  return MessageWait();
}

void FaceMessageClose() {
  TamvikFunc::ReleaseBlinkAnm();
  CloseMessageWindow();
}

int FaceMessage(int face, int message) {
  uint8_t& step = Battle().player.face_message_step;
  switch (step) {
    case 0:
      FaceMessageOpen(face, message);
      step = 1;
      return 0;
    case 1:
      if (FaceMessageFrame() != 0) step = 2;
      return 0;
    default:
      FaceMessageClose();
      step = 0;
      return 1;
  }
}

}  // namespace Slg
