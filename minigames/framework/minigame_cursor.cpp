#include "minigames/framework/minigame_cursor.h"

#include <cstdlib>

#include "minigames/framework/minigame_input.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_sound.h"
#include "minigames/minigame_context.h"

namespace {

constexpr const char* kSelectSound = "tamvik3\\se\\system00.wav";
constexpr int32_t kCopyLayer = 216;

bool ValidObject(int o) { return o >= 1 && o < mg::kObjectCount; }

MgObject& Object(int o) { return Minigame().objects[static_cast<size_t>(o)]; }

void ResetObject(int o) {
  if (!ValidObject(o)) return;
  MgObject& obj = Object(o);
  obj.x = 0;
  obj.y = 0;
  obj.flags = 0;
  mg_obj_anim(o, 0);
}

// Whether the mouse is inside target object o's hit box: its position plus the frame offset,
// the parent's position and the shake on y, with its width and height (half-open).
bool MouseOver(int o, int32_t mx, int32_t my) {
  const MgObject& obj = Object(o);
  int64_t left = int64_t{obj.x} + obj.frame_x;
  int64_t top = int64_t{obj.y} + obj.frame_y + Minigame().draw.shake_offset;
  if (const int32_t p = mg_obj_parent_of(obj); p != 0) {
    left += Object(p).x;
    top += Object(p).y;
  }
  return mx >= left && mx < left + obj.width && my >= top && my < top + obj.height;
}

// The key choice along one axis: `along` gives a target's coordinate on the axis, `across` the
// other one. dir -1 looks for smaller coordinates (left, up), +1 for larger.
template <class Along, class Across>
int Choose(const MgCursor& c, int dir, Along along, Across across) {
  const int sel = c.selection;
  const int32_t here = along(c.targets[static_cast<size_t>(sel)].object);
  const int32_t here_across = across(c.targets[static_cast<size_t>(sel)].object);
  // Pass 0: the nearest on the side asked for; pass 1: the wrap to the far end of the other.
  for (int pass = 0; pass < 2; ++pass) {
    int best = -1;
    int64_t best_key = 0;
    int64_t best_dist = 0;
    for (int i = 0; i < mg::kCursorTargets; ++i) {
      const MgCursorTarget& t = c.targets[static_cast<size_t>(i)];
      if (i == sel || t.enabled == 0 || !ValidObject(t.object)) continue;
      const int64_t d = int64_t{along(t.object)} - here;
      if (d == 0) continue;
      const bool on_side = (d < 0) == (dir < 0);
      if (on_side != (pass == 0)) continue;
      // Left: the largest x below (pass 0), else the largest x of all (pass 1) -> key = x.
      // Right: the smallest x above, else the smallest x -> key = -x.
      const int64_t key = dir < 0 ? along(t.object) : -int64_t{along(t.object)};
      const int64_t dist = std::llabs(int64_t{across(t.object)} - here_across);
      if (best < 0 || key > best_key || (key == best_key && dist < best_dist)) {
        best = i;
        best_key = key;
        best_dist = dist;
      }
    }
    if (best >= 0) return best;
  }
  return sel;
}

// A selection naming a target (enabled, when asked) whose object is in 1-255.
bool Selected(const MgCursor& c, bool enabled) {
  if (c.selection < 0 || c.selection >= mg::kCursorTargets) return false;
  const MgCursorTarget& t = c.targets[static_cast<size_t>(c.selection)];
  return (!enabled || t.enabled != 0) && ValidObject(t.object);
}

}  // namespace

int mg_cursor_open(int object, int mode) {
  mg_cursor_close();
  if (!ValidObject(object)) return 0;
  MgCursor& c = Minigame().cursor;
  c.object = object;
  c.mode = mode;
  c.selection = -1;
  ResetObject(object);
  c.last_mouse_x = -1;
  c.last_mouse_y = -1;
  c.offset_x = 0;
  c.offset_y = 0;
  return 1;
}

void mg_cursor_close() {
  MgCursor& c = Minigame().cursor;
  for (MgCursorTarget& t : c.targets) t.enabled = 0;
  ResetObject(c.object);
  c.object = -1;
  c.selection = -1;
  c.lock = 0;
}

int mg_cursor_target(int i, int object) {
  if (i < 0 || i >= mg::kCursorTargets || !ValidObject(object)) return 0;
  MgCursor& c = Minigame().cursor;
  c.targets[static_cast<size_t>(i)] = {1, object};
  if (c.selection < 0) c.selection = i;
  return 1;
}

int mg_cursor_get() { return Minigame().cursor.selection; }

void mg_cursor_offset(int32_t dx, int32_t dy) {
  MgCursor& c = Minigame().cursor;
  c.offset_x = dx;
  c.offset_y = dy;
}

void mg_cursor_lock(int on) { Minigame().cursor.lock = on != 0 ? 1 : 0; }

void mg_cursor_save() {
  MinigameContext& m = Minigame();
  m.cursor_saved = m.cursor;
}

void mg_cursor_restore() {
  MinigameContext& m = Minigame();
  const MgCursor saved = m.cursor_saved;
  if (mg_cursor_open(saved.object, saved.mode) == 0) return;
  MgCursor& c = m.cursor;
  c.targets = saved.targets;
  c.selection = saved.selection;
  c.offset_x = saved.offset_x;
  c.offset_y = saved.offset_y;
}

void mg_cursor_update() {
  MinigameContext& m = Minigame();
  MgCursor& c = m.cursor;
  if (!ValidObject(c.object)) return;
  const int before = c.selection;
  const int32_t mx = mg_mouse_x();
  const int32_t my = mg_mouse_y();
  if (c.lock == 0) {
    if (mx != c.last_mouse_x || my != c.last_mouse_y) {
      for (int i = 0; i < mg::kCursorTargets; ++i) {
        const MgCursorTarget& t = c.targets[static_cast<size_t>(i)];
        if (t.enabled != 0 && ValidObject(t.object) && MouseOver(t.object, mx, my)) {
          c.selection = i;
          break;
        }
      }
    }
    const auto x_of = [](int o) { return Object(o).x; };
    const auto y_of = [](int o) { return Object(o).y; };
    struct Key {
      uint32_t bit;
      bool vertical;
      int dir;
    };
    constexpr Key kKeys[] = {{kMgKeyLeft, false, -1},
                             {kMgKeyRight, false, 1},
                             {kMgKeyUp, true, -1},
                             {kMgKeyDown, true, 1}};
    for (const Key& k : kKeys) {
      if (mg_key_take(k.bit) == 0) continue;
      if (!Selected(c, true)) continue;
      c.selection = k.vertical ? Choose(c, k.dir, y_of, x_of) : Choose(c, k.dir, x_of, y_of);
    }
  }
  if (c.mode != 0) {
    MgObject& cur = Object(c.object);
    if (Selected(c, false)) {
      const MgObject& t = Object(c.targets[static_cast<size_t>(c.selection)].object);
      cur.x = t.x + c.offset_x;
      cur.y = t.y + c.offset_y;
      if (c.mode == -1) {
        mg_obj_anim_change(c.object, t.anim);
        cur.overlay = t.overlay;
        cur.parent = t.parent;
        cur.flags |= mg::kObjDepthScale;
        cur.layer = kCopyLayer;
      } else {
        mg_obj_anim_change(c.object, c.mode);
        cur.parent = t.parent;
        cur.layer = t.layer;
      }
    } else {
      mg_obj_anim_change(c.object, 0);
    }
  }
  c.last_mouse_x = mx;
  c.last_mouse_y = my;
  if (c.selection != before) mg_se_play(kSelectSound);
}
