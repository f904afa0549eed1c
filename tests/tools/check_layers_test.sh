#!/usr/bin/env bash
# Runs tools/check_layers on small temporary trees: each planted offence must be reported with its
# file and line (and the check must fail); allowed includes must pass.
# Usage: check_layers_test.sh <path of check_layers>
set -uo pipefail

check=$(cd "$(dirname "${1:?usage: check_layers_test.sh <check_layers>}")" && pwd)/$(basename "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# A clean small tree every case starts from: one file per layer, each including what stands below.
clean_tree() {
  rm -rf "$work/tree"
  mkdir -p "$work/tree"/{platform/sdl,engine/gfx,program,game,scene,flow,bench,tests/engine}
  cd "$work/tree" || exit 2
  printf '#include <cstdint>\nint Clock();\n' > platform/clock.h
  printf '#include <SDL.h>\n#include <unistd.h>\n#include "platform/clock.h"\n' > platform/sdl/window.cpp
  printf '#include "platform/clock.h"\nint operand(int x);\nint GameRandom();\n' > engine/gfx/draw.h
  printf '#include "engine/gfx/draw.h"\n// rand() is never called here\n' > game/rules.cpp
  printf '#include "game/rules.h"\n#include "engine/gfx/draw.h"\n' > scene/title.cpp
  printf '#include "scene/title.h"\n' > flow/boot.cpp
  printf '#include "engine/gfx/draw.h"\n#include <fstream>\n#include <sys/stat.h>\n' > tests/engine/draw_test.cpp
  # A build folder is not scanned.
  mkdir -p build/asan && printf '#include "flow/boot.h"\nint a = rand();\n' > build/asan/gen.cpp
}

# expect <case> <expected output: one "path:line: rule" prefix, or empty for a pass>
expect() {
  local name=$1 want=$2 out rc
  out=$("$check" "$work/tree" 2>&1)
  rc=$?
  if [ -z "$want" ]; then
    if [ $rc -ne 0 ] || [ -n "$out" ]; then
      echo "FAIL $name: expected a pass, got rc=$rc:"; echo "$out"; failures=$((failures + 1))
    fi
  elif [ $rc -ne 1 ] || [ "$(wc -l <<< "$out")" -ne 1 ] || [[ $out != "$want"* ]]; then
    echo "FAIL $name: expected rc=1 and '$want...', got rc=$rc:"; echo "$out"
    failures=$((failures + 1))
  fi
}

# plant <file> <content>: adds a file to a fresh clean tree.
plant() {
  clean_tree
  mkdir -p "$(dirname "$1")"
  printf '%b' "$2" > "$1"
}

clean_tree
expect "clean tree" ""

plant engine/gfx/blit.cpp '#include <cstring>\n\n#include "flow/x.h"\n'
expect "engine includes flow" "engine/gfx/blit.cpp:3: engine includes game, an area or the composition root: #include \"flow/x.h\""

plant engine/gfx/blit.cpp '#include <vector>\n  #  include <SDL.h>\n'
expect "SDL in engine" "engine/gfx/blit.cpp:2: SDL header outside platform/sdl: #  include <SDL.h>"

plant engine/movie/player.cpp 'extern "C" {\n#include <libavformat/avformat.h>\n}\n'
expect "FFmpeg in engine" "engine/movie/player.cpp:2: FFmpeg header outside platform/ffmpeg"

plant scene/save.cpp '#include "scene/save.h"\n#include <fstream>\n'
expect "fstream in scene" "scene/save.cpp:2: file or process header outside platform: #include <fstream>"

plant game/dice.cpp 'int Roll() {\n  return rand() % 6;\n}\n'
expect "rand in game" "game/dice.cpp:2: rand/srand instead of the engine's generator: return rand() % 6;"

plant game/seed.cpp 'void Seed() { std::srand(1); }\n'
expect "srand in game" "game/seed.cpp:1: rand/srand"

plant game/menu.h '#pragma once\n#include "scene/menu_view.h"\n'
expect "game includes scene" "game/menu.h:2: game includes an area or the composition root"

plant platform/files.cpp '#include "engine/files/file_io.h"\n'
expect "platform includes engine" "platform/files.cpp:1: platform includes a layer above it"

plant program/main.cpp '#include "flow/game_boot.h"\n#include "debug/debug_menu.h"\n#include "battle_events/e.h"\n'
expect "composition root includes the areas" ""

# The composition root sits outside engine/: nothing in engine/ may include an area, and nothing
# but the root itself may include the root.
plant engine/app/main/main.cpp '#include "flow/game_boot.h"\n'
expect "engine's old root folder includes flow" "engine/app/main/main.cpp:1: engine includes game, an area or the composition root"

plant engine/app/spine/spine.cpp '#include "program/game_wiring.h"\n'
expect "engine includes the root" "engine/app/spine/spine.cpp:1: engine includes game, an area or the composition root"

plant battle_events/events.cpp '#include "battle/slg_unit.h"\n#include "program/game_wiring.h"\n'
expect "area includes the root" "battle_events/events.cpp:2: an area includes the composition root"

# The order among the areas.
plant battle/slg_start.cpp '#include "battle/slg_unit.h"\n#include "scene/x.h"\n#include "battle_events/event_check.h"\n'
expect "battle core includes the events" "battle/slg_start.cpp:3: the battle core includes an area above it: #include \"battle_events/event_check.h\""

for area in battle_effects debug flow minigames; do
  plant battle/slg_turn.h "#pragma once\n#include \"$area/x.h\"\n"
  expect "battle core includes $area" "battle/slg_turn.h:2: the battle core includes an area above it"
done

plant battle_effects/hero.cpp '#include "battle/slg_attack.h"\n#include "battle_events/event_flags.h"\n'
expect "attack effects include the events" "battle_effects/hero.cpp:2: the attack effects include the battle events"

plant battle_events/scripts.cpp '#include "battle/slg_unit.h"\n#include "battle_effects/hero.h"\n'
expect "events include the attack effects" ""

plant scene/title.h '#include "scene/menu.h"\n#include "flow/boot.h"\n'
expect "scene includes flow" "scene/title.h:2: scene includes another area: #include \"flow/boot.h\""

plant debug/debug_menu.cpp '#include "battle/slg_start.h"\n#include "flow/boot.h"\n#include "minigames/m.h"\n'
expect "debug includes the areas" ""

plant bench/compose_bench.cpp '#include <SDL.h>\n#include "engine/gfx/draw.h"\n'
expect "bench includes SDL" ""

if [ $failures -ne 0 ]; then
  echo "$failures case(s) failed"
  exit 1
fi
echo "all cases passed"
