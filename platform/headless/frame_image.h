#pragma once
// Writers of a captured frame for a person to look at: PNG (8-bit RGB, the picture data in
// uncompressed deflate blocks) and BMP (24-bit, bottom-up). Pixels come in as 16-bit values of
// the given layout, width x height packed without padding, and are widened by bit replication.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/surface.h"

namespace platform::headless {

// The encoded files; empty when the size is not positive or does not match the pixel count.
std::vector<uint8_t> EncodePng(const std::vector<uint16_t>& pixels, int width, int height,
                               PixelLayout layout);
std::vector<uint8_t> EncodeBmp(const std::vector<uint16_t>& pixels, int width, int height,
                               PixelLayout layout);

// Writes bytes to a file; false when the file cannot be written.
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace platform::headless
