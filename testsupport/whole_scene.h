#pragma once
// A whole small story scene for tests, written with the fixture writers only: every file a scene
// of chapter 1 reads (walls, background with a hit spot, a talking character, a face, the message
// window and its shades, the command icons and the pointer, the choice window with its gauge,
// needle and steam, the town map's floors and labels, the BGM, a voice, an effect and the system
// sounds), the glyph fonts aside, and the script of scene 0x0100 with its message table. Folder
// names are in mixed case on purpose: the file layer must find the game's names whatever the case.
//
// The script (scene 0x0100, reached from a fresh start at scene code 0x0000 through the
// succession table):
//   BG 5 on layer 5, BGON, MUSIC 1 (sm01.wav), CHARA 3 picture 1, FACE 1,
//   PRINT kWholeSceneTalk (voice kWholeSceneVoice),
//   LIPS kWholeSceneChoice with a limit of kWholeSceneChoiceLimit frames, A[10] := A[0] and
//     IF A[0] = 1 -> A[11] := 1, ELSEIF A[0] = 2 -> A[11] := 2, ELSE -> A[11] := 3,
//   SE kWholeSceneEffect,
//   SETTOY kWholeSceneSpot -> handler (A[12] := A[0], RETURN), CLICKWAIT, A[13] := 1,
//   MOVE 2 on the theatre map (floor 0), A[14] := A[0], GO A[0],
//   A[0] := 20, SPECIAL 1 (fade out over 20 frames), SPECIAL 2 (fade in), WAIT 10,
//   A[15] := 1, MACROEND.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "testsupport/program_driver.h"
#include "testsupport/script_writer.h"
#include "testsupport/spr_writer.h"

namespace testsupport {

class GameTree;

constexpr uint16_t kWholeScene = 0x0100;
constexpr uint16_t kWholeSceneTalk = 1;
constexpr uint16_t kWholeSceneChoice = 2;
constexpr int kWholeSceneVoice = 12;
constexpr int kWholeSceneVoiceFrames = 40;
// The choice's time limit in frames (a band of the time-limit sounds).
constexpr uint16_t kWholeSceneChoiceLimit = 240;
constexpr uint16_t kWholeSceneEffect = 7;
// Background 5: its spot (code kWholeSceneSpot) over the screen's (132,116)-(332,316).
constexpr int kWholeSceneBackground = 5;
constexpr uint16_t kWholeSceneSpot = 5;
constexpr int kWholeSceneSpotX = 232;
constexpr int kWholeSceneSpotY = 216;
constexpr SprRgb kWholeSceneBackgroundColour{6, 10, 26};
constexpr int kWholeSceneChara = 3;
// The map: the puppet starts on node 2 of the theatre's ground floor; the pick is place
// kWholeScenePick of that floor.
constexpr uint16_t kWholeSceneMapStart = 2;
constexpr uint8_t kWholeScenePick = 3;
// The node MOVE answers for that place (the theatre's place table).
constexpr uint16_t kWholeScenePickNode = 4;

// The script and its message table (kWholeSceneTalk: voiced text with lip text;
// kWholeSceneChoice: two lines).
ScriptWriter WholeSceneScript();
std::vector<uint8_t> WholeSceneTable();
// The BGM and effect waves (22050 Hz mono tones of their own pitch).
std::vector<uint8_t> WholeSceneBgm();
std::vector<uint8_t> WholeSceneEffect();

// Writes every file of the scene, the script and its table into the tree's install directory.
void LayWholeScene(GameTree& tree);

// The scene played on a started program driver (the scene rig's, or one of RunTwice) under the
// real game-mode manager: a stand-in owner of the manager's name (the scene rig's) ended, the
// manager started in GM_ADV_INIT with scene code 0x0000, so the controller starts in GM_ADV_WAIT
// and the fresh start loads 0x0100. The flow's menus are fakes that count their starts. Input
// goes through the driver's rows: decide after the voiced message, the choice answered with the
// pointer (line 2) or left to time out, the pointer on the background's spot and a click, a pick
// of place kWholeScenePick on the map.
//
// Named checkpoints keep a copy of the frame presented then (`Shot`); with a folder set the
// frame is also written there as "whole_<565|555>_<row>_<checkpoint>.png". Every frame the
// player runs records the files the BGM, voice and effect channels start.
class WholeScenePlayer {
 public:
  enum class Answer { kPointer, kTimeout };

  struct SoundStart {
    int frame = 0;
    std::string name;  // lower-cased game name of a file a channel (BGM, voice, effect) started
  };
  struct Shot {
    std::string checkpoint;
    int frame = 0;
    std::vector<uint16_t> pixels;  // 640 x 480
    uint16_t Pixel(int x, int y) const { return pixels[static_cast<size_t>(y) * 640 + x]; }
  };

  // Lays the scene's files into the driver's tree and fills the fakes (before or after Start).
  WholeScenePlayer(ProgramDriver& d, Answer answer, std::string frames_folder = {});

  // The manager started; the background shown (checkpoint "background").
  bool Start();
  // The message, the choice, the effect and the click, up to the open map with the pointer on
  // the place to pick (checkpoint "label").
  bool PlayToMap();
  // The pick, GO, the fades, the WAIT and MACROEND, up to GM_ADV_STAGE_CLEAR ("dark").
  bool PlayToEnd();
  bool Play() { return Start() && PlayToMap() && PlayToEnd(); }

  const Shot* FindShot(const std::string& checkpoint) const;
  const std::vector<Shot>& shots() const { return shots_; }
  const std::vector<SoundStart>& sounds() const { return sounds_; }
  int menu_starts() const { return *menu_starts_; }

 private:
  bool Reach(const std::string& checkpoint, const std::function<bool()>& reached, int limit);
  // Runs `frames` frames (recording the sounds).
  bool Frames(int frames);
  void Keep(const std::string& checkpoint);
  void Press(int frame);
  void RecordSounds();

  ProgramDriver& d_;
  Answer answer_;
  std::string folder_;
  std::vector<SoundStart> sounds_;
  std::vector<std::string> last_sound_ = std::vector<std::string>(3);
  std::shared_ptr<int> menu_starts_;
  std::vector<Shot> shots_;
};

std::string LowerName(std::string name);

}  // namespace testsupport
