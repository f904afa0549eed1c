// The normal attack the player kinds 5-13 share (battle_effects/player_shape.h).

#include "battle_effects/player_shape.h"

#include "battle/slg_attack.h"
#include "battle/slg_unit.h"

void FreePlayerNormalCtx(LayeredAttack& attack) {
  auto& w = *static_cast<PlayerNormal*>(attack.user);
  FreeAttackCtx(w.ctx);
  w.ctx = nullptr;
}

void RunPlayerNormal(PlayerNormal& w, const PlayerNormalForms& forms, SlgUnit& unit,
                     SlgPair& pos) {
  if (unit.step == 0) {
    w = PlayerNormal{};
    w.ctx = OpenLayeredAttack(w.layered, unit, &w);
    return;
  }
  const uint8_t type = unit.stats.attack_type;
  const LayeredForm& form = type == 2 ? forms.critical : type == 3 ? forms.type_three : forms.normal;
  RunLayeredAttack(w.layered, form, unit, pos);
}
