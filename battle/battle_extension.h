#pragma once
// The seam by which the libraries above the battle core (the attack effects and the battle
// events) extend every battle without the core naming them:
//
// - Installers: plain functions registered once (by the program's composition root, and by the
//   test rigs for the libraries they link). The core runs them, in registration order, on every
//   battle context right after it is made, and again at each build of a stage (the battle's
//   start, a stage switch and a retry) right after the player state table has been rebuilt. An
//   installer fills the context's attack table rows (action_table, satan_action, gattai_table),
//   the player state table's slots it owns (slot 14, the hero's cover move) and entries of the
//   event entry table (battle/slg_event_entries.h). What no installer fills keeps the core's own
//   answer: an empty attack row ends the attack at once (EndEmptyAttack), an unfilled event entry
//   answers as its stand-in.
// - Extension state: one state block per extending library, owned by the battle context and
//   reached through BattleContext::Extension<T>() (see there), so that the core never names the
//   libraries' types and nothing of theirs outlives the battle.

#include <concepts>
#include <cstdint>
#include <vector>

class BattleContext;

// Fills one battle context. The context may not be current yet (it runs as the context is
// made): an installer works on its argument only, and it must be safe to run again (each build
// of a stage runs it once more).
using BattleInstaller = void (*)(BattleContext& battle);

// Adds an installer at the end of the list; whether it was added. An installer already
// registered stays where it is and runs once; a null one is refused with a trace.
bool RegisterBattleInstaller(BattleInstaller installer);
// Removes an installer; whether it was registered.
bool UnregisterBattleInstaller(BattleInstaller installer);
bool IsBattleInstallerRegistered(BattleInstaller installer);
// Runs every registered installer on `battle`, in registration order. The core calls it; a test
// rig that builds a battle's tables piecemeal may too.
void RunBattleInstallers(BattleContext& battle);

// An installer registered for a scope (a test, a rig): registered when made and removed when
// it goes, unless it was registered already (then it stays, as the one who registered it wants).
class ScopedBattleInstaller {
 public:
  explicit ScopedBattleInstaller(BattleInstaller installer)
      : installer_(installer), added_(RegisterBattleInstaller(installer)) {}
  ~ScopedBattleInstaller() {
    if (added_) UnregisterBattleInstaller(installer_);
  }
  ScopedBattleInstaller(const ScopedBattleInstaller&) = delete;
  ScopedBattleInstaller& operator=(const ScopedBattleInstaller&) = delete;

 private:
  BattleInstaller installer_;
  bool added_;
};

// How long an extension state block lives within its battle.
enum class BattleExtensionLife : uint8_t {
  kBattle,  // the whole battle: kept through stage switches and retries
  kStage,   // one stage: made afresh at each stage switch and retry
};

// A library's state block: default-constructible, naming its life as
// `static constexpr BattleExtensionLife kBattleLife`.
template <class T>
concept BattleExtensionState = std::default_initializable<T> && requires {
  { T::kBattleLife } -> std::convertible_to<BattleExtensionLife>;
};

// The extension state blocks of one battle context (BattleContext::extensions). A block is made
// (value-initialised, so a plain block starts zero-filled) by the first Get<T>() of the battle,
// which a library's installer does when the block must exist from the context's making on.
class BattleExtensions {
 public:
  BattleExtensions() = default;
  ~BattleExtensions() { Clear(); }
  BattleExtensions(const BattleExtensions&) = delete;
  BattleExtensions& operator=(const BattleExtensions&) = delete;

  template <BattleExtensionState T>
  T& Get() {
    const void* key = Key<T>();
    for (const Block& block : blocks_) {
      if (block.key == key) return *static_cast<T*>(block.data);
    }
    T* data = new T();
    blocks_.push_back(Block{key, T::kBattleLife, &Make<T>, &Destroy<T>, data});
    return *data;
  }

  // A stage is being built (the core calls it before the installers run): from the second
  // build of the context on (a stage switch or a retry), every kStage block is destroyed and
  // made afresh; kBattle blocks are kept.
  void StageBuilt();
  // Destroys every block, the newest first (the context's destructor, after the battle's tasks
  // have ended and with the context still current).
  void Clear();

 private:
  struct Block {
    const void* key;
    BattleExtensionLife life;
    void* (*make)();
    void (*destroy)(void*);
    void* data;
  };

  // One address per type, the same in every translation unit.
  template <class T>
  static const void* Key() {
    static const char key = 0;
    return &key;
  }
  template <class T>
  static void* Make() {
    return new T();
  }
  template <class T>
  static void Destroy(void* data) {
    delete static_cast<T*>(data);
  }

  std::vector<Block> blocks_;
  bool stage_built_ = false;
};
