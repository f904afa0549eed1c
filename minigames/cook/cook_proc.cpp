// The cooking game's procedure (cook_proc.h).

#include "minigames/cook/cook_proc.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "minigames/cook/cook_rules.h"
#include "minigames/cook/cook_texts.h"
#include "minigames/framework/minigame_cursor.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_input.h"
#include "minigames/framework/minigame_menu.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_sound.h"
#include "minigames/framework/minigame_text.h"
#include "minigames/minigame_context.h"

namespace cook {

namespace {

constexpr const char* kStaticSounds[] = {
    "tamvik3\\se\\system00.wav", "tamvik3\\se\\system01.wav", "tamvik3\\se\\system02.wav",
    "tamvik3\\se\\system03.wav", "tamvik3\\se\\cook07.wav",   "tamvik3\\se\\cook08.wav",
    nullptr,
};
constexpr const char* kSoundTick = "tamvik3\\se\\system00.wav";
constexpr const char* kSoundGo = "tamvik3\\se\\system01.wav";
constexpr const char* kSoundCut = "tamvik3\\se\\cook07.wav";
constexpr const char* kMusic = "tamvik1\\bgm\\lunet.wav";

constexpr int32_t kVoiceGreeting = 2331;
constexpr int32_t kVoiceLesson = 2332;
constexpr int32_t kVoiceRecipe = 2333;
constexpr int32_t kVoiceHeat = 2334;

// Presentation: od animations of the panel and its parts.
constexpr int32_t kAnimBackground = 1;
constexpr int32_t kAnimPanel = 10;       // + panel mode
constexpr int32_t kAnimKnife = 20;
constexpr int32_t kAnimCut = 21;
constexpr int32_t kAnimPan = 30;         // + band
constexpr int32_t kAnimGauge = 33;
constexpr int32_t kAnimDigits = 40;      // digits 40-49
constexpr int32_t kAnimCountdown = 60;   // 60 start, 61-63 the numbers
constexpr int32_t kAnimFace = 70;        // + face
constexpr int32_t kAnimGrade = 75;       // + grade
constexpr int32_t kAnimItem = 80;        // + item; ingredient 4 takes 83 +
constexpr int32_t kAnimCursor = 86;
constexpr int32_t kAnimIngredient = 90;  // + ingredient
constexpr int32_t kWindowSlot = 100;     // the text window (101 its empty background)

constexpr int32_t kPanelX = 96;
constexpr int32_t kPanelY = 64;
constexpr int32_t kLineHold = 60;  // an unvoiced line stays this long once typed
constexpr int32_t kCountdownSteps = 60;
constexpr int32_t kHeatDemoSteps = 120;
constexpr int32_t kPlateSteps = 150;
constexpr int32_t kFadeStep = 8;

constexpr int32_t kFaceGlad = 0;
constexpr int32_t kFaceCalm = 1;
constexpr int32_t kFaceSad = 2;

CookState& S() { return Minigame().cook; }

const char* VoiceName(int32_t voice) {
  switch (voice) {
    case 2331: return "tamvik3\\voice\\2331.wav";
    case 2332: return "tamvik3\\voice\\2332.wav";
    case 2333: return "tamvik3\\voice\\2333.wav";
    case 2334: return "tamvik3\\voice\\2334.wav";
    case 2335: return "tamvik3\\voice\\2335.wav";
    case 2336: return "tamvik3\\voice\\2336.wav";
    case 2337: return "tamvik3\\voice\\2337.wav";
    case 2338: return "tamvik3\\voice\\2338.wav";
    default: return nullptr;
  }
}

// Appends text to the page buffer, cut before a character that would not fit.
void PageAppend(CookState& s, const char* text) {
  const size_t room = s.page.size() - 1;
  size_t n = std::strlen(s.page.data());
  for (const char* c = text; *c != '\0'; ++c) {
    const bool pair = static_cast<unsigned char>(*c) >= 0x80 && c[1] != '\0';
    if (n + (pair ? 2 : 1) > room) break;
    s.page[n++] = *c;
    if (pair) s.page[n++] = *++c;
  }
  s.page[n] = '\0';
}

// Starts a line on a new page, with its voice (0 none).
void Say(const char* text, int32_t voice = 0) {
  CookState& s = S();
  s.page[0] = '\0';
  PageAppend(s, "\r");
  PageAppend(s, text);
  mg_print_text(s.page.data());
  s.line_voiced = 0;
  if (const char* name = VoiceName(voice); name != nullptr) {
    mg_voice_play(name);
    s.line_voiced = 1;
  }
  s.line_hold = kLineHold;
}

// A verdict page: the line, then the number and its words on the next line.
void SayWithNumber(const char* line, const char* before, int32_t number, const char* after) {
  CookState& s = S();
  s.page[0] = '\0';
  PageAppend(s, "\r");
  PageAppend(s, line);
  PageAppend(s, "\n");
  PageAppend(s, before);
  PageAppend(s, std::to_string(number).c_str());
  PageAppend(s, after);
  mg_print_text(s.page.data());
  s.line_voiced = 0;
  s.line_hold = kLineHold;
}

// True once the line is typed and then its voice has ended (or, unvoiced, its hold has run
// out); decide cuts either short.
bool LineDone() {
  CookState& s = S();
  if (mg_print_busy() != 0) return false;
  if (s.line_voiced != 0) {
    if (mg_voice_playing() != 0 && mg_key_take(kMgKeyDecide) == 0) return false;
    mg_voice_stop();
    s.line_voiced = 0;
    return true;
  }
  if (s.line_hold > 0) --s.line_hold;
  return s.line_hold <= 0 || mg_key_take(kMgKeyDecide) != 0;
}

void ShowFace(int32_t face) { mg_obj_put(kObjFace, 16, 224, 50, kAnimFace + face, 0); }

void OpenPanel(int32_t mode, int32_t state) {
  CookState& s = S();
  s.panel_mode = mode;
  s.panel_state = state;
  mg_obj_put(kObjPanel, kPanelX, kPanelY, 100, kAnimPanel + mode, 0);
  for (int o : {kObjKnife, kObjPan, kObjGauge, kObjTimer}) mg_obj_anim(o, 0);
  for (int i = 0; i < kCutObjects; ++i) mg_obj_anim(kObjCutFirst + i, 0);
  if (mode == kPanelCutting) {
    mg_obj_put(kObjKnife, KnifeX(s.knife), KnifeY(s.depth), 90, kAnimKnife, 0);
    mg_obj_set_parent(kObjKnife, kObjPanel);
  } else if (mode == kPanelHeat) {
    mg_obj_put(kObjPan, 96, 48, 90, kAnimPan + HeatBand(s.heat), 0);
    mg_obj_set_parent(kObjPan, kObjPanel);
    mg_obj_put(kObjGauge, 320, 256 - HeatPixels(s.heat), 90, kAnimGauge, 0);
    mg_obj_set_parent(kObjGauge, kObjPanel);
    if (state == kPanelActive) {
      mg_obj_put(kObjTimer, 352, 0, 90, kAnimDigits, mg::kObjNumber);
      mg_obj_set_parent(kObjTimer, kObjPanel);
      mg_obj_set_digits(kObjTimer, 2);
      mg_obj_set_value(kObjTimer, s.timer / 30);
    }
  }
}

void CloseQuestion() {
  mg_cursor_close();
  for (int i = 0; i < 3; ++i) mg_obj_anim(kObjItemFirst + i, 0);
  mg_obj_anim(kObjIngredient, 0);
}

void Ask() {
  CookState& s = S();
  const int32_t ingredient = s.order[static_cast<size_t>(std::clamp(s.question, 0, 4))];
  OpenPanel(kPanelSeasoning, kPanelActive);
  mg_obj_put(kObjIngredient, 96, 32, 90, kAnimIngredient + ingredient, 0);
  mg_obj_set_parent(kObjIngredient, kObjPanel);
  // Ingredient 4 is poured by the cup: its own items.
  const int32_t items = ingredient == 4 ? kAnimItem + 3 : kAnimItem;
  mg_cursor_open(kObjCursor, kAnimCursor);
  for (int i = 0; i < 3; ++i) {
    mg_obj_put(kObjItemFirst + i, 192 + 96 * i, 272, 60, items + i, 0);
    mg_cursor_target(i, kObjItemFirst + i);
  }
  Say(Question(ingredient));
}

// The verdict of a part: her face, the grade picture and the line with the percentage.
void SayVerdict(bool good, const char* line, int32_t percent) {
  ShowFace(good ? kFaceGlad : kFaceSad);
  mg_obj_put(kObjGrade, 448, 96, 60, kAnimGrade + (good ? 0 : 1), 0);
  SayWithNumber(line, "", percent, PercentSign());
}

void DrawCut(CookState& s) {
  const int o = kObjCutFirst + s.cuts_drawn % kCutObjects;
  ++s.cuts_drawn;
  mg_obj_put(o, KnifeX(s.knife), KnifeY(kStrokeDepth), 95, kAnimCut, 0);
  mg_obj_set_parent(o, kObjPanel);
}

void Start() {
  CookState& s = S();
  mg_reset();
  s = CookState{};
  mg_static_load(kStaticSounds);
  mg_bgm_play(kMusic);
  mg_obj_bg(kAnimBackground);
  OpenPanel(kPanelCutting, kPanelClosed);
  ShowFace(kFaceCalm);
  mg_textwin_open(0, 352, 10, kWindowSlot, 16, 16);
  // Dimmed, so the common menu opens before the lesson.
  mg_brightness(128);
  s.step = kStepMenu;
}

// One step of the lesson.
void LessonStep() {
  CookState& s = S();
  MinigameContext& m = Minigame();
  switch (s.step) {
    case kStepStart:
      Start();
      return;
    case kStepMenu:
      // Modes with the menu (0 and 1) wait until it has closed; the others have none.
      if (mg_var_get(3) <= mg::kModeFreePlay && m.menu.phase == mg::kPhaseBeforePlay) return;
      mg_brightness(0);
      s.step = kStepFadeIn;
      return;
    case kStepFadeIn: {
      const int32_t level = std::min(256, m.fw.brightness + kFadeStep);
      mg_brightness(level);
      if (level < 256) return;
      Say(Lesson(kLineGreeting), kVoiceGreeting);
      s.step = 10001;
      return;
    }
    case 10001:
      if (!LineDone()) return;
      Say(GroupLine(kGroupCutting, 0), kVoiceLesson);
      s.step = 10002;
      return;
    case 10002:
    case 10003:
      if (!LineDone()) return;
      Say(GroupLine(kGroupCutting, s.step - 10001));
      ++s.step;
      return;
    case 10004:
      if (!LineDone()) return;
      Say(Lesson(kLineCutDemo));
      s.step = 10005;
      return;
    case 10005:
      if (!LineDone()) return;
      CutReset(s);
      OpenPanel(kPanelCutting, kPanelDemo);
      s.step = 10006;
      return;
    case 10006:
      if (s.panel_state != kPanelClosed) return;
      Say(Lesson(kLineCutYourTurn));
      s.step = 10011;
      return;
    case 10011:
      if (!LineDone()) return;
      CutReset(s);
      OpenPanel(kPanelCutting, kPanelClosed);
      s.countdown = 3;
      s.wait = 0;
      s.step = kStepCountdown;
      return;
    case kStepCountdown:
      // 3, 2, 1 a number every 60 steps, then the start.
      if (s.wait > 0 && --s.wait > 0) return;
      if (s.countdown > 0) {
        mg_obj_put(kObjCountdown, 288, 160, 20, kAnimCountdown + s.countdown, 0);
        mg_se_play(kSoundTick);
        --s.countdown;
        s.wait = kCountdownSteps;
        return;
      }
      mg_obj_put(kObjCountdown, 288, 160, 20, kAnimCountdown, 0);
      mg_se_play(kSoundGo);
      s.panel_state = kPanelActive;
      s.step = kStepCutting;
      return;
    case kStepCutting:
      if (s.panel_state != kPanelClosed) return;
      mg_obj_anim(kObjCountdown, 0);
      Say(Lesson(kLineCutDone));
      s.step = 10020;
      return;
    case 10020:
      if (!LineDone()) return;
      s.step = 10021;
      return;
    case 10021: {
      s.cutting_score = CuttingScore(s.strokes.data(), s.stroke_count);
      MakeSeasoning(s);
      int32_t next = 0;
      FillRecipe(RecipeTemplate(0), s.amounts.data(), kIngredients, &next, s.recipe_a.data(),
                 s.recipe_a.size());
      FillRecipe(RecipeTemplate(1), s.amounts.data(), kIngredients, &next, s.recipe_b.data(),
                 s.recipe_b.size());
      OpenPanel(kPanelSeasoning, kPanelClosed);
      Say(GroupLine(kGroupSeasoning, 0));
      s.step = 10022;
      return;
    }
    case 10022:
    case 10023:
      if (!LineDone()) return;
      Say(GroupLine(kGroupSeasoning, s.step - 10021));
      ++s.step;
      return;
    case 10024:
      if (!LineDone()) return;
      Say(s.recipe_a.data(), kVoiceRecipe);
      s.step = 10025;
      return;
    case 10025:
      if (!LineDone()) return;
      Say(s.recipe_b.data());
      s.step = 10026;
      return;
    case 10026:
      if (!LineDone()) return;
      Say(Lesson(kLineSeasonStart));
      s.step = 10027;
      return;
    case 10027:
      if (!LineDone()) return;
      s.question = 0;
      s.step = kStepAsk;
      return;
    case kStepAsk:
      Ask();
      s.step = kStepAnswer;
      return;
    case kStepAnswer: {
      if (mg_key_take(kMgKeyDecide) == 0) return;
      const int32_t choice = std::clamp(mg_cursor_get(), 0, 2);
      mg_se_play(kSoundGo);
      AnswerSeasoning(s, choice + 1);
      CloseQuestion();
      ++s.question;
      s.step = s.question < kIngredients ? kStepAsk : 10034;
      return;
    }
    case 10034:
      OpenPanel(kPanelSeasoning, kPanelClosed);
      Say(Lesson(kLineSeasonDone));
      s.step = 10035;
      return;
    case 10035:
      if (!LineDone()) return;
      HeatReset(s);
      OpenPanel(kPanelHeat, kPanelClosed);
      Say(GroupLine(kGroupHeat, 0), kVoiceHeat);
      s.step = 10036;
      return;
    case 10036:
    case 10037:
      if (!LineDone()) return;
      Say(GroupLine(kGroupHeat, s.step - 10035));
      ++s.step;
      return;
    case 10038:
      if (!LineDone()) return;
      Say(Lesson(kLineHeatDemo));
      s.step = 10039;
      return;
    case 10039:
      if (!LineDone()) return;
      OpenPanel(kPanelHeat, kPanelDemo);
      s.wait = kHeatDemoSteps;
      s.step = 10040;
      return;
    case 10040:
      if (--s.wait > 0) return;
      HeatReset(s);
      OpenPanel(kPanelHeat, kPanelClosed);
      Say(Lesson(kLineHeatYourTurn));
      s.step = 10044;
      return;
    case 10044:
      if (!LineDone()) return;
      HeatReset(s);
      OpenPanel(kPanelHeat, kPanelActive);
      s.step = kStepHeatTest;
      return;
    case kStepHeatTest:
      if (s.panel_state != kPanelClosed) return;
      s.heat_score = HeatScore(s.good_steps);
      Say(Lesson(kLineHeatDone));
      s.step = 10046;
      return;
    case 10046:
      if (!LineDone()) return;
      Say(Lesson(kLineScore));
      s.step = 10047;
      return;
    case 10047:
      if (!LineDone()) return;
      s.total = s.heat_score + s.seasoning_score + s.cutting_score;
      mg_obj_put(kObjGrade, 448, 96, 60, kAnimGrade + 2 + TotalGrade(s.total), 0);
      s.wait = kPlateSteps;
      s.step = kStepPlate;
      return;
    case kStepPlate:
      if (--s.wait > 0) return;
      mg_voice_play(VoiceName(FinalVoice(s.total)));
      s.step = 10049;
      return;
    case 10049:
      if (mg_voice_playing() != 0 && mg_key_take(kMgKeyDecide) == 0) return;
      mg_voice_stop();
      SayVerdict(PartGood(s.cutting_score), Lesson(PartGood(s.cutting_score) ? kLineCutGood
                                                                              : kLineCutPoor),
                 Percent(s.cutting_score, kCuttingMax));
      s.step = 10050;
      return;
    case 10050:
      if (!LineDone()) return;
      SayVerdict(PartGood(s.seasoning_score),
                 Lesson(PartGood(s.seasoning_score) ? kLineSeasonGood : kLineSeasonPoor),
                 Percent(s.seasoning_score, kSeasoningMax));
      s.step = 10051;
      return;
    case 10051:
      if (!LineDone()) return;
      s.heat_verdict = HeatVerdict(s.heat_score, s.low_steps, s.high_steps);
      SayVerdict(s.heat_verdict == 0, HeatVerdictLine(s.heat_verdict),
                 Percent(s.heat_score, kHeatMax));
      s.step = 10052;
      return;
    case 10052: {
      if (!LineDone()) return;
      s.overall_verdict = OverallVerdict(s.total);
      ShowFace(s.overall_verdict == 0 ? kFaceGlad : s.overall_verdict == 1 ? kFaceCalm : kFaceSad);
      mg_obj_put(kObjGrade, 448, 96, 60, kAnimGrade + 2 + TotalGrade(s.total), 0);
      std::string line = FinalVerdictLine(s.overall_verdict);
      line += "\n";
      line += Lesson(kLineFinal);
      SayWithNumber(line.c_str(), TotalBefore(), s.total, TotalAfter());
      s.step = kStepResult;
      return;
    }
    case kStepResult:
      if (!LineDone()) return;
      mg_var_set(2, ResultValue(s.total));
      if (ResultWon(s.total) != 0) mg_var_set(9, 1);
      mg_finish(s.total);
      s.step = kStepFadeOut;
      return;
    case kStepFadeOut: {
      // In free play the common menu's result screen takes over from here.
      if (mg_var_get(3) == mg::kModeFreePlay) return;
      const int32_t level = std::max(0, m.fw.brightness - kFadeStep);
      mg_brightness(level);
      if (level == 0) mg_end();
      return;
    }
    default:
      s.step = kStepStart;
      return;
  }
}

}  // namespace

void PanelUpdate() {
  CookState& s = S();
  if (s.panel_mode == kPanelCutting) {
    if (s.panel_state == kPanelClosed) return;
    const bool decide = s.panel_state == kPanelActive && mg_key_take(kMgKeyDecide) != 0;
    if (CutStep(s, decide)) {
      mg_se_play(kSoundCut);
      DrawCut(s);
    }
    mg_obj_set_pos(kObjKnife, KnifeX(s.knife), KnifeY(s.depth));
    return;
  }
  if (s.panel_mode != kPanelHeat || s.panel_state == kPanelClosed) return;
  if (s.panel_state == kPanelActive) {
    HeatStep(s, mg_key_take(kMgKeyDecide << 16) != 0);
    mg_obj_set_value(kObjTimer, s.timer / 30);
  } else {
    HeatDemoStep(s);
  }
  mg_obj_anim_change(kObjPan, kAnimPan + HeatBand(s.heat));
  mg_obj_set_y(kObjGauge, 256 - HeatPixels(s.heat));
}

}  // namespace cook

int cook_proc(int state) {
  cook::CookState& s = Minigame().cook;
  if (state == mg::kStateLoadPending) s.step = cook::kStepStart;
  const int answer = mg_menu(state);
  if (answer == mg::kMenuOpen) return 1;
  if (answer == mg::kMenuQuit) {
    mg_end();
    return 1;
  }
  // Retry: the game starts again from its first call (the menu anew too).
  if (answer == mg::kMenuRetry) return cook_proc(mg::kStateLoadPending);
  cook::LessonStep();
  if (mg_is_running() != 0) cook::PanelUpdate();
  return 1;
}
