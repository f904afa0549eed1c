#include "testsupport/program_driver.h"

#include <algorithm>
#include <cstring>
#include <sstream>
#include <utility>

#include "engine/app/app_state.h"
#include "engine/app/context.h"
#include "program/game_wiring.h"
#include "engine/app/spine/spine.h"
#include "engine/input/dinput.h"
#include "testsupport/glyph_font_fixture.h"

namespace testsupport {

namespace {

constexpr uint64_t kHashStart = 14695981039346656037ull;

constexpr uint64_t kHashPrime = 1099511628211ull;

// A whole presented frame is hashed every frame of a run compared twice, so the bulk is hashed
// in 64-byte blocks by eight lanes that the compiler turns into vector code: each lane adds its
// words and the product of their keyed halves (a changed word changes both sums), and the lanes
// are folded with FNV-1a at the end; the tail goes byte by byte. The words read are inside the
// caller's buffer by construction, so the hash is left out of the sanitizers' instrumentation and
// optimised even in their build: instrumented, it took over a third of a whole-program test's
// time. On x86-64 the bulk is compiled for AVX-512 and AVX2 too, the best chosen when loaded.
constexpr uint64_t kLaneKey[8] = {0x9E3779B97F4A7C15ull, 0xC2B2AE3D27D4EB4Full,
                                  0x165667B19E3779F9ull, 0xD6E8FEB86659FD93ull,
                                  0xFF51AFD7ED558CCDull, 0xC4CEB9FE1A85EC53ull,
                                  0x87C37B91114253D5ull, 0x4CF5AD432745937Full};

#if defined(__x86_64__)
#define TAMVIK_HASH_CLONES target_clones("arch=x86-64-v4", "avx2", "default"),
#else
#define TAMVIK_HASH_CLONES
#endif

__attribute__((no_sanitize("address", "undefined"), optimize("O3"), TAMVIK_HASH_CLONES noinline))
uint64_t HashBlocks(uint64_t hash, const unsigned char* bytes, size_t blocks) {
  uint64_t sum[8] = {}, product[8] = {};
  for (size_t b = 0; b < blocks; ++b) {
    uint64_t word[8];
    std::memcpy(word, bytes + 64 * b, sizeof word);
    for (int k = 0; k < 8; ++k) {
      const uint64_t keyed = word[k] ^ kLaneKey[k];
      sum[k] += word[k];
      product[k] += (keyed & 0xFFFFFFFFu) * (keyed >> 32);
    }
  }
  for (int k = 0; k < 8; ++k) hash = (((hash ^ sum[k]) * kHashPrime) ^ product[k]) * kHashPrime;
  return hash;
}

#undef TAMVIK_HASH_CLONES

template <class T>
__attribute__((no_sanitize("address", "undefined"), optimize("O2")))
uint64_t HashMore(uint64_t hash, const T* values, size_t count) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(values);
  const size_t size = count * sizeof(T);
  size_t i = 0;
  if (size >= 64) {
    hash = HashBlocks(hash, bytes, size / 64);
    i = size / 64 * 64;
  }
  for (; i < size; ++i) {
    hash ^= bytes[i];
    hash *= kHashPrime;
  }
  return hash;
}

// The key that feeds a game key: Tab and the arrows have keys of their own; the others are fed
// by entries of the key assignment (the first of their entries that has a key).
std::optional<uint8_t> KeyForGameKey(uint32_t game_key) {
  switch (game_key) {
    case kGameKeyTab:
      return 0x0F;
    case kGameKeyUp:
      return 0xC8;
    case kGameKeyDown:
      return 0xD0;
    case kGameKeyLeft:
      return 0xCB;
    case kGameKeyRight:
      return 0xCD;
    default:
      break;
  }
  struct Entries {
    uint32_t bit;
    uint32_t first;
    uint32_t count;
  };
  constexpr Entries kEntries[] = {
      {kGameKey0, 0, 3},  {kGameKey1, 3, 3},  {kGameKey2, 6, 2},  {kGameKey3, 8, 2},
      {kGameKey9, 10, 1}, {kGameKey10, 11, 1}, {kGameKey11, 12, 1}, {kGameKey12, 13, 1},
      {kGameKey13, 14, 1}, {kGameKey14, 15, 1},
  };
  for (const Entries& e : kEntries) {
    if (e.bit != game_key) continue;
    for (uint32_t i = e.first; i < e.first + e.count; ++i) {
      const uint32_t code = Ctx().input.GetKeyConfig(i);
      if (code != 0) return static_cast<uint8_t>(code);
    }
  }
  return std::nullopt;
}

// The key (its code) or mouse button (256 + the button) a row presses or releases; -1 for a
// pointer move and for a game key no key feeds.
int ControlOf(const InputRow& row) {
  switch (row.kind) {
    case InputRow::Kind::kKey:
      return static_cast<int>(row.code & 0xFF);
    case InputRow::Kind::kGameKey:
      if (const auto code = KeyForGameKey(row.code)) return *code;
      return -1;
    case InputRow::Kind::kPointerButton:
      return 256 + static_cast<int>(row.code & 0xFF);
    case InputRow::Kind::kPointerMove:
      break;
  }
  return -1;
}

InputRow Row(int frame, InputRow::Kind kind, uint32_t code, bool down) {
  InputRow row;
  row.frame = frame;
  row.kind = kind;
  row.code = code;
  row.down = down;
  return row;
}

}  // namespace

InputRow KeyDown(int frame, uint8_t code) { return Row(frame, InputRow::Kind::kKey, code, true); }
InputRow KeyUp(int frame, uint8_t code) { return Row(frame, InputRow::Kind::kKey, code, false); }
InputRow GameKeyDown(int frame, uint32_t game_key) {
  return Row(frame, InputRow::Kind::kGameKey, game_key, true);
}
InputRow GameKeyUp(int frame, uint32_t game_key) {
  return Row(frame, InputRow::Kind::kGameKey, game_key, false);
}
InputRow PointerMove(int frame, int32_t x, int32_t y) {
  InputRow row = Row(frame, InputRow::Kind::kPointerMove, 0, false);
  row.x = x;
  row.y = y;
  return row;
}
InputRow PointerButton(int frame, int button, bool down) {
  return Row(frame, InputRow::Kind::kPointerButton, static_cast<uint32_t>(button), down);
}

Checkpoint FramePresented(int count) {
  return {"frame " + std::to_string(count) + " presented",
          [count](const ProgramDriver& d) { return d.presented() >= count; }};
}

Checkpoint PresentedFrameIs(std::string name,
                            std::function<bool(const platform::headless::HeadlessDisplay&)> is) {
  return {std::move(name), [is = std::move(is)](const ProgramDriver& d) {
            return d.presented() > 0 && is(d.host().display);
          }};
}

Checkpoint SoundHeard() {
  return {"sound heard", [](const ProgramDriver& d) {
            return std::any_of(d.sound_frames().begin(), d.sound_frames().end(),
                               [](const SoundFrame& f) { return f.heard; });
          }};
}

Checkpoint TraceContains(std::string fragment) {
  std::string name = "trace \"" + fragment + "\"";
  return {std::move(name), [fragment = std::move(fragment)](const ProgramDriver& d) {
            return d.trace().Contains(fragment);
          }};
}

Checkpoint When(std::string name, std::function<bool(const ProgramDriver&)> reached) {
  return {std::move(name), std::move(reached)};
}

ProgramDriver::ProgramDriver() : ProgramDriver(Options()) {}

ProgramDriver::ProgramDriver(Options options) : options_(std::move(options)) {
  host().config.Set("Install Directory", tree.Path("install"));
  host().files.SetWorkingDirectory(tree.cwd());
  // The glyph fonts the start-up requires, in the working directory.
  WriteGlyphFont(tree, MakeGlyphFont(), "cwd");
  if (options_.wire_sequences) WireGameSequences(game.sequences(), debug_menu);
  host().display.on_present = [this](const platform::headless::HeadlessDisplay& d) {
    PresentedFrame f;
    f.frame = frame_;
    f.width = d.frame_width;
    f.height = d.frame_height;
    if (options_.hash_frames) {
      f.hash = HashMore(kHashStart, &f.width, 1);
      f.hash = HashMore(f.hash, &f.height, 1);
      f.hash = HashMore(f.hash, d.frame.data(), d.frame.size());
    }
    presented_frames_.push_back(f);
  };
}

ProgramDriver::~ProgramDriver() { host().display.on_present = nullptr; }

bool ProgramDriver::Start() {
  GameHooks hooks = options_.hooks ? *options_.hooks : MakeGameHooks(debug_menu);
  if (!options_.hooks && options_.boot) hooks.boot = options_.boot;
  window = AppStart(hooks, exit_code);
  if (window == nullptr) {
    ended = true;
    return false;
  }
  host_window().PostEvent({platform::EventKind::kActivateApp, 1});
  return Step();
}

bool ProgramDriver::Step() {
  if (ended) return false;
  if (window == nullptr) {
    ADD_FAILURE() << "the program driver was stepped before it started";
    return false;
  }
  const uint32_t ms = options_.frame_ms_of ? options_.frame_ms_of(frame_ + 1) : options_.frame_ms;
  if (options_.pump_audio) host().audio.Pump(ms);
  host().clock.Advance(ms);
  ++frame_;
  const bool input_changed = ApplyRowsDue(frame_);
  if (options_.before_frame) options_.before_frame();
  if (input_changed) WakeForInput();
  if (!MessageLoopStep(window, exit_code)) ended = true;
  RecordSound();
  return !ended;
}

bool ProgramDriver::Run(int frames) {
  for (int i = 0; i < frames && Step();) ++i;
  return !ended;
}

bool ProgramDriver::RunToEnd(int frames) { return !Run(frames); }

bool ProgramDriver::KeepsShowing(int frames) {
  for (int i = 0; i < frames; ++i) {
    const int before = presented();
    if (!Step() || presented() != before + 1) return false;
  }
  return true;
}

bool ProgramDriver::RunUntil(const Checkpoint& checkpoint, int limit) {
  return RunUntil(checkpoint.name, checkpoint.reached, limit);
}

bool ProgramDriver::RunUntil(const std::string& name,
                             const std::function<bool(const ProgramDriver&)>& reached, int limit) {
  if (reached(*this)) return true;
  const int first = frame_;
  for (int i = 0; i < limit; ++i) {
    if (!Step()) {
      if (reached(*this)) return true;
      ADD_FAILURE() << "checkpoint \"" << name << "\" not reached: the program ended at frame "
                    << frame_ << " (" << frame_ - first << " frames of " << limit << ")";
      return false;
    }
    if (reached(*this)) return true;
  }
  ADD_FAILURE() << "checkpoint \"" << name << "\" not reached within " << limit
                << " frames (frames " << first + 1 << " to " << frame_ << ")";
  return false;
}

void ProgramDriver::Schedule(const std::vector<InputRow>& rows) {
  rows_.insert(rows_.end(), rows.begin(), rows.end());
  std::stable_sort(rows_.begin(), rows_.end(),
                   [](const InputRow& a, const InputRow& b) { return a.frame < b.frame; });
}

bool ProgramDriver::ApplyRowsDue(int frame) {
  // The input is sampled as it stands when the frame runs, so a key or button pressed and
  // released by rows of one frame would never be seen held. A row that changes again what an
  // earlier row of this frame changed waits for the next frame, and the rows behind it with it.
  std::vector<int> changed;
  size_t due = 0;
  while (due < rows_.size() && rows_[due].frame <= frame) {
    const int control = ControlOf(rows_[due]);
    if (control >= 0) {
      if (std::find(changed.begin(), changed.end(), control) != changed.end()) break;
      changed.push_back(control);
    }
    Apply(rows_[due++]);
  }
  rows_.erase(rows_.begin(), rows_.begin() + static_cast<std::ptrdiff_t>(due));
  return due > 0;
}

void ProgramDriver::WakeForInput() {
  // As the window system sends a key or mouse message: while a movie plays (loop mode 0) that
  // message is what lets the loop run a frame. In loop mode 1 the game polls its input anyway,
  // and an event there would take the iteration from the frame. One waiting wake is enough.
  if (AppGetLoopMode() != 0 || window == nullptr) return;
  for (const platform::Event& event : host_window().Pending()) {
    if (event.kind == platform::EventKind::kInput) return;
  }
  host_window().PostEvent({platform::EventKind::kInput, 0});
}

void ProgramDriver::Apply(const InputRow& row) {
  platform::headless::HeadlessInput& input = host().input;
  switch (row.kind) {
    case InputRow::Kind::kKey:
      input.SetKey(static_cast<uint8_t>(row.code), row.down);
      break;
    case InputRow::Kind::kGameKey:
      if (const auto code = KeyForGameKey(row.code)) {
        input.SetKey(*code, row.down);
      } else {
        ADD_FAILURE() << "input row of frame " << row.frame << ": no key feeds game key 0x"
                      << std::hex << row.code;
      }
      break;
    case InputRow::Kind::kPointerMove: {
      const int32_t x = std::clamp(row.x, 0, platform::kCursorWidth - 1);
      const int32_t y = std::clamp(row.y, 0, platform::kCursorHeight - 1);
      input.MoveMouse(x - input.cursor_x, y - input.cursor_y);
      input.cursor_x = x;
      input.cursor_y = y;
      break;
    }
    case InputRow::Kind::kPointerButton:
      if (row.code < input.mouse.buttons.size()) {
        input.mouse.buttons[row.code] = row.down ? 0x80 : 0;
      } else {
        ADD_FAILURE() << "input row of frame " << row.frame << ": no mouse button " << row.code;
      }
      break;
  }
}

void ProgramDriver::RecordSound() {
  platform::headless::HeadlessAudio& audio = host().audio;
  if (audio.captured.size() < sound_seen_) sound_seen_ = 0;  // the test cleared the capture
  if (audio.captured.size() == sound_seen_) return;
  SoundFrame f;
  f.frame = frame_;
  f.buffers = audio.mixer().buffer_count();
  f.samples = audio.captured.size() - sound_seen_;
  const int16_t* from = audio.captured.data() + sound_seen_;
  f.heard = std::any_of(from, from + f.samples, [](int16_t s) { return s != 0; });
  f.hash = HashMore(kHashStart, from, f.samples);
  sound_frames_.push_back(f);
  sound_seen_ = audio.captured.size();
}

int ProgramDriver::BoxCount(const std::string& text) const {
  int n = 0;
  for (const auto& box : host().window.boxes) n += box.text == text ? 1 : 0;
  return n;
}

namespace {

struct RunRecord {
  std::vector<PresentedFrame> frames;
  std::vector<SoundFrame> sound;
};

RunRecord RecordRun(const std::function<void(ProgramDriver&)>& scenario,
                    const ProgramDriver::Options& options) {
  ProgramDriver driver(options);
  scenario(driver);
  return {driver.presented_frames(), driver.sound_frames()};
}

std::string Describe(const PresentedFrame& f) {
  std::ostringstream out;
  out << "frame " << f.frame << ", " << f.width << "x" << f.height << ", hash " << std::hex
      << f.hash;
  return out.str();
}

std::string Describe(const SoundFrame& f) {
  std::ostringstream out;
  out << "frame " << f.frame << ", " << f.buffers << " buffers, " << f.samples << " samples"
      << (f.heard ? " heard" : " silent") << ", hash " << std::hex << f.hash;
  return out.str();
}

bool Same(const PresentedFrame& a, const PresentedFrame& b) {
  return a.frame == b.frame && a.width == b.width && a.height == b.height && a.hash == b.hash;
}

bool Same(const SoundFrame& a, const SoundFrame& b) {
  return a.frame == b.frame && a.buffers == b.buffers && a.samples == b.samples &&
         a.heard == b.heard && a.hash == b.hash;
}

// Fails at the first difference of two records; whether they are the same.
template <class T>
bool CompareRuns(const char* what, const std::vector<T>& first, const std::vector<T>& second) {
  const size_t n = std::min(first.size(), second.size());
  for (size_t i = 0; i < n; ++i) {
    if (!Same(first[i], second[i])) {
      ADD_FAILURE() << "the two runs differ at " << what << " #" << i << ": first run "
                    << Describe(first[i]) << "; second run " << Describe(second[i]);
      return false;
    }
  }
  if (first.size() != second.size()) {
    const bool first_longer = first.size() > second.size();
    ADD_FAILURE() << "the two runs differ at " << what << " #" << n << ": the first run has "
                  << first.size() << ", the second " << second.size() << "; next: "
                  << Describe(first_longer ? first[n] : second[n]) << " (only in the "
                  << (first_longer ? "first" : "second") << " run)";
    return false;
  }
  return true;
}

}  // namespace

bool RunTwice(const std::function<void(ProgramDriver&)>& scenario,
              const ProgramDriver::Options& options) {
  ProgramDriver::Options hashed = options;
  hashed.hash_frames = true;
  const RunRecord first = RecordRun(scenario, hashed);
  const RunRecord second = RecordRun(scenario, hashed);
  const bool frames = CompareRuns("presented frame", first.frames, second.frames);
  const bool sound = CompareRuns("sound frame", first.sound, second.sound);
  return frames && sound;
}

}  // namespace testsupport
