// The battle's readers besides the stage files: the four text tables with System.Tab and their
// look-ups, and the map plane table Map.TAB with its priority file and a bank, drawn.

#include <algorithm>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_map.h"
#include "battle/slg_sound.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_tables.h"
#include "engine/app/context.h"
#include "engine/files/file_io.h"
#include "engine/gfx/sprite/sprite.h"
#include "game/system_data.h"
#include "fuzz/entries/battle_rig_support.h"
#include "fuzz/entries/entry_support.h"
#include "fuzz/entries/fuzz_entries.h"
#include "fuzz/entries/fuzz_seeds.h"
#include "testsupport/battle_install.h"
#include "testsupport/slg_map_writer.h"
#include "testsupport/system_sprites.h"
#include "testsupport/temp_tree.h"
#include "testsupport/unit_anm_writer.h"

namespace fuzz {

using detail::ByteAt;
using detail::Check;

namespace detail {

BattleOnRig::BattleOnRig()
    : rig(Rig(false)),
      engine_scope(*rig.context),
      own_battle(std::make_unique<BattleContext>()),
      battle(*own_battle) {
  Ctx().file_io.SetInstallDir(Tree().install().c_str());
}

BattleOnRig::BattleOnRig(BattleContext& kept)
    : rig(Rig(false)), engine_scope(*rig.context), battle(kept) {
  Ctx().file_io.SetInstallDir(Tree().install().c_str());
}

BattleOnRig::~BattleOnRig() {
  TakeSpriteEntries();
  scene.spx_cache.Clear();
}

int BattleOnRig::TakeSpriteEntries() {
  CDdrawSpr& spr = Ctx().ddraw_spr;
  // No entry taken from the pool: nothing to walk (2048 priority lists of six buffers).
  if (spr.FreeEntryCount() == CDdrawSpr::kEntryCount) return 0;
  std::vector<SprBufferEntry*> live;
  for (const SurfaceId id : {SurfaceId{2}, SurfaceId{4}, SurfaceId{5}, SurfaceId{6}, SurfaceId{7},
                             SurfaceId{8}}) {
    SprBuffer* b = spr.FindBuffer(id, nullptr);
    if (b == nullptr) continue;
    for (int p = 0; p < SprBuffer::kPriorityCount; ++p) {
      for (SprLink* l = b->head[p].next; l != nullptr && l != &b->tail[p]; l = l->next) {
        live.push_back(static_cast<SprBufferEntry*>(l));
      }
    }
  }
  for (SprBufferEntry* e : live) spr.DeleteBuffer(&e);
  return static_cast<int>(live.size());
}

bool BattleOnRig::EntriesWithinPool() {
  const int free = Ctx().ddraw_spr.FreeEntryCount();
  return free >= 0 && free <= CDdrawSpr::kEntryCount;
}

void LayBattleSprites() {
  static bool laid = false;
  if (laid) return;
  laid = true;
  testsupport::GameTree& tree = Tree();
  // Exact case ("tamvik2"): the shared tree holds no other spelling of these folders.
  for (int slot = 0; slot < kSlgSysSpriteCount; ++slot) {
    tree.Write("install/tamvik2/" + testsupport::SystemSpriteSet::FileName(slot),
               testsupport::SystemSpriteSet::File(slot));
  }
  for (const int kind : {0, 14}) {
    testsupport::UnitAnmWriter set(kind);
    for (const int slot : {0, 4, 5, 6, 21, 22}) {
      tree.Write("install/tamvik2/" + set.FileName(slot), set.File(slot));
    }
  }
  tree.Write("install/tamvik2/event0.spr", testsupport::UnitAnmWriter(14).File(0));
}

}  // namespace detail

namespace {

constexpr const char* kTablesName = "slg_tables";
constexpr const char* kMapName = "slg_map";
constexpr const char* kTableFiles[] = {"SE.TAB", "VOICE.TAB", "UnitAnm.TAB", "EventAnm.TAB",
                                       "System.Tab"};

}  // namespace

// Input: SE.TAB, VOICE.TAB, UnitAnm.TAB, EventAnm.TAB and System.Tab (the sprite files the
// builder's dressed form names lie beside them). Read as a battle's start reads them, then every
// look-up with numbers inside and outside its table, every system sprite put in frames inside
// and outside its file, and everything freed. Rules: SE paths under "TAMVIK2\SE\" with static
// indexes into the static list, which names no path twice; at most 5000 voice files; look-ups
// outside their ranges give nothing; the system sprites loaded are as many as LoadSystemSprites
// says; sprite-buffer entries within the pool; the tables empty after freeing.
void SlgTablesEntry(const uint8_t* data, size_t size) {
  const std::vector<Bytes> parts = SplitParts(data, size, std::size(kTableFiles));
  detail::BattleOnRig on;
  if (!on.rig.ready) return;
  detail::LayBattleSprites();
  for (size_t i = 0; i < std::size(kTableFiles); ++i) {
    detail::Tree().Write(std::string("install/tamvik2/") + kTableFiles[i], parts[i]);
  }
  GetSystemData()->setBattleMap(0);

  LoadSlgTables();
  const SlgTextTables& t = on.battle.tables;
  Check(t.loaded != 0, kTablesName, "the tables are not marked loaded");
  for (const SlgSeEntry& e : t.se) {
    Check(e.path.empty() || e.path.rfind("TAMVIK2\\SE\\", 0) == 0, kTablesName,
          "an SE path outside TAMVIK2\\SE\\");
    Check(e.static_index == -1 ||
              (e.static_index >= 0 && static_cast<size_t>(e.static_index) < t.se_static.size()),
          kTablesName, "a static index outside the static list");
  }
  std::vector<std::string> statics = t.se_static;
  std::sort(statics.begin(), statics.end());
  Check(std::adjacent_find(statics.begin(), statics.end()) == statics.end(), kTablesName,
        "a static path listed twice");
  Check(t.voice_files.size() <= static_cast<size_t>(kSlgVoiceCount), kTablesName,
        "more voice files than the table holds");

  for (const int kind : {-1, 0, 14, 51, 52, 1 << 20}) {
    for (const int slot : {-1, 0, 5, 22, 23}) {
      SprAnm* anm = GetUnitAnm(kind, slot);
      const bool inside = kind >= 0 && kind < kSlgUnitKinds && slot >= 0 && slot < kSlgAnmSlots;
      Check(inside || anm == nullptr, kTablesName, "a unit sprite outside the table");
      ReleaseUnitAnm(&anm);
    }
    (void)GetKindVoiceChara(kind);
  }
  for (const int npc : {-1, 79, 80, 81, 143, 144}) {
    SprAnm* anm = GetEventAnm(npc);
    Check(npc >= 80 && npc < 144 ? true : anm == nullptr, kTablesName,
          "an event sprite outside the table");
    ReleaseEventAnm(&anm);
  }
  for (const int n : {-32768, -1, 0, 15, 20, 511, 512}) {
    SePlay(n, 1);
    SePlay(n, 2);
  }
  for (const int n : {-1, 0, 1, 4999, 5000}) VoicePlay(n);

  const int loaded = LoadSystemSprites();
  int held = 0;
  for (const SlgSystemSprite& s : on.battle.sys_sprites) held += s.file != nullptr ? 1 : 0;
  Check(loaded == held, kTablesName, "the system sprites loaded are not the count given");
  for (int slot = -1; slot <= kSlgSysSpriteCount; ++slot) {
    for (const int frame : {-1, 0, 3, 47, 1000}) {
      SlgSysSprPut(slot, frame, 320, 240, 0);
      SlgSysSprPutRect(slot, frame, 0, 0, 100 << 16, 50 << 16);
    }
  }
  Check(on.EntriesWithinPool(), kTablesName, "sprite-buffer entries outside the pool");
  on.TakeSpriteEntries();
  SlgStopSound();
  FreeSystemSprites();
  FreeSlgTables();
  Check(t.loaded == 0 && t.se_static.empty() && t.voice_files.empty(), kTablesName,
        "the tables are not empty after freeing");
}

std::vector<Bytes> SlgTablesSeeds() {
  std::vector<Bytes> seeds;
  using testsupport::BattleInstall;
  for (const BattleInstall::Form form : {BattleInstall::Form::kDressed, BattleInstall::Form::kBare}) {
    const BattleInstall install(form);
    const testsupport::SlgTableWriter tables = install.Tables();
    std::vector<Bytes> parts;
    for (int i = 0; i < testsupport::SlgTableWriter::kTableCount; ++i) {
      const std::string text = tables.Text(static_cast<testsupport::SlgTableWriter::Table>(i));
      parts.emplace_back(text.begin(), text.end());
    }
    const std::string tab = install.SystemTab().Text();
    parts.emplace_back(tab.begin(), tab.end());
    seeds.push_back(JoinParts(parts));
  }
  // Lines every table stops at or skips: numbers out of range, unknown keywords, a cell named
  // twice, a missing file, a slot named twice.
  testsupport::SlgTableWriter odd;
  odd.Se(511, "a.wav", "STATIC").Se(512, "b.wav").Se(-1, "c.wav").Se(3, "d.wav", "LOUD");
  odd.VoiceFile(4999, "v.wav").VoiceFile(5000, "w.wav").UnitVoices("KADRUN", "SPECIAL", {1, 2});
  odd.UnitAnm("JOKI_STAND", "ABILITY_EFFECT", "unit0_0.spr", "Night")
      .UnitAnm("JOKI_STAND", "ABILITY_EFFECT", "unit0_4.spr");
  odd.EventAnm(0, 63, "event0.spr").EventAnm(0, 64, "event0.spr").EventAnm(1, 0, "x.spr");
  std::vector<Bytes> parts;
  for (int i = 0; i < testsupport::SlgTableWriter::kTableCount; ++i) {
    const std::string text = odd.Text(static_cast<testsupport::SlgTableWriter::Table>(i));
    parts.emplace_back(text.begin(), text.end());
  }
  const std::string tab = testsupport::SystemTabWriter()
                              .Line("Cursor:", "sys_0.spr")
                              .Line("Cursor:", "sys_1.spr")
                              .Line("Shadow:", "nothing.spr")
                              .Text();
  parts.emplace_back(tab.begin(), tab.end());
  seeds.push_back(JoinParts(parts));
  return seeds;
}

// Input: control (bytes 0-1 and 2-3 the view's x and y, little-endian signed; byte 4 the frames
// between the three draws), Map01.TAB, the priority file "prio.bin" and the bank file the table
// may name as "ground0.spr" or "g1.spr" (its images cut as detail::CutSprImages cuts them). The table is read as a stage's set-up reads it and the
// map drawn in three frames. Rules: a plane with a bank has tiles of a size with cols and rows of
// (2047 + tile) / tile, at most 64 banks each of cols x rows tiles; the priority heights are the
// file's little-endian words as far as it holds them when the table names it; sprite-buffer
// entries within the pool after each frame.
void SlgMapEntry(const uint8_t* data, size_t size) {
  const std::vector<Bytes> parts = SplitParts(data, size, 4);
  // One battle context for every input (200 KB to clear): an input reaches only its map state,
  // made anew here and freed at the end.
  static BattleContext* const kept = new BattleContext;
  kept->map = SlgMapState{};
  kept->flags = 0;
  detail::BattleOnRig on(*kept);
  if (!on.rig.ready) return;
  // The install directory as the path from the working directory (the tree's "cwd"): every file
  // the table names is then resolved from there, not through each folder of the tree's own path
  // (a table names a file several times, and opening was most of an input's time).
  Ctx().file_io.SetInstallDir("../install/");
  testsupport::GameTree& tree = detail::Tree();
  const std::string folder = "install/tamvik2/Map/Map01/";
  tree.Write(folder + "Map01.TAB", parts[1]);
  tree.Write(folder + "prio.bin", parts[2]);
  Bytes bank = parts[3];
  if (!detail::CutSprImages(bank)) return;
  tree.Write(folder + "ground0.spr", bank);
  tree.Write(folder + "g1.spr", bank);
  const Bytes& control = parts[0];
  const auto x = static_cast<int16_t>(ByteAt(control, 0) | ByteAt(control, 1) << 8);
  const auto y = static_cast<int16_t>(ByteAt(control, 2) | ByteAt(control, 3) << 8);
  const int step = ByteAt(control, 4);

  on.battle.flags |= 0x2;  // the map drawn
  SlgMap::LoadMapTable(0);
  const SlgMapState& m = on.battle.map;
  for (const auto& plane : m.planes) {
    // A plane a property line made whose File: line failed has no bank and no tiles (nothing of
    // it is drawn).
    if (!plane || plane->bank_count == 0) continue;
    const SlgMapPlane& p = *plane;
    Check(p.tile_w > 0 && p.tile_h > 0 && p.cols == (2047 + p.tile_w) / p.tile_w &&
              p.rows == (2047 + p.tile_h) / p.tile_h,
          kMapName, "a plane's tiles do not cover it");
    Check(p.bank_count >= 0 && p.bank_count <= kSlgMapBanks, kMapName, "too many banks");
    for (int b = 0; b < p.bank_count && b < kSlgMapBanks; ++b) {
      Check(p.banks[static_cast<size_t>(b)].tiles.size() == static_cast<size_t>(p.cols) * p.rows,
            kMapName, "a bank's table is not cols x rows");
    }
  }
  for (int f = 0; f < 3; ++f) {
    // The map clock put back, so the banks and own scrolls move between the draws.
    on.battle.map.clock -= static_cast<uint32_t>(step * 17);
    SlgMap::DrawMap(x + 8 * f, y - 5 * f);
    SlgMap::DrawAllMap(x, y);
    Check(on.EntriesWithinPool(), kMapName, "sprite-buffer entries outside the pool");
    on.TakeSpriteEntries();
  }
  SlgMap::FreeMap();
}

std::vector<Bytes> SlgMapSeeds() {
  const testsupport::BattleInstall install;
  // A bank of twelve 16 x 16 tiles: the builder's bank of 64 x 64 tiles is 650 KB, read whole for
  // every plane of every input.
  const Bytes bank = testsupport::MapBankFile(testsupport::GridBank(16, 16, 4, 3, 0));
  const std::string tab = install.MapTab().Text();
  std::vector<uint8_t> control = {0, 0, 0, 0, 8};
  std::vector<Bytes> seeds;
  seeds.push_back(JoinParts({control, Bytes(tab.begin(), tab.end()), {},
                             bank}));
  // Every plane with its commands, the priority plane with its file, the whole-map picture.
  testsupport::MapTabWriter busy;
  busy.File("Ground:", {"ground0.spr", "g1.spr"})
      .FrameInt("Ground:", 2)
      .Raster("Ground:", 4, 0, 8, 2)
      .File("Sky:", {"g1.spr"})
      .Scroll("Sky:", 1.5, -0.25)
      .Alpha("Sky:", 128)
      .AlphaMode("Sky:", "ADD")
      .File("Priority:", {"ground0.spr"})
      .PrioFile("Priority:", "prio.bin")
      .File("UnderGround:", {"g1.spr"})
      .NightMode()
      .NoZako()
      .File("AllMapImage:", {"ground0.spr"});
  std::vector<uint32_t> heights(86 * 86);
  for (size_t i = 0; i < heights.size(); ++i) heights[i] = static_cast<uint32_t>(i % 11);
  const std::string busy_text = busy.Text();
  seeds.push_back(JoinParts({{0x30, 0xFF, 0x10, 0x00, 3}, Bytes(busy_text.begin(), busy_text.end()),
                             testsupport::PriorityFile(heights, 1000),
                             bank}));
  // Tiles of odd sizes and places, some outside the plane.
  std::vector<testsupport::MapTile> tiles = {{.w = 48, .h = 40, .x = 0, .y = 0},
                                             {.w = 48, .h = 40, .x = 2000, .y = 2040},
                                             {.w = 48, .h = 40, .x = 4096, .y = 0},
                                             {.w = 1, .h = 1, .x = 48, .y = 40}};
  seeds.push_back(JoinParts({{0xFF, 0x7F, 0x00, 0x80, 255}, Bytes(tab.begin(), tab.end()), {},
                             testsupport::MapBankFile(tiles)}));
  // A plane a property line makes after its File: line failed: no bank (a finding of the
  // fuzzer: such a plane has no tiles to check, and nothing of it is drawn).
  const std::string bankless = "Sky: File: none.spr\r\nSky: Alpha: 128\r\nSky: Scroll: 1 1\r\n";
  seeds.push_back(JoinParts({{0, 0, 0, 0, 1}, Bytes(bankless.begin(), bankless.end()), {}, bank}));
  return seeds;
}

}  // namespace fuzz
