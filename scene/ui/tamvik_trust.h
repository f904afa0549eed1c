#pragma once
// The trust panel of the eyecatch: up to six heroine cards in two columns and three rows slide
// in, turn over one after another to show each heroine's face, name and mood, can turn again to
// a second page with the battle bonuses her trust gives, and slide out row by row. It runs as
// the task "CTamvikTrust::CheckKaoPanel" under the eyecatch's task. The object lives in the scene
// context for the whole run; the windows, sprites and the face file exist only while a showing
// runs.

#include <array>
#include <cstdint>
#include <string>

#include "engine/anime/anime_handle.h"
#include "engine/core/game_task.h"

struct SprRec;
struct SprBufferEntry;
struct SprUnit;
struct WindowRec;

class CTamvikTrust {
 public:
  static constexpr const char* kTaskName = "CTamvikTrust::CheckKaoPanel";
  static constexpr const char* kFaceFile = "tamvik1\\icatch\\kao_p.spr";
  static constexpr const char* kCardFile = "tamvik1\\icatch\\shinriad.spr";

  static constexpr int kPanels = 6;
  // Heroine codes; 6 is an empty panel.
  static constexpr uint16_t kTamvik = 0, kLunet = 1, kYsol = 2, kTezavi = 3, kDavone = 4,
                            kBrise = 5, kEmpty = 6;
  static constexpr uint8_t kBlankUnit = 24;
  // Trust values carry a bias: 0x8000 is 0; from 0x800B the high face and mood band.
  static constexpr uint16_t kTrustZero = 0x8000;
  static constexpr uint16_t kTrustHigh = 0x800B;
  static constexpr int kLineColor = 0x0F0F0F;

  // One panel's heroine after sorting.
  struct PanelRow {
    uint16_t code = kEmpty;
    uint16_t trust = 0;
    uint16_t rank = 0;
  };

  // The state of one card during a showing.
  struct PanelRec {
    uint8_t phase = 0;  // 0 waiting for the delay, 1 turning, 2 drawing the text, 3 done
    uint8_t done = 0;   // the panel has finished its current page
    uint8_t index = 0;
    uint8_t face_mode = 0;  // face now shown: 0 blank card, 1 page-1 faces, 2 page-2 faces
    uint8_t face_unit = 0;
    uint8_t next_face_mode = 0;
    uint8_t text_page = 0;  // 0 none, 1 name and mood, 2 bonuses
    uint8_t slide_started = 0;  // the slide out has been given (step 43)
    uint16_t marker_a = 0;  // the two halves of a turn
    uint16_t marker_b = 0;
    int32_t slide_x = 0;  // start x of the slide in, end x of the slide out
    int32_t y = 0;
    uint32_t slide_amount = 0;  // pixels per 33 ms
    uint16_t delay = 0;         // frames before the turn or the slide out starts
    uint16_t current_marker = 0;
  };

  // The three bonuses of one trust value.
  struct Bonus {
    int attack = 0;
    int defence = 0;
    int move = 0;
  };

  CTamvikTrust();
  ~CTamvikTrust();
  CTamvikTrust(const CTamvikTrust&) = delete;
  CTamvikTrust& operator=(const CTamvikTrust&) = delete;

  // Appends the task under the owner with a zeroed 16-byte work block (byte 0 finished, byte 1
  // the step). 1 / 0.
  static int StartCheckKaoPanel(GameTaskRec* owner);
  static bool IsCheckKaoPanelRunning();
  static void CheckKaoPanel(GameTaskRec* task);

  // The heroine row of the chapter and scene (0-9).
  static int PanelRowFor(uint16_t scene_code, uint16_t saved_before_battle, uint16_t p83);
  // Fills the six rows from the heroine row with their trust and rank variables, then sorts the
  // heroines (not the empty panels) by rank.
  void SetupPanelList();
  // Highest rank first; equal ranks keep their order.
  void SortPanelList(int count);
  // The face unit for a code, face mode and trust in a chapter.
  uint8_t ChooseFace(uint16_t code, int face_mode, uint16_t trust, int chapter) const;
  static Bonus BonusFor(uint16_t trust);
  // "label + digits" in the game's two-byte text: empty for 0.
  std::string FormatBonusLine(int label, int value) const;
  // The three lines page 1 (name and two mood words) or page 2 (bonuses) draws for a panel
  // row; empty for page 0 and for an empty panel.
  std::array<std::string, 3> PageLines(const PanelRow& row, int page, int chapter) const;

  const std::array<PanelRow, kPanels>& rows() const { return rows_; }
  std::array<PanelRow, kPanels>& rows() { return rows_; }
  const std::array<PanelRec, kPanels>& panels() const { return panels_; }
  WindowRec* window(int i) const { return windows_[i]; }
  SprRec* face_sprite(int i) const { return face_sprites_[i]; }
  // Whether a showing holds windows, sprites, the face file or animations.
  bool HoldsAnything() const;

 private:
  void CreatePanels();
  void DeletePanels();
  void StepPanel(int i);
  // Runs the stepper on all six; when all are done, a new page timer and true.
  bool RunPanels();
  void PutFace(int i);
  void DrawPanelText(int i);
  void StartPage(int next_face_mode, int text_page, uint16_t marker_a, uint16_t marker_b);
  void NewPanelTimer(int i);
  void StopTimer(AnimeHandle& timer);
  void SetSlideOut(int i);
  int Chapter() const;
  void Step(GameTaskRec* task);

  std::array<PanelRow, kPanels> rows_{};
  std::array<PanelRec, kPanels> panels_{};
  std::array<std::string, 7> names_;   // by code (6: none)
  std::array<std::string, 6> moods_;   // high, middle and low pairs
  std::array<std::string, 3> labels_;  // attack, defence, move
  std::array<std::string, 10> digits_;
  SprUnit* face_file_ = nullptr;
  std::array<SprRec*, kPanels> face_sprites_{};
  std::array<SprBufferEntry*, kPanels> face_pieces_{};
  AnimeHandle page_timer_ = nullptr;
  std::array<AnimeHandle, kPanels> panel_timers_{};
  std::array<AnimeHandle, kPanels> flips_{};
  std::array<AnimeHandle, kPanels> slides_{};
  std::array<WindowRec*, kPanels> windows_{};
};
