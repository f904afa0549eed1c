#include "battle/battle_extension.h"

#include <algorithm>

#include "engine/core/debug_trace.h"

namespace {

// The registered installers, in registration order: plain functions of the program, so one
// list serves every battle context.
std::vector<BattleInstaller>& Installers() {
  static std::vector<BattleInstaller> list;
  return list;
}

}  // namespace

bool RegisterBattleInstaller(BattleInstaller installer) {
  if (installer == nullptr) {
    DebugPrint("RegisterBattleInstaller: a null installer is refused\n");
    return false;
  }
  if (IsBattleInstallerRegistered(installer)) return false;
  Installers().push_back(installer);
  return true;
}

bool UnregisterBattleInstaller(BattleInstaller installer) {
  std::vector<BattleInstaller>& list = Installers();
  const auto it = std::find(list.begin(), list.end(), installer);
  if (it == list.end()) return false;
  list.erase(it);
  return true;
}

bool IsBattleInstallerRegistered(BattleInstaller installer) {
  const std::vector<BattleInstaller>& list = Installers();
  return std::find(list.begin(), list.end(), installer) != list.end();
}

void RunBattleInstallers(BattleContext& battle) {
  // By index: an installer that registers another only adds to the end.
  const std::vector<BattleInstaller>& list = Installers();
  for (size_t i = 0; i < list.size(); ++i) list[i](battle);
}

void BattleExtensions::StageBuilt() {
  if (!stage_built_) {
    stage_built_ = true;
    return;
  }
  for (Block& block : blocks_) {
    if (block.life != BattleExtensionLife::kStage) continue;
    block.destroy(block.data);
    block.data = block.make();
  }
}

void BattleExtensions::Clear() {
  while (!blocks_.empty()) {
    const Block block = blocks_.back();
    blocks_.pop_back();
    block.destroy(block.data);
  }
}
