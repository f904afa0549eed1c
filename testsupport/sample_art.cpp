#include "testsupport/sample_art.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <optional>
#include <stdexcept>

#include "engine/gfx/text/text_big5.h"
#include "platform/wave_codec.h"
#include "testsupport/od_writer.h"
#include "testsupport/wav_writer.h"

namespace testsupport::sample {

namespace fs = std::filesystem;

// ---- Text ----

std::vector<uint32_t> CodePoints(const std::string& utf8) {
  std::vector<uint32_t> out;
  for (size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<uint8_t>(utf8[i]);
    int extra = 0;
    uint32_t cp = 0;
    if (b < 0x80) {
      cp = b;
    } else if ((b & 0xE0) == 0xC0) {
      cp = b & 0x1F;
      extra = 1;
    } else if ((b & 0xF0) == 0xE0) {
      cp = b & 0x0F;
      extra = 2;
    } else if ((b & 0xF8) == 0xF0) {
      cp = b & 0x07;
      extra = 3;
    } else {
      ++i;
      continue;
    }
    if (i + static_cast<size_t>(extra) >= utf8.size()) break;
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      const auto c = static_cast<uint8_t>(utf8[i + static_cast<size_t>(k)]);
      if ((c & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (c & 0x3F);
    }
    i += static_cast<size_t>(extra) + 1;
    if (ok) out.push_back(cp);
  }
  return out;
}

namespace {

std::string Utf8Of(uint32_t cp) {
  std::string s;
  if (cp < 0x80) {
    s.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    s.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    s.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    s.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    s.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    s.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    s.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    s.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    s.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    s.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
  return s;
}

}  // namespace

uint16_t Big5Code(uint32_t cp) {
  const std::optional<std::string> big5 = Big5FromUtf8(Utf8Of(cp));
  if (!big5 || big5->size() != 2) return 0;
  return static_cast<uint16_t>((static_cast<uint8_t>((*big5)[0]) << 8) |
                               static_cast<uint8_t>((*big5)[1]));
}

std::string Big5(const std::string& utf8) { return Big5FromUtf8(utf8).value_or(""); }

// ---- Glyphs ----

const std::vector<uint8_t>& Glyphs::Of(uint32_t cp, int width) {
  const auto key = std::make_pair(cp, width);
  auto found = cache_.find(key);
  if (found != cache_.end()) return found->second;
  std::vector<uint8_t> levels;
  if (!raster_ || !raster_(cp, width, levels) || levels.size() != static_cast<size_t>(width) * 24) {
    levels = BoxGlyph(cp, width);
  }
  for (uint8_t& v : levels) v = std::min<uint8_t>(v, 15);
  return cache_.emplace(key, std::move(levels)).first->second;
}

// ---- Canvases ----

Canvas::Canvas(int w, int h, std::vector<SprRgb> colours)
    : w_(w),
      h_(h),
      pixels_(static_cast<size_t>(w) * static_cast<size_t>(h), 0),
      colours_(std::move(colours)) {
  if (colours_.empty()) colours_.push_back({0, 0, 0});
}

uint8_t Canvas::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= w_ || y >= h_) return 0;
  return pixels_[static_cast<size_t>(y) * static_cast<size_t>(w_) + static_cast<size_t>(x)];
}

uint8_t Canvas::Colour(SprRgb c) {
  for (size_t i = 1; i < colours_.size(); ++i) {
    if (colours_[i].r == c.r && colours_[i].g == c.g && colours_[i].b == c.b) {
      return static_cast<uint8_t>(i);
    }
  }
  if (colours_.size() >= 256) throw std::length_error("a canvas holds 256 colours");
  colours_.push_back(c);
  return static_cast<uint8_t>(colours_.size() - 1);
}

uint8_t Canvas::Ramp(SprRgb a, SprRgb b, int steps) {
  if (colours_.size() + static_cast<size_t>(steps) > 256) {
    throw std::length_error("a canvas holds 256 colours");
  }
  const auto first = static_cast<uint8_t>(colours_.size());
  for (int i = 0; i < steps; ++i) {
    const auto mix = [&](uint8_t x, uint8_t y) {
      return static_cast<uint8_t>(x + (y - x) * i / std::max(steps - 1, 1));
    };
    colours_.push_back({mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b)});
  }
  return first;
}

void Canvas::Put(int x, int y, uint8_t v) {
  if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
  pixels_[static_cast<size_t>(y) * static_cast<size_t>(w_) + static_cast<size_t>(x)] = v;
}

void Canvas::Fill(uint8_t v) { std::fill(pixels_.begin(), pixels_.end(), v); }

void Canvas::Rect(int x0, int y0, int x1, int y1, uint8_t v) {
  for (int y = std::max(y0, 0); y < std::min(y1, h_); ++y) {
    for (int x = std::max(x0, 0); x < std::min(x1, w_); ++x) Put(x, y, v);
  }
}

void Canvas::Frame(int x0, int y0, int x1, int y1, int t, uint8_t v) {
  Rect(x0, y0, x1, y0 + t, v);
  Rect(x0, y1 - t, x1, y1, v);
  Rect(x0, y0, x0 + t, y1, v);
  Rect(x1 - t, y0, x1, y1, v);
}

void Canvas::Gradient(int y0, int y1, uint8_t first, int steps) {
  for (int y = y0; y < y1; ++y) {
    const int k = (y - y0) * steps / std::max(y1 - y0, 1);
    Rect(0, y, w_, y + 1, static_cast<uint8_t>(first + k));
  }
}

void Canvas::Disc(int cx, int cy, int r, uint8_t v) { Ellipse(cx, cy, r, r, v); }

void Canvas::Ellipse(int cx, int cy, int rx, int ry, uint8_t v) {
  if (rx <= 0 || ry <= 0) return;
  for (int y = cy - ry; y <= cy + ry; ++y) {
    for (int x = cx - rx; x <= cx + rx; ++x) {
      const int64_t dx = x - cx;
      const int64_t dy = y - cy;
      if (dx * dx * ry * ry + dy * dy * rx * rx <= static_cast<int64_t>(rx) * rx * ry * ry) {
        Put(x, y, v);
      }
    }
  }
}

void Canvas::Line(int x0, int y0, int x1, int y1, int t, uint8_t v) {
  const int steps = std::max({std::abs(x1 - x0), std::abs(y1 - y0), 1});
  const int r = t / 2;
  for (int i = 0; i <= steps; ++i) {
    const int x = x0 + (x1 - x0) * i / steps;
    const int y = y0 + (y1 - y0) * i / steps;
    Rect(x - r, y - r, x - r + std::max(t, 1), y - r + std::max(t, 1), v);
  }
}

void Canvas::Polygon(const std::vector<std::pair<int, int>>& points, uint8_t v) {
  if (points.size() < 3) return;
  int top = points[0].second;
  int bottom = top;
  for (const auto& p : points) {
    top = std::min(top, p.second);
    bottom = std::max(bottom, p.second);
  }
  for (int y = std::max(top, 0); y <= std::min(bottom, h_ - 1); ++y) {
    const double cy = y + 0.5;
    std::vector<double> xs;
    for (size_t i = 0; i < points.size(); ++i) {
      const auto& a = points[i];
      const auto& b = points[(i + 1) % points.size()];
      if ((a.second <= cy) == (b.second <= cy)) continue;
      xs.push_back(a.first + (cy - a.second) * (b.first - a.first) / (b.second - a.second));
    }
    std::sort(xs.begin(), xs.end());
    for (size_t i = 0; i + 1 < xs.size(); i += 2) {
      for (int x = static_cast<int>(std::ceil(xs[i] - 0.5));
           x <= static_cast<int>(std::floor(xs[i + 1] - 0.5)); ++x) {
        Put(x, y, v);
      }
    }
  }
}

void Canvas::Diamond(int cx, int cy, int rx, int ry, uint8_t v, int t) {
  if (t <= 0) {
    Polygon({{cx - rx, cy}, {cx, cy - ry}, {cx + rx, cy}, {cx, cy + ry}}, v);
    return;
  }
  Line(cx - rx, cy, cx, cy - ry, t, v);
  Line(cx, cy - ry, cx + rx, cy, t, v);
  Line(cx + rx, cy, cx, cy + ry, t, v);
  Line(cx, cy + ry, cx - rx, cy, t, v);
}

void Canvas::Lighten(int percent) {
  for (size_t i = 1; i < colours_.size(); ++i) {
    SprRgb& c = colours_[i];
    const auto up = [percent](uint8_t v) {
      return static_cast<uint8_t>(v + (31 - v) * percent / 100);
    };
    c = {up(c.r), up(c.g), up(c.b)};
  }
}

int Canvas::TextWidth(const std::string& utf8, int scale) {
  int w = 0;
  for (uint32_t cp : CodePoints(utf8)) w += (cp < 0x80 ? 12 : 24) * scale;
  return w;
}

void Canvas::Text(Glyphs& glyphs, int x, int y, const std::string& utf8, uint8_t v, int scale) {
  for (uint32_t cp : CodePoints(utf8)) {
    const int gw = cp < 0x80 ? 12 : 24;
    const std::vector<uint8_t>& levels = glyphs.Of(cp, gw);
    for (int row = 0; row < 24; ++row) {
      for (int col = 0; col < gw; ++col) {
        if (levels[static_cast<size_t>(row * gw + col)] < 8) continue;
        Rect(x + col * scale, y + row * scale, x + (col + 1) * scale, y + (row + 1) * scale, v);
      }
    }
    x += gw * scale;
  }
}

void Canvas::HalfText(Glyphs& glyphs, int x, int y, const std::string& utf8, uint8_t v) {
  for (uint32_t cp : CodePoints(utf8)) {
    const int gw = cp < 0x80 ? 12 : 24;
    const std::vector<uint8_t>& levels = glyphs.Of(cp, gw);
    for (int row = 0; row < 24; row += 2) {
      for (int col = 0; col < gw; col += 2) {
        int ink = 0;
        for (int k = 0; k < 4; ++k) {
          ink += levels[static_cast<size_t>((row + k / 2) * gw + col + k % 2)];
        }
        if (ink >= 24) Put(x + col / 2, y + row / 2, v);
      }
    }
    x += gw / 2;
  }
}

void Canvas::ShortText(Glyphs& glyphs, int x, int y, int h, const std::string& utf8, uint8_t v) {
  for (uint32_t cp : CodePoints(utf8)) {
    const int gw = cp < 0x80 ? 12 : 24;
    const std::vector<uint8_t>& levels = glyphs.Of(cp, gw);
    // The glyph's inked rows (most glyphs leave rows empty above and below) spread over h.
    int first = 24;
    int last = -1;
    for (int row = 0; row < 24; ++row) {
      for (int col = 0; col < gw; ++col) {
        if (levels[static_cast<size_t>(row * gw + col)] >= 8) {
          first = std::min(first, row);
          last = std::max(last, row);
        }
      }
    }
    if (last >= first) {
      const int rows = last - first + 1;
      for (int oy = 0; oy < h; ++oy) {
        const int from = first + oy * rows / h;
        const int to = std::max(from + 1, first + (oy + 1) * rows / h);
        for (int col = 0; col < gw; ++col) {
          bool ink = false;
          for (int row = from; row < to && row <= last; ++row) {
            ink = ink || levels[static_cast<size_t>(row * gw + col)] >= 8;
          }
          if (ink) Put(x + col, y + oy, v);
        }
      }
    }
    x += gw;
  }
}

void Canvas::CentredText(Glyphs& glyphs, int y, const std::string& utf8, uint8_t v, int scale) {
  Text(glyphs, (w_ - TextWidth(utf8, scale)) / 2, y, utf8, v, scale);
}

void Canvas::OutlinedText(Glyphs& glyphs, int x, int y, const std::string& utf8, uint8_t v,
                          uint8_t edge, int scale) {
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      if (dx != 0 || dy != 0) Text(glyphs, x + dx, y + dy, utf8, edge, scale);
    }
  }
  Text(glyphs, x, y, utf8, v, scale);
}

SprImage Canvas::Image() const {
  return SprImage(static_cast<uint16_t>(w_), static_cast<uint16_t>(h_), kSprDepth8, 0,
                  Encode8Bit(pixels_));
}

std::vector<uint16_t> Canvas::Rgb555() const {
  constexpr uint16_t kKey = 0x03FF;  // cyan: the colour key once widened to 16 bits
  std::vector<uint16_t> out;
  out.reserve(pixels_.size());
  for (uint8_t v : pixels_) {
    if (v == 0 || v >= colours_.size()) {
      out.push_back(kKey);
      continue;
    }
    const SprRgb c = colours_[v];
    auto word = static_cast<uint16_t>(c.r << 10 | c.g << 5 | c.b);
    if (word == kKey) word = 0x03DF;  // a drawn cyan stays visible
    out.push_back(word);
  }
  return out;
}

Canvas Card(Glyphs& glyphs, SprRgb top, SprRgb bottom, const std::string& title,
            const std::string& line, int seed) {
  Canvas c(640, 480, {{0, 0, 0}});
  const uint8_t white = c.Colour(kWhite);
  const uint8_t ink = c.Colour(kInk);
  const uint8_t accent =
      c.Colour({static_cast<uint8_t>((seed * 7) % 32), 28, static_cast<uint8_t>((seed * 13) % 32)});
  const uint8_t ramp = c.Ramp(top, bottom, 64);
  c.Gradient(0, 480, ramp, 64);
  c.Disc(320, 200, 120, accent);
  c.Disc(320, 200, 100, ramp);
  for (int k = 0; k < 8; ++k) {
    const double a = (seed + k) * 3.14159265358979 / 4;
    c.Disc(320 + static_cast<int>(std::lround(150 * std::cos(a))),
           200 + static_cast<int>(std::lround(150 * std::sin(a))), 12, accent);
  }
  c.Frame(16, 16, 624, 464, 4, white);
  c.CentredText(glyphs, 200 - 36, title, ink, 3);
  c.CentredText(glyphs, 200 - 39, title, white, 3);
  c.CentredText(glyphs, 380, line, white, 1);
  return c;
}

std::vector<SprRgb> LabelColours(SprRgb paper) {
  return {{0, 0, 0}, kWhite, kInk, paper, {31, 24, 8}};
}

Canvas Label(Glyphs& glyphs, int w, int h, SprRgb paper, const std::string& text, int scale) {
  Canvas c(w, h, LabelColours(paper));
  c.Fill(3);
  c.Frame(0, 0, w, h, 2, 4);
  c.CentredText(glyphs, (h - 24 * scale) / 2, text, 2, scale);
  return c;
}

namespace {

SprRgb Darker(SprRgb c) {
  return {static_cast<uint8_t>(c.r * 2 / 3), static_cast<uint8_t>(c.g * 2 / 3),
          static_cast<uint8_t>(c.b * 2 / 3)};
}

}  // namespace

void DrawFace(Canvas& c, int x, int y, int w, int h, const Look& look, int eyes, int mouth) {
  const uint8_t hair = c.Colour(look.hair);
  const uint8_t skin = c.Colour(look.skin);
  const uint8_t shade = c.Colour(Darker(look.skin));
  const uint8_t ink = c.Colour(kInk);
  const uint8_t white = c.Colour(kWhite);
  const uint8_t lips = c.Colour({26, 8, 8});
  const int cx = x + w / 2;
  // Hair behind, the face, a fringe on top.
  c.Ellipse(cx, y + h * 9 / 20, w * 9 / 20, h * 9 / 20, hair);
  c.Ellipse(cx, y + h * 11 / 20, w * 7 / 20, h * 8 / 20, skin);
  c.Ellipse(cx, y + h * 11 / 20 + h / 40, w * 7 / 20, h * 8 / 20 - h / 40, skin);
  c.Rect(cx - w * 7 / 20, y + h * 3 / 20, cx + w * 7 / 20, y + h * 6 / 20, hair);
  c.Ellipse(cx, y + h * 3 / 20, w * 8 / 20, h * 3 / 20, hair);
  // Eyes: open discs with a white glint, a line when half or fully shut.
  const int ey = y + h * 10 / 20;
  const int ex = w * 3 / 20;
  const int er = std::max(2, w / 16);
  for (int side : {-1, 1}) {
    const int px = cx + side * ex;
    if (eyes == 0) {
      c.Ellipse(px, ey, er, er * 3 / 2, ink);
      c.Disc(px + er / 2, ey - er / 2, std::max(1, er / 3), white);
    } else if (eyes == 1) {
      c.Ellipse(px, ey + er / 2, er, std::max(1, er / 2), ink);
    } else {
      c.Line(px - er, ey + er / 2, px + er, ey + er / 2, std::max(1, er / 2), ink);
    }
  }
  // Cheeks and the mouth.
  c.Disc(cx - ex - er, ey + h * 3 / 20, std::max(1, er / 2), shade);
  c.Disc(cx + ex + er, ey + h * 3 / 20, std::max(1, er / 2), shade);
  const int my = y + h * 15 / 20;
  if (mouth == 0) {
    c.Line(cx - w / 12, my, cx, my + h / 40, std::max(1, w / 40), lips);
    c.Line(cx, my + h / 40, cx + w / 12, my, std::max(1, w / 40), lips);
  } else {
    c.Ellipse(cx, my, w / 14, h / 30 + 1, lips);
  }
}

void DrawPerson(Canvas& c, int x, int y, int w, int h, const Look& look, bool back,
                bool arm_raised) {
  const uint8_t clothes = c.Colour(look.clothes);
  const uint8_t dark = c.Colour(Darker(look.clothes));
  const uint8_t skin = c.Colour(look.skin);
  const uint8_t hair = c.Colour(look.hair);
  const uint8_t ink = c.Colour(kInk);
  const int cx = x + w / 2;
  const int head = h / 5;
  // Legs, body, arms.
  c.Rect(cx - w / 5, y + h * 13 / 20, cx - w / 20, y + h - h / 20, dark);
  c.Rect(cx + w / 20, y + h * 13 / 20, cx + w / 5, y + h - h / 20, dark);
  c.Rect(cx - w / 4, y + h - h / 20, cx - w / 20, y + h, ink);
  c.Rect(cx + w / 20, y + h - h / 20, cx + w / 4, y + h, ink);
  c.Polygon({{cx - w / 4, y + head + h / 20},
             {cx + w / 4, y + head + h / 20},
             {cx + w * 3 / 10, y + h * 14 / 20},
             {cx - w * 3 / 10, y + h * 14 / 20}},
            clothes);
  const int arm = std::max(2, w / 8);
  c.Line(cx - w / 4, y + head + h / 12, cx - w * 2 / 5, y + h * 11 / 20, arm, clothes);
  c.Disc(cx - w * 2 / 5, y + h * 11 / 20, arm / 2 + 1, skin);
  if (arm_raised) {
    c.Line(cx + w / 4, y + head + h / 12, cx + w * 2 / 5, y + head / 2, arm, clothes);
    c.Disc(cx + w * 2 / 5, y + head / 2, arm / 2 + 1, skin);
  } else {
    c.Line(cx + w / 4, y + head + h / 12, cx + w * 2 / 5, y + h * 11 / 20, arm, clothes);
    c.Disc(cx + w * 2 / 5, y + h * 11 / 20, arm / 2 + 1, skin);
  }
  // The head: from behind all hair, from the front a face.
  if (back) {
    c.Ellipse(cx, y + head * 6 / 10, w * 3 / 10, head * 6 / 10, hair);
  } else {
    DrawFace(c, cx - w * 3 / 10, y, w * 6 / 10, head * 6 / 5, look);
  }
}

// ---- Files of canvases ----

OneTable OnOneTable(const std::vector<Canvas>& pictures) {
  Canvas table(1, 1, {{0, 0, 0}});
  OneTable out;
  for (const Canvas& p : pictures) {
    Canvas mapped(p.width(), p.height(), {});
    std::vector<uint8_t> to(p.colours().size(), 0);
    for (size_t v = 1; v < p.colours().size(); ++v) to[v] = table.Colour(p.colours()[v]);
    for (int y = 0; y < p.height(); ++y) {
      for (int x = 0; x < p.width(); ++x) mapped.Put(x, y, to[p.At(x, y)]);
    }
    out.images.push_back(mapped.Image());
  }
  out.colours = table.colours();
  return out;
}

std::vector<uint8_t> FaceFileOf(const std::vector<Look>& looks,
                                const std::vector<std::pair<uint16_t, uint16_t>>& records) {
  std::vector<Canvas> images;
  for (const Look& look : looks) {
    Canvas face(80, 160, {{0, 0, 0}});
    face.Rect(0, 0, 80, 96, face.Colour({20, 24, 30}));
    DrawFace(face, 4, 4, 72, 92, look, 0, 0);
    for (int band = 1; band <= 2; ++band) {
      Canvas eyes(80, 96, {{0, 0, 0}});
      eyes.Rect(0, 0, 80, 96, eyes.Colour({20, 24, 30}));
      DrawFace(eyes, 4, 4, 72, 92, look, band, 0);
      // Rows 32-63 of that face into the band, in the face's own colours.
      for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 80; ++x) {
          face.Put(x, 96 + (band - 1) * 32 + y, face.Colour(eyes.colours()[eyes.At(x, 32 + y)]));
        }
      }
    }
    images.push_back(face);
  }
  const OneTable shared = OnOneTable(images);
  std::vector<SprRecord> table;
  for (const auto& [index, image] : records) {
    table.push_back(SprRecord().U16(0, index).U16(2, image).U16(6, 32));
  }
  SprFileWriter writer;
  writer.Add(1, ColourPart(shared.colours));
  writer.Add(2, ImagePart(shared.images));
  writer.Add(10, RecordPart(table));
  return writer.Build();
}

std::vector<uint8_t> PictureOf(const Canvas& c) { return PictureFile(c.colours(), {c.Image()}); }

std::vector<uint8_t> PicturesOf(const std::vector<Canvas>& cs) {
  std::vector<SprImage> images;
  for (const Canvas& c : cs) images.push_back(c.Image());
  return PictureFile(cs.front().colours(), images);
}

std::vector<uint8_t> FramesFileWith(const std::vector<Canvas>& frames,
                                    const std::vector<std::pair<int, int>>& offsets,
                                    const std::vector<std::vector<SprFrameSpec>>& animations) {
  const OneTable shared = OnOneTable(frames);
  std::vector<std::vector<SprUnitEntry>> units;
  for (size_t i = 0; i < frames.size(); ++i) {
    const std::pair<int, int> at = i < offsets.size() ? offsets[i] : std::make_pair(0, 0);
    units.push_back({BoxEntry(
        static_cast<uint16_t>(i), static_cast<int16_t>(at.first), static_cast<int16_t>(at.second),
        static_cast<int16_t>(frames[i].width()), static_cast<int16_t>(frames[i].height()))});
  }
  return AnimationFile(shared.colours, shared.images, units, animations);
}

std::vector<uint8_t> AnimationsOf(const std::vector<Canvas>& cs, uint16_t ticks,
                                  const std::vector<std::pair<int, int>>& places) {
  std::vector<std::vector<SprFrameSpec>> animations;
  for (size_t n = 0; n < cs.size(); ++n) animations.push_back({{static_cast<uint16_t>(n), ticks}});
  return FramesFileWith(cs, places, animations);
}

std::vector<uint8_t> DirectPicturesOf(const std::vector<Canvas>& cs) {
  std::vector<SprImage> frames;
  for (const Canvas& c : cs) {
    frames.push_back(MgDirectFrame(static_cast<uint16_t>(c.width()),
                                   static_cast<uint16_t>(c.height()), c.Rgb555()));
  }
  return MgDirectSpr(frames);
}

// ---- Sounds ----

std::vector<int16_t> Notes(const std::vector<double>& hz, uint32_t rate, uint32_t each,
                           int16_t amplitude) {
  std::vector<int16_t> out;
  for (double f : hz) {
    std::vector<int16_t> tone = Tone(1, rate, each, f, amplitude);
    // A short fade at both ends, so the notes do not click.
    for (uint32_t i = 0; i < each && i < 200; ++i) {
      tone[i] = static_cast<int16_t>(tone[i] * static_cast<int>(i) / 200);
      tone[each - 1 - i] = static_cast<int16_t>(tone[each - 1 - i] * static_cast<int>(i) / 200);
    }
    out.insert(out.end(), tone.begin(), tone.end());
  }
  return out;
}

std::vector<uint8_t> SampleVoice(int n, int frames) {
  const uint32_t rate = 22050;
  std::vector<double> hz;
  for (int k = 0; k < frames / 6; ++k) hz.push_back(220.0 + 40.0 * ((k * (n + 3)) % 5));
  return PcmWav(1, rate, 16, Notes(hz, rate, rate / 10, 6000)).Bytes();
}

std::vector<uint8_t> SampleTune(const std::vector<double>& hz, uint32_t note_samples) {
  const uint32_t rate = 22050;
  const std::vector<int16_t> samples = Notes(hz, rate, note_samples, 9000);
  std::optional<WavFile> music = EncodedWav(platform::kWaveFormatMsAdpcm, 1, rate, samples, 512);
  if (!music) music = PcmWav(1, rate, 16, samples);
  music->loop_point = 0;
  music->loop_in_size = false;
  return music->Bytes();
}

// ---- Files ----

void Out::Write(const std::string& rel, const std::vector<uint8_t>& bytes) {
  if (!ok_) return;
  const fs::path path = root_ / rel;
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) Fail("cannot write " + path.string());
}

void Out::Fail(const std::string& why) {
  if (ok_ && error_ != nullptr) *error_ = why;
  ok_ = false;
}

void Out::SetTime(const std::string& rel, int64_t seconds) {
  if (!ok_) return;
  std::error_code ec;
  const auto since = std::chrono::system_clock::from_time_t(static_cast<std::time_t>(seconds));
  fs::last_write_time(root_ / rel, fs::file_time_type::clock::from_sys(since), ec);
  if (ec) Fail("cannot set the time of " + rel);
}

}  // namespace testsupport::sample
