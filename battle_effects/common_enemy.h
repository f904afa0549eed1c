#pragma once
// The common enemies' attacks (kinds 14-19, 34, 35, 48-50; the routines are declared in
// battle_effects/attack_routines.h). Six routines share one shape, a layered attack
// (battle_effects/layered_attack.h) driven by a table of forms per routine and attack type:
//
//   step 0  the attack context (CreateAttackCtx; refused: the routine stays at step 0, the context
//           service has ended the attack), the routine's work cleared
//   step 1  the damage list where the routine builds one (DamageMember), then the layered attack:
//           the objects at the unit's object play their rows by direction, the follow-up effects
//           start, the wait for CountRunningAttackAnms, the routine's follow-up, its final wait,
//           everything given back, state 7
//
// | routine             | kinds          | objects                  | after the animations       |
// | ------------------- | -------------- | ------------------------ | -------------------------- |
// | KoumaF::Attack      | 19, 50         | 2                        | the sky-explosion chain    |
// | KoumaM::Attack      | 18, 49         | 2                        | (per-target effects)       |
// | Enemy17Attack       | 17, 48         | 2 (types 1, 3: 1)        | type 2: a second play      |
// | WakijiF::Attack     | 16             | 3                        | the timed batches, 30      |
// | WakijiM::Attack     | 15             | 2                        | (per-target effects), 30   |
// | EnemyNormalAttack   | 14, 34, 35, 21/22 normal | 2 + 1 per target | -                        |
//
// Effect tasks carry one animation object each (a looping object at a position and depth, in the
// task's second owned slot) and hold their own reference of the set they play from, so an effect
// that outlives the routine (KoumaM's and WakijiM's per-target effects) keeps its set loaded.
//
// The KoumaF chain: "KoumaF::JoukuBakuhatu" above the targets (their mean screen position raised
// 176 px; no target: above the attacker) throws four "KoumaF::Tama%d" at its animation's frame 5;
// the first shot to fall 176 px makes all four land as "<shot>ChijouBakuhatsu", each of which
// starts "<shot>ChijouBakuhatsuHit" at its frame 8; that one starts a batch of "KoumaF::Hit<k><i>"
// (one per target i) every 8 frames, 4 batches (type 2: 8; type 3: none), waits for the hit
// counter to come back to 0 and sets the done flag the routine waits for.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_battle_state.h"
#include "battle/slg_units.h"
#include "battle_effects/layered_attack.h"

struct SlgAttackCtx;
struct SlgAnmObj;
struct SprAnm;

// What every routine of the family keeps (one attack of a routine runs at a time).
struct EnemyAttackWork {
  SlgAttackCtx* ctx;      // from step 0 to the end
  LayeredAttack layered;  // the shared shape's state
  SlgUnit* unit;          // the attacker
  uint8_t type;           // its attack type at step 0
  uint8_t begun;          // step 1 has begun
  uint8_t follow;         // the routine's follow-up step
  uint32_t start_ms;      // game clock at the start of the objects (step 1)
};

// KoumaF: the chain's shared words.
struct KoumaFWork : EnemyAttackWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  uint8_t done;         // set by the last hit batch (or when the chain can run no more)
  uint8_t ground_flag;  // a shot has landed
  int32_t ground_line;  // the shots' start y (16.16)
  int32_t hit_count;    // running "KoumaF::Hit..." tasks
  int32_t chain_live;   // running chain tasks (explosion, shots, ground explosions, hit batches)
  int32_t hits_made;    // "KoumaF::Hit..." tasks made in this attack
  SprAnm* effect_set;   // the context's effect set, held by each task that plays from it
};

struct KoumaMWork : EnemyAttackWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  int32_t attacker_kind;
  uint8_t attacker_dir;
};

struct Enemy17Work : EnemyAttackWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
};

struct WakijiFWork : EnemyAttackWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  uint8_t mode;          // 0 (type 0), 1 (type 2), 2 (other types)
  int32_t batches;       // first-body batches started
  int32_t first_count;   // running first-body effects
  int32_t second_count;  // running second-body effects
  uint32_t follow_ms;    // game clock at the start of the last wait
  SprAnm* effect_set;
};

struct WakijiMWork : EnemyAttackWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  SprAnm* effect_set;
};

struct EnemyNormalWork : EnemyAttackWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  int32_t target_objects;                            // entries of target_objs in use
  std::array<SlgAnmObj*, kSlgMaxUnits> target_objs;  // one per target
};

// ---- The KoumaF shots ----

constexpr int kKoumaShots = 4;
// The height the explosion stands above the targets, and the fall that lands a shot (pixels).
constexpr int32_t kKoumaSkyRaise = 176;

struct KoumaShot {
  int32_t dx;     // 16.16 pixels per frame
  int32_t g;      // 16.16 pixels per frame per frame
  int16_t depth;  // added to the explosion's depth
};
extern const std::array<KoumaShot, kKoumaShots> kKoumaShotTable;

// Where shot `index` stands `frames` frames after it left `start`: for each frame x += dx and
// vy += g, y += vy, vy starting at 0 (frames below 0 count as 0).
SlgPair KoumaShotAt(int index, const SlgPair& start, int32_t frames);
// The first frame at which a shot of the table has fallen kKoumaSkyRaise px: every shot lands
// then (frames counted by a clock that skips are held there, so the landing places stay).
int32_t KoumaLandingFrame();
