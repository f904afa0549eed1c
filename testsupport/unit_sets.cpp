#include "testsupport/unit_sets.h"

#include "battle/slg_screen.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit_sprite.h"
#include "battle/slg_unit_states.h"
#include "platform/surface.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/system_sprites.h"
#include "testsupport/temp_tree.h"
#include "testsupport/unit_anm_writer.h"

namespace testsupport {

void LoadUnitSets(GameTree& tree, std::initializer_list<int> kinds) {
  SlgTableWriter tables;
  for (const int kind : kinds) {
    UnitAnmWriter set(kind);
    if (kind == 4) set.Slot(kUnitAnmTeleportBody).Slot(kUnitAnmTeleportEffect);
    set.Lay(tree, tables);
  }
  tables.Lay(tree);
  LoadSlgTables();
  SystemSpriteSet().Lay(tree);
  LoadSystemSprites();
  for (SurfaceId id = SURFACE_BG; id <= SURFACE_TEXT; ++id) SlgSetLayer(id, 0);
  SlgSetLayer(SURFACE_ROOT, 1);
  SlgClearLayer(SURFACE_ROOT);
  InitCategoryUpdates();
  InitDefaultUnitStates();
}

}  // namespace testsupport
