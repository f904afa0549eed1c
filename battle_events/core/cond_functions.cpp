#include "battle_events/core/cond_functions.h"

#include "engine/core/debug_trace.h"

int32_t CallCondFunction(const CondFunctions& f, int32_t id, const int32_t* a) {
  switch (id) {
    case kCondF: return f.F(a[0]);
    case kCondFAD: return f.FAD(a[0]);
    case kCondR: return f.R(a[0]);
    case kCondM: return f.M(a[0]);
    case kCondT: return f.T();
    case kCondNG: return f.NG(a[0]);
    case kCondNP: return f.NP(a[0]);
    case kCondNU: return f.NU(a[0]);
    case kCondUAJ: return f.UAJ(a[0], a[1], a[2], a[3]);
    case kCondPP: return f.PP(a[0]);
    case kCondPFP: return f.PFP(a[0]);
    case kCondPGU: return f.PGU(a[0], a[1]);
    case kCondFGU: return f.FGU(a[0], a[1]);
    case kCondHP: return f.HP(a[0], a[1]);
    case kCondHGU: return f.HGU(a[0], a[1], a[2]);
    case kCondIMR: return f.IMR();
    case kCondRI: return f.RI(a[0]);
    case kCondKP: return f.KP(a[0]);
    case kCondKGU: return f.KGU(a[0], a[1]);
    case kCondCP: return f.CP(a[0]);
    case kCondLP: return f.LP(a[0], a[1], a[2], a[3]);
    case kCondXF: return f.XF(a[0], a[1]);
    case kCondYF: return f.YF(a[0], a[1]);
    case kCondXGU: return f.XGU(a[0], a[1]);
    case kCondYGU: return f.YGU(a[0], a[1]);
    default: return 0;
  }
}

namespace {

// Stand-ins of the battle queries until they are installed below: each answers 0, and the first
// call of the run says so in the trace.
void TraceNotInstalled() {
  static bool traced = false;
  if (traced) return;
  traced = true;
  DebugPrint("CondEval: the battle's condition functions are not installed; they answer 0");
}
int32_t CondFunctionNotInstalled0() {
  TraceNotInstalled();
  return 0;
}
int32_t CondFunctionNotInstalled1(int32_t) { return CondFunctionNotInstalled0(); }
int32_t CondFunctionNotInstalled2(int32_t, int32_t) { return CondFunctionNotInstalled0(); }
int32_t CondFunctionNotInstalled3(int32_t, int32_t, int32_t) { return CondFunctionNotInstalled0(); }
int32_t CondFunctionNotInstalled4(int32_t, int32_t, int32_t, int32_t) {
  return CondFunctionNotInstalled0();
}

// The battle queries go here, one per member, in place of the stand-ins.
constexpr CondFunctions kBattleCondFunctions = {
    .F = CondFunctionNotInstalled1,
    .FAD = CondFunctionNotInstalled1,
    .R = CondFunctionNotInstalled1,
    .M = CondFunctionNotInstalled1,
    .T = CondFunctionNotInstalled0,
    .NG = CondFunctionNotInstalled1,
    .NP = CondFunctionNotInstalled1,
    .NU = CondFunctionNotInstalled1,
    .UAJ = CondFunctionNotInstalled4,
    .PP = CondFunctionNotInstalled1,
    .PFP = CondFunctionNotInstalled1,
    .PGU = CondFunctionNotInstalled2,
    .FGU = CondFunctionNotInstalled2,
    .HP = CondFunctionNotInstalled2,
    .HGU = CondFunctionNotInstalled3,
    .IMR = CondFunctionNotInstalled0,
    .RI = CondFunctionNotInstalled1,
    .KP = CondFunctionNotInstalled1,
    .KGU = CondFunctionNotInstalled2,
    .CP = CondFunctionNotInstalled1,
    .LP = CondFunctionNotInstalled4,
    .XF = CondFunctionNotInstalled2,
    .YF = CondFunctionNotInstalled2,
    .XGU = CondFunctionNotInstalled2,
    .YGU = CondFunctionNotInstalled2,
};

}  // namespace

const CondFunctions& BattleCondFunctions() { return kBattleCondFunctions; }
