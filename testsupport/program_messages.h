#pragma once
// The program's own message texts: what its boxes say, as the program writes them (UTF-8). The
// sample install's glyph fonts are rasterised for their characters first, so that every one of
// them Big5 can hold is drawn (boxes are drawn with the glyph fonts when they hold every
// character, Window::SetBoxGlyphs).

#include <string>
#include <vector>

namespace testsupport {

std::vector<std::string> ProgramMessageTexts();

}  // namespace testsupport
