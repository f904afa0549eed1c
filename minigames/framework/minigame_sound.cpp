#include "minigames/framework/minigame_sound.h"

#include <cctype>
#include <string>
#include <vector>

#include "engine/app/context.h"
#include "engine/sound/dsound_func.h"
#include "minigames/minigame_context.h"
#include "scene/ui/tamvik_func.h"

namespace {

void Told(const char* kind, const std::string& what) {
  const MgSound& s = Minigame().sound;
  if (s.played) s.played(std::string(kind) + what);
}

const char* Name(const char* name) { return name != nullptr ? name : ""; }

// File names compare without case, as the files seam finds them.
bool SameFile(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    const int ca = std::tolower(static_cast<unsigned char>(*a));
    const int cb = std::tolower(static_cast<unsigned char>(*b));
    if (ca != cb) return false;
  }
  return *a == *b;
}

}  // namespace

int mg_bgm_play(const char* name) {
  CDsoundFunc& ds = Ctx().dsound;
  const char* playing = ds.GetPlayFileName(kChannelBgm);
  if (playing != nullptr && SameFile(playing, Name(name))) return 1;
  ds.PlayBGM(Name(name));
  Told("bgm:", Name(name));
  return 1;
}

int mg_bgm_stop() {
  Ctx().dsound.StopBGM();
  return 1;
}

int mg_bgm_playing() { return Ctx().dsound.IsBGMStop() ? 0 : 1; }

int mg_se_play(const char* name) {
  const MgSound& s = Minigame().sound;
  if (s.static_loaded != 0) {
    for (size_t i = 0; i < s.static_names.size(); ++i) {
      if (s.static_names[i] == Name(name)) return mg_static_play(static_cast<int>(i));
    }
  }
  Ctx().dsound.PlaySE(Name(name));
  Told("se:", Name(name));
  return 1;
}

int mg_se_stop() {
  Ctx().dsound.StopSE();
  return 1;
}

int mg_voice_play(const char* name) {
  Ctx().dsound.PlayVoice(Name(name));
  Told("voice:", Name(name));
  return 1;
}

int mg_voice_stop() {
  Ctx().dsound.StopVoice();
  return 1;
}

int mg_voice_playing() { return TamvikFunc::IsVoicePlaying() ? 1 : 0; }

int mg_static_load(const char* const* names) {
  std::vector<std::string> list;
  for (size_t i = 0; names != nullptr && names[i] != nullptr && i < kStaticSeSlots; ++i) {
    list.emplace_back(names[i]);
  }
  MgSound& s = Minigame().sound;
  if (s.static_loaded != 0 && s.static_names == list) return 1;
  mg_static_remove();
  std::vector<const char*> pointers;
  pointers.reserve(list.size());
  for (const std::string& n : list) pointers.push_back(n.c_str());
  Ctx().dsound.SELoadStatic(pointers.data(), static_cast<int>(pointers.size()));
  s.static_names = std::move(list);
  s.static_loaded = 1;
  return 1;
}

int mg_static_remove() {
  MgSound& s = Minigame().sound;
  if (s.static_loaded == 0) return 1;
  Ctx().dsound.SERemoveStatic();
  s.static_names.clear();
  s.static_loaded = 0;
  return 1;
}

int mg_static_play(int n) {
  Ctx().dsound.PlayStaticSE(n);
  Told("static:", std::to_string(n));
  return 1;
}
