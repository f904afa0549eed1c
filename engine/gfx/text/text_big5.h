#pragma once
// In-game text is Big5 bytes (code page 950). The source stays UTF-8 and readable: every in-game
// string literal goes through this one conversion, e.g. Big5FromUtf8("確定"), and the result is
// what the glyph text, the message windows and the data files work with.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The Big5 bytes of a UTF-8 string. ASCII stays as it is. Input that is not valid UTF-8, or a
// character that Big5 cannot hold, gives no result (with a trace naming the byte offset).
std::optional<std::string> Big5FromUtf8(std::string_view utf8);

// Big5 text is walked one character at a time: a lead byte (0x81-0xFE) and the byte after it make
// one double-byte character; any other byte is a character of its own (ASCII, drawn with the
// single-byte glyphs). Text made only of double-byte characters therefore steps two bytes at a
// time, and one ASCII character in a line does not put the rest of it out of step.
constexpr bool IsBig5LeadByte(uint8_t byte) { return byte >= 0x81 && byte <= 0xFE; }

// The bytes of the character at `at` of the first `length` bytes of `text`: 2 for a lead byte
// with its trail byte, 1 for any other byte and for a lead byte that ends the text (a lone lead
// byte, which stands for no character); 0 at or past the end.
constexpr size_t Big5CharBytes(const char* text, size_t length, size_t at) {
  if (text == nullptr || at >= length) return 0;
  return IsBig5LeadByte(static_cast<uint8_t>(text[at])) && at + 1 < length ? 2 : 1;
}

// Whether the byte at `at` is a lead byte without its trail byte inside the `length` bytes.
constexpr bool IsLoneBig5Lead(const char* text, size_t length, size_t at) {
  return text != nullptr && at + 1 == length && IsBig5LeadByte(static_cast<uint8_t>(text[at]));
}
