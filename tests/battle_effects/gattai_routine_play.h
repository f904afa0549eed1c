#pragma once
// A heroine's part of the combination attack played on the attack rig and recorded frame by
// frame: each task's first and last frame, the routine's state and sub-state (and what the test
// reads besides), whether both signals stood when the routine ended, and the family's tasks still
// alive the frame after.

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "battle/slg_tables.h"
#include "battle_effects/effect_family.h"
#include "battle_effects/gattai.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "testsupport/attack_rig.h"

namespace gattai_play {

struct Life {
  int first = -1, last = -1;
};

template <class Extra>
struct Sample {
  int frame = 0;
  int state = -1, sub = -1;  // the routine's; -1 while it does not run
  Extra x{};
};

template <class Extra>
struct Play {
  std::map<std::string, Life> tasks;
  std::vector<Sample<Extra>> samples;
  bool signals_at_end = false;
  // The family's tasks alive the frame after the routine ended, then "(checked)".
  std::vector<std::string> leaked;
  std::vector<std::string> failures;

  int First(const std::function<bool(const Sample<Extra>&)>& pred) const {
    for (const auto& s : samples) {
      if (pred(s)) return s.frame;
    }
    return -1;
  }
  int Last(const std::function<bool(const Sample<Extra>&)>& pred) const {
    int last = -1;
    for (const auto& s : samples) {
      if (pred(s)) last = s.frame;
    }
    return last;
  }
  // The first frame of the routine's (state, sub).
  int At(int state, int sub) const {
    return First([=](const Sample<Extra>& s) { return s.state == state && s.sub == sub; });
  }
  std::vector<std::string> Named(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& [name, life] : tasks) {
      if (name.compare(0, prefix.size(), prefix) == 0) out.push_back(name);
    }
    return out;
  }
  // The first frames of the tasks named with the prefix, in order.
  std::vector<int> Starts(const std::string& prefix) const {
    std::vector<int> out;
    for (const std::string& name : Named(prefix)) out.push_back(tasks.at(name).first);
    std::sort(out.begin(), out.end());
    return out;
  }
};

// The sets every heroine part's tests lay: body and effect animations of 8 two-tick frames, the
// external effects of slot 13 and the GATTAI_BG pictures `pictures`.
inline void LayPartSets(testsupport::AttackFixtures& f,
                        std::vector<testsupport::AttackPicture> pictures) {
  f.Slot(kAnmGattaiBody, 2, {.frames = 8, .ticks = 2});
  f.Slot(kAnmGattaiEffect, 3, {.frames = 8, .ticks = 2});
  f.Slot(kAnmGattaiExtEffect, 13);
  f.Pictures(kAnmGattaiBg, std::move(pictures));
}

// A heroine part's row: the combination (type 5) of `kind` with `character` acting, on `sets`,
// with the letterbox's music dip and the part's task prefixes.
inline testsupport::AttackCase PartRow(std::string name, int kind, int character,
                                       void (*sets)(testsupport::AttackFixtures&),
                                       int frame_limit = 1500,
                                       std::vector<std::string> prefixes = {"Gattai::"}) {
  testsupport::AttackCase row{.name = std::move(name), .kind = kind, .type = 5,
                              .frame_limit = frame_limit, .outlive = 90,
                              .sounds = {"bgm-volume 50 200", "bgm-volume 100 128"},
                              .prefixes = std::move(prefixes)};
  row.fixtures = sets;
  row.before = [character](testsupport::AttackRig& r) {
    r.attacker().character = static_cast<uint8_t>(character);
  };
  return row;
}

inline SlgEffectTask* TaskNamed(const std::string& name) {
  GameTaskRec* rec = Ctx().game_task.FindTask(name.c_str());
  return rec != nullptr ? static_cast<SlgEffectTask*>(rec->work) : nullptr;
}

inline std::string Lines(const std::vector<std::string>& v) {
  std::string out;
  for (const std::string& s : v) out += s + "\n";
  return out;
}

// Plays the row to its end and through its outlive frames. After every frame: `each_task` for
// each live effect task with a work area, then `each_frame`; `family` names the routine's tasks
// (its letterbox `window` slides out after it, and is not counted as left behind).
template <class Extra>
Play<Extra> PlayRoutine(
    const testsupport::AttackCase& row, const std::string& family, const std::string& window,
    const std::function<void(testsupport::AttackRig&, const std::string&, EffectWork&,
                             Sample<Extra>&)>& each_task = {},
    const std::function<void(testsupport::AttackRig&, Sample<Extra>&)>& each_frame = {}) {
  using testsupport::AttackRig;
  Play<Extra> rec;
  AttackRig r(row);
  r.Start();
  bool seen = false, gone = false;
  const auto watch = [&] {
    Sample<Extra> s;
    s.frame = r.frames();
    for (const std::string& name : AttackRig::LiveTaskNames()) {
      Life& life = rec.tasks[name];
      if (life.first < 0) life.first = r.frames();
      life.last = r.frames();
      EffectWork* w = EffectWorkOf(TaskNamed(name));
      if (w != nullptr && each_task) each_task(r, name, *w, s);
    }
    if (SlgEffectTask* t = TaskNamed("Gattai::EachCharacter")) {
      seen = true;
      s.state = EffectWorkOf(t)->state;
      s.sub = EffectWorkOf(t)->sub;
    } else if (seen && !gone) {
      gone = true;
      rec.signals_at_end = Gattai().each_done == 1 && Gattai().window_close == 1;
    } else if (gone && rec.leaked.empty()) {
      for (const std::string& name : AttackRig::LiveTaskNames()) {
        if (name.compare(0, family.size(), family) == 0 && name != window) {
          rec.leaked.push_back(name);
        }
      }
      rec.leaked.push_back("(checked)");
    }
    if (each_frame) each_frame(r, s);
    rec.samples.push_back(s);
  };
  while (r.attacker().state != 7 && r.frames() < row.frame_limit) {
    r.Step();
    watch();
  }
  if (r.attacker().state != 7) rec.failures.push_back("state 7 not reached");
  for (int n = 0; !r.Ended() && n < AttackRig::kEndLimit; ++n) r.Step();
  for (int i = 0; i < row.outlive; ++i) r.Step();
  r.CheckEnd(row, rec.failures);
  return rec;
}

// The row with slot 13 (GATTAI_EXT_EFFECT) left out: the routine ends in its set-up with both
// signals, and nothing of its family but the letterbox is ever made or left behind.
// `set_up` names the tasks the routine makes in its set-up beside the letterbox (made, and gone
// with the rest).
inline void ExpectEndsAtOnceWithoutItsSlot(testsupport::AttackCase row, const std::string& family,
                                           const std::string& window,
                                           const std::vector<std::string>& set_up = {}) {
  const auto sets = row.fixtures;
  row.fixtures = [sets](testsupport::AttackFixtures& f) {
    if (sets) sets(f);
    f.Omit(kAnmGattaiExtEffect);
  };
  const Play<int> r = PlayRoutine<int>(row, family, window);
  EXPECT_TRUE(r.failures.empty()) << Lines(r.failures);
  EXPECT_TRUE(r.signals_at_end);
  EXPECT_EQ(r.leaked, std::vector<std::string>{"(checked)"}) << Lines(r.leaked);
  // Only the letterbox was made (its name need not share the family's prefix).
  std::vector<std::string> made = r.Named(family + ":");
  std::erase(made, window);
  std::vector<std::string> expected = set_up;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(made, expected) << Lines(made);
  EXPECT_EQ(r.tasks.count(window), 1u);
}

}  // namespace gattai_play
