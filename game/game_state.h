#pragma once
// Where the player stands: the system data block (progress, resume point, settings and the
// developer switches; save\system.dat is its image) and the story state block (the current
// scene and its presentation; the head of every game save). Both are little-endian byte images
// with named fields; bytes without a name are kept and saved as they stand.

#include <cstdint>

#include "game/byte_image.h"

// name() reads the field, setName(v) writes it.
#define TAMVIK_IMAGE_FIELD(bits, name, Name, at)                          \
  uint##bits##_t name() const { return U##bits<at>(); }                  \
  void set##Name(uint##bits##_t v) { SetU##bits<at>(v); }

// 272 bytes, save\system.dat.
class SystemData : public ByteImage<272> {
 public:
  // What the game is doing: 0x110 a story scene, 0x210 a battle from the story, 0x211 a battle
  // from the stage list, 0x310 a minigame.
  TAMVIK_IMAGE_FIELD(32, activity, Activity, 8)
  // The start choice read once at boot; cleared by every boot.
  TAMVIK_IMAGE_FIELD(32, resumePoint, ResumePoint, 12)
  TAMVIK_IMAGE_FIELD(32, minigameFromTest, MinigameFromTest, 16)
  TAMVIK_IMAGE_FIELD(32, battleLost, BattleLost, 20)
  TAMVIK_IMAGE_FIELD(32, returnToTitle, ReturnToTitle, 24)
  // Speed 0-4 of the keyboard-driven mouse cursor (default 2).
  TAMVIK_IMAGE_FIELD(16, cursorSpeed, CursorSpeed, 52)
  TAMVIK_IMAGE_FIELD(8, voiceOff, VoiceOff, 57)
  TAMVIK_IMAGE_FIELD(32, stagesCleared, StagesCleared, 64)
  TAMVIK_IMAGE_FIELD(32, battleMap, BattleMap, 68)
  // Bit 0: no save file exists; bit 1: the eyecatch's save entry is refused.
  TAMVIK_IMAGE_FIELD(16, saveFlags, SaveFlags, 76)
  // 1 between the pre-battle save offer and the battle; a game save keeps it in bit 15 of the
  // scene code.
  TAMVIK_IMAGE_FIELD(16, savedBeforeBattle, SavedBeforeBattle, 78)
  TAMVIK_IMAGE_FIELD(32, endingsSeen, EndingsSeen, 80)
  TAMVIK_IMAGE_FIELD(32, picturesSeen, PicturesSeen, 84)
  TAMVIK_IMAGE_FIELD(8, lastEnding, LastEnding, 90)
  TAMVIK_IMAGE_FIELD(8, minigamesSeen, MinigamesSeen, 91)
  TAMVIK_IMAGE_FIELD(8, heroineFlags, HeroineFlags, 92)
  // 1: messages advance by themselves. The story's message routine also reads it as "stop the
  // voice while an automatic message waits".
  TAMVIK_IMAGE_FIELD(8, autoMessage, AutoMessage, 104)
  // The four developer switches (SystemFlags), cleared at every boot.
  TAMVIK_IMAGE_FIELD(32, cesaMode, CesaMode, 256)
  TAMVIK_IMAGE_FIELD(32, skipSlg, SkipSlg, 260)
  TAMVIK_IMAGE_FIELD(32, skipMiniGame, SkipMiniGame, 264)
  TAMVIK_IMAGE_FIELD(32, skipMovie, SkipMovie, 268)

  // The fresh block: zero but cursorSpeed 2.
  void Reset();
};

// 48 bytes, the head of every game save.
class AdvState : public ByteImage<48> {
 public:
  // Chapter in the high byte, scene in the low byte. Bit 15 is never set in memory; in a save
  // file it carries savedBeforeBattle.
  TAMVIK_IMAGE_FIELD(16, sceneCode, SceneCode, 0)
  TAMVIK_IMAGE_FIELD(16, background1, Background1, 2)
  TAMVIK_IMAGE_FIELD(16, background2, Background2, 4)
  // Bust-up picture; 99 after an eyecatch.
  TAMVIK_IMAGE_FIELD(16, bustUp, BustUp, 6)
  // Compose positions of layers 5 and 6, taken from the display just before a save.
  TAMVIK_IMAGE_FIELD(8, layer5Position, Layer5Position, 8)
  TAMVIK_IMAGE_FIELD(8, layer6Position, Layer6Position, 9)
  // 1: the next scene start resumes inside the script (after a minigame).
  TAMVIK_IMAGE_FIELD(8, resumeInScript, ResumeInScript, 10)
  TAMVIK_IMAGE_FIELD(8, wallPicture, WallPicture, 12)
  // Script position (16-bit words) at which the scene resumes.
  TAMVIK_IMAGE_FIELD(32, resumePosition, ResumePosition, 16)
  TAMVIK_IMAGE_FIELD(8, specialValue, SpecialValue, 20)
  TAMVIK_IMAGE_FIELD(8, mapLevelSet, MapLevelSet, 21)
  TAMVIK_IMAGE_FIELD(8, mapLevel, MapLevel, 22)
  TAMVIK_IMAGE_FIELD(8, faceId, FaceId, 25)
  TAMVIK_IMAGE_FIELD(8, bustUpId, BustUpId, 26)
  TAMVIK_IMAGE_FIELD(16, itemPicture, ItemPicture, 28)
  // Mouse cursor position (320, 240 in a fresh block).
  TAMVIK_IMAGE_FIELD(16, cursorX, CursorX, 34)
  TAMVIK_IMAGE_FIELD(16, cursorY, CursorY, 36)
  // The automatic message's wait in milliseconds (read by the story's message routine).
  TAMVIK_IMAGE_FIELD(16, messageWait, MessageWait, 38)
  // Argument handed to the next minigame; 1 while the extras scene runs.
  TAMVIK_IMAGE_FIELD(8, minigameMode, MinigameMode, 40)
  // 1: the scene was restarted by the debug stop; read and cleared by the next scene load.
  TAMVIK_IMAGE_FIELD(8, debugRestart, DebugRestart, 42)
  // The scene skip (read by the scene controller; 1: the scene advances by itself).
  TAMVIK_IMAGE_FIELD(32, sceneSkip, SceneSkip, 44)

  // The fresh block: zero but the cursor at (320, 240).
  void Reset();
};

#undef TAMVIK_IMAGE_FIELD
