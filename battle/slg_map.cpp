#include "battle/slg_map.h"

namespace SlgMap {

void LoadMapTable(int /*map*/) {}

}  // namespace SlgMap
