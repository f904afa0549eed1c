// The battle's sound on the rig's headless sound service: effects by number (static and streamed,
// played and stopped), voices chosen by attack type and played by number, the animation sound
// hook's codes, the music task's fade and start, and the switches beside them (units shown again,
// the pointer). Numbers outside their tables are refused without touching memory.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_sound.h"
#include "battle/slg_tables.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/input/dinput.h"
#include "engine/sound/dsound_func.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"
#include "testsupport/battle_rig.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/spr_writer.h"
#include "testsupport/trace_capture.h"

namespace {

using testsupport::BattleRig;
using testsupport::SlgTableWriter;
using testsupport::TraceCapture;

std::string Playing(int channel) {
  const char* name = Ctx().dsound.GetPlayFileName(channel);
  return name != nullptr ? name : "";
}

bool StaticPlaying(int slot) {
  const auto& buffer = Ctx().dsound.static_se.slot[static_cast<size_t>(slot)];
  return buffer != nullptr && buffer->IsPlaying();
}

// A rig with effects 1 (static), 2 (streamed), 10 (streamed), voices 12 and 13, and the voice
// lists of KADRUN; every named wave file exists.
class SoundRig {
 public:
  SoundRig() {
    SlgTableWriter tables;
    tables.Se(1, "a.wav", "STATIC")
        .Se(2, "b.wav", "STREAMING")
        .Se(10, "ten.wav", "STREAMING")
        .VoiceFile(12, "hero_a.wav")
        .VoiceFile(13, "hero_b.wav")
        .UnitVoices("KADRUN", "ATTACK", {12})
        .UnitVoices("KADRUN", "SPECIAL", {20, 21})
        .UnitVoices("KADRUN", "CRITICAL", {30, 31})
        .UnitVoices("KADRUN", "GATTAI", {40});
    tables.Lay(rig.driver().tree);
    for (const char* wave : {"TAMVIK2\\SE\\A.WAV", "TAMVIK2\\SE\\B.WAV", "TAMVIK2\\SE\\TEN.WAV",
                             "tamvik2\\Voice\\hero_a.wav"}) {
      SlgTableWriter::LayWave(rig.driver().tree, wave);
    }
    LoadSlgTables();
  }
  ~SoundRig() { FreeSlgTables(); }

  BattleRig rig;
};

TEST(SlgSound, SePlayPlaysStaticAndStreamedEntriesAndStopsEachKind) {
  SoundRig s;
  TraceCapture trace;
  SePlay(1, 1);
  EXPECT_TRUE(StaticPlaying(0));
  EXPECT_TRUE(Playing(kChannelSe).empty()) << "a static effect leaves the streamed channel";
  SePlay(2, 1);
  EXPECT_EQ(Playing(kChannelSe), "TAMVIK2\\SE\\B.WAV");
  EXPECT_TRUE(trace.Contains("SePlay: No2 TAMVIK2\\SE\\B.WAV"));
  EXPECT_EQ(SlgIsSeStop(), 0);
  SePlay(3, 1);
  EXPECT_TRUE(trace.Contains("SePlay: SeNo 3 is no file!"));
  EXPECT_EQ(Playing(kChannelSe), "TAMVIK2\\SE\\B.WAV");

  SePlay(1, 3);  // another mode: nothing
  EXPECT_TRUE(StaticPlaying(0));
  SePlay(1, 2);
  EXPECT_TRUE(trace.Contains("SeStopStatic: SeNo 1."));
  EXPECT_FALSE(StaticPlaying(0));
  SePlay(2, 2);
  EXPECT_TRUE(trace.Contains("SeStop: SeNo 2."));
  EXPECT_EQ(SlgIsSeStop(), 1);
}

TEST(SlgSound, NumbersOutsideTheTablesAreIgnored) {
  SoundRig s;
  TraceCapture trace;
  for (int n : {512, -1, 32768, 400 + 512}) {
    SePlay(n, 1);
    SePlay(n, 2);
    EXPECT_TRUE(trace.Contains("SePlay: SeNo " + std::to_string(n) + " is outside 0-511"));
  }
  EXPECT_EQ(SlgSePlay400(2147483647), 1);
  EXPECT_EQ(SlgIsSeStop(), 1);

  // A voice number past the table only stops the voice, as a negative one does.
  for (int n : {5000, 65535, -1, 14}) {
    VoicePlay(12);
    EXPECT_EQ(Playing(kChannelVoice), "tamvik2\\Voice\\hero_a.wav");
    VoicePlay(n);
    EXPECT_TRUE(Playing(kChannelVoice).empty()) << n;
  }
  EXPECT_TRUE(trace.Contains("Voice = tamvik2\\Voice\\hero_a.wav"));
}

TEST(SlgSound, AttackVoiceCodes) {
  SoundRig s;
  BattleContext& b = Battle();
  b.state.unit_count = 3;
  b.targets[0] = 0;
  b.targets[1] = 100;  // not a unit slot: passed over
  b.targets[2] = 2;
  b.chosen_voice = 7;
  TraceCapture trace;

  AttackVoice(0xFFFF);  // -1: the damage list is hit now
  EXPECT_EQ(b.state.units[0].flags, kUnitHitNow);
  EXPECT_EQ(b.state.units[1].flags, 0u);
  EXPECT_EQ(b.state.units[2].flags, kUnitHitNow);

  AttackVoice(0xFFFE);  // -2
  EXPECT_EQ(b.voice_request, 1u);
  EXPECT_TRUE(trace.Contains("Attack Voice 7."));
  AttackVoice(0xFFFD);  // -3
  EXPECT_EQ(b.anm_signal, 1u);

  AttackVoice(static_cast<uint16_t>(-10));
  EXPECT_EQ(b.last_se, 10);
  EXPECT_EQ(Playing(kChannelSe), "TAMVIK2\\SE\\TEN.WAV");
  AttackVoice(static_cast<uint16_t>(-9));  // stops the last effect
  EXPECT_TRUE(trace.Contains("SeStop: SeNo 10."));
  EXPECT_EQ(SlgIsSeStop(), 1);

  AttackVoice(static_cast<uint16_t>(-600));  // past the table: ignored
  EXPECT_TRUE(trace.Contains("SePlay: SeNo 600 is outside"));
  EXPECT_EQ(SlgIsSeStop(), 1);
  AttackVoice(static_cast<uint16_t>(-32768));
  EXPECT_EQ(SlgIsSeStop(), 1);

  // 5 and -5 do nothing.
  b.voice_request = 0;
  b.anm_signal = 0;
  const size_t lines = trace.lines().size();
  for (uint16_t code : {uint16_t{5}, static_cast<uint16_t>(-5), uint16_t{0}}) AttackVoice(code);
  EXPECT_EQ(b.voice_request, 0u);
  EXPECT_EQ(b.anm_signal, 0u);
  EXPECT_EQ(b.state.units[1].flags, 0u);
  EXPECT_EQ(trace.lines().size(), lines);
}

TEST(SlgSound, AnAnimationCellCodeReachesAttackVoiceThroughTheSoundHook) {
  SoundRig s;
  using namespace testsupport;
  // Frame 1 of animation 0 is the event -10 (0xFFF6): effect 10.
  s.rig.WriteFile("hit.spr", AnimationFile({{0, 0, 0}, {31, 0, 0}},
                                           {{2, 2, kSprDepth8, 0, {1, 1, 1, 1}}},
                                           {{BoxEntry(0, 0, 0, 2, 2)}},
                                           {{{0, 2}, {0, 0xFFF6}, {0, 60}}}));
  SprAnm* anm = TamvikFunc::LoadAnmFile("hit.spr");
  ASSERT_NE(anm, nullptr);
  CTamvikSpr& spr = Scene().tamvik_spr;
  spr.spx()->SetSoundHook(&AttackVoice);
  AnimeHandle anim = spr.PlayAnmLoopFlag(anm, 0, 100, 100, 0, SURFACE_ROOT, 1);
  ASSERT_NE(anim, nullptr);
  const bool heard = s.rig.RunUntil(
      "effect 10", [] { return Playing(kChannelSe) == "TAMVIK2\\SE\\TEN.WAV"; }, 10);
  spr.spx()->SetSoundHook(nullptr);
  EXPECT_TRUE(heard);
  EXPECT_EQ(Battle().last_se, 10);
  spr.spx()->DeleteSpxRef(&anim);
  TamvikFunc::ReleaseAnmFile(anm);
}

TEST(SlgSound, AttackVoiceWithAnEmptyDamageListFlagsNoUnit) {
  BattleRig rig;
  Battle().state.unit_count = 2;
  AttackVoice(0xFFFF);
  EXPECT_EQ(Battle().state.units[0].flags, 0u);
  EXPECT_EQ(Battle().state.units[1].flags, 0u);
}

TEST(SlgSound, SelectUnitVoiceByAttackType) {
  SoundRig s;
  struct Case {
    int kind, type, special, voice;
  };
  const Case cases[] = {
      {0, 0, 0, 12},   // one ATTACK voice: always it
      {0, 1, 0, 20},  {0, 1, 1, 21},
      {0, 1, 2, -1},   // index at the count
      {0, 1, -1, -1},  // a negative index
      {0, 1, 127, -1},
      {0, 2, 0, 30},  {0, 5, 0, 40},
      {0, 3, 0, -1},  {0, 4, 0, -1},  {0, 6, 0, -1},
      {1, 0, 0, -1},   // an empty situation
      {1, 2, 0, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("kind " + std::to_string(c.kind) + " type " + std::to_string(c.type) +
                 " special " + std::to_string(c.special));
    SlgUnit unit{};
    unit.kind = static_cast<uint8_t>(c.kind);
    unit.stats.attack_type = static_cast<uint8_t>(c.type);
    Battle().cmd_special = static_cast<int8_t>(c.special);
    Battle().chosen_voice = 99;
    EXPECT_EQ(SelectUnitVoice(unit), c.voice);
    EXPECT_EQ(Battle().chosen_voice, c.voice);
  }
  SlgUnit unit{};
  for (int i : {-1, 0, 1, 2}) {
    SelectSpecialVoice(unit, i);
    EXPECT_EQ(Battle().chosen_voice, i == 0 ? 20 : i == 1 ? 21 : -1) << i;
  }
  // A voice of a kind outside the table: none, and no read past it.
  unit.kind = 52;
  EXPECT_EQ(SelectUnitVoice(unit), -1);
}

TEST(SlgSound, PlayUnitVoicePlaysTheChosenVoiceOnly) {
  SoundRig s;
  Battle().chosen_voice = -1;
  PlayUnitVoice();
  EXPECT_TRUE(Playing(kChannelVoice).empty());
  Battle().chosen_voice = 12;
  PlayUnitVoice();
  EXPECT_EQ(Playing(kChannelVoice), "tamvik2\\Voice\\hero_a.wav");
}

GameTaskRec* MusicTask() { return Ctx().game_task.FindTask("TamvikSlgFunc::decodeMusic"); }

TEST(SlgMusic, WithoutMusicTheNewOnePlaysAtOnce) {
  BattleRig rig;
  SlgTableWriter::LayWave(rig.driver().tree, "tamvik1\\bgm\\SM07.wav", 3.0);
  TraceCapture trace;
  BGMPlayStart(7);
  EXPECT_TRUE(trace.Contains("SLG:BGMPlayStart: BGMNo 7"));
  EXPECT_EQ(Battle().bgm_number, 7);
  ASSERT_NE(MusicTask(), nullptr);
  rig.Step();
  EXPECT_EQ(Playing(kChannelBgm), "tamvik1\\bgm\\SM07.wav");
  EXPECT_TRUE(trace.Contains("SLG:BGMPlay: tamvik1\\bgm\\SM07.wav"));
  EXPECT_EQ(Ctx().dsound.GetBGMVolume(), 100);
  ASSERT_TRUE(rig.RunUntil("music task ended", [] { return MusicTask() == nullptr; }, 3));
}

TEST(SlgMusic, PlayingMusicFadesToHalfThenTheNewOnePlaysAtFullVolume) {
  BattleRig rig;
  SlgTableWriter::LayWave(rig.driver().tree, "tamvik1\\bgm\\SM03.wav", 3.0);
  SlgTableWriter::LayWave(rig.driver().tree, "tamvik1\\bgm\\SM07.wav", 3.0);
  CDsoundFunc& sound = Ctx().dsound;
  ASSERT_NE(sound.PlayBGM("tamvik1\\bgm\\SM03.wav"), 0);
  BGMPlayStart(7);
  int lowest = 100;
  ASSERT_TRUE(rig.RunUntil(
      "new music",
      [&] {
        if (Playing(kChannelBgm) == "tamvik1\\bgm\\SM03.wav") {
          lowest = std::min(lowest, sound.GetBGMVolume());
          return false;
        }
        return true;
      },
      40));
  EXPECT_EQ(lowest, 50) << "the old music faded to half before the new one";
  EXPECT_GE(rig.steps(), 2);
  EXPECT_EQ(Playing(kChannelBgm), "tamvik1\\bgm\\SM07.wav");
  EXPECT_EQ(sound.GetBGMVolume(), 100);
  ASSERT_TRUE(rig.RunUntil("music task ended", [] { return MusicTask() == nullptr; }, 3));
  BGMPlayDefault();
  EXPECT_EQ(Battle().bgm_number, 15);
}

TEST(SlgSound, VolumeStepsAndStopSound) {
  SoundRig s;
  CDsoundFunc& sound = Ctx().dsound;
  SlgTableWriter::LayWave(s.rig.driver().tree, "tamvik1\\bgm\\SM01.wav", 3.0);
  ASSERT_NE(sound.PlayBGM("tamvik1\\bgm\\SM01.wav"), 0);
  SlgBgmVolumeDip();
  EXPECT_FALSE(sound.IsBGMFadeEnd());
  ASSERT_TRUE(s.rig.RunUntil("dip", [&] { return sound.IsBGMFadeEnd(); }, 40));
  EXPECT_EQ(sound.GetBGMVolume(), 87);
  SlgBgmVolumeBack();
  ASSERT_TRUE(s.rig.RunUntil("back", [&] { return sound.IsBGMFadeEnd(); }, 40));
  EXPECT_EQ(sound.GetBGMVolume(), 100);
  SePlay(2, 1);
  VoicePlay(12);
  SlgStopSound();
  EXPECT_TRUE(sound.IsBGMStop());
  EXPECT_EQ(SlgIsSeStop(), 1);
  EXPECT_TRUE(sound.IsVoiceStop());
}

TEST(SlgSwitches, ShowFlaggedUnitsSetsTheFlagsAndShowsFlaggedUnitsOnly) {
  BattleRig rig;
  BattleContext& b = Battle();
  b.flags = 0x61;
  b.state.unit_count = 3;
  b.state.units[0].flags = kUnitShowFlagged;
  b.state.units[1].flags = 0;
  b.state.units[2].flags = kUnitShowFlagged | kUnitOnGrid;
  b.state.units[3].flags = kUnitShowFlagged;  // not in use
  ShowFlaggedUnits();
  EXPECT_EQ(b.flags, 0x07);
  EXPECT_EQ(b.state.units[0].flags, kUnitShowFlagged | kUnitShown);
  EXPECT_EQ(b.state.units[1].flags, 0u);
  EXPECT_EQ(b.state.units[2].flags, kUnitShowFlagged | kUnitOnGrid | kUnitShown);
  EXPECT_EQ(b.state.units[3].flags, kUnitShowFlagged);
}

TEST(SlgSwitches, PointerModeReplacesTheMouse) {
  BattleRig rig;
  BattleContext& b = Battle();
  b.state.pointer = {100 * 65536, -20 * 65536};
  int32_t x = 0, y = 0;
  SlgPointerPos(&x, &y);
  EXPECT_EQ(x, Ctx().input.GetMouseX() - 40);
  EXPECT_EQ(y, Ctx().input.GetMouseY() - 30);
  b.pointer_mode = 1;
  SlgPointerPos(&x, &y);
  EXPECT_EQ(x, 100);
  EXPECT_EQ(y, -20);
  EXPECT_EQ(SlgMouseFlag(), 1u);
  SlgSetMouse(-300, 200);
  EXPECT_EQ(rig.driver().host().input.cursor_x, 20);
  EXPECT_EQ(rig.driver().host().input.cursor_y, 440);
}

}  // namespace
