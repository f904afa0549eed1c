#include "testsupport/attack_trace.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "battle/battle_context.h"
#include "battle/slg_map.h"
#include "battle/slg_screen.h"
#include "battle/slg_task.h"
#include "battle_effects/attack_dispatch.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/app/engine_services.h"
#include "engine/core/frame_rate.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/scene_context.h"
#include "scene/sprite/tamvik_spr.h"

namespace testsupport {

namespace {

constexpr int kPlanes = 4;
constexpr int kFirstLayer = 4;
constexpr int kLayers = 5;
constexpr SurfaceId kLastSurface = 15;

std::string Format(const char* format, auto... values) {
  char text[160];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

// Polygon entries in the sprite buffers of every surface.
int PolygonEntries() {
  const CDdrawSpr& sprites = Ctx().ddraw_spr;
  int n = 0;
  for (SurfaceId id = 1; id <= kLastSurface; ++id) {
    const SprBuffer* buffer = sprites.FindBuffer(id, nullptr);
    if (buffer == nullptr) continue;
    for (int p = 0; p < SprBuffer::kPriorityCount; ++p) {
      const SprLink* tail = &buffer->tail[static_cast<size_t>(p)];
      for (const SprLink* l = buffer->head[static_cast<size_t>(p)].next; l != nullptr && l != tail;
           l = l->next) {
        if (static_cast<const SprBufferEntry*>(l)->type == kSprEntryPolygon) ++n;
      }
    }
  }
  return n;
}

std::string UnitId(int slot) { return slot < 0 ? "A" : std::to_string(slot); }

}  // namespace

// The production services with a count of the sprite buffer just before each compose.
class AttackTrace::Services : public EngineServices {
 public:
  explicit Services(AttackTrace& trace)
      : trace_(trace), inner_(MakeProductionServices(Ctx())) {}
  int InitDirectDraw(platform::Window* window) override { return inner_->InitDirectDraw(window); }
  uint32_t GetPrimaryColor(int index) override { return inner_->GetPrimaryColor(index); }
  void ReleaseDirectDraw() override { inner_->ReleaseDirectDraw(); }
  int ShowWindow() override {
    trace_.Compose();
    return inner_->ShowWindow();
  }
  int LoadFont() override { return inner_->LoadFont(); }
  void SetPixelMode(int mode) override { inner_->SetPixelMode(mode); }
  void FreeFont() override { inner_->FreeFont(); }
  int SoundInit(platform::Window* window) override { return inner_->SoundInit(window); }
  void SoundUpdate(int32_t time) override { inner_->SoundUpdate(time); }
  void SoundRelease() override { inner_->SoundRelease(); }
  int CreateDirectInput() override { return inner_->CreateDirectInput(); }
  int InputInit() override { return inner_->InputInit(); }
  void InputGetState() override { inner_->InputGetState(); }
  int ScanDrives() override { return inner_->ScanDrives(); }
  void SeedRandom() override { inner_->SeedRandom(); }
  void AnimeExec(int32_t time) override { inner_->AnimeExec(time); }
  int MovieGetState() override { return inner_->MovieGetState(); }
  void MoviePause() override { inner_->MoviePause(); }
  void MovieResume() override { inner_->MovieResume(); }
  void MovieOnGraphEvent(platform::Window* window) override { inner_->MovieOnGraphEvent(window); }
  void MovieStopAndClose() override { inner_->MovieStopAndClose(); }
  int MovieRenderDue() override { return inner_->MovieRenderDue(); }

 private:
  AttackTrace& trace_;
  std::unique_ptr<EngineServices> inner_;
};

// The values EndFrame compares, as last seen.
struct AttackTrace::Sample {
  struct Unit {
    int state = -1;
    bool hit = false;
    bool shown = false;
  };
  std::array<Unit, kSlgMaxUnits + 1> units;  // the last: the action attacker
  int flags = -1;
  std::array<uint8_t, 256> events{};
  int scroll_x = 0, scroll_y = 0;
  std::array<std::array<int32_t, 2>, kPlanes> planes{};
  std::string fade, layers;
  int entries = -1, polygons = -1, anims = -1;
  int64_t alloc = -1;
};

AttackTrace::AttackTrace(BattleContext& battle)
    : battle_(battle), saved_hooks_(battle.test_hooks), services_(new Services(*this)),
      last_(new Sample) {
  battle_.test_hooks = {this, &OnTask, &OnSound, nullptr};
  Ctx().UseServices(services_.get());
}

AttackTrace::~AttackTrace() {
  Ctx().UseServices(nullptr);
  battle_.test_hooks = saved_hooks_;
}

void AttackTrace::Pause(bool paused) {
  if (paused == paused_) return;
  paused_ = paused;
  Ctx().UseServices(paused ? nullptr : services_.get());
  if (paused) {
    own_hooks_ = battle_.test_hooks;
    battle_.test_hooks = saved_hooks_;
  } else {
    battle_.test_hooks = own_hooks_;
  }
}

void AttackTrace::Add(std::string text) {
  lines_.push_back({frame_, static_cast<uint32_t>(Ctx().frame_rate.GetTime()), std::move(text)});
}

void AttackTrace::OnTask(void* user, SlgTaskEvent event, const SlgEffectTask& task) {
  auto& self = *static_cast<AttackTrace*>(user);
  const char* name = task.name != nullptr ? task.name : "?";
  if (event == SlgTaskEvent::kCreated) {
    const char* owner = task.owner != nullptr ? task.owner->name.c_str() : "none";
    self.Add(Format("task+ %s %s", name, owner));
  } else {
    self.Add(Format("task- %s", name));
  }
}

void AttackTrace::OnSound(void* user, SlgSoundCall call, int value, int frames) {
  auto& self = *static_cast<AttackTrace*>(user);
  switch (call) {
    case SlgSoundCall::kEffect: self.Add(Format("se %d", value)); break;
    case SlgSoundCall::kEffectStop: self.Add(Format("se-stop %d", value)); break;
    case SlgSoundCall::kVoice: self.Add(Format("voice %d", value)); break;
    case SlgSoundCall::kBgmVolume:
      self.bgm_volume_ = value;
      self.Add(Format("bgm-volume %d %d", value, frames));
      break;
  }
}

void AttackTrace::BeforeUnitUpdate(const SlgUnit& unit) {
  if (paused_) return;
  if ((unit.flags & kUnitHitNow) != 0) hit_signalled_.insert(unit.slot);
}

void AttackTrace::Compose() {
  if (compose_probe_) compose_probe_();
  entries_ = CDdrawSpr::kEntryCount - Ctx().ddraw_spr.FreeEntryCount();
  polygons_ = PolygonEntries();
  peak_entries_ = std::max(peak_entries_, entries_);
  peak_polygons_ = std::max(peak_polygons_, polygons_);
}

void AttackTrace::EndFrame() {
  Sample& s = *last_;
  const AttackDispatch& d = battle_.Extension<AttackDispatch>();
  if (d.calls != routine_calls_ && reinterpret_cast<const void*>(d.last_routine) != routine_) {
    const char* name = AttackRoutineName(d.last_routine);
    Add(std::string("routine ") + (name != nullptr ? name : "(other)"));
    routine_ = reinterpret_cast<const void*>(d.last_routine);
  }
  routine_calls_ = d.calls;
  const auto unit = [&](int slot, const SlgUnit& u) {
    Sample::Unit& was = s.units[static_cast<size_t>(slot < 0 ? kSlgMaxUnits : slot)];
    const bool hit = (u.flags & kUnitHitNow) != 0;
    const bool shown = (u.flags & kUnitShown) != 0;
    if (hit && slot >= 0) hit_signalled_.insert(slot);
    if (was.state != u.state) Add(Format("unit %s state %d", UnitId(slot).c_str(), u.state));
    if (was.hit != hit) Add(Format("unit %s hit %s", UnitId(slot).c_str(), hit ? "on" : "off"));
    if (was.shown != shown) {
      Add(Format("unit %s shown %s", UnitId(slot).c_str(), shown ? "on" : "off"));
    }
    was = {u.state, hit, shown};
  };
  const BattleContext& b = battle_;
  const int count = std::min<int>(b.state.unit_count, kSlgMaxUnits);
  // The action task's target is slot 0 whether or not the stage counts it.
  for (int i = 0; i < std::max(count, watch_action_ ? 1 : 0); ++i) unit(i, b.state.units[static_cast<size_t>(i)]);
  if (watch_action_) unit(-1, b.action.attacker);

  if (s.flags != b.flags) Add(Format("battle-flags 0x%04x", b.flags));
  s.flags = b.flags;
  for (int n = 0; n < 2048; ++n) {
    const int byte = n / 8;
    const int bit = 7 - n % 8;
    const bool now = ((b.event_flags[static_cast<size_t>(byte)] >> bit) & 1) != 0;
    const bool was = ((s.events[static_cast<size_t>(byte)] >> bit) & 1) != 0;
    if (now != was) Add(Format("event %d %s", n, now ? "on" : "off"));
  }
  s.events = b.event_flags;
  if (s.scroll_x != b.state.scroll_x || s.scroll_y != b.state.scroll_y) {
    Add(Format("scroll %d %d", b.state.scroll_x, b.state.scroll_y));
  }
  s.scroll_x = b.state.scroll_x;
  s.scroll_y = b.state.scroll_y;
  for (int n = 0; n < kPlanes; ++n) {
    std::array<int32_t, 2>& was = s.planes[static_cast<size_t>(n)];
    std::array<int32_t, 2> now = was;
    SlgMap::GetPlaneOffset(n, &now[0], &now[1]);
    if (now != was) Add(Format("plane %d %d %d", n, now[0], now[1]));
    was = now;
  }
  const std::string fade =
      Format("fade %d %d", Ctx().ddraw.GetFadeLevel(), b.fade_handle != nullptr ? 1 : 0);
  if (fade != s.fade) Add(fade);
  s.fade = fade;
  const LayerState layers = Layers();
  std::string visible, copy;
  for (int l = kFirstLayer; l < kFirstLayer + kLayers; ++l) {
    visible += layers.visible[l] != 0 ? '1' : '0';
    copy += layers.copy[l] != 0 ? '1' : '0';
  }
  const std::string layer_text =
      "layers " + visible + " " + copy + " clear " + std::to_string(layers.clear_flag);
  if (layer_text != s.layers) Add(layer_text);
  s.layers = layer_text;
  if (entries_ != s.entries) Add(Format("entries %d", entries_));
  s.entries = entries_;
  if (polygons_ != s.polygons) Add(Format("polygons %d", polygons_));
  s.polygons = polygons_;
  const int anims = LiveAnimations();
  if (anims != s.anims) Add(Format("anims %d", anims));
  s.anims = anims;
  if (b.alloc.live != s.alloc) Add(Format("alloc %lld", static_cast<long long>(b.alloc.live)));
  s.alloc = b.alloc.live;
}

std::vector<std::string> AttackTrace::Filter(const std::vector<std::string>& prefixes) const {
  std::vector<std::string> out;
  for (const AttackTraceLine& line : lines_) {
    for (const std::string& p : prefixes) {
      if (line.text.rfind(p, 0) == 0) {
        out.push_back(line.text);
        break;
      }
    }
  }
  return out;
}

std::vector<std::string> AttackTrace::Texts() const {
  std::vector<std::string> out;
  out.reserve(lines_.size());
  for (const AttackTraceLine& line : lines_) out.push_back(std::to_string(line.frame) + ": " + line.text);
  return out;
}

const AttackTraceLine* AttackTrace::Find(const std::string& fragment) const {
  for (const AttackTraceLine& line : lines_) {
    if (line.text.find(fragment) != std::string::npos) return &line;
  }
  return nullptr;
}

int AttackTrace::FrameOf(const std::string& fragment) const {
  const AttackTraceLine* line = Find(fragment);
  return line != nullptr ? line->frame : -1;
}

std::vector<std::string> AttackTrace::SoundCalls() const {
  return Filter({"voice ", "se ", "se-stop ", "bgm-volume "});
}

int AttackTrace::LiveAnimations() {
  int n = 0;
  for (int32_t kind = 0; kind < kAnimeKindCount; ++kind) {
    n += static_cast<int>(Ctx().anime.Records(kind).size());
  }
  return n;
}

int AttackTrace::AnimationSetReferences() {
  int n = 0;
  for (const SprAnm* a = Scene().tamvik_spr.anms(); a != nullptr; a = a->next) n += a->ref;
  return n;
}

LayerState AttackTrace::Layers() {
  LayerState state;
  SlgSaveLayers(&state);
  return state;
}

bool IsSubsequence(const std::vector<std::string>& got, const std::vector<std::string>& want,
                   std::string* why) {
  size_t at = 0;
  for (size_t i = 0; i < want.size(); ++i) {
    while (at < got.size() && got[at] != want[i]) ++at;
    if (at == got.size()) {
      if (why != nullptr) {
        *why = "\"" + want[i] + "\" (item " + std::to_string(i) + ") does not follow";
        if (i > 0) *why += " \"" + want[i - 1] + "\"";
        *why += "; got:";
        for (const std::string& g : got) *why += "\n  " + g;
      }
      return false;
    }
    ++at;
  }
  return true;
}

}  // namespace testsupport
