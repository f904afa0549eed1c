// The battle message on a writer-made message file and VOICE.TAB: the look-up, typing and voice,
// the wait states with their keys and switches, and the message window's layer.

#include <gtest/gtest.h>

#include <string>

#include "battle/battle_context.h"
#include "battle/slg_message.h"
#include "battle/slg_screen.h"
#include "battle/slg_tables.h"
#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/input/dinput.h"
#include "engine/sound/dsound_func.h"
#include "game/game_state.h"
#include "game/system_data.h"
#include "scene/scene_context.h"
#include "scene/ui/tamvik_func.h"
#include "scene/ui/tamvik_icon.h"
#include "testsupport/icon_files.h"
#include "testsupport/battle_rig.h"
#include "testsupport/script_writer.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/trace_capture.h"

namespace {

using testsupport::BattleRig;
using testsupport::TraceCapture;

// The battle's screen: layer 4 shown opaque and cleared black, the others hidden.
void BattleScreen() {
  for (SurfaceId id = SURFACE_BG; id <= SURFACE_TEXT; ++id) SlgSetLayer(id, 0);
  SlgSetLayer(SURFACE_ROOT, 1);
  SlgClearLayer(SURFACE_ROOT);
}

constexpr const char* kVoiceWave = "tamvik2\\Voice\\v0.wav";

class MessageRig {
 public:
  MessageRig() {
    testsupport::MessageTableWriter table;
    table.Add({.id = 1, .voice_word = 0xFFFF, .lip = "aa", .text = "AB"})
        .Add({.id = 2, .voice_word = 0, .lip = "", .text = "CD"});
    rig.driver().tree.Write(testsupport::SlgMessageRel(0), table.Bytes());
    testsupport::SlgTableWriter tables;
    tables.VoiceFile(0, "v0.wav");
    tables.Lay(rig.driver().tree);
    testsupport::SlgTableWriter::LayWave(rig.driver().tree, kVoiceWave, 3.0);
    LoadSlgTables();
    Scene().macro.LoadSlgMessage(0);
    Slg::OpenMessageWindow();
  }
  ~MessageRig() {
    Slg::CloseMessageWindow();
    FreeSlgTables();
  }
  static std::string Voice() {
    const char* name = Ctx().dsound.GetPlayFileName(kChannelVoice);
    return name != nullptr && TamvikFunc::IsVoicePlaying() ? name : "";
  }
  // Runs until the text is typed (MessageWait moves to state 1).
  void Typed() {
    ASSERT_TRUE(rig.RunUntil("typed", [] { return Slg::MessageWait() != 0 || Battle().message.wait_state == 1; }, 120));
  }
  BattleRig rig;
};

TEST(SlgMessage, LookUpVoiceAndTyping) {
  struct Case {
    const char* name;
    int n;
    uint8_t voice_off;
    bool typed, voice;
  };
  for (const Case& c : {Case{"voice 0xFFFF plays voice 0", 1, 0, true, true},
                        Case{"voice off", 1, 1, true, false},
                        Case{"no voice", 2, 0, true, false},
                        Case{"missing", 9, 0, false, false}}) {
    SCOPED_TRACE(c.name);
    MessageRig m;
    GetSystemData()->setVoiceOff(c.voice_off);
    TraceCapture trace;
    Battle().message.wait_state = 5;
    Slg::ShowMessage(-192, 96, 0, c.n);
    EXPECT_EQ(!TamvikFunc::IsMessageDone(), c.typed);
    EXPECT_EQ(MessageRig::Voice() == kVoiceWave, c.voice);
    EXPECT_EQ(trace.Contains("MessageData not Found!:0x9 9"), !c.typed);
    EXPECT_EQ(Battle().message.wait_state, c.typed ? 0 : 5);
  }
}

TEST(SlgMessage, AutoFlagEndsAfterTyping) {
  MessageRig m;
  Slg::ShowMessage(0, 0, 0, 2);
  Battle().message.auto_flag = 1;
  EXPECT_EQ(Slg::MessageWait(), 0);
  ASSERT_TRUE(m.rig.RunUntil("typed", [] { return TamvikFunc::IsMessageDone(); }, 120));
  EXPECT_EQ(Slg::MessageWait(), 1);
}

TEST(SlgMessage, WaitStates) {
  struct Case {
    const char* name;
    uint8_t auto_message, adv11;
    uint32_t key;       // 0 none
    bool held;          // key held rather than pressed once
    bool voice_after;   // the voice still plays after the frame
    int state_after;
  };
  for (const Case& c : {Case{"no key waits", 0, 0, 0, false, true, 1},
                        Case{"byte 104 stops the voice", 1, 0, 0, false, false, 1},
                        Case{"OK waits for the voice", 0, 0, kGameKey0, false, true, 1},
                        Case{"cancel stops it", 0, 0, kGameKey1, false, false, 2},
                        Case{"key 2 held stops it", 0, 0, kGameKey2, true, false, 2},
                        Case{"story byte 11 ends it", 0, 1, 0, false, false, 2}}) {
    SCOPED_TRACE(c.name);
    MessageRig m;
    GetSystemData()->setAutoMessage(c.auto_message);
    Slg::ShowMessage(0, 0, 0, 1);
    m.Typed();
    ASSERT_EQ(Battle().message.wait_state, 1);
    ASSERT_EQ(MessageRig::Voice(), kVoiceWave);
    GetAdvState()->bytes()[11] = c.adv11;
    if (c.key != 0) m.rig.Schedule({testsupport::GameKeyDown(m.rig.frame(), c.key)});
    m.rig.Step();
    EXPECT_EQ(Slg::MessageWait(), 0);
    EXPECT_EQ(MessageRig::Voice() == kVoiceWave, c.voice_after);
    EXPECT_EQ(Battle().message.wait_state, c.state_after);
    if (c.state_after == 2) {
      EXPECT_EQ(Slg::MessageWait(), 1);
    }
  }
}

TEST(SlgMessage, OkAfterTheVoiceEndsTheMessageWithEffect15AndHidesTheIcon) {
  MessageRig m;
  m.rig.driver().tree.Write("install/Tamvik1/SYSTEM/icon/ICON2.SPR", testsupport::IconSprFile());
  ASSERT_EQ(CTamvikIcon::LoadIconSpr(), 1);
  Slg::ShowMessage(0, 0, 0, 1);
  m.Typed();
  m.rig.Step();
  EXPECT_EQ(Slg::MessageWait(), 0);  // waiting: the key-wait icon shown
  EXPECT_NE(Scene().icon.wait_icon, nullptr);
  Ctx().dsound.StopVoice();  // the voice has ended
  TraceCapture trace;
  m.rig.Schedule({testsupport::GameKeyDown(m.rig.frame(), kGameKey0)});
  m.rig.Step();
  EXPECT_EQ(Slg::MessageWait(), 0);
  EXPECT_EQ(Battle().message.wait_state, 2);
  EXPECT_TRUE(trace.Contains("SeNo 15"));
  EXPECT_EQ(Scene().icon.wait_icon, nullptr);
  EXPECT_EQ(Slg::MessageWait(), 1);
  CTamvikIcon::ReleaseIcon();
}

TEST(SlgMessage, WindowOpensOnLayer8AndCloses) {
  BattleRig rig;
  BattleScreen();
  Slg::OpenMessageWindow();
  EXPECT_TRUE(TamvikFunc::HasMessageWindow());
  LayerState layers;
  Ctx().ddraw.SaveLayerState(&layers);
  EXPECT_NE(layers.visible[SURFACE_TEXT], 0);
  EXPECT_NE(layers.copy[SURFACE_TEXT], 0);
  Slg::CloseMessageWindow();
  EXPECT_FALSE(TamvikFunc::HasMessageWindow());
  Ctx().ddraw.SaveLayerState(&layers);
  EXPECT_EQ(layers.visible[SURFACE_TEXT], 0);
}

}  // namespace
