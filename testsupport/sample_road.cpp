#include "testsupport/sample_road.h"

#include <algorithm>
#include <chrono>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "battle/battle_context.h"
#include "battle/slg_geometry.h"
#include "battle/slg_unit.h"
#include "battle_effects/attack_dispatch.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "flow/tamvik_bup.h"
#include "flow/tamvik_general.h"
#include "flow/tamvik_open.h"
#include "flow/tamvik_option.h"
#include "scene/ui/tamvik_icat.h"
#include "scene/ui/tamvik_lips.h"
#include "platform/headless/headless_movie.h"
#include "testsupport/battle_script.h"
#include "testsupport/sample_data.h"

namespace testsupport {

namespace fs = std::filesystem;
using platform::headless::HeadlessMovies;
using platform::headless::ScriptedMovie;

namespace {

// A COLORREF of 5-bit channels as RGB565 with the green's low bit left out.
uint16_t Packed(uint32_t colour_ref) {
  const int r = static_cast<int>(colour_ref & 0xFF) >> 3;
  const int g = static_cast<int>((colour_ref >> 8) & 0xFF) >> 3;
  const int b = static_cast<int>((colour_ref >> 16) & 0xFF) >> 3;
  return static_cast<uint16_t>((r << 11) | (g << 6) | b);
}

bool FrameHolds(const platform::headless::HeadlessDisplay& display, uint32_t colour_ref) {
  const uint16_t want = Packed(colour_ref);
  // Checked after every frame of a wait: eight pixels at a time where SSE2 is there.
  const uint16_t* p = display.frame.data();
  const size_t n = display.frame.size();
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i mask = _mm_set1_epi16(static_cast<int16_t>(0xFFDF));
  const __m128i wanted = _mm_set1_epi16(static_cast<int16_t>(want));
  for (; i + 8 <= n; i += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, mask), wanted)) != 0) return true;
  }
#endif
  for (; i < n; ++i) {
    if ((p[i] & 0xFFDF) == want) return true;
  }
  return false;
}

}  // namespace

void CopySample(const std::string& sample_dir, const std::string& install) {
  fs::copy(sample_dir, install, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

ProgramDriver::Options SampleRoad::MakeOptions(SampleRoad* road) {
  ProgramDriver::Options options;
  options.before_frame = [road] {
    const int mode = road->Mode();
    if (road->modes.empty() || road->modes.back() != mode) road->modes.push_back(mode);
  };
  options.frame_ms = kFrameMs;
  return options;
}

SampleRoad::SampleRoad(const std::string& sample_dir, std::string frames_to)
    : d(MakeOptions(this)), frames_to_(std::move(frames_to)) {
  const fs::path install = d.tree.Path("install");
  CopySample(sample_dir, install.string());
  // The glyph fonts open by bare name: the program runs in the install directory.
  d.host().files.SetWorkingDirectory(install.string());
  for (const char* movie : {"Movie/Movie000.mpg", "Movie/Vexlogo.mpg"}) {
    ScriptedMovie script;
    script.duration = 2.0;
    script.format.width = 160;
    script.format.height = 120;
    if (std::string(movie) == "Movie/Movie000.mpg") script.duration = kSampleOpeningSeconds;
    const int pictures = static_cast<int>(script.duration * 10);
    for (int k = 0; k < pictures; ++k) {
      script.frames.push_back(HeadlessMovies::SolidFrame(script.format, k / 10.0, kMovieRed));
    }
    d.host().movies.Add((install / movie).string(), script);
  }
  // An old time on system.dat, so that its rewrite shows.
  system_dat = install / "save" / "system.dat";
  fs::last_write_time(system_dat, fs::file_time_type::clock::now() - std::chrono::hours(24));
  system_dat_time = fs::last_write_time(system_dat);
  d.host().seams().files = &files;
  // The scripted movies are timed by the headless clock and post nothing from a thread of their
  // own: a wait for an event while one plays could only run out in wall time.
  d.host_window().waits_for_other_threads = false;
}

SampleRoad::~SampleRoad() { d.host().seams().files = &d.host().files; }

int SampleRoad::Mode() const { return CTamvikGeneral::GetMode(); }

int SampleRoad::TitleStep() const {
  GameTaskRec* task = Ctx().game_task.FindTask(CTamvikOpen::kTaskName);
  return task != nullptr ? TaskStep(task) : -1;
}

void SampleRoad::Press(GameKeyBits bit) {
  d.Schedule({GameKeyDown(d.frame() + 1, bit), GameKeyUp(d.frame() + 2, bit)});
}

bool SampleRoad::PressUntil(GameKeyBits bit, const std::string& name,
                            const std::function<bool()>& reached, int limit, int every) {
  for (int spent = 0; spent < limit; spent += every) {
    if (reached()) return true;
    Press(bit);
    if (!d.Run(every)) break;
  }
  if (reached()) return true;
  ADD_FAILURE() << "not reached: " << name << " (frame " << d.frame() << ")";
  return false;
}

bool SampleRoad::UntilMode(int mode, int limit) {
  return d.RunUntil("mode " + std::to_string(mode),
                    [this, mode](const ProgramDriver&) { return Mode() == mode; }, limit);
}

bool SampleRoad::UntilShown(const std::string& name, uint32_t colour_ref, int limit) {
  const bool shown = d.RunUntil(
      PresentedFrameIs(name, [colour_ref](const platform::headless::HeadlessDisplay& p) {
        return FrameHolds(p, colour_ref);
      }),
      limit);
  // Written either way: a failing run leaves the frame it stopped at for a person to look at.
  SaveFrame(name);
  return shown;
}

bool SampleRoad::ShownAt(int x, int y, uint32_t colour_ref) const {
  const platform::headless::HeadlessDisplay& display = d.host().display;
  if (x < 0 || y < 0 || x >= display.frame_width || y >= display.frame_height) return false;
  return (display.FramePixel(x, y) & 0xFFDF) == Packed(colour_ref);
}

bool SampleRoad::LightAt(int x, int y) const {
  const platform::headless::HeadlessDisplay& display = d.host().display;
  if (x < 0 || y < 0 || x >= display.frame_width || y >= display.frame_height) return false;
  const uint16_t p = display.FramePixel(x, y);
  return (p >> 11) >= 24 && ((p >> 5) & 63) >= 48 && (p & 31) >= 24;
}

void SampleRoad::SaveFrame(const std::string& name) {
  if (frames_to_.empty()) return;
  std::string file = "sample_" + name + ".png";
  std::replace(file.begin(), file.end(), ' ', '_');
  d.display().SaveFramePng((fs::path(frames_to_) / file).string());
}

bool SampleRoad::ChoiceOpen() {
  return Ctx().game_task.FindTask(CTamvikLips::kTaskName) != nullptr;
}

int SampleRoad::ChoiceLine() {
  GameTaskRec* t = Ctx().game_task.FindTask(CTamvikLips::kTaskName);
  return t != nullptr ? static_cast<LipsWork*>(t->extra)->current : -1;
}

bool SampleRoad::Choose(const std::string& name, int line) {
  if (!d.RunUntil(name, [](const ProgramDriver&) { return ChoiceOpen(); }, 600)) return false;
  d.Run(16);  // the window opens
  if (ChoiceLine() != line &&
      !PressUntil(kGameKeyDown, name + " line " + std::to_string(line),
                  [line] { return ChoiceLine() == line; }, 60, 4)) {
    return false;
  }
  Press(kGameKey0);
  return d.RunUntil(name + " ended", [](const ProgramDriver&) { return !ChoiceOpen(); }, 300);
}

bool SampleRoad::AnswerTheSaveOffer(int entry) {
  if (!d.RunUntil("the eyecatch", [](const ProgramDriver&) { return CTamvikIcat::IsIcat_SvCnt(); },
                  600)) {
    return false;
  }
  d.Run(120);  // the menu turns in
  for (int i = 0; i < entry; ++i) {
    Press(kGameKeyDown);
    d.Run(8);
  }
  if (entry != 2) {
    Press(kGameKey0);
    d.Run(8);
    return true;
  }
  return PressUntil(kGameKey0, "the offer ended", [] { return !CTamvikIcat::IsIcat_SvCnt(); }, 600,
                    30);
}

bool SampleRoad::StartANewGame(const std::string& frame) {
  ChooseRow(0);  // new game
  if (!UntilMode(30, 300) || !UntilOpened("0003.wav", 300)) return false;  // the first voice
  d.Run(30);
  return UntilShown(frame, SampleWindowColour(), 600);
}

bool SampleRoad::OptionMenuOpen() {
  return Ctx().game_task.FindTask(CTamvikOption::kOptionMenuName) != nullptr;
}

bool SampleRoad::QuitThroughTheOptions(int limit) {
  const auto file_choice = [] {
    GameTaskRec* t = Ctx().game_task.FindTask(CTamvikOption::kOptionMenuName);
    return t != nullptr ? static_cast<CTamvikOption::OptionState*>(t->extra)->fileChoice : -1;
  };
  if (!PressUntil(kGameKeyRight, "\" 遊戲結束 \"", [&] { return file_choice() == 2; }, 60, 4)) {
    return false;
  }
  Press(kGameKey0);
  if (!d.RunUntil("the question", [](const ProgramDriver&) {
        return Ctx().game_task.FindTask(CTamvikOption::kExitSeqName) != nullptr;
      }, 60)) {
    return false;
  }
  d.Run(20);
  Press(kGameKeyLeft);  // "是"
  d.Run(4);
  Press(kGameKey0);
  return d.RunToEnd(limit);
}

const SaveMenuExtra* SampleRoad::SlotMenu() {
  GameTaskRec* t = Ctx().game_task.FindTask(CTamvikBup::kSaveMenuName);
  return t != nullptr ? static_cast<const SaveMenuExtra*>(t->extra) : nullptr;
}

int SampleRoad::SlotMenuSubStep() { return SlotMenu() != nullptr ? SlotMenu()->subStep : -1; }

bool SampleRoad::UntilSlotMenuSubStep(const std::string& name, int sub_step, int limit) {
  return d.RunUntil(
      name, [sub_step](const ProgramDriver&) { return SlotMenuSubStep() == sub_step; }, limit);
}

bool SampleRoad::WinTheBattle(int limit) {
  BattleScript player(d);
  int since_press = 0;
  return d.RunUntil("the battle won", [&](const ProgramDriver&) {
    if (!HasBattle() || Battle().control.exited != 0) return true;
    if (const char* routine =
            AttackRoutineName(Battle().Extension<AttackDispatch>().last_routine)) {
      attack_routines.insert(routine);
    }
    // An event's messages are closed with OK, one press every 30 frames.
    if (Battle().event_busy != 0) {
      if (++since_press >= 30) {
        since_press = 0;
        Press(kGameKey0);
      }
      return false;
    }
    // The cell up and to the left of the enemy (the rows are staggered), wherever its own move
    // took it.
    const SlgBattleState& state = Battle().state;
    for (uint32_t slot = 0; SlgSlotInUse(slot); ++slot) {
      const SlgUnit& unit = state.units[slot];
      if (unit.side != 1 || !SlgUnitLive(unit)) continue;
      const SlgCell at = PosToCell(unit.x >> 16, unit.y >> 16);
      if (player.Ready()) player.HeroWalksAndAttacks(
          {static_cast<int16_t>(at.column - 1 + (at.row & 1)), static_cast<int16_t>(at.row - 1)});
      break;
    }
    return false;
  }, limit);
}

std::vector<std::string> SampleTraceFaults(const TraceCapture& trace) {
  std::vector<std::string> faults;
  for (const DebugTraceLine& line : trace.lines()) {
    const std::string& t = line.text;
    std::string lower = t;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const bool fault = lower.find("no file") != std::string::npos ||
                       lower.find("not found") != std::string::npos ||
                       lower.find("fail") != std::string::npos ||
                       lower.find("falid") != std::string::npos ||
                       lower.find(" cut ") != std::string::npos;
    if (!fault) continue;
    const bool players_own = lower.find("save\\key.dat") != std::string::npos ||
                             lower.find("save\\minigame.dat") != std::string::npos ||
                             (lower.find("save\\data") != std::string::npos &&
                              lower.find("not found") != std::string::npos);
    if (!players_own) faults.push_back(t);
  }
  return faults;
}

bool SampleRoad::Opened(const std::string& fragment) const {
  return std::any_of(files.opened.begin(), files.opened.end(),
                     [&fragment](const std::string& p) { return p.find(fragment) != p.npos; });
}

bool SampleRoad::UntilOpened(const std::string& fragment, int limit) {
  return d.RunUntil("\"" + fragment + "\" opened",
                    [this, fragment](const ProgramDriver&) { return Opened(fragment); }, limit);
}

bool SampleRoad::BootToTitleMenu() {
  if (!d.Start()) return false;
  if (!UntilShown("staff card with the maker logo", SampleLogoColour(), 900)) return false;
  if (!UntilMode(6, 2500) || !UntilShown("opening", kMovieRedRef, 100)) return false;
  if (!PressUntil(kGameKey3, "the title", [this] { return Mode() == 4; }, 200)) return false;
  if (!PressUntil(kGameKey3, "the title's logo",
                  [this] { return TitleStep() >= CTamvikOpen::kMusicAndLogo; }, 400)) {
    return false;
  }
  if (!d.RunUntil("the start prompt",
                  [this](const ProgramDriver&) { return TitleStep() == CTamvikOpen::kStartPrompt; },
                  200)) {
    return false;
  }
  if (!PressUntil(kGameKey3, "the menu",
                  [this] { return TitleStep() == CTamvikOpen::kMenuLoop; }, 300, 20)) {
    return false;
  }
  d.Run(20);  // the menu window opens
  return UntilShown("title menu", SampleMenuColour(), 10);
}

void SampleRoad::ChooseRow(int downs) {
  for (int i = 0; i < downs; ++i) {
    Press(kGameKeyDown);
    d.Run(4);
  }
  Press(kGameKey0);
}

bool SampleRoad::PlaySceneToTitle() {
  if (!UntilMode(30, 300) || !UntilOpened("0001.wav", 300)) return false;  // the first message
  d.Run(40);  // typed (100 ms a character)
  if (!UntilShown("message window", SampleWindowColour(), 600)) return false;
  if (!PressUntil(kGameKey0, "the title again", [this] { return Mode() == 4; }, 1500, 30)) {
    return false;
  }
  return UntilShown("title again", SampleTitleColour(), 600);
}

std::vector<std::string> SampleRoad::NotFound() {
  std::vector<std::string> missing;
  for (const std::string& path : files.opened) {
    if (path.find("key.dat") != std::string::npos) continue;
    if (path.find("\\save\\data") != std::string::npos &&
        path.find("\\data1.sav") == std::string::npos) {
      continue;
    }
    if (!d.host().files.IsFile(path.c_str())) missing.push_back(path);
  }
  return missing;
}

}  // namespace testsupport
