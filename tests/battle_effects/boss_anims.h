#pragma once
// The boss attack tests' view of the live sprite-file animations: which unit slot of a kind each
// plays from, and where, how large and in what state it is drawn.

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "battle/slg_tables.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "testsupport/attack_fixtures.h"

// A live sprite-file animation.
struct Anim {
  AnimeHandle handle;
  int slot = -1;  // the slot its set was loaded from
  uint32_t anm = 0;
  int x = 0, y = 0;  // screen pixels
  int priority = 0;
  int32_t zoom = 0;
  uint32_t reverse = 0;
  uint32_t loop = 0;
  int32_t frame = 0;
  bool drawn = false;
  bool ended = false;
  BlendWord alpha = 0;
};

// The slot of a kind a set was loaded from (its file's name, which the loader upper-cases).
inline int SlotOfSet(int kind, const SprAnm* set) {
  if (set == nullptr) return -1;
  const testsupport::AttackFixtures f(kind);
  for (int slot = 0; slot < kSlgAnmSlots; ++slot) {
    std::string name = f.FileName(slot);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (set->name.size() > name.size() &&
        set->name.compare(set->name.size() - name.size(), name.size(), name) == 0 &&
        set->name[set->name.size() - name.size() - 1] == '\\') {
      return slot;
    }
  }
  return -1;
}

// The live animations playing from a slot of a kind.
inline std::vector<Anim> KindAnims(int kind, int slot) {
  std::vector<Anim> out;
  SpxAnimeKind* spx = Scene().tamvik_spr.spx();
  for (AnimeHandle h : Ctx().anime.Records(kAnimeSpx)) {
    const SpxAnimeBlock* b = spx->Block(h);
    if (b == nullptr || SlotOfSet(kind, b->anm) != slot) continue;
    out.push_back({h, slot, b->animation, b->x, b->y, b->priority, b->zoom_x, b->reverse, b->loop,
                   b->frame, b->drawn != nullptr, b->end_reached != 0, spx->GetSpxAlpha(h)});
  }
  return out;
}

inline std::vector<Anim> OfAnm(const std::vector<Anim>& anims, uint32_t anm) {
  std::vector<Anim> out;
  for (const Anim& a : anims) {
    if (a.anm == anm) out.push_back(a);
  }
  return out;
}
