// The cooking game's lines (cook_texts.h).

#include "minigames/cook/cook_texts.h"

#include <algorithm>
#include <array>
#include <string>

#include "engine/gfx/text/text_big5.h"

namespace cook {

namespace {

constexpr std::array<const char*, kLineCount> kLessonUtf8{
    "歡迎來到廚房！\n今天就由我來教你做一道菜吧。",
    "先看我切一次。",
    "好，換你試試看。",
    "切好了！",
    "那麼，來考考你吧。",
    "調味完成了。",
    "我先示範一次。",
    "換你了，開始！",
    "好，熄火！",
    "來看看成績吧。",
    "切菜：刀工很整齊。",
    "切菜：寬度不太一致。",
    "調味：份量都記住了。",
    "調味：份量記錯了不少。",
    "下次再一起做菜吧！",
};

constexpr std::array<std::array<const char*, 3>, 3> kGroupsUtf8{{
    {"第一關是切菜。", "菜刀會自己慢慢往前移動。", "按決定鍵下刀，\n每一刀都要切得一樣寬。"},
    {"第二關是調味。", "我會先念一次食譜的份量。", "請記好每樣調味料要放多少。"},
    {"最後一關是火候。", "按住決定鍵火會變大，\n放開就會變小。",
     "讓鍋子保持在剛好的溫度，\n撐過十五秒。"},
}};

constexpr std::array<const char*, 5> kQuestionsUtf8{
    "鹽要放幾匙？", "糖要放幾匙？", "醬油要放幾匙？", "醋要放幾匙？", "酒要倒幾杯？",
};

constexpr std::array<const char*, 3> kHeatUtf8{
    "火候：溫度控制得剛好。",
    "火候：火太小了。",
    "火候：火太大了。",
};

constexpr std::array<const char*, 3> kFinalUtf8{
    "總評：非常好吃！",
    "總評：還算不錯。",
    "總評：還要多練習喔。",
};

constexpr std::array<const char*, 2> kRecipeUtf8{
    "今天的食譜：\n鹽\a匙、糖\a匙、醬油\a匙，",
    "再加醋\a匙，\n最後倒酒\a杯。",
};

// Every line in Big5, converted once.
struct Tables {
  std::array<std::string, kLineCount> lesson;
  std::array<std::array<std::string, 3>, 3> groups;
  std::array<std::string, 5> questions;
  std::array<std::string, 3> heat;
  std::array<std::string, 3> final;
  std::array<std::string, 2> recipe;
  std::string percent;
  std::string total_before;
  std::string total_after;
};

std::string B5(const char* utf8) { return Big5FromUtf8(utf8).value_or(""); }

const Tables& T() {
  static const Tables tables = [] {
    Tables t;
    for (size_t i = 0; i < t.lesson.size(); ++i) t.lesson[i] = B5(kLessonUtf8[i]);
    for (size_t g = 0; g < 3; ++g) {
      for (size_t i = 0; i < 3; ++i) t.groups[g][i] = B5(kGroupsUtf8[g][i]);
    }
    for (size_t i = 0; i < 5; ++i) t.questions[i] = B5(kQuestionsUtf8[i]);
    for (size_t i = 0; i < 3; ++i) t.heat[i] = B5(kHeatUtf8[i]);
    for (size_t i = 0; i < 3; ++i) t.final[i] = B5(kFinalUtf8[i]);
    for (size_t i = 0; i < 2; ++i) t.recipe[i] = B5(kRecipeUtf8[i]);
    t.percent = B5("％");
    t.total_before = B5("總分 ");
    t.total_after = B5(" 分");
    return t;
  }();
  return tables;
}

size_t Index(int32_t i, size_t count) {
  return static_cast<size_t>(std::clamp<int32_t>(i, 0, static_cast<int32_t>(count) - 1));
}

}  // namespace

const char* Lesson(int32_t line) { return T().lesson[Index(line, kLineCount)].c_str(); }
const char* GroupLine(int32_t group, int32_t i) {
  return T().groups[Index(group, 3)][Index(i, 3)].c_str();
}
const char* Question(int32_t ingredient) { return T().questions[Index(ingredient, 5)].c_str(); }
const char* HeatVerdictLine(int32_t verdict) { return T().heat[Index(verdict, 3)].c_str(); }
const char* FinalVerdictLine(int32_t verdict) { return T().final[Index(verdict, 3)].c_str(); }
const char* RecipeTemplate(int32_t page) { return T().recipe[Index(page, 2)].c_str(); }
const char* PercentSign() { return T().percent.c_str(); }
const char* TotalBefore() { return T().total_before.c_str(); }
const char* TotalAfter() { return T().total_after.c_str(); }

}  // namespace cook
