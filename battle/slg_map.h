#pragma once
// The battle map's planes. So far only the entry StageSetup calls between reading the map data
// and filling the cell grids; the map-plane table itself comes with the map planes.

namespace SlgMap {

// Reads the map plane table of battle map `map` (0-26). Does nothing yet.
void LoadMapTable(int map);

}  // namespace SlgMap
