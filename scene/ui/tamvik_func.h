#pragma once
// TamvikFunc: the scene engine's shared helpers. So far: the install settings, read from the
// settings store that stands in for the registry (platform/config.h), the system sounds, and the
// sprite files (the part reader, the loads and the builder dispatch; defined in scene/sprite/,
// library scene_sprite, with the types in scene/sprite/spr_file.h).

#include <cstdint>
#include <string>
#include <vector>

#include "engine/files/file_io.h"
#include "engine/gfx/gfx_types.h"
#include "engine/input/dinput.h"

struct SprFileHeader;
struct SprParts;
struct SprPart;
struct SprLoadParam;
class SprPartStore;
struct SprUnit;
struct SprAnm;
struct SlgMapSpr;
struct SprRec;
struct WindowRec;

class TamvikFunc {
 public:
  // The longest relative name the game builds under the install directory, in bytes
  // ("tamvik1\system\window\shade_wa.spr").
  static constexpr size_t kLongestDataName = 34;
  // Longest install directory accepted, in bytes (before the separator is appended): full paths
  // are built in 256-byte buffers, so the directory, its separator and the longest name must fit
  // in 255 bytes. A longer directory would be accepted while some of its files are never found.
  static constexpr size_t kInstallDirectoryMax = 255 - 1 - kLongestDataName;

  // The value "Install Directory" with a backslash appended (the file layer joins it with names by
  // plain concatenation) into `out`, and 1. 0 (out untouched, with a trace, and the reason for a
  // person in `cause` when given) when the settings or the value are missing, empty or longer
  // than kInstallDirectoryMax, or when the directory does not exist or is not a directory.
  static int GetInstallDirectory(std::string& out, std::string* cause = nullptr);
  // The value "Install Style" (0 no disc needed, 1 the disc of the current chapter, 2 any game
  // disc); 0 when the settings or the value are missing or not a number.
  static uint32_t GetInstallStyle();
  // Hands the directory (when found) and the style to the file layer; returns the directory's
  // result (with its reason in `cause` when 0). Called by the install check at start-up.
  static int SetInstallPaths(std::string* cause = nullptr);

  // The 17 system sound effects, in static slots 0-16.
  static constexpr int kSystemSeCount = 17;
  // The file names of the system sounds, slot by slot: "tamvik1\system\se\TE00.WAV" ..
  // "TE05.WAV", "Dummy.WAV" in slot 6, "TE07.WAV" .. "TE16.WAV".
  static const char* const* SystemSeNames();
  // Empties the static effect table, then loads the system sounds into slots 0-16 (a file that
  // does not load leaves its slot empty, with a trace). The sound layer's result: 0 without a
  // sound device.
  static int LoadSystemSe();

  // ---- Sprite files (scene/sprite/spx_load.cpp) ----

  // Seeks to 0 and reads the 256-byte header, then CheckSprHeader. 0 (trace) for a file shorter
  // than the header.
  static int ReadSprHeader(FileHandle file, SprFileHeader* header);
  // The magic must match ("Not SprFile", 0); the directory entries are then put in host order.
  static int CheckSprHeader(SprFileHeader* header);
  // Reads the parts whose kind is in the mask (mask 0: every part) into `parts`; a later entry of
  // a kind replaces an earlier one, kinds above 13 are skipped, an entry reaching past the end of
  // the file or failing to read is refused (trace). The bytes of every entry read (a replaced
  // one counted too), 0 on failure.
  static uint32_t ReadSpxParts(const char* name, uint32_t mask, SprPartStore* parts);
  // Reads the parts (through the sprite cache when the request's use-cache word is set) and builds
  // them (BuildSpx). After a miss the cache owns the parts, also when the build failed; without
  // the cache they are freed. The build's result; 0 when nothing was read.
  static int LoadSpxSplitData(const char* name, SprLoadParam* param, uint32_t mask);
  // Builds the parts by mask (0: the mask of the parts present). 1 / 0.
  static int BuildSpx(const SprParts& parts, SprLoadParam* param, uint32_t mask);
  // One sprite per image of the table (null for an empty image or one that fails to decode) into
  // the request's sprite table and count. 1; 0 when the table cannot be read.
  static int BuildSprites(SprLoadParam* param, const SprPart& colours, const SprPart& images);
  // The hit rows of record n of the last kind-12 part: byte 0 = R (low 8 bits), then per row the
  // low byte of its code and its four values as stored (big-endian): 1 + 9R bytes. Empty when the
  // file or the part is missing, n is too large ("RequestNo is too Large") or the rows pass the
  // part's end.
  static std::vector<uint8_t> LoadSpxHitData(const char* name, uint32_t n);

  // ---- Fades and keys (scene/ui/tamvik_screen.cpp; state in the scene context) ----

  // A cross-fade of the layer from the picture captured on surface 9, its alpha faded over 16
  // phases of `phase_ms` milliseconds, over the whole screen or a rectangle. The handle is kept
  // and clears itself when the cross-fade ends. 1 started, 0 not (no layer, the fast key held, or
  // a cross-fade already running).
  static int StartCrossFade(SurfaceId layer, uint32_t phase_ms);
  static int StartCrossFadeRect(SurfaceId layer, uint32_t phase_ms, int left, int top, int right,
                                int bottom);
  // No screen fade runs (the one started by StartScreenFade).
  static bool IsFadeDone();

  // The game-key mask of logical key 0-14 (key 3 is bits 0 and 3); 0 above 14.
  static GameKeyBits GetKeyMask(int key);
  // Virtual-key mode: while on, IsKeyTriggered reads the virtual state instead of the devices.
  static void SetVirtualKeyMode();
  static void ResetVirtualKeyMode();
  // Adds the key's mask to the virtual state; the mask.
  static GameKeyBits PressVirtualKey(int key);
  static void ClearVirtualKeys();

  // The story layers 5-7 placed at (x, y) with a view of width x height and no scroll (their
  // surfaces' sizes and attached user surfaces stay); the blinking face, the character set and
  // the message window released; layers 5-8 cleared to the transparent colour; layers 5 and 6
  // back in their own compose order. Visibility is the caller's.
  static void ResetStoryLayers(int x, int y, int width, int height);

  // ---- Whole pictures (scene/sprite/spx_picture.cpp) ----

  // Draws image `picture` of a sprite file at (x, y) of a surface (cache on, picture mask). 1 / 0.
  static int LoadSprToSurface(const char* name, int picture, int x, int y, SurfaceId surface,
                              int color_key);
  static int LoadSprToSurfaceNoPos(const char* name, int picture, SurfaceId surface,
                                   int color_key);
  static int LoadSprToSurfaceFirst(const char* name, SurfaceId surface, int color_key);
  // Image 0 of a sprite file, else a bitmap file, at (x, y) of a surface. 1 / 0.
  static int LoadPicture(const char* name, int x, int y, int color_key, SurfaceId surface);
  // The rectangle of the last picture placed, from whichever loader drew it.
  static void GetPictureRect(Rect* rect);

  // ---- Scene services: mouse, walls, eyecatch, sound, movies (scene/ui/tamvik_services.cpp;
  //      the wall loader in scene/script/macro_walls.cpp) ----

  // Key-mouse mode: on, the direction keys move the pointer by the step the cursor-speed option
  // gives (system data word 52: 0 -> 1, 1 -> 2, 3 -> 6, 4 -> 7, else 4); off, step 0.
  static void SetKeyMouse(int on);
  // Moves the system pointer (the coordinates are taken as 16-bit values).
  static void SetMouseCursorPos(int x, int y);
  // 1 when the mouse moved this frame.
  static uint32_t GetMouseFlag();
  // Whether the message window is open.
  static bool HasMessageWindow();
  // The message window is open, the pointer is in the face box (32,354-112,450, edges included)
  // and key 0 was newly pressed.
  static bool IsFaceBoxClicked();

  // The wall of a scene into surface 4 at 0,0: "tamvik1\WALL\Kabe<nnnn>.spr" with nnnn =
  // (scene >> 8) x 100 + variant; scene 0x0109 shows the extras wall instead
  // (CTamvikMacro::LoadOmakeWall). 1 / 0.
  static int LoadWallPicture(uint16_t scene_code, int variant);
  // The eyecatch of the chapter into surface 4 at 0,0: "tamvik1\icatch\ic<nnnn>.spr" with nnnn
  // = chapter x 100 (+ 1 or 2 in chapter 5, + P[83] & 255 in chapter 10). 1 / 0.
  static int LoadEyecatchPicture();
  // The eyecatch file name for the current state (what LoadEyecatchPicture loads).
  static std::string EyecatchFileName();
  // Clears layers 5-8 to colour 1 and puts the now-loading picture on layer 4.
  static void ShowNowLoading();

  // The voice channel is playing.
  static bool IsVoicePlaying();
  // The script variable P[83].
  static uint16_t GetMacroP83();

  // The movie rectangles and source trims (left, top, right, bottom).
  static constexpr Rect kMovieRect{32, 32, 608, 320};
  static constexpr int kMovieTrims[4] = {30, 39, 30, 41};
  static constexpr Rect kMovieFullRect{0, 0, 640, 480};
  static constexpr int kMovieFullTrims[4] = {16, 0, 16, 0};
  // A movie in the picture area / over the whole screen: 0 unless the display is full screen
  // and the file is found (FileIO::FindFileAll); else the player's result.
  static int PlayMovie(const char* name);
  static int PlayMovieFullScreen(const char* name);
  static void GetMovieRect(Rect* rect);
  // Asks the movie to stop; true once the player holds no movie.
  static bool StopMovie();

  // ---- Face portraits (scene/sprite/spx_face.cpp; state in the scene context) ----

  // The face box on a surface (the message window's face area on the screen) and in the message
  // window's text sprite.
  static constexpr Rect kFaceBox = {32, 354, 112, 450};
  static constexpr Rect kWindowFaceBox = {16, 16, 96, 112};
  // Face `face` (1-based) of the face file of `kind` (0 ADV, 1 battle) onto a surface or into a
  // window's text sprite, with its four blink sprites (the handles held before are forgotten:
  // callers release them first with ReleaseBlinkAnm). The face file is read once and kept. The
  // face's result word, or -1 (no face file, no surface or window, no face record, an eye band
  // outside the picture, an image that does not decode).
  static int PutKao(int face, SurfaceId surface, WindowRec* window, int color_key, int kind);
  // ADV face into the message window, colour key on.
  static int PutAdvKao(int face);
  static int PutAdvKaoToSurface(int face, SurfaceId surface, int color_key);
  static int PutKaoToSurface(int face, SurfaceId surface, int color_key, int kind);
  // The blink loop over the four blink sprites, at the offset (x, y), on a surface or drawn into
  // the message window's text sprite. 1 / 0.
  static int CreateBlinkAnm(SurfaceId surface, std::vector<uint32_t> cells, int x, int y,
                            uint32_t interval);
  static int CreateBlinkAnmOnWindow(std::vector<uint32_t> cells, int x, int y, uint32_t interval);
  // Deletes the blink loop and the four blink sprites. 1.
  static int ReleaseBlinkAnm();
  // The four blink sprites (0 open-eye band, 1 half-closed, 2 closed, 3 the whole face).
  static SprRec* const* GetBlinkSprTable();
  // Fills the face box of the surface: fill 1 transparent, 0 black. 1.
  static int ClearFaceArea(SurfaceId surface, int fill);
  // Fills the window face box of the message window's text sprite, transparent (flag nonzero)
  // or black. 1, or 0 without a message window.
  static int ClearWindowFaceArea(int flag);

  // ---- Character picture sets (scene/sprite/spx_nc.cpp) ----

  // Loads picture `picture` with body `body` of a sprite file's NC parts (through the cache) on
  // the surface, at (x, y) or, for 0xFFFF, the file's default position: body, eye animation, lip
  // animation and their group. The NC slot is cleared first (callers release the old set with
  // ReleaseNcSpx). The picture's result word, or -1 with nothing built.
  static int LoadNcSpx(const char* name, int body, int picture, int x, int y, SurfaceId surface);
  static int LoadNcSpxFilePos(const char* name, int body, int picture, SurfaceId surface);
  // Deletes the set piece by piece, stopping at the first piece missing: 1, or 0.
  static int ReleaseNcSpx();
  // Stop words of the eye and lip animations: 1 / 0.
  static void PauseNcAnime();
  static void ResumeNcAnime();
  // The group's position, -1 without a set.
  static int GetNcX();
  static int GetNcY();
  // The lip animation talks: from the text's mouth letters (a copy is kept), or at random
  // without a text, on the game clock (0) or the voice clock (1). The first word is not read.
  static void SetNcTalk(int unused, const char* text, int clock);
  // Idle mouth on the voice clock.
  static void StopNcTalk();
  // Lip cell n at once.
  static void PutNcLipCell(int n);

  // ---- The message window, its text and the shades (scene/ui/tamvik_message.cpp) ----

  static constexpr Rect kWindowFrame = {16, 338, 624, 466};
  static constexpr Rect kWindowInner = {32, 354, 608, 450};
  static constexpr Rect kWindowText = {124, 366, 596, 438};
  static constexpr int kDefaultWindowStyle = 3;
  // The window on surface 8 with its frame picture and its shade in the style. 0 (trace) when
  // one exists or it cannot be made.
  static int CreateMessageWindow(int style);
  // Rebuilds the frame sprite (the box for styles other than 6-9) and the shade.
  static void RedrawMessageWindow();
  // Clears the text area, removes the shade and deletes the window. 1.
  static int CloseMessageWindow();
  // Types text 1 (with text 2 as the mouth text) at 100 ms a character, or a text at `speed` ms
  // a character. A typing still running is replaced. 1, or 0 without a window.
  static int PutMessageText(const char* text, const char* mouth);
  static int PutMessageText(const char* text, int speed);
  // No typing runs.
  static bool IsMessageDone();
  static void StopMessageText();
  // Clears the text area of the window's text sprite.
  static void ClearMessageText();
  // The text two bytes at a time at (x + 24 i, y) of the window's text, colour 0x0F0F0F. 1.
  static int DrawWindowChars(WindowRec* window, const char* text, int x, int y);
  // The choice (scene/ui/tamvik_lips.h) with the text's lines ("$$" between them) and a time
  // limit in frames (0: no limit): CTamvikLips::StartLips of the scene's object. 1, 0 refused.
  static int StartLips(const char* text, int limit);
  // The window shade (behind the window, priority 2047 at 24,346) in a style, on surface 8; in
  // the window's own style on surface 4 or surface 8. Nothing without a window.
  static void ShowWindowShade(int style);
  static void ShowWindowShadeOnRoot();
  static void ShowWindowShadeOnText();
  static void RemoveWindowShade();
  // The screen shade at 8,8 of surface 5 in front (priority 0). 1, or 0 when its picture is
  // missing (nothing shown).
  static int ShowScreenShade(int style = kDefaultWindowStyle);
  static void ReleaseScreenShade();

  // The record of that file held already (one more reference), else a load: unit mask 22
  // without the cache, animation mask 54 through the cache, battle-map mask 8198 without it (an
  // existing battle-map record is reused). Null on failure.
  static SprUnit* LoadUnitFile(const char* name, int sprite_memory = 0);
  static SprAnm* LoadAnmFile(const char* name, int sprite_memory = 0, int level = 256);
  static SprAnm* LoadAnmFileAtLevel(const char* name, int level) {
    return LoadAnmFile(name, 0, level);
  }
  static SlgMapSpr* LoadSlgMapFile(const char* name, int sprite_memory = 0);
  // Clear the variable, then drop one reference of its record: 1, or 0 for a null variable.
  static int ReleaseUnitFile(SprUnit*& unit);
  static int ReleaseAnmFile(SprAnm*& anm);
  static int ReleaseSlgMapFile(SlgMapSpr*& map);
};

// A full-screen fade from level `from` to level `to` (0 the picture, 256 black) over
// `milliseconds` (frames = ms x 60 / 1000; 0 frames sets the level at once). Replaces the handle
// of a fade still running (that fade runs on).
void StartScreenFade(int from, int to, int milliseconds);
// No cross-fade runs.
bool IsScreenFadeDone();
// The key's mask ANDed with this frame's new presses (the virtual state while virtual-key mode is
// on): non-zero when triggered.
GameKeyBits IsKeyTriggered(int key);
// The key's mask ANDed with the devices' held keys (never the virtual state).
GameKeyBits IsKeyHeld(int key);

// The message window in the default style, redrawn (trace "ADVShowWindow"). 1, or 0 when a
// window exists already.
int ADVShowWindow();
// A system sound: 0 stops the streamed effect; 1-17 but 7 play static slot n - 1; 7 and 18 and
// above stream "tamvik1\system\SE\TE<n - 1>.wav" (slot 6 holds a dummy, so 7 comes from disc).
// Negative numbers do nothing.
void PlaySystemSe(int n);
// x, y inside left, top, right, bottom, edges included.
bool PointInRect(int x, int y, int left, int top, int right, int bottom);
