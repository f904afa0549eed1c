#include "testsupport/whole_scene.h"

#include <cctype>
#include <optional>
#include <utility>

#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "engine/input/dinput.h"
#include "engine/sound/dsound_func.h"
#include "flow/tamvik_general.h"
#include "game/game_context.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "scene/script/tamvik_adv.h"
#include "scene/ui/tamvik_icon.h"
#include "scene/ui/tamvik_lips.h"
#include "scene/ui/tamvik_map.h"
#include "testsupport/icon_files.h"
#include "testsupport/lips_files.h"
#include "testsupport/map_files.h"
#include "testsupport/map_pictures.h"
#include "testsupport/portrait_writer.h"
#include "testsupport/scene_files.h"
#include "testsupport/talk_files.h"
#include "testsupport/temp_tree.h"
#include "testsupport/wav_writer.h"

namespace testsupport {

namespace {

constexpr uint8_t kOpClickwait = 0x03;
constexpr uint8_t kOpChara = 0x1A;
constexpr uint8_t kOpMusic = 0x21;
constexpr uint8_t kOpPrint = 0x22;
constexpr uint8_t kOpBgon = 0x28;
constexpr uint8_t kOpFace = 0x2B;
constexpr uint8_t kOpLips = 0x2E;
constexpr uint8_t kOpMove = 0x2F;
constexpr uint8_t kOpBg = 0x33;
constexpr uint8_t kOpGo = 0x35;

constexpr uint32_t kRate = 22050;

std::vector<uint8_t> ToneWave(double hz, int frames, int16_t amplitude) {
  const uint32_t samples = kRate * static_cast<uint32_t>(frames) / 60;
  return PcmWav(1, kRate, 16, Tone(1, kRate, samples, hz, amplitude)).Bytes();
}

}  // namespace

ScriptWriter WholeSceneScript() {
  ScriptWriter w;
  const ScriptLabel second = w.NewLabel();
  const ScriptLabel other = w.NewLabel();
  const ScriptLabel end_if = w.NewLabel();
  const ScriptLabel handler = w.NewLabel();
  w.Command(kOpBg, {Lit(kWholeSceneBackground), Lit(0), Lit(0), Lit(0)});
  w.Command(kOpBgon);
  w.Command(kOpMusic, {Lit(1)});
  w.Command(kOpChara, {Lit(kWholeSceneChara), Lit(1), Lit(0), Lit(0)});
  w.Command(kOpFace, {Lit(1)});
  w.Command(kOpPrint, {Lit(kWholeSceneTalk)});
  w.Command(kOpLips, {Lit(kWholeSceneChoice), Lit(kWholeSceneChoiceLimit)});
  w.Assign(VarA(10), VarA(0));
  w.If(A(0), 0, Lit(1), second).Assign(VarA(11), Num(1));
  w.Bind(second).ElseIf(A(0), 0, Lit(2), other).Assign(VarA(11), Num(2));
  w.Bind(other).Else(end_if).Assign(VarA(11), Num(3));
  w.Bind(end_if).EndIf();
  w.Se(kWholeSceneEffect);
  w.SetToy(Lit(kWholeSceneSpot), handler, Lit(1));
  w.Command(kOpClickwait);
  w.Assign(VarA(13), Num(1));
  w.Command(kOpMove, {Lit(kWholeSceneMapStart), Lit(0)});
  w.Assign(VarA(14), VarA(0));
  w.Command(kOpGo, {A(0), Lit(0)});
  w.Assign(VarA(0), Num(20));
  w.Special(Lit(1));
  w.Special(Lit(2));
  w.Wait(Lit(10));
  w.Assign(VarA(15), Num(1));
  Macroend(w);
  w.Bind(handler);
  w.Assign(VarA(12), VarA(0));
  w.Return();
  return w;
}

std::vector<uint8_t> WholeSceneTable() {
  return MessageTableWriter()
      .Add({kWholeSceneTalk, kWholeSceneVoice, "aiueo", ChoiceText(1, 6)})
      .Add({kWholeSceneChoice, 0, "", ChoiceText(2, 4)})
      .Bytes();
}

std::vector<uint8_t> WholeSceneBgm() { return ToneWave(220.0, 120, 4000); }
std::vector<uint8_t> WholeSceneEffect() { return ToneWave(880.0, 20, 6000); }

void LayWholeScene(GameTree& tree) {
  // Walls, icons, pointer, message-window frame, background animations.
  LaySceneFiles(tree);
  // The theatre's label file with its puppet and place labels, and its floor pictures.
  tree.Write("install/Tamvik1/map/tmap2.spr", MapLabelSprFile(CTamvikMap::kTheatre));
  LayMapPictures(tree, CTamvikMap::kTheatre);
  // Shades of the message window and of the screen.
  tree.Write("install/tamvik1/system/window/shade_wb.spr", PlainPictureFile(608, 128, 50));
  tree.Write("install/tamvik1/system/window/shade_wa.spr", PlainPictureFile(576, 320, 60));
  // Choice window, bar, needle, steam and the time-limit sounds.
  LayLipsFiles(tree);
  // Background, character and face.
  LayBackground(tree, kWholeSceneBackground, kWholeSceneBackgroundColour,
                {HitRow(kWholeSceneSpot, 50, 50, 150, 150)});
  LayTalkingChara(tree, kWholeSceneChara, {});
  tree.Write("install/tamvik1/system/KAO.spr", FaceFile({{{0, 3, 24}}, 1, std::nullopt}));
  // Sounds.
  LaySystemSounds(tree);
  LayVoice(tree, kWholeSceneVoice, kWholeSceneVoiceFrames);
  tree.Write("install/tamvik1/BgM/SM01.WAV", WholeSceneBgm());
  tree.Write("install/tamvik1/sE/0007.Wav", WholeSceneEffect());
  // The script and its table ("install/MaCrO/0100.bin", "0100tbl.bin").
  LayScene(tree, kWholeScene, WholeSceneScript().Bytes(), WholeSceneTable());
}

// ---- The player ----

namespace {

constexpr int kStartLimit = 400;
constexpr int kStepLimit = 600;
constexpr int kEndLimit = 2000;

bool TaskLives(const char* name) {
  GameTaskRec* task = Ctx().game_task.FindTask(name);
  return task != nullptr && task->function != nullptr;
}

}  // namespace

std::string LowerName(std::string name) {
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

WholeScenePlayer::WholeScenePlayer(ProgramDriver& d, Answer answer, std::string frames_folder)
    : d_(d), answer_(answer), folder_(std::move(frames_folder)),
      menu_starts_(std::make_shared<int>(0)) {
  LayWholeScene(d.tree);
  GameSequences& s = d.sequences();
  auto count = menu_starts_;
  s.option_menu.start = [count](GameTaskRec*) { ++*count; };
  s.option_menu.is_running = [] { return false; };
  s.save_offer.start = [count](GameTaskRec*) { ++*count; };
  s.save_offer.is_running = [] { return false; };
  s.save_menu.start = [count](GameTaskRec*, int) { ++*count; };
  s.save_menu.is_running = [] { return false; };
}

const WholeScenePlayer::Shot* WholeScenePlayer::FindShot(const std::string& checkpoint) const {
  for (const Shot& shot : shots_) {
    if (shot.checkpoint == checkpoint) return &shot;
  }
  return nullptr;
}

void WholeScenePlayer::RecordSounds() {
  for (int ch : {kChannelBgm, kChannelVoice, kChannelSe}) {
    const char* name = Ctx().dsound.GetPlayFileName(ch);
    std::string now = name != nullptr ? LowerName(name) : std::string();
    std::string& before = last_sound_[static_cast<size_t>(ch)];
    if (!now.empty() && now != before) sounds_.push_back({d_.frame(), now});
    before = now;
  }
}

void WholeScenePlayer::Keep(const std::string& checkpoint) {
  const auto& shown = d_.display();
  shots_.push_back({checkpoint, d_.frame(), shown.frame});
  if (folder_.empty()) return;
  const std::string layout = shown.frame_layout == platform::PixelLayout::kRgb555 ? "555" : "565";
  const std::string row = answer_ == Answer::kPointer ? "pointer" : "timeout";
  shown.SaveFramePng(folder_ + "/whole_" + layout + "_" + row + "_" + checkpoint + ".png");
}

bool WholeScenePlayer::Reach(const std::string& checkpoint, const std::function<bool()>& reached,
                             int limit) {
  const bool ok = d_.RunUntil(checkpoint, [&](const ProgramDriver&) {
    RecordSounds();
    return reached();
  }, limit);
  if (ok) Keep(checkpoint);
  return ok;
}

bool WholeScenePlayer::Frames(int frames) {
  for (int i = 0; i < frames; ++i) {
    if (!d_.Step()) return false;
    RecordSounds();
  }
  return true;
}

void WholeScenePlayer::Press(int frame) {
  d_.Schedule({GameKeyDown(frame, kGameKey0), GameKeyUp(frame + 1, kGameKey0)});
}

bool WholeScenePlayer::Start() {
  // The real manager in place of a stand-in (freed by the next pass).
  if (GameTaskRec* stand_in = Ctx().game_task.FindTask(CTamvikAdv::kManagerTaskName)) {
    Ctx().game_task.DelTask(stand_in);
    if (!Frames(1)) return false;
  }
  GetAdvState()->setSceneCode(0x0000);
  CTamvikGeneral::StartManager();
  CTamvikGeneral::SetMode(CTamvikAdv::kModeAdvInit);
  // BG and BGON: the background in the picture area.
  const uint16_t bg = platform::PackColorRef(SprColourRef(kWholeSceneBackgroundColour),
                                             d_.display().layout());
  return Reach("background", [&] {
    const auto& shown = d_.display();
    return !shown.frame.empty() && shown.FramePixel(560, 40) == bg &&
           shown.FramePixel(600, 300) == bg;
  }, kStartLimit);
}

bool WholeScenePlayer::PlayToMap() {
  // PRINT: the voice, the text typed while it plays; decide once it has ended.
  if (!Reach("voice", [] { return Ctx().dsound.GetPlayFileName(kChannelVoice) != nullptr; },
             kStepLimit)) {
    return false;
  }
  // Typed, the voice ended: the message waits for decide (the PRINT task's step 3).
  if (!Reach("typed", [] {
        GameTaskRec* print = Ctx().game_task.FindTask("CTamvikMacro::DecodePrint");
        return Ctx().dsound.GetPlayFileName(kChannelVoice) == nullptr && print != nullptr &&
               print->function != nullptr && TaskStep(print) == 3;
      }, kStepLimit)) {
    return false;
  }
  Press(d_.frame() + 1);
  // LIPS: the timed choice window with its gauge running.
  CTamvikLips& lips = d_.scene.lips;
  if (!Reach("choice", [&] { return !lips.IsLipsEnd(); }, kStepLimit)) return false;
  if (!Frames(60)) return false;
  Keep("gauge");
  if (answer_ == Answer::kPointer) {
    const auto bar = lips.BarRect(1);
    const int f = d_.frame();
    d_.Schedule({PointerMove(f + 1, 320, bar.top + 5), PointerButton(f + 3, 0, true),
                 PointerButton(f + 4, 0, false)});
  }
  if (!Reach("answered", [] { return GetMacroA(11) != 0; }, kStepLimit)) return false;
  // SE, then CLICKWAIT: the pointer onto the spot once clicks count, a press when its icon shows.
  if (!Reach("click wait", [] { return TaskLives("CTamvikMacro::DecodeClickwaitToy"); },
             kStepLimit)) {
    return false;
  }
  if (!Frames(32)) return false;
  d_.Schedule(PointerMove(d_.frame() + 1, kWholeSceneSpotX, kWholeSceneSpotY));
  if (!Reach("spot", [] { return CTamvikIcon::GetIconCode() == 3; }, 120)) return false;
  Press(d_.frame() + 1);
  if (!Reach("clicked", [] { return GetMacroA(13) == 1; }, kStepLimit)) return false;
  // MOVE: the map open for a pick, the pointer on the place (its label shown).
  if (!Reach("map", [] { return CTamvikMap::GetMapSeqState() == 8; }, kStepLimit)) return false;
  const auto [x, y] = MapPlaceCentre(CTamvikMap::kTheatre, 0, kWholeScenePick);
  d_.Schedule(PointerMove(d_.frame() + 1, x, y));
  if (!Frames(10)) return false;
  Keep("label");
  return true;
}

bool WholeScenePlayer::PlayToEnd() {
  Press(d_.frame() + 1);
  if (!Reach("picked", [] { return GetMacroA(14) != 0; }, kStepLimit)) return false;
  // SPECIAL fade out and in, WAIT, MACROEND: GM_ADV_STAGE_CLEAR asked of the manager.
  return Reach("dark", [] {
    return CTamvikGeneral::GetMode() == CTamvikAdv::kModeStageClear;
  }, kEndLimit);
}

}  // namespace testsupport
