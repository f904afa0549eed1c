#pragma once
// Petal-wipe files ("hana.bin") for the title's tests: frames of lines of run lengths (skipped,
// painted, skipped, ...), each frame closed by 255, and damaged variants.

#include <cstdint>
#include <vector>

namespace testsupport {

// One line: its run lengths, a skipped run first. A line whose runs do not reach x 640 runs on
// into the next bytes, as the reader sees it.
using PetalLine = std::vector<uint8_t>;
// One frame: its lines from the top; fewer than 480 lines end the frame early at its 255.
using PetalFrame = std::vector<PetalLine>;

// The frames one after another, each followed by 255.
std::vector<uint8_t> PetalWipeFile(const std::vector<PetalFrame>& frames);
// `count` empty frames (each a single 255).
std::vector<uint8_t> EmptyPetalFrames(int count);
// The file without its last byte (the last frame loses its 255).
std::vector<uint8_t> WithoutLastEnd(std::vector<uint8_t> file);
// A frame whose first line is `count` zero-length runs (never reaching x 640), without a 255.
std::vector<uint8_t> ZeroRunLine(int count);
// The worst frame: alternating one-pixel runs over all 480 lines.
PetalFrame AlternatingPixelsFrame();

}  // namespace testsupport
