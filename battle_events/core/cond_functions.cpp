#include "battle_events/core/cond_functions.h"

#include "battle_events/core/event_conditions.h"

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

// The battle queries (event_conditions.h), one per keyword.
constexpr CondFunctions kBattleCondFunctions = {
    .F = CondF,
    .FAD = CondFAD,
    .R = CondR,
    .M = CondM,
    .T = CondT,
    .NG = CondNG,
    .NP = CondNP,
    .NU = CondNU,
    .UAJ = CondUAJ,
    .PP = CondPP,
    .PFP = CondPFP,
    .PGU = CondPGU,
    .FGU = CondFGU,
    .HP = CondHP,
    .HGU = CondHGU,
    .IMR = CondIMR,
    .RI = CondRI,
    .KP = CondKP,
    .KGU = CondKGU,
    .CP = CondCP,
    .LP = CondLP,
    .XF = CondXF,
    .YF = CondYF,
    .XGU = CondXGU,
    .YGU = CondYGU,
};

}  // namespace

const CondFunctions& BattleCondFunctions() { return kBattleCondFunctions; }
