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
  mkdir -p "$work/tree"/{platform/sdl,engine/gfx,engine/app/main,game,scene,flow,bench,tests/engine}
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
expect "engine includes flow" "engine/gfx/blit.cpp:3: engine includes game or an area: #include \"flow/x.h\""

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

plant engine/app/main/main.cpp '#include "flow/game_boot.h"\n#include "debug/debug_menu.h"\n'
expect "composition root includes flow" ""

plant bench/compose_bench.cpp '#include <SDL.h>\n#include "engine/gfx/draw.h"\n'
expect "bench includes SDL" ""

if [ $failures -ne 0 ]; then
  echo "$failures case(s) failed"
  exit 1
fi
echo "all cases passed"
