#pragma once
// Helpers shared by the fuzz entry files.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/app/context.h"
#include "fuzz/entries/fuzz_entries.h"
#include "platform/ffmpeg/ffmpeg_wave_codecs.h"
#include "platform/headless/headless_platform.h"

class CTamvikMacro;
class SceneContext;

namespace testsupport {
class GameTree;
}

namespace fuzz::detail {

// Reports a broken rule through the failure handler when `ok` is false.
void Check(bool ok, const char* target, const char* what);
// Little-endian 16-bit value at `at` (missing bytes read as 0), and one byte (0 when missing).
uint32_t Le16(const Bytes& b, size_t at);
uint8_t ByteAt(const Bytes& b, size_t at);
// A working directory and an install directory of one process, made on first use and removed
// at exit. Each call rewrites the files it needs, so no call depends on an earlier one.
testsupport::GameTree& Tree();
// One engine per pixel layout with the display set up, its files in Tree(), kept for the whole
// process: setting up the display costs far more than one load. Each call makes it current for
// its own duration (ContextScope on `context`).
struct DisplayRig {
  explicit DisplayRig(bool rgb555);
  ~DisplayRig();
  DisplayRig(const DisplayRig&) = delete;
  DisplayRig& operator=(const DisplayRig&) = delete;

  platform::headless::HeadlessPlatform host;
  platform::ffmpeg::FfmpegWaveCodecs codecs;
  std::unique_ptr<EngineContext> context;
  bool ready = false;
};
// The rig of the layout (RGB555 when set, else RGB565).
DisplayRig& Rig(bool rgb555);

// The scene context of a display rig (the current engine's), made once per process and rig:
// making one allocates and clears 600 KB of unit handles, which took most of an input's time.
// Each call hands it out with a new interpreter and an empty sprite cache; an input releases
// what it loads and empties the cache again when it ends.
SceneContext& SharedScene(bool rgb555);

// The builds of a sprite file make, fill and decode a surface for every image of its image
// table: the harness's copy keeps 8 images at most, each cut to 16 x 16 and 1 KB of data (the
// bytes themselves stay). False for a file whose images still ask for more than 4096 pixels,
// which the caller passes over.
bool CutSprImages(Bytes& file);

// The message look-up of the interpreter's table for every id its directory names and a few
// others; every message found has its text and lip text inside the table and terminated there,
// an empty entry voice -1 and no lip text (broken rules reported for `target`). The ids found.
std::vector<uint16_t> CheckMessages(const CTamvikMacro& macro, const char* target);

// An exactly sized heap copy, so that the address sanitizer sees any access past the end.
std::unique_ptr<uint8_t[]> ExactCopy(const uint8_t* data, size_t size);

}  // namespace fuzz::detail
