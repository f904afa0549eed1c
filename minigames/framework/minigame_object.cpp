#include "minigames/framework/minigame_object.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "engine/app/context.h"
#include "engine/sound/dsound_func.h"
#include "minigames/framework/minigame_surface.h"

namespace {

using namespace mg;

// A move longer than this many steps (over 18 hours) is cut to it, so the eased arithmetic of
// the update stays inside 64 bits for any coordinates.
constexpr int64_t kMaxMoveSteps = int64_t{1} << 22;
// The frame timer of a held last frame.
constexpr int32_t kHoldSteps = 3600;
constexpr int32_t kScriptEndWait = 9999;
constexpr int32_t kFlipMiddle = 192;

MgObject* Obj(int o) {
  return o >= 0 && o < kObjectCount ? &Minigame().objects[static_cast<size_t>(o)] : nullptr;
}

int32_t Wrap(int64_t v) { return static_cast<int32_t>(v); }

// The word at byte offset `at` of the od data; false with no data there.
bool Word(uint32_t at, int16_t* out) {
  const MgOdFile& od = Minigame().od;
  if (at == 0 || at >= od.size || od.size - at < 2) return false;
  *out = static_cast<int16_t>(od.buffer[at] | od.buffer[at + 1] << 8);
  return true;
}

// Where animation n / script n starts, 0 when it has no record.
uint32_t AnimStart(int32_t n) {
  const MgOdFile& od = Minigame().od;
  if (od.published == 0 || n < 0 || n >= kImageSlotCount) return 0;
  const uint32_t at = od.animations[static_cast<size_t>(n)];
  return at < od.size ? at : 0;
}

uint32_t ScriptStart(int32_t n) {
  const MgOdFile& od = Minigame().od;
  if (od.published == 0 || n < 0 || n >= 256) return 0;
  const uint32_t at = od.scripts[static_cast<size_t>(n)];
  return at < od.size ? at : 0;
}

int32_t ImageNumber(int32_t n) { return n >= 0 && n < kImageSlotCount ? n : kNoImage; }

void ClearFrame(MgObject& obj) {
  obj.extra_parts = 0;
  obj.frame_x = 0;
  obj.frame_y = 0;
  obj.frame_mirror = 0;
  obj.parts = 0;
}

// Points the object at animation n; the update reads its first frame.
void Point(MgObject& obj, int32_t n) {
  obj.anim = n;
  obj.anim_pos = AnimStart(n);
  obj.frame_timer = 1;
}

// Starts an animation as a game does: the next animation and the end flag are cleared.
void Start(MgObject& obj, int32_t n) {
  Point(obj, n);
  obj.next_anim = 0;
  obj.flags &= ~kObjAnimEnded;
}

void NoImage(MgObject& obj, int32_t image) {
  obj.image = image;
  ClearFrame(obj);
}

// The end of the animation (its -1, or a frame cut by the end of the data). True when it
// restarted (or switched to the next animation) and the first frame is to be read.
bool EndAnimation(MgObject& obj) {
  if ((obj.flags & kObjHoldLast) != 0) {
    if ((obj.flags & kObjDeleteAtEnd) != 0) {
      obj.flags = 0;
      obj.anim = 0;
      NoImage(obj, kNoImage);
      return false;
    }
    obj.flags |= kObjAnimEnded;
    obj.frame_timer = kHoldSteps;
    return false;
  }
  if ((obj.flags & kObjDeleteAtEnd) != 0) {
    obj.flags = kObjAnimEnded;
    obj.anim = 0;
    NoImage(obj, kNoImage);
    return false;
  }
  obj.flags |= kObjAnimEnded;
  if (obj.next_anim != 0) {
    const int32_t next = obj.next_anim;
    obj.next_anim = 0;
    Point(obj, next);
    if (obj.anim_pos == 0) {
      NoImage(obj, ImageNumber(next));
      return false;
    }
    return true;
  }
  obj.anim_pos = AnimStart(obj.anim);
  return obj.anim_pos != 0;
}

// Reads the next frame of the animation. False when the entry is an end (-1, or a frame that
// runs past the data).
bool ReadFrame(MgObject& obj) {
  const uint32_t at = obj.anim_pos;
  int16_t word = 0;
  if (!Word(at, &word) || word == -1) return false;
  if (word >= 0) {
    int16_t steps = 0;
    if (!Word(at + 2, &steps)) return false;
    obj.image = ImageNumber(word);
    ClearFrame(obj);
    obj.frame_timer = std::max<int32_t>(steps, 1);
    obj.anim_pos = at + 4;
    return true;
  }
  // Composite: -2 - k is k + 1 parts of three words, then the steps.
  const uint32_t count = static_cast<uint32_t>(-1 - int32_t{word});
  const uint32_t list = at + 2;
  const uint32_t steps_at = list + 6 * count;
  int16_t steps = 0;
  if (!Word(steps_at, &steps)) return false;
  int16_t image = 0, x = 0, y = 0;
  Word(list, &image);
  Word(list + 2, &x);
  Word(list + 4, &y);
  const int32_t bits = static_cast<uint16_t>(image);
  obj.image = ImageNumber(bits & 0xFFF);
  obj.extra_parts = static_cast<int32_t>(count) - 1;
  obj.frame_x = x;
  obj.frame_y = y;
  obj.frame_mirror = bits & (kFrameMirrorX | kFrameMirrorY);
  obj.parts = list;
  obj.frame_timer = std::max<int32_t>(steps, 1);
  obj.anim_pos = steps_at + 2;
  return true;
}

// Step 6 of the update: the animation.
void Animate(MgObject& obj) {
  if (obj.anim == 0) {
    NoImage(obj, kNoImage);
    return;
  }
  if (AnimStart(obj.anim) == 0) {
    NoImage(obj, ImageNumber(obj.anim));
    return;
  }
  const bool paused = (obj.flags & kObjAnimPaused) != 0;
  if (--obj.frame_timer <= 0) {
    // An end restarts the animation at most once in a step: an animation that ends at once
    // again shows no frame instead of restarting without end.
    bool shown = ReadFrame(obj);
    if (!shown && EndAnimation(obj)) {
      shown = ReadFrame(obj);
      if (!shown) {
        obj.flags |= kObjAnimEnded;
        NoImage(obj, kNoImage);
        obj.frame_timer = 1;
      }
    }
  }
  if (paused) ++obj.frame_timer;
}

void StartMove(MgObject& obj, int32_t x, int32_t y, int32_t layer, int64_t steps) {
  steps = std::clamp<int64_t>(steps, 0, kMaxMoveSteps);
  obj.start_x = obj.x;
  obj.start_y = obj.y;
  obj.start_layer = obj.layer;
  obj.target_x = x;
  obj.target_y = y;
  obj.target_layer = layer;
  obj.move_total = static_cast<int32_t>(steps);
  obj.move_left = static_cast<int32_t>(steps);
  obj.flags |= kObjMoving;
}

int64_t StepsAtSpeed(double distance, int32_t speed) {
  if (speed <= 0) return 0;
  const double steps = std::trunc(distance * 16.0 / speed);
  return steps >= static_cast<double>(kMaxMoveSteps) ? kMaxMoveSteps : static_cast<int64_t>(steps);
}

void Move(MgObject& obj, int32_t x, int32_t y, int32_t speed) {
  const double dx = static_cast<double>(x) - obj.x;
  const double dy = static_cast<double>(y) - obj.y;
  obj.move_speed = speed;
  StartMove(obj, x, y, obj.layer, StepsAtSpeed(std::sqrt(dx * dx + dy * dy), speed));
}

int32_t Between(int32_t target, int32_t start, int64_t t, int64_t r) {
  return Wrap((int64_t{target} * (t - r) + int64_t{start} * r) / t);
}

// Step 3: the move, else the flip, else the end of a spin.
void MoveOrFlip(MgObject& obj) {
  if ((obj.flags & kObjMoving) != 0) {
    --obj.move_left;
    if (obj.move_left <= 0 || obj.move_total <= 0) {
      obj.move_left = 0;
      obj.x = obj.target_x;
      obj.y = obj.target_y;
      obj.layer = obj.target_layer;
      obj.flags &= ~(kObjMoving | kObjEaseOut | kObjEaseIn);
      return;
    }
    const int64_t t = int64_t{obj.move_total} * 256;
    int64_t r = std::min<int64_t>(obj.move_left, obj.move_total) * 256;
    if ((obj.flags & kObjEaseOut) != 0) r = r * r / t;
    if ((obj.flags & kObjEaseIn) != 0) r = (2 * t - r) * r / t;
    obj.x = Between(obj.target_x, obj.start_x, t, r);
    obj.y = Between(obj.target_y, obj.start_y, t, r);
    obj.layer = Between(obj.target_layer, obj.start_layer, t, r);
    if ((obj.flags & kObjSpin) != 0) {
      obj.spin = static_cast<int32_t>((static_cast<uint32_t>(obj.spin) + 32) & 0xFF);
      obj.flags |= kObjRotate;
    }
    return;
  }
  if ((obj.flags & kObjFlipping) != 0) {
    const int32_t turn = obj.turn & 0xFF;
    if (turn == 0) {
      obj.turn = 0;
      obj.flags &= ~(kObjFlipping | kObjRotate);
      return;
    }
    obj.turn = (turn + 8) & 0xFF;
    obj.flags |= kObjRotate;
    if (obj.turn == kFlipMiddle) Start(obj, obj.flip_anim);
    if (obj.turn == 0) obj.flags &= ~(kObjFlipping | kObjRotate);
    return;
  }
  if ((obj.flags & kObjSpin) != 0) {
    obj.flags &= ~(kObjSpin | kObjRotate);
    obj.spin = 0;
  }
}

void EndScript(MgObject& obj) {
  obj.flags &= ~kObjScript;
  obj.script_wait = kScriptEndWait;
}

// Step 2: the motion script runs while its wait counter is 0. Every opcode moves the position
// on or sets a wait, and the data ends, so the loop ends.
void RunScript(MgObject& obj) {
  while (obj.script_wait == 0) {
    const uint32_t at = obj.script_pos;
    int16_t op = 0;
    if (!Word(at, &op)) {
      EndScript(obj);
      break;
    }
    int16_t a[3] = {0, 0, 0};
    auto args = [&](int n) {
      for (int i = 0; i < n; ++i) {
        if (!Word(at + 2 + 2 * static_cast<uint32_t>(i), &a[i])) return false;
      }
      return true;
    };
    static constexpr int kArgs[9] = {0, 2, 1, 3, 1, 0, 0, 2, 1};
    const int n = op >= 0 && op <= 8 ? kArgs[op] : 0;
    if (!args(n)) {
      EndScript(obj);
      break;
    }
    const uint32_t next = at + 2 + 2 * static_cast<uint32_t>(n);
    switch (op) {
      case 0:
        EndScript(obj);
        break;
      case 1:
        obj.x = a[0];
        obj.y = a[1];
        obj.script_pos = next;
        break;
      case 2:
        Start(obj, a[0]);
        obj.script_pos = next;
        break;
      case 3:
        Move(obj, a[0], a[1], a[2]);
        obj.script_pos = next;
        break;
      case 4:
        obj.script_wait = std::max<int32_t>(a[0], 0);
        obj.script_pos = next;
        break;
      case 5:
        if ((obj.flags & kObjMoving) == 0) obj.script_pos = next;
        obj.script_wait = 1;
        break;
      case 6:
        if ((obj.flags & kObjAnimEnded) != 0) obj.script_pos = next;
        obj.script_wait = 1;
        break;
      case 7:
        if (a[0] >= 0 && a[0] <= 31) {
          const uint32_t bit = uint32_t{1} << a[0];
          if (a[1] == 1) obj.flags |= bit;
          if (a[1] == 0) obj.flags &= ~bit;
        }
        obj.script_pos = next;
        break;
      case 8:
        Ctx().dsound.PlayStaticSE(a[0]);
        obj.script_pos = next;
        break;
      default:
        obj.script_pos = next;
        break;
    }
  }
  --obj.script_wait;
}

bool Frozen(const MgObject& obj) {
  const MinigameContext& m = Minigame();
  for (const MgFreeze* f : {&m.freeze_a, &m.freeze_b}) {
    if (f->state == kFreezeFrozen && obj.layer >= f->layer) return true;
  }
  return false;
}

int32_t InRange(int32_t v, int32_t first, int32_t last) { return v >= first && v <= last ? v : 0; }

}  // namespace

const MgObject* mg_obj(int o) { return Obj(o); }

int32_t mg_obj_overlay_of(const MgObject& obj) { return InRange(obj.overlay, 1, kObjectCount - 1); }
int32_t mg_obj_parent_of(const MgObject& obj) { return InRange(obj.parent, 1, kObjectCount - 1); }
int32_t mg_obj_linked_of(const MgObject& obj) { return InRange(obj.linked, 1, kObjectCount - 1); }
int32_t mg_obj_surface_of(const MgObject& obj) { return InRange(obj.target_surface, 1, kSlotCount - 1); }

int mg_obj_put(int o, int32_t x, int32_t y, int32_t layer, int32_t anim, uint32_t flags) {
  MgObject* obj = Obj(o);
  if (obj == nullptr) return 0;
  obj->layer = layer;
  return mg_obj_put(o, x, y, anim, flags);
}

int mg_obj_put(int o, int32_t x, int32_t y, int32_t anim, uint32_t flags) {
  MgObject* obj = Obj(o);
  if (obj == nullptr) return 0;
  obj->x = x;
  obj->y = y;
  Start(*obj, anim);
  obj->flags = flags;
  obj->overlay = 0;
  obj->parent = 0;
  return 1;
}

int mg_obj_box(int o, int32_t x, int32_t y, int32_t layer, int32_t width, int32_t height) {
  MgObject* obj = Obj(o);
  if (obj == nullptr) return 0;
  obj->x = x;
  obj->y = y;
  obj->layer = layer;
  obj->width = width;
  obj->height = height;
  Start(*obj, 0);
  NoImage(*obj, kNoImage);
  obj->flags = kObjKeepBox;
  obj->overlay = 0;
  obj->parent = 0;
  return 1;
}

int mg_obj_pointer(int o, int32_t anim) {
  MgObject* obj = Obj(o);
  if (obj == nullptr) return 0;
  Start(*obj, anim);
  obj->flags = kObjPointer;
  return 1;
}

int mg_obj_bg(int32_t anim) { return mg_obj_put(kObjBackground, 0, 0, kLayerCount - 1, anim, 0); }

int mg_obj_flag(int o, uint32_t mask, int on) {
  MgObject* obj = Obj(o);
  if (obj == nullptr) return 0;
  if (on == 1) obj->flags |= mask;
  if (on == 0) obj->flags &= ~mask;
  return 1;
}

int mg_obj_test(int o, uint32_t mask) {
  const MgObject* obj = Obj(o);
  return obj != nullptr && (obj->flags & mask) != 0 ? 1 : 0;
}

namespace {

template <typename F>
int Set(int o, F f) {
  MgObject* obj = Obj(o);
  if (obj == nullptr) return 0;
  f(*obj);
  return 1;
}

template <typename F>
int32_t Get(int o, F f) {
  const MgObject* obj = Obj(o);
  return obj != nullptr ? f(*obj) : 0;
}

}  // namespace

int mg_obj_set_pos(int o, int32_t x, int32_t y) {
  return Set(o, [&](MgObject& b) { b.x = x, b.y = y; });
}
int mg_obj_set_pos(int o, int32_t x, int32_t y, int32_t layer) {
  return Set(o, [&](MgObject& b) { b.x = x, b.y = y, b.layer = layer; });
}
int mg_obj_set_x(int o, int32_t x) { return Set(o, [&](MgObject& b) { b.x = x; }); }
int mg_obj_set_y(int o, int32_t y) { return Set(o, [&](MgObject& b) { b.y = y; }); }
int mg_obj_set_layer(int o, int32_t layer) { return Set(o, [&](MgObject& b) { b.layer = layer; }); }
int mg_obj_set_tilt(int o, int32_t angle) { return Set(o, [&](MgObject& b) { b.tilt = angle; }); }
int mg_obj_set_turn(int o, int32_t angle) { return Set(o, [&](MgObject& b) { b.turn = angle; }); }
int mg_obj_set_spin(int o, int32_t angle) { return Set(o, [&](MgObject& b) { b.spin = angle; }); }
int mg_obj_set_overlay(int o, int32_t other) {
  return Set(o, [&](MgObject& b) { b.overlay = other; });
}
int mg_obj_set_parent(int o, int32_t other) {
  return Set(o, [&](MgObject& b) { b.parent = other; });
}
int mg_obj_set_target_surface(int o, int32_t slot) {
  return Set(o, [&](MgObject& b) { b.target_surface = slot; });
}
int mg_obj_set_value(int o, int32_t value) { return Set(o, [&](MgObject& b) { b.value = value; }); }
int mg_obj_set_digits(int o, int32_t digits) {
  return Set(o, [&](MgObject& b) { b.digits = digits; });
}
int mg_obj_set_next_anim(int o, int32_t anim) {
  return Set(o, [&](MgObject& b) { b.next_anim = anim; });
}

int32_t mg_obj_get_x(int o) { return Get(o, [](const MgObject& b) { return b.x; }); }
int32_t mg_obj_get_y(int o) { return Get(o, [](const MgObject& b) { return b.y; }); }
int32_t mg_obj_get_layer(int o) { return Get(o, [](const MgObject& b) { return b.layer; }); }
int32_t mg_obj_get_width(int o) { return Get(o, [](const MgObject& b) { return b.width; }); }
int32_t mg_obj_get_height(int o) { return Get(o, [](const MgObject& b) { return b.height; }); }
int32_t mg_obj_get_anim(int o) { return Get(o, [](const MgObject& b) { return b.anim; }); }

int mg_obj_anim(int o, int32_t n) { return Set(o, [&](MgObject& b) { Start(b, n); }); }

int mg_obj_anim_change(int o, int32_t n) {
  return Set(o, [&](MgObject& b) {
    if (b.anim != n) Start(b, n);
  });
}

int mg_obj_anim_done(int o) {
  const MgObject* obj = Obj(o);
  if (obj == nullptr) return 0;
  return (obj->flags & kObjAnimEnded) != 0 ? 0 : 1;
}

int mg_obj_move(int o, int32_t x, int32_t y, int32_t speed) {
  return Set(o, [&](MgObject& b) { Move(b, x, y, speed); });
}

int mg_obj_move_n(int o, int32_t x, int32_t y, int32_t steps) {
  return Set(o, [&](MgObject& b) { StartMove(b, x, y, b.layer, steps); });
}

int mg_obj_move_z(int o, int32_t x, int32_t y, int32_t layer, int32_t speed) {
  return Set(o, [&](MgObject& b) {
    b.move_speed = speed;
    const int64_t depth = std::llabs(int64_t{layer} - b.layer);
    StartMove(b, x, y, layer, speed <= 0 ? 0 : depth * 16 / speed);
  });
}

int mg_obj_moving(int o) { return mg_obj_test(o, kObjMoving); }

int mg_obj_flip(int o, int32_t anim) {
  return Set(o, [&](MgObject& b) {
    b.turn = 128;
    b.flags |= kObjFlipping;
    b.flip_anim = anim;
  });
}

int mg_obj_flipping(int o) { return mg_obj_test(o, kObjFlipping); }

int mg_obj_idle() {
  for (int o = 1; o < kObjectCount; ++o) {
    if (mg_obj_test(o, kObjMoving | kObjFlipping) != 0) return 0;
  }
  return 1;
}

int mg_obj_script_idle() {
  for (int o = 1; o < kObjectCount; ++o) {
    if (mg_obj_test(o, kObjScript) != 0) return 0;
  }
  return 1;
}

int mg_obj_script(int o, int32_t n) {
  MgObject* obj = Obj(o);
  const uint32_t start = ScriptStart(n);
  if (obj == nullptr || start == 0) return 0;
  obj->flags = kObjScript;
  obj->script_pos = start;
  obj->script_wait = 0;
  return 1;
}

int mg_obj_script(int o, int32_t n, int32_t layer) {
  if (mg_obj_script(o, n) == 0) return 0;
  Obj(o)->layer = layer;
  return 1;
}

int mg_obj_hit(int o, int32_t x, int32_t y) {
  const MgObject* obj = Obj(o);
  if (obj == nullptr) return 0;
  const int64_t left = obj->x, top = obj->y;
  return x >= left && x < left + obj->width && y >= top && y < top + obj->height ? 1 : 0;
}

int mg_obj_hit_pixel(int o, int32_t x, int32_t y) {
  const MgObject* obj = Obj(o);
  if (obj == nullptr || ImageNumber(obj->image) == kNoImage) return 0;
  int32_t width = 0, height = 0;
  if (mg_surf_size(obj->image, &width, &height) == 0) return 0;
  int64_t left = int64_t{obj->x} + obj->frame_x;
  int64_t top = int64_t{obj->y} + obj->frame_y;
  if (const int32_t p = mg_obj_parent_of(*obj); p != 0) {
    left += Minigame().objects[static_cast<size_t>(p)].x;
    top += Minigame().objects[static_cast<size_t>(p)].y;
  }
  const int64_t px = x - left, py = y - top;
  if (px < 0 || py < 0 || px >= width || py >= height) return 0;
  return mg_pixel_get(obj->image, static_cast<int32_t>(px), static_cast<int32_t>(py)) !=
                 mg_color_key()
             ? 1
             : 0;
}

int mg_obj_clip(int o, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return Set(o, [&](MgObject& b) {
    b.clip_left = left;
    b.clip_top = top;
    b.clip_right = right;
    b.clip_bottom = bottom;
    b.flags |= kObjClip;
  });
}

int mg_obj_link(int o, int32_t other, int32_t dx, int32_t dy, int32_t layer) {
  return Set(o, [&](MgObject& b) {
    b.linked = other;
    b.link_x = dx;
    b.link_y = dy;
    b.layer = layer;
    b.flags |= kObjLinked;
  });
}

void mg_obj_clear_all() {
  MinigameContext& m = Minigame();
  m.objects.fill(MgObject{});
  m.layer_heads.fill(0);
}

void mg_obj_update() {
  MinigameContext& m = Minigame();
  m.layer_heads.fill(0);
  for (int o = 0; o < kObjectCount; ++o) {
    MgObject& obj = m.objects[static_cast<size_t>(o)];
    obj.link = 0;
    if (Frozen(obj)) continue;
    if ((obj.flags & kObjScript) != 0) RunScript(obj);
    MoveOrFlip(obj);
    if (const int32_t p = mg_obj_parent_of(obj); p != 0) {
      const MgObject& parent = m.objects[static_cast<size_t>(p)];
      if ((obj.flags & kObjOwnLayer) == 0) obj.layer = parent.layer;
      if ((obj.flags & kObjParentYLayer) != 0) obj.layer = Wrap(int64_t{parent.y} + 256);
    }
    if ((obj.flags & kObjKeepBox) == 0) {
      obj.width = 0;
      obj.height = 0;
    }
    Animate(obj);
    if (o != 0 && obj.layer >= 0 && obj.layer < kLayerCount && (obj.flags & kObjHidden) == 0) {
      int32_t& head = m.layer_heads[static_cast<size_t>(obj.layer)];
      obj.link = head;
      head = o;
    }
  }
}
