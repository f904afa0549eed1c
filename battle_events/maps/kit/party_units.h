#pragma once
// The units as the scenes look them up and handle them: the live unit of a character, of a kind
// or of a kind's placement number, the soldiers taken off the map, and a fallen heroine made
// again from her placement entry.

#include <cstdint>

struct SlgUnit;

// The player's unit of that character that is on the map (a record being removed is not, nor an
// event object with that character byte); null when none.
SlgUnit* LivePartyUnit(int32_t character);
// The first unit of the kind that is on the map (a record being removed is not); null when none.
SlgUnit* LiveUnitOfKind(int32_t kind);
// The unit FindUnitByIndex(kind, number) gives, if it is on the map; null when none.
SlgUnit* LiveUnitByIndex(int32_t kind, int32_t number);

// Every live unit of kinds first..last taken off the map (EventRemoveUnit).
void RemoveUnitsOfKinds(int32_t first, int32_t last);

// A fallen party member made again: her leftover record removed, then a unit made from her first
// usable placement entry of side 0 (Slg::CreateUnit, Slg::PlaceUnit), with the trust bonus and
// totals the battle's initialisation gives a player's unit (Slg::RecalcUnitStats). One without an
// entry, or whose creation is refused (64 units), is traced under `scene` and stays away: false.
bool BringBackPartyMember(int32_t character, const char* scene);
