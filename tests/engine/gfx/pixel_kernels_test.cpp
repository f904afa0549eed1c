// Every vector form of the pixel kernels, on every instruction set this processor runs, against
// the scalar form: random pictures (a quarter of the pixels the key, some equal to the
// destination), widths 1-67, odd offsets and pitches, both pixel layouts; every pixel of the
// destination picture, its padding included, must come out the same.

#include "engine/gfx/pixels/pixel_kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/files/random.h"
#include "tests/engine/gfx/picture16.h"

namespace {

using pixel_kernels::Rows;
using testpix::Picture;

constexpr uint16_t kKey565 = 0x07FF, kKey555 = 0x03FF;

// Runs `body(target name)` once per instruction set, then returns to the best one.
template <class F>
void ForEachTarget(F body) {
  const std::vector<int64_t> targets = pixel_kernels::VectorTargets();
  ASSERT_FALSE(targets.empty());
  for (int64_t target : targets) {
    pixel_kernels::UseVectorTarget(target);
    body(std::string(pixel_kernels::VectorTargetName(target)));
  }
  pixel_kernels::UseVectorTarget(0);
}

struct Pictures {
  Picture src, aux, dst;
};

// The destination column AreaOf puts under source column x.
constexpr int kDstOverSrc = 2;

// Random pictures of w x h pixels (plus room for the offsets): about a quarter of the source
// pixels are the key and an eighth equal the destination pixel the area puts them on.
Pictures RandomPictures(GameRandom& rng, int w, int h, uint16_t key) {
  const auto pixel = [&rng] {
    return static_cast<uint16_t>(rng.Next() << 1 ^ rng.Next());
  };
  Pictures p{Picture(w + 3, h + 1, 0), Picture(w + 3, h + 1, 0), Picture(w + 5, h + 2, 0)};
  for (uint16_t& v : p.dst.pixels) v = pixel();
  for (uint16_t& v : p.aux.pixels) v = pixel();
  for (int y = 0; y < p.src.height; ++y) {
    for (int x = 0; x < p.src.width; ++x) {
      const int r = rng.Next() % 8;
      p.src.at(x, y) = r < 2 ? key : r == 2 ? p.dst.at(x + kDstOverSrc, y) : pixel();
    }
  }
  return p;
}

// Runs `body(target, rng, w, rgb555, key, start)` on every instruction set for every width 1-67
// and both pixel layouts, `start` being random pictures of `rows` rows drawn from one generator
// seeded with `seed` (the body may draw more from `rng`).
template <class F>
void ForEachRandomPicture(uint32_t seed, int rows, F body) {
  ForEachTarget([&](const std::string& target) {
    GameRandom rng;
    rng.Seed(seed);
    for (int w = 1; w <= 67; ++w) {
      for (bool rgb555 : {false, true}) {
        const uint16_t key = rgb555 ? kKey555 : kKey565;
        body(target, rng, w, rgb555, key, RandomPictures(rng, w, rows, key));
      }
    }
  });
}

// The area of w x h pixels at odd offsets: destination (1 + kDstOverSrc, 1), source and aux
// (1, 1).
Rows AreaOf(Pictures& p, int w, int h) {
  const auto at = [](Picture& pic, int x, int y) {
    return reinterpret_cast<uint8_t*>(&pic.at(x, y));
  };
  return {at(p.dst, 1 + kDstOverSrc, 1), p.dst.pitch(), at(p.src, 1, 1), p.src.pitch(),
          at(p.aux, 1, 1), p.aux.pitch(), w, h};
}

// A keyed copy of w x h pixels over the compared rows (the pictures' pitches are in bytes).
pixel_kernels::KeyedCopy KeyedCopyOf(Rows r, int w, int h, uint16_t key, const uint64_t* cover,
                                     int screen_x) {
  return pixel_kernels::KeyedCopy{reinterpret_cast<const uint16_t*>(r.src),
                                  r.src_advance / 2,
                                  reinterpret_cast<uint16_t*>(r.dst),
                                  r.dst_advance / 2,
                                  w,
                                  h,
                                  key,
                                  cover,
                                  screen_x};
}

// Runs `vector` and `scalar` (each given the area of its own copy of the pictures) and compares
// every destination pixel.
template <class Vector, class Scalar>
void Compare(const Pictures& start, int w, int h, Vector vector, Scalar scalar,
             const std::string& what) {
  Pictures a = start, b = start;
  vector(AreaOf(a, w, h));
  scalar(AreaOf(b, w, h));
  for (size_t i = 0; i < a.dst.pixels.size(); ++i) {
    if (a.dst.pixels[i] != b.dst.pixels[i]) {
      ADD_FAILURE() << what << ": pixel " << i << " vector 0x" << std::hex << a.dst.pixels[i]
                    << " scalar 0x" << b.dst.pixels[i];
      return;
    }
  }
}

TEST(PixelKernels, BlendEqualsTheScalarFormInEveryModeLevelAndMember) {
  const uint32_t levels[] = {0, 1, 77, 127, 128, 129, 200, 255, 256};
  ForEachRandomPicture(1, 3, [&](const std::string& target, GameRandom& rng, int w,
                                 bool rgb555, const uint16_t key, const Pictures start) {
    // A random cover of 16-pixel screen groups, used on every other call.
    const int screen_x = rng.Next() % (640 - 70);
    std::vector<uint64_t> cover(3);
    for (uint64_t& row : cover) {
      row = uint64_t{static_cast<uint32_t>(rng.Next())} << 30 ^
            uint64_t{static_cast<uint32_t>(rng.Next())} << 15 ^ rng.Next();
    }
    bool covered = false;
    for (bool honour : {false, true}) {
      for (uint32_t mode = 0; mode <= 10; ++mode) {
        // Every level at a few widths, one random level at the others.
        const bool all_levels = w == 1 || w == 16 || w == 67;
        for (uint32_t level : levels) {
          const uint32_t a = all_levels ? level : levels[rng.Next() % 9];
          covered = !covered;
          pixel_kernels::BlendCall call{{},     a,      mode << 16,
                                        key,    0x5A5A, rgb555,
                                        honour, covered ? cover.data() : nullptr,
                                        screen_x};
          Compare(
              start, w, 3,
              [&](Rows r) { call.rows = r; pixel_kernels::Blend(call); },
              [&](Rows r) { call.rows = r; pixel_kernels::scalar::Blend(call); },
              target + " blend width " + std::to_string(w) + " 555 " +
                  std::to_string(rgb555) + " key " + std::to_string(honour) + " mode " +
                  std::to_string(mode) + " level " + std::to_string(a) + " covered " +
                  std::to_string(covered));
          if (!all_levels) break;
        }
      }
    }
  });
}

// Areas whose rows follow each other without a gap in every picture (the pitch twice the
// width, as a full-width area has), which the kernels may run as one long row: every blend mode
// (the checkerboard's pixels depend on their row and column, which one long row must not change),
// the brightness copy, the cross-fade and the masked shadow, against the scalar forms. Also with
// the destination gapless but the source or the second source padded, where the rows must not
// be joined. Each area starts at a random pixel of its allocation (so at every alignment to a
// vector), with random pixels before and after it that must stay as they are.
TEST(PixelKernels, GaplessRowsEqualTheScalarForms) {
  struct Layout {
    int src_pad, aux_pad;
  };
  constexpr Layout kLayouts[] = {{0, 0}, {2, 0}, {0, 2}};
  constexpr int kRows = 3;
  ForEachTarget([&](const std::string& target) {
    GameRandom rng;
    rng.Seed(6);
    const auto pixel = [&rng] { return static_cast<uint16_t>(rng.Next() << 1 ^ rng.Next()); };
    for (int w = 1; w <= 67; ++w) {
      for (const Layout layout : kLayouts) {
        for (bool rgb555 : {false, true}) {
          const uint16_t key = rgb555 ? kKey555 : kKey565;
          // One allocation per picture: `lead` pixels, the rows (each `pad` pixels longer than
          // the area), 40 pixels after.
          struct Flat {
            int lead, pad;
            std::vector<uint16_t> pixels;
            uint16_t& at(int x, int y, int w) {
              return pixels[static_cast<size_t>(lead + y * (w + pad) + x)];
            }
          };
          const auto make = [&](int pad) {
            Flat f{rng.Next() % 34, pad, {}};
            f.pixels.resize(static_cast<size_t>(f.lead + kRows * (w + pad) + 40));
            for (uint16_t& v : f.pixels) v = pixel();
            return f;
          };
          Flat dst = make(0), src = make(layout.src_pad), aux = make(layout.aux_pad);
          // A quarter of the source pixels the key, an eighth equal to the destination's.
          for (int y = 0; y < kRows; ++y) {
            for (int x = 0; x < w; ++x) {
              const int r = rng.Next() % 8;
              if (r < 2) src.at(x, y, w) = key;
              if (r == 2) src.at(x, y, w) = dst.at(x, y, w);
            }
          }
          const std::string at = target + " gapless width " + std::to_string(w) +
                                 " source pad " + std::to_string(layout.src_pad) +
                                 " aux pad " + std::to_string(layout.aux_pad) + " 555 " +
                                 std::to_string(rgb555);
          // Runs `vector` and `scalar` on copies of the destination and compares them whole.
          const auto compare = [&](auto vector, auto scalar, const std::string& what) {
            Flat a = dst, b = dst;
            const auto area = [&](Flat& out) {
              const auto row = [w](const Flat& f) { return ptrdiff_t{2} * (w + f.pad); };
              return Rows{reinterpret_cast<uint8_t*>(out.pixels.data() + out.lead),
                          row(out),
                          reinterpret_cast<const uint8_t*>(src.pixels.data() + src.lead),
                          row(src),
                          reinterpret_cast<const uint8_t*>(aux.pixels.data() + aux.lead),
                          row(aux),
                          w,
                          kRows};
            };
            vector(area(a));
            scalar(area(b));
            const auto diff = std::mismatch(a.pixels.begin(), a.pixels.end(), b.pixels.begin());
            if (diff.first != a.pixels.end()) {
              ADD_FAILURE() << at << " " << what << ": pixel " << (diff.first - a.pixels.begin())
                            << " (area from " << dst.lead << ") vector 0x" << std::hex
                            << *diff.first << " scalar 0x" << *diff.second;
            }
          };
          for (bool honour : {false, true}) {
            for (uint32_t mode = 0; mode <= 10; ++mode) {
              for (uint32_t level : {0u, 77u, 128u, 256u, static_cast<uint32_t>(rng.Next() % 257)}) {
                pixel_kernels::BlendCall call{{}, level, mode << 16, key, 0x5A5A, rgb555, honour};
                compare([&](Rows r) { call.rows = r; pixel_kernels::Blend(call); },
                        [&](Rows r) { call.rows = r; pixel_kernels::scalar::Blend(call); },
                        "blend key " + std::to_string(honour) + " mode " + std::to_string(mode) +
                            " level " + std::to_string(level));
              }
            }
          }
          const auto factor = static_cast<uint16_t>(rng.Next() % 17);
          compare([&](Rows r) { pixel_kernels::Bright(r, factor, rgb555); },
                  [&](Rows r) { pixel_kernels::scalar::Bright(r, factor, rgb555); }, "bright");
          compare([&](Rows r) { pixel_kernels::CrossFade(r, 16 - factor, factor, rgb555); },
                  [&](Rows r) { pixel_kernels::scalar::CrossFade(r, 16 - factor, factor, rgb555); },
                  "cross-fade");
          compare([&](Rows r) { pixel_kernels::MaskedShadow(r, key, rgb555); },
                  [&](Rows r) { pixel_kernels::scalar::MaskedShadow(r, key, rgb555); },
                  "masked shadow");
        }
      }
    }
  });
}

// Every pair of source and destination field values at every level: in the 64 x 64 pictures
// the source's fields follow the column and the destination's the row (red counting down, so
// the last column is the key, and the diagonal holds sources equal to the destination); in
// RGB555 the unused bit 15 is set on every other pixel of both (so half the last column is not
// the key). The rows start at every alignment the padded pitch gives. The scalar result is
// worked out once per call and held against every instruction set.
TEST(PixelKernels, BlendEqualsTheScalarFormForEveryFieldPairAtEveryLevel) {
  const std::vector<int64_t> targets = pixel_kernels::VectorTargets();
  constexpr int kSide = 64;
  for (bool rgb555 : {false, true}) {
    const int green_bits = rgb555 ? 5 : 6;
    const auto pixel = [&](int v, int parity) {
      const int r = (63 - v) & 31, g = v & ((1 << green_bits) - 1), b = v & 31;
      const int top = rgb555 && parity != 0 ? 0x8000 : 0;
      return static_cast<uint16_t>(top | r << (5 + green_bits) | g << 5 | b);
    };
    Picture src(kSide, kSide, 0), dst(kSide, kSide, 0);
    for (int y = 0; y < kSide; ++y) {
      for (int x = 0; x < kSide; ++x) {
        src.at(x, y) = pixel(x, (x + y) & 1);
        dst.at(x, y) = pixel(y, (x + y) & 1);
      }
    }
    const uint16_t key = rgb555 ? kKey555 : kKey565;
    ASSERT_EQ(src.at(kSide - 1, 1), key);
    for (bool honour : {false, true}) {
      for (uint32_t mode = 0; mode <= 8; ++mode) {
        for (uint32_t level = 0; level <= 256; ++level) {
          pixel_kernels::BlendCall call{{}, level, mode << 16, key, 0x5A5A, rgb555, honour};
          const auto run = [&](Picture& out, auto blend) {
            out = dst;
            call.rows = {reinterpret_cast<uint8_t*>(out.data()),
                         out.pitch(),
                         reinterpret_cast<const uint8_t*>(src.data()),
                         src.pitch(),
                         nullptr,
                         0,
                         kSide,
                         kSide};
            blend(call);
          };
          Picture want(0, 0, 0), got(0, 0, 0);
          run(want, pixel_kernels::scalar::Blend);
          for (int64_t target : targets) {
            pixel_kernels::UseVectorTarget(target);
            run(got, pixel_kernels::Blend);
            const auto diff = std::mismatch(got.pixels.begin(), got.pixels.end(),
                                            want.pixels.begin());
            if (diff.first != got.pixels.end()) {
              const auto i = diff.first - got.pixels.begin();
              ADD_FAILURE() << pixel_kernels::VectorTargetName(target) << " 555 " << rgb555
                            << " key " << honour << " mode " << mode << " level " << level
                            << ": pixel " << i << " vector 0x" << std::hex << *diff.first
                            << " scalar 0x" << *diff.second;
              pixel_kernels::UseVectorTarget(0);
              return;
            }
          }
          pixel_kernels::UseVectorTarget(0);
        }
      }
    }
  }
}

// Mode 0 over sources made of runs of 1-40 pixels, each run all key, all equal to the
// destination pixels under it, or other pixels: whole vectors of key pixels (which the honouring
// members skip) and of equal pixels, and vectors where the two rules and the blend meet at any
// lane.
TEST(PixelKernels, AlphaBlendOverRunsOfKeyAndEqualPixelsEqualsTheScalarForm) {
  ForEachRandomPicture(3, 3, [&](const std::string& target, GameRandom& rng, int w,
                                 bool rgb555, const uint16_t key, Pictures start) {
    for (int y = 0; y < start.src.height; ++y) {
      int kind = 0, left = 0;
      for (int x = 0; x < start.src.width; ++x) {
        if (left-- == 0) {
          kind = rng.Next() % 3;
          left = rng.Next() % 40;
        }
        uint16_t& v = start.src.at(x, y);
        if (kind == 0) v = key;
        if (kind == 1) v = start.dst.at(x + kDstOverSrc, y);
      }
    }
    for (bool honour : {false, true}) {
      for (uint32_t level : {0u, 1u, 77u, 128u, 255u, 256u}) {
        pixel_kernels::BlendCall call{{}, level, 0, key, 0x5A5A, rgb555, honour};
        Compare(
            start, w, 3, [&](Rows r) { call.rows = r; pixel_kernels::Blend(call); },
            [&](Rows r) { call.rows = r; pixel_kernels::scalar::Blend(call); },
            target + " runs width " + std::to_string(w) + " 555 " +
                std::to_string(rgb555) + " key " + std::to_string(honour) + " level " +
                std::to_string(level));
      }
    }
  });
}

// The fade at every factor over pixels holding every field value (each field of pixel v holding
// v, cut to its width) and 4096 others spread over all pixel values.
TEST(PixelKernels, FadeEqualsTheScalarFormForEveryFieldValueAtEveryFactor) {
  const std::vector<int64_t> targets = pixel_kernels::VectorTargets();
  std::vector<uint16_t> every;
  for (uint16_t v = 0; v < 64; ++v) {
    every.push_back(static_cast<uint16_t>((v & 31) << 11 | v << 5 | (v & 31)));
  }
  for (uint32_t i = 0; i < 4096; ++i) every.push_back(static_cast<uint16_t>(i * 0x9E37u));
  for (bool rgb555 : {false, true}) {
    for (uint16_t f = 0; f <= 256; ++f) {
      const auto add = static_cast<uint16_t>(f % 2 == 0 ? 0 : 0x0841);
      std::vector<uint16_t> want = every;
      pixel_kernels::scalar::FadeRow(want.data(), static_cast<int>(want.size()), f, add, rgb555);
      for (int64_t target : targets) {
        pixel_kernels::UseVectorTarget(target);
        std::vector<uint16_t> got = every;
        pixel_kernels::FadeRow(got.data(), static_cast<int>(got.size()), f, add, rgb555);
        const auto diff = std::mismatch(got.begin(), got.end(), want.begin());
        if (diff.first != got.end()) {
          ADD_FAILURE() << pixel_kernels::VectorTargetName(target) << " 555 " << rgb555
                        << " factor " << f << ": pixel 0x" << std::hex
                        << (diff.first - got.begin()) << " vector 0x" << *diff.first
                        << " scalar 0x" << *diff.second;
          pixel_kernels::UseVectorTarget(0);
          return;
        }
      }
      pixel_kernels::UseVectorTarget(0);
    }
  }
}

TEST(PixelKernels, BrightnessCrossFadeShadowAndFadeEqualTheScalarForms) {
  ForEachRandomPicture(2, 2, [&](const std::string& target, GameRandom& rng, int w,
                                 bool rgb555, const uint16_t key, const Pictures start) {
    const std::string at = target + " width " + std::to_string(w) + " 555 " +
                           std::to_string(rgb555);
    const auto factor = static_cast<uint16_t>(rng.Next() % 17);
    Compare(
        start, w, 2, [&](Rows r) { pixel_kernels::Bright(r, factor, rgb555); },
        [&](Rows r) { pixel_kernels::scalar::Bright(r, factor, rgb555); }, at + " bright");
    Compare(
        start, w, 2,
        [&](Rows r) { pixel_kernels::CrossFade(r, 16 - factor, factor, rgb555); },
        [&](Rows r) { pixel_kernels::scalar::CrossFade(r, 16 - factor, factor, rgb555); },
        at + " cross-fade");
    Compare(
        start, w, 2, [&](Rows r) { pixel_kernels::MaskedShadow(r, key, rgb555); },
        [&](Rows r) { pixel_kernels::scalar::MaskedShadow(r, key, rgb555); }, at + " shadow");
    const auto f = static_cast<uint16_t>(rng.Next() % 257);
    const auto add = static_cast<uint16_t>(rng.Next() % 2 == 0 ? 0 : 0x0841);
    const auto fade = [&](Rows r, auto row_fn) {
      for (int y = 0; y < r.height; ++y) {
        row_fn(reinterpret_cast<uint16_t*>(r.dst + y * r.dst_advance), r.width, f, add,
               rgb555);
      }
    };
    Compare(
        start, w, 2, [&](Rows r) { fade(r, pixel_kernels::FadeRow); },
        [&](Rows r) { fade(r, pixel_kernels::scalar::FadeRow); }, at + " fade");
  });
}

TEST(PixelKernels, KeyedRowCopyEqualsTheScalarFormAndFindsTheExactColumns) {
  ForEachRandomPicture(3, 4, [&](const std::string& target, GameRandom& rng, int w,
                                 bool, const uint16_t key, Pictures start) {
    // Row 2 all key, row 3 key but for one random pixel.
    for (int x = 0; x < start.src.width; ++x) start.src.at(x, 2) = start.src.at(x, 3) = key;
    start.src.at(1 + rng.Next() % w, 3) = 0x1234;
    for (int y = 0; y < 4; ++y) {
      pixel_kernels::ColumnSpan vector_span, scalar_span;
      Compare(
          start, w, 4,
          [&](Rows r) {
            pixel_kernels::CopyRowKeyed(
                reinterpret_cast<const uint16_t*>(r.src + y * r.src_advance),
                reinterpret_cast<uint16_t*>(r.dst + y * r.dst_advance), w, key, &vector_span);
          },
          [&](Rows r) {
            pixel_kernels::scalar::CopyRowKeyed(
                reinterpret_cast<const uint16_t*>(r.src + y * r.src_advance),
                reinterpret_cast<uint16_t*>(r.dst + y * r.dst_advance), w, key, &scalar_span);
          },
          target + " keyed row " + std::to_string(y) + " width " + std::to_string(w));
      EXPECT_EQ(vector_span.first, scalar_span.first) << target << " width " << w;
      EXPECT_EQ(vector_span.last, scalar_span.last) << target << " width " << w;
    }
  });
}

// Rectangles at every screen column phase, with and without a random cover of 16-pixel groups:
// the same pixels drawn, the same box of the source's other pixels found.
TEST(PixelKernels, KeyedRectangleCopyEqualsTheScalarFormWithAndWithoutACover) {
  ForEachTarget([&](const std::string& target) {
    GameRandom rng;
    rng.Seed(5);
    for (int w = 1; w <= 67; ++w) {
      const uint16_t key = w % 2 == 0 ? kKey555 : kKey565;
      const Pictures start = RandomPictures(rng, w, 5, key);
      const int screen_x = rng.Next() % (640 - 70);
      std::vector<uint64_t> cover(5);
      for (uint64_t& row : cover) {
        row = (uint64_t{static_cast<uint32_t>(rng.Next())} << 30 ^
               uint64_t{static_cast<uint32_t>(rng.Next())} << 15 ^ rng.Next());
      }
      for (bool covered : {false, true}) {
        pixel_kernels::PixelBox vector_box, scalar_box;
        const auto call = [&](Rows r) {
          return KeyedCopyOf(r, w, 5, key, covered ? cover.data() : nullptr, screen_x);
        };
        Compare(
            start, w, 5, [&](Rows r) { vector_box = pixel_kernels::CopyKeyed(call(r)); },
            [&](Rows r) { scalar_box = pixel_kernels::scalar::CopyKeyed(call(r)); },
            target + " keyed rectangle width " + std::to_string(w) + " covered " +
                std::to_string(covered));
        EXPECT_EQ(vector_box.left, scalar_box.left) << target << " width " << w;
        EXPECT_EQ(vector_box.top, scalar_box.top) << target << " width " << w;
        EXPECT_EQ(vector_box.right, scalar_box.right) << target << " width " << w;
        EXPECT_EQ(vector_box.bottom, scalar_box.bottom) << target << " width " << w;
      }
    }
  });
}

// Sources made of runs of 1-40 pixels, each run all key or none of it: whole vectors of key
// (which write nothing) and of other pixels, and vectors where the two meet at any lane, in
// rows and in rectangles, the box asked for or not (an empty box then), with and without a
// cover.
TEST(PixelKernels, KeyedCopiesOverRunsOfKeyAndOtherPixelsEqualTheScalarForm) {
  ForEachRandomPicture(6, 4, [&](const std::string& target, GameRandom& rng, int w, bool,
                                 const uint16_t key, Pictures start) {
    for (int y = 0; y < start.src.height; ++y) {
      bool keyed = false;
      int left = 0;
      for (int x = 0; x < start.src.width; ++x) {
        if (left-- == 0) {
          keyed = rng.Next() % 2 == 0;
          left = rng.Next() % 40;
        }
        if (keyed) start.src.at(x, y) = key;
        if (!keyed && start.src.at(x, y) == key) start.src.at(x, y) = 0x1234;
      }
    }
    const std::string at = target + " runs width " + std::to_string(w);
    for (int y = 0; y < 4; ++y) {
      for (bool spanned : {false, true}) {
        pixel_kernels::ColumnSpan vector_span{-1, -1}, scalar_span{-1, -1};
        const auto row = [&](auto copy, Rows r, pixel_kernels::ColumnSpan& span) {
          copy(reinterpret_cast<const uint16_t*>(r.src + y * r.src_advance),
               reinterpret_cast<uint16_t*>(r.dst + y * r.dst_advance), w, key,
               spanned ? &span : nullptr);
        };
        Compare(
            start, w, 4, [&](Rows r) { row(pixel_kernels::CopyRowKeyed, r, vector_span); },
            [&](Rows r) { row(pixel_kernels::scalar::CopyRowKeyed, r, scalar_span); },
            at + " row " + std::to_string(y));
        EXPECT_EQ(vector_span.first, scalar_span.first) << at << " row " << y;
        EXPECT_EQ(vector_span.last, scalar_span.last) << at << " row " << y;
      }
    }
    const int screen_x = rng.Next() % (640 - 70);
    std::vector<uint64_t> cover(4);
    for (uint64_t& word : cover) {
      word = uint64_t{static_cast<uint32_t>(rng.Next())} << 30 ^
             uint64_t{static_cast<uint32_t>(rng.Next())} << 15 ^ rng.Next();
    }
    struct Case {
      bool covered, find_box;
    };
    for (const Case& copy : {Case{false, true}, Case{false, false}, Case{true, true}}) {
      const bool covered = copy.covered, find_box = copy.find_box;
      pixel_kernels::PixelBox vector_box{-1, -1, -1, -1}, scalar_box{-1, -1, -1, -1};
      const auto call = [&](Rows r) {
        pixel_kernels::KeyedCopy c =
            KeyedCopyOf(r, w, 4, key, covered ? cover.data() : nullptr, screen_x);
        c.find_box = find_box;
        return c;
      };
      const std::string what =
          at + " covered " + std::to_string(covered) + " box " + std::to_string(find_box);
      Compare(
          start, w, 4, [&](Rows r) { vector_box = pixel_kernels::CopyKeyed(call(r)); },
          [&](Rows r) { scalar_box = pixel_kernels::scalar::CopyKeyed(call(r)); }, what);
      EXPECT_EQ(vector_box.left, scalar_box.left) << what;
      EXPECT_EQ(vector_box.top, scalar_box.top) << what;
      EXPECT_EQ(vector_box.right, scalar_box.right) << what;
      EXPECT_EQ(vector_box.bottom, scalar_box.bottom) << what;
      if (!find_box) {
        EXPECT_EQ(vector_box.left, vector_box.right) << what << ": a box found";
      }
    }
  });
}

// Texture spans inside a small picture whose last pixel ends its allocation (no padding after
// it), turned and zoomed both ways, keyed and not; stretched rows by column tables and mirrored
// rows, keyed and not.
TEST(PixelKernels, TextureSpansStretchedAndMirroredRowsEqualTheScalarForms) {
  ForEachRandomPicture(4, 1, [&](const std::string& target, GameRandom& rng, int w,
                                 bool, const uint16_t key, const Pictures start) {
    // The texture: tw x th pixels, pitch tw + odd padding, the last row without padding.
    const int tw = 1 + rng.Next() % 40, th = 1 + rng.Next() % 30, tpitch = tw + 1;
    std::vector<uint16_t> texture(static_cast<size_t>(tpitch) * (th - 1) + tw);
    // Pixels of all 16 bits (the top bit set in half of them).
    for (uint16_t& v : texture) {
      v = rng.Next() % 4 == 0 ? key : static_cast<uint16_t>(rng.Next() << 1 ^ rng.Next());
    }
    // A span of w pixels whose ends lie inside the texture.
    const auto inside = [&](int64_t limit) {
      return (int64_t{rng.Next()} << 15 | rng.Next()) % (limit << 16);
    };
    const int64_t s0 = inside(tw), s1 = inside(tw), t0 = inside(th), t1 = inside(th);
    const int64_t ds = w > 1 ? (s1 - s0) / (w - 1) : 0, dt = w > 1 ? (t1 - t0) / (w - 1) : 0;
    for (bool keyed : {false, true}) {
      const auto span = [&](Rows r) {
        return pixel_kernels::TextureSpan{r.dst, w, s0, t0, ds, dt,
                                          reinterpret_cast<const uint8_t*>(texture.data()),
                                          tpitch * 2, tw - 1, th - 1, true, keyed, key};
      };
      Compare(
          start, w, 1, [&](Rows r) { pixel_kernels::FillTextureSpan(span(r)); },
          [&](Rows r) { pixel_kernels::scalar::FillTextureSpan(span(r)); },
          target + " texture span width " + std::to_string(w));
    }
    // The last texture pixel read by a whole row of one column.
    std::vector<int32_t> columns(static_cast<size_t>(w));
    for (int32_t& c : columns) c = rng.Next() % tw;
    columns[static_cast<size_t>(rng.Next() % w)] = tw - 1;
    const uint16_t* last_row = texture.data() + static_cast<size_t>(tpitch) * (th - 1);
    for (const uint16_t* k : {static_cast<const uint16_t*>(nullptr), &key}) {
      const std::string at = target + " width " + std::to_string(w) + " keyed " +
                             std::to_string(k != nullptr);
      // The vector and the scalar gather of the texture's last row through `cols`.
      const auto compare_gather = [&](const std::vector<int32_t>& cols, const std::string& what) {
        Compare(
            start, w, 1,
            [&](Rows r) {
              pixel_kernels::GatherRow(last_row, tw, cols.data(),
                                       reinterpret_cast<uint16_t*>(r.dst), w, k);
            },
            [&](Rows r) {
              pixel_kernels::scalar::GatherRow(last_row, tw, cols.data(),
                                               reinterpret_cast<uint16_t*>(r.dst), w, k);
            },
            what);
      };
      compare_gather(columns, at + " stretched row");
      // Rows stretched as a zoom draws them, forward and mirrored: each column repeated
      // one or more times (a zoom of 1-3), the last or first reaching the row's end.
      for (bool mirrored : {false, true}) {
        const int repeat = 1 + rng.Next() % 3, offset = rng.Next() % repeat;
        std::vector<int32_t> zoomed(static_cast<size_t>(w));
        for (int i = 0; i < w; ++i) {
          const int c = std::min(tw - 1, (i + offset) / repeat);
          zoomed[static_cast<size_t>(i)] = mirrored ? tw - 1 - c : c;
        }
        const int shift = std::max(0, (tw - 1) - zoomed[mirrored ? 0 : w - 1]);
        if (!mirrored) {
          for (int32_t& c : zoomed) c += shift;  // the last column the row's last pixel
        }
        compare_gather(
            zoomed, at + " zoomed row mirrored " + std::to_string(mirrored) + " repeat " +
                std::to_string(repeat));
      }
      Compare(
          start, w, 1,
          [&](Rows r) {
            pixel_kernels::CopyRowMirrored(reinterpret_cast<const uint16_t*>(r.src),
                                           reinterpret_cast<uint16_t*>(r.dst), w, k);
          },
          [&](Rows r) {
            pixel_kernels::scalar::CopyRowMirrored(reinterpret_cast<const uint16_t*>(r.src),
                                                   reinterpret_cast<uint16_t*>(r.dst), w, k);
          },
          at + " mirrored row");
    }
  });
}

}  // namespace
