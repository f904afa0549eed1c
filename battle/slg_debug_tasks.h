#pragma once
// The battle's debug tasks, started and stopped by the developer debug menu: a map viewer, an
// animation circling the screen centre and the destruction of every minor enemy; and the debug
// restart into a battle. Each starter creates its task (on non-zero) or asks the running one to
// end (0): the handle kept in the battle context gets phase 100 and is cleared, and the task ends
// itself on its next frame. A second start keeps only the newest handle; the older task runs on
// until the battle's tasks end, and everything it touches tolerates what the newer one frees.

#include <cstdint>

#include "engine/anime/anime_handle.h"

struct SlgEffectTask;

// The map viewer "SetSlgMapSetTaskMain" of battle map `map` under the mode manager's task. Its
// first frame clears its offsets, frees the planes, sets bit 1 of SlgFlags and loads the map's
// planes; then each frame logical keys 8 / 7 held move the x offset by +32 / -32 and 6 / 5 the
// y offset by +32 / -32 (unclamped) and the planes are drawn at the offsets. Stopped, it frees
// the planes and ends. The new task, or null (also when stopping).
SlgEffectTask* SetSlgMapSetTask(int on, int map);

// "SetSlgUnitAnmTestMain": the animation circles the screen centre at 100 pixels, turning with its
// path: angle = (angle word + frames) mod 512, position SlgPolarToXY(100 pixels, angle), rotation
// the same angle. The animation stays its owner's (the task never releases it).
SlgEffectTask* SetSlgUnitAnmTest(AnimeHandle animation, int on);

// "SetSlgZakoDestroyTaskMain": EventDestroyEnemies each frame (from its first phase) until it
// reports every enemy removed, then ends.
SlgEffectTask* SetSlgZakoDestroyTask(int on);

// The task names.
inline constexpr const char* kSlgMapSetTaskName = "SetSlgMapSetTaskMain";
inline constexpr const char* kSlgUnitAnmTestName = "SetSlgUnitAnmTestMain";
inline constexpr const char* kSlgZakoDestroyTaskName = "SetSlgZakoDestroyTaskMain";

// The debug restart into a battle: ends the battle's main task (Slg::StopMainTask) and the tasks
// "CTamvikMacro::DecodeMacro" and "CTamvikAdv::AdvMain", starts the mode manager when it is
// absent and sets mode 26 (the battle start), both through GameSequences.
void SlgDebugRestart();
inline constexpr int kSlgDebugRestartMode = 26;
