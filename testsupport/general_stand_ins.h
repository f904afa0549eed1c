#pragma once
// Stand-ins for the sequences the game-mode manager starts, for tests that run the manager
// without them (the program installs only the real sequences). Each runs as a task under the
// manager (or the owner it is given) and hands back on its task's first frame, as the real
// sequence does at its end: the boot save check sets mode 15, the maker logo and the staff card
// 5, the opening 3, the title leaves result 1, the save offer sets 38, the quit confirmation ends
// answering "no", the ending ends at once; the scene controller waits until ended, the battle is
// won (mode 28). The minigame framework starts nothing.

struct GameSequences;

namespace testsupport {

// Task names of the stand-ins, for the is-running queries and the tests.
inline constexpr const char* kStandInSaveCheck = "StandIn::BootSaveCheck";
inline constexpr const char* kStandInLogo = "StandIn::LogoMain";
inline constexpr const char* kStandInOpening = "StandIn::OpeningMovieSeq";
inline constexpr const char* kStandInTitle = "StandIn::TitleMain";
inline constexpr const char* kStandInSaveOffer = "StandIn::SaveOffer";
inline constexpr const char* kStandInQuitConfirm = "StandIn::QuitConfirm";
inline constexpr const char* kStandInEnding = "StandIn::EndingMain";
inline constexpr const char* kStandInScene = "StandIn::AdvMain";
inline constexpr const char* kStandInBattle = "StandIn::SlgStage";

// Fills the manager's entries (save check, logo, opening, title, save offer, quit confirmation,
// ending, scene controller, battle, minigame framework) with the stand-ins.
void FillManagerStandIns(GameSequences& sequences);

}  // namespace testsupport
