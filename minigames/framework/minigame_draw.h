#pragma once
// Minigame drawing: the blits games call, the per-frame scene draw (layers 1023
// to 0 with the display modes of the objects), the background freezes,
// snapshots and cross-fade, the screen switches and shake, and the tile map.
//
// Blits draw into the current target (mg_set_target) unless they name a
// destination slot. Each is clipped to the drawing clip rectangle
// (mg_set_clip), the destination surface and the source surface; a rectangle
// left empty by the clipping draws nothing. They give 0 when a slot is empty
// (or out of range), else 1. Stretched, mirrored and keyed copies follow the
// engine's copy rules: right and bottom exclusive, destination column i of a
// dw-wide rectangle takes source column sx + i x sw / dw (reversed inside the
// source rectangle when mirrored). Colours are 16-bit pixels of the screen's
// layout.

#include <cstdint>
#include <span>

// Mirror bits of the mirrored draw.
namespace mg {
constexpr int kMirrorX = 1;  // left-right
constexpr int kMirrorY = 2;  // up-down
}  // namespace mg

// ---- Blits ----

// The whole slot at (x, y); keyed: source pixels equal to the colour key are
// skipped.
int mg_blit(int32_t x, int32_t y, int32_t slot);
int mg_blit_key(int32_t x, int32_t y, int32_t slot);
// The whole slot mirrored (mg::kMirrorX / kMirrorY), with or without the key.
int mg_blit_mirror(int32_t x, int32_t y, int32_t slot, int mirror, bool keyed);
// The whole slot stretched to w x h.
int mg_blit_scaled(int32_t x, int32_t y, int32_t width, int32_t height, int32_t slot, bool keyed);
// A w x h rectangle of slot src at (sx, sy) to (x, y) of slot dst.
int mg_copy_rect(int32_t dst, int32_t x, int32_t y, int32_t src, int32_t sx, int32_t sy,
                 int32_t width, int32_t height, bool keyed);
// The whole slot mapped onto the quadrilateral with corners (x0, y0) (top
// left), (x1, y1) (top right), (x2, y2) (bottom right), (x3, y3) (bottom left),
// every texel written.
int mg_quad(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3,
            int32_t y3, int32_t slot);
// Fills a rectangle of slot dst with a pixel value.
int mg_fill_pixel(int32_t dst, int32_t x, int32_t y, int32_t width, int32_t height, uint16_t pixel);
// The shadow of the slot's image at (x, y): every channel of the target halved
// where the image is not the colour key (the engine's BlitShadow16 with the
// image as the mask).
int mg_fill_blit(int32_t x, int32_t y, int32_t slot);
// dst = src1 x (16 - s) / 16 + src2 x s / 16 per channel, s = (level + 8) / 16
// (the engine's BlitBright16B); with src1 = dst at (x, y) and level 128 src2
// draws half-transparent.
int mg_blend(int32_t dst, int32_t x, int32_t y, int32_t width, int32_t height, int32_t src1,
             int32_t x1, int32_t y1, int32_t src2, int32_t x2, int32_t y2, int32_t level);

// ---- Scene ----

// The frame's picture into the slot: a white flash frame, else the cross-fade
// of the snapshots, else the layers (clear, tile map passes, objects, freezes)
// and the letterbox.
void mg_draw(int32_t surface);

// Background freezes: capture the scene from layer 1023 to `layer` once,
// darkened to the level (0 black, 256 unchanged), then show that picture
// instead of the objects behind it.
int mg_freeze_a(int32_t level, int32_t layer);
int mg_freeze_a_off();
int mg_freeze_b(int32_t level, int32_t layer);
int mg_freeze_b_offset(int32_t x, int32_t y);
int mg_freeze_b_off();
// Makes the active freezes again (the reload after a lost surface): capture
// anew.
void mg_freezes_remake();

// Snapshot n (0 or 1): one object update, the scene drawn into slot 1018 + n.
int mg_snapshot(int n);
int mg_snapshots_free();
// Cross-fade level between snapshot 0 (0) and snapshot 1 (256); 256 ends the
// cross-fade.
int mg_crossfade(int32_t level);

// ---- Switches and shake ----

// Shakes the picture for n steps: each step the counter drops by one and the
// offset on y is the counter, negated when odd.
int mg_shake(int32_t n);
// The per-step shake (the driver's step update).
void mg_shake_step();
int32_t mg_shake_offset();
int mg_clear(int on);
int mg_letterbox(int on);
// White frames before the scene; a count of 1000 or more survives mg_reset.
int mg_flash(int32_t frames);

// ---- Tile map ----

// Opens the map over the game's cells (row by row; they must outlive the map).
// Refused (0) for tile sides, stride or wrap counts of 0 or less.
int mg_map_open(std::span<const uint16_t> cells, int32_t base, int32_t tile_w, int32_t tile_h,
                int32_t stride, int32_t start_row, int32_t wrap_cols, int32_t wrap_rows);
int mg_map_close();
int mg_map_scroll(int32_t x, int32_t y);
int mg_map_layers(int32_t back, int32_t front);
int mg_map_base(int32_t slot);
// 1 when a cell under a corner of the rectangle is solid (bit 14); columns
// outside the stride and a closed map answer 0.
int mg_map_hit(int32_t x, int32_t y, int32_t width, int32_t height);
