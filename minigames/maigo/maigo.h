#pragma once
// The lost-child game, row 6 of the game table: nine children on a grid, their names shown a
// column at a time to memorise, then nine rounds in which a clue names the child a parent looks
// for and the player picks that child (cursor by mouse or keys, decide); the heroine fetches it.
// Three wrong picks end the game. The result is the time of the search in steps (lower is
// better): variable 2 = 2 up to 5400, 1 below 7201, else 0; variable 9 = 1 below 3601; a lost
// game counts 356400.
//
// Objects: 1 the timer (a time display), 2-4 the life icons, 10-18 the name labels of slots
// 0-8, 20 the heroine, 21-29 the children, 31-39 their shadows, 40 the cursor picture, 254 the
// text window.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace maigo {

constexpr int kObjTimer = 1;
constexpr int kObjLifeFirst = 2;     // 2-4
constexpr int kObjLabelFirst = 10;   // 10-18
constexpr int kObjHeroine = 20;
constexpr int kObjChildFirst = 21;   // 21-29
constexpr int kObjShadowFirst = 31;  // 31-39
constexpr int kObjCursor = 40;

// Pictures (animations of the od file).
constexpr int32_t kAnimSearching = 277;  // the heroine during the search
constexpr int32_t kAnimSad = 282;        // the heroine after a wrong pick and a lost game
constexpr int32_t kAnimLifeBase = 333;   // life icons show kAnimLifeBase - lives
constexpr int32_t kAnimLabelBase = 300;  // name label: kAnimLabelBase + name index
constexpr int32_t kAnimCursor = 335;
constexpr int32_t kAnimTimerDigits = 340;
// The child of kind k shows k x 17 + 20, + 1 happy, + 2 sad, + 3 leaving.
constexpr int32_t ChildAnim(int kind, int pose) { return kind * 17 + 20 + pose; }
constexpr int32_t kPoseNormal = 0;
constexpr int32_t kPoseHappy = 1;
constexpr int32_t kPoseSad = 2;
constexpr int32_t kPoseLeaving = 3;

// Grid places of slot s.
constexpr int32_t SlotX(int s) { return 96 + 160 * (s / 3); }
constexpr int32_t SlotY(int s) { return 152 + 80 * (s % 3); }
constexpr int32_t kHomeX = 576;
constexpr int32_t kHomeY = 240;

// The time of a lost game and the result thresholds.
constexpr int32_t kLostTime = 356400;

// Static sound numbers (the game's static list, in its order).
enum StaticSound : int {
  kSeCursor = 0,   // system00
  kSeDecide = 1,   // system01
  kSeRight = 4,    // maigo09
  kSeWrong = 5,    // maigo10
  kSeStep = 6,     // maigo07
  kSeRight6 = 7,   // maigo11 (a right pick of kind 6)
  kSeWrong6 = 8,   // maigo12 (a wrong pick of kind 6)
};

// Own steps of the procedure.
enum Step : int32_t {
  kStepFirst = -1,
  kStepSetUp = 0,
  kStepFadeIn = 10000,
  kStepMemorise = 10001,  // 10001-10003: columns 0-2
  kStepSearchStart = 10004,
  kStepRound = 10006,
  kStepPick = 10007,
  kStepWalkRow = 10008,
  kStepWalkChild = 10009,
  kStepRightWait = 10010,
  kStepLeaveWait = 10011,
  kStepWrongWait = 10012,
  kStepReturn = 10013,
  kStepGather = 10020,
  kStepGatherWait = 10021,
  kStepEndWait = 10025,  // T set, the end voice playing
  kStepFadeOut = 10026,
  kStepDone = 10027,     // after mg_end
};

// The procedure of row 6 (MgProc).
int maigo_proc(int state);

// Set-up's four shuffles with GetRandom, in order kinds, names, order, clue forms (each table
// starts 0, 1, 2, ... and is shuffled by swaps of two random positions).
void Shuffle();

// The end for a time T with lives left or not: variable 2, variable 9 and the end voice.
struct EndResult {
  int32_t var2;
  int32_t var9;
  const char* voice;
  bool praise;
};
EndResult EndFor(int32_t time, bool lives_left);

// Content: the 15 names and the 15 clue templates, Big5 (converted once from our UTF-8 text).
const std::string& Name(int i);
const std::string& ClueTemplate(int form);

// Writes the template into out (size bytes, terminator included) with each byte 7 replaced by
// the next name (the last name again once they run out; none: nothing). The text is cut where
// the next character would not fit, never inside a two-byte character, and always terminated.
// The bytes written, terminator excluded.
size_t FillClue(char* out, size_t size, std::string_view tmpl,
                std::span<const std::string_view> names);

// The clue of the round into the state's buffer: the template of the sought child's clue form
// with its name.
void MakeClue();

}  // namespace maigo
