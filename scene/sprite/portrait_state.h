#pragma once
// The scene's face portrait, character picture set (NC set) and message window: what
// TamvikFunc's face, NC, message-window and shade operations keep between calls (in the scene
// context). The face builder and the NC builder (scene/sprite/spx_face.cpp, spx_nc.cpp) and the
// message window (scene/ui/tamvik_message.cpp) share it.
//
// The eye, lip and blink tables are the cell tables of the animations that show them: they are
// only cleared (never resized) while those animations live.

#include <array>
#include <cstdint>
#include <vector>

#include "engine/anime/anime_handle.h"
#include "scene/sprite/spr_file.h"

struct SprBufferEntry;
struct SprRec;
struct WindowRec;

struct PortraitState {
  PortraitState() = default;
  // Deletes what the scene still shows (when an engine context is current).
  ~PortraitState();
  PortraitState(const PortraitState&) = delete;
  PortraitState& operator=(const PortraitState&) = delete;

  // ---- Faces ----
  // The two face files (0 ADV, 1 battle), each read once and kept (not through the cache).
  static constexpr int kFaceKinds = 2;
  std::array<int, kFaceKinds> face_loaded{};
  std::array<SprPartStore, kFaceKinds> face_parts;
  // Blink sprites: 0 open-eye band, 1 half-closed, 2 closed, 3 the whole face.
  std::array<SprRec*, 4> blink{};
  AnimeHandle blink_anime = nullptr;
  // The window a face is being built into (set by PutKao for the length of the build).
  WindowRec* face_window = nullptr;

  // ---- The NC set ----
  SprRec* nc_body = nullptr;
  std::vector<SprRec*> nc_eyes;
  std::vector<SprRec*> nc_lips;
  AnimeHandle nc_group = nullptr;
  AnimeHandle nc_eye_anime = nullptr;
  AnimeHandle nc_lip_anime = nullptr;

  // ---- The message window and the shades ----
  WindowRec* message_window = nullptr;
  AnimeHandle message_anime = nullptr;  // the typing; clears itself when it ends
  SprRec* window_shade = nullptr;
  SprBufferEntry* window_shade_entry = nullptr;
  SprRec* screen_shade = nullptr;
  SprBufferEntry* screen_shade_entry = nullptr;
};

// The face builder (mask 1030: parts 1, 2 and 10) and the NC builder (mask 966: parts 1, 2, 6,
// 7, 8 and 9): the face's or the set's result word, or -1 with nothing built.
int BuildFaceSpx(const SprParts& parts, SprLoadParam* param);
int BuildNcSpx(const SprParts& parts, SprLoadParam* param);
