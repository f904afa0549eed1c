// Writes the sample install directory (testsupport/sample_data.h) into a directory:
//
//   make_sample_data <directory> [--face <font file>] [--sources <source root>]
//
// The glyph fonts are rasterised with FreeType from the face given (a Kai CJK face; of a font
// collection the face whose family names the traditional characters is taken), 16 coverage
// levels in 24 x 24 and 12 x 24 cells, for the sample's texts and the UTF-8 literals of the
// program's sources. Without FreeType, without a face or for a character the face lacks, box
// glyphs stand in. The same bytes on every run.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "testsupport/sample_data.h"

#if defined(TAMVIK_HAVE_FREETYPE)
#include <ft2build.h>
#include FT_FREETYPE_H

namespace {

// One face of the file, kept open for the run.
class FreeTypeGlyphs {
 public:
  explicit FreeTypeGlyphs(const std::string& path) {
    if (FT_Init_FreeType(&library_) != 0) {
      library_ = nullptr;
      return;
    }
    FT_Face probe = nullptr;
    if (FT_New_Face(library_, path.c_str(), -1, &probe) != 0) return;
    const FT_Long faces = probe->num_faces;
    FT_Done_Face(probe);
    // Of a collection the traditional-character face ("... TW"), else the first.
    FT_Long chosen = 0;
    for (FT_Long i = 0; i < faces; ++i) {
      FT_Face f = nullptr;
      if (FT_New_Face(library_, path.c_str(), i, &f) != 0) continue;
      const std::string family = f->family_name != nullptr ? f->family_name : "";
      FT_Done_Face(f);
      if (family.size() >= 2 && family.compare(family.size() - 2, 2, "TW") == 0) {
        chosen = i;
        break;
      }
    }
    if (FT_New_Face(library_, path.c_str(), chosen, &face_) != 0) {
      face_ = nullptr;
      return;
    }
    FT_Set_Pixel_Sizes(face_, 0, 22);
  }
  ~FreeTypeGlyphs() {
    if (face_ != nullptr) FT_Done_Face(face_);
    if (library_ != nullptr) FT_Done_FreeType(library_);
  }
  FreeTypeGlyphs(const FreeTypeGlyphs&) = delete;
  FreeTypeGlyphs& operator=(const FreeTypeGlyphs&) = delete;

  bool ok() const { return face_ != nullptr; }

  // The glyph in a cell of `width` x 24: centred across, on a baseline 4 pixels above the bottom.
  bool Render(uint32_t code_point, int width, std::vector<uint8_t>& levels) {
    if (face_ == nullptr) return false;
    const FT_UInt index = FT_Get_Char_Index(face_, code_point);
    if (index == 0 && code_point != 0x20) return false;
    if (FT_Load_Glyph(face_, index, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0) return false;
    const FT_GlyphSlot slot = face_->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY && bitmap.rows != 0) return false;
    levels.assign(static_cast<size_t>(width) * 24, 0);
    constexpr int kBaseline = 20;
    const int left = (width - static_cast<int>(bitmap.width)) / 2;
    const int top = kBaseline - slot->bitmap_top;
    for (unsigned row = 0; row < bitmap.rows; ++row) {
      for (unsigned col = 0; col < bitmap.width; ++col) {
        const int x = left + static_cast<int>(col);
        const int y = top + static_cast<int>(row);
        if (x < 0 || y < 0 || x >= width || y >= 24) continue;
        const uint8_t grey = bitmap.buffer[static_cast<size_t>(row) * static_cast<size_t>(
            bitmap.pitch < 0 ? -bitmap.pitch : bitmap.pitch) + col];
        levels[static_cast<size_t>(y * width + x)] = static_cast<uint8_t>((grey * 15 + 127) / 255);
      }
    }
    return true;
  }

 private:
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
};

}  // namespace
#endif

int main(int argc, char** argv) {
  std::string dir;
  std::string face;
  std::string sources;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--face") == 0 && i + 1 < argc) {
      face = argv[++i];
    } else if (std::strcmp(argv[i], "--sources") == 0 && i + 1 < argc) {
      sources = argv[++i];
    } else if (dir.empty() && argv[i][0] != '-') {
      dir = argv[i];
    } else {
      dir.clear();
      break;
    }
  }
  if (dir.empty()) {
    std::fprintf(stderr,
                 "usage: make_sample_data <directory> [--face <font file>] [--sources <root>]\n");
    return 2;
  }
  testsupport::SampleOptions options;
  if (!sources.empty()) options.extra_texts = testsupport::GatherSourceTexts(sources);
#if defined(TAMVIK_HAVE_FREETYPE)
  std::unique_ptr<FreeTypeGlyphs> glyphs;
  if (!face.empty()) {
    glyphs = std::make_unique<FreeTypeGlyphs>(face);
    if (!glyphs->ok()) {
      std::fprintf(stderr, "make_sample_data: cannot open the face %s; box glyphs\n", face.c_str());
    } else {
      options.raster = [&glyphs](uint32_t cp, int width, std::vector<uint8_t>& levels) {
        return glyphs->Render(cp, width, levels);
      };
    }
  } else {
    std::fprintf(stderr, "make_sample_data: no face given; box glyphs\n");
  }
#else
  if (!face.empty()) std::fprintf(stderr, "make_sample_data: built without FreeType; box glyphs\n");
#endif
  std::string error;
  if (!testsupport::WriteSampleData(dir, options, &error)) {
    std::fprintf(stderr, "make_sample_data: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
