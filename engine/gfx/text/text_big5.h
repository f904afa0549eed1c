#pragma once
// In-game text is Big5 bytes (code page 950). The source stays UTF-8 and readable: every in-game
// string literal goes through this one conversion, e.g. Big5FromUtf8("確定"), and the result is
// what the glyph text, the message windows and the data files work with.

#include <optional>
#include <string>
#include <string_view>

// The Big5 bytes of a UTF-8 string. ASCII stays as it is. Input that is not valid UTF-8, or a
// character that Big5 cannot hold, gives no result (with a trace naming the byte offset).
std::optional<std::string> Big5FromUtf8(std::string_view utf8);
