#pragma once
// A font as the game describes it: the values a logical font is made from. All text is drawn
// with the glyph fonts (text_draw.h), which have one size (24-pixel cells): a font record passed
// to a text draw names the text's intended look, and the glyph fonts stand in for every one of
// them at their own size.

#include <cstdint>
#include <string>

struct GameFont {
  int32_t height = 0;
  int32_t width = 0;
  int32_t escapement = 0;
  int32_t orientation = 0;
  int32_t weight = 0;
  uint8_t italic = 0;
  uint8_t underline = 0;
  uint8_t strike_out = 0;
  uint8_t char_set = 0;
  uint8_t out_precision = 0;
  uint8_t clip_precision = 0;
  uint8_t quality = 0;
  uint8_t pitch_and_family = 0;
  std::string face_name;  // Big5 bytes
};

// Character set of Big5 (traditional Chinese) fonts.
constexpr uint8_t kChineseBig5Charset = 136;
