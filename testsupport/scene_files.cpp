#include "testsupport/scene_files.h"

#include "testsupport/icon_files.h"
#include "testsupport/portrait_writer.h"
#include "testsupport/temp_tree.h"

namespace testsupport {

SprRgb WallColour(int variant) {
  return variant == 0 ? SprRgb{4, 12, 20} : SprRgb{20, 12, 4};
}

std::vector<uint8_t> WallFile(int variant) {
  const SprRgb colour = WallColour(variant);
  return PictureFile({{0, 0, 0}, colour},
                     {SprImage(640, 480, kSprDepth8, 0, std::vector<uint8_t>(640 * 480, 1))});
}

std::vector<uint8_t> BgAnimeFile(SprRgb colour) { return SquareAnimationFile({colour}, 16, 6); }

std::vector<uint8_t> MapLabelFile() {
  std::vector<SprRgb> colours;
  for (int n = 0; n < kMapLabelUnits; ++n) {
    colours.push_back({static_cast<uint8_t>(n % 31 + 1), static_cast<uint8_t>(n / 31 + 1), 9});
  }
  return SquareAnimationFile(colours, 4, 6);
}

void LaySceneFiles(GameTree& tree) {
  tree.Write("install/tamvik1/system/icon/icon2.spr", IconSprFile());
  tree.Write("install/tamvik1/system/icon/point.spr", PointerSprFile());
  tree.Write("install/tamvik1/system/window/window_b.spr", PlainPictureFile(608, 128, 3, 4, 7));
  tree.Write("install/tamvik1/WALL/Kabe0100.spr", WallFile(0));
  tree.Write("install/tamvik1/WALL/Kabe0101.spr", WallFile(1));
  tree.Write("install/tamvik1/bg/2093.spr", BgAnimeFile({31, 0, 31}));
  tree.Write("install/tamvik1/bg/2238.spr", BgAnimeFile({0, 31, 31}));
  tree.Write("install/Tamvik1/map/tmap2.spr", MapLabelFile());
}

ScriptWriter& Macroend(ScriptWriter& w) { return w.Command(kOpMacroend, {Lit(0)}); }
ScriptWriter& Fight(ScriptWriter& w) { return w.Command(kOpFight, {Lit(0)}); }
ScriptWriter& Minigame(ScriptWriter& w, uint16_t n) { return w.Command(kOpMinigame, {Lit(n)}); }

ScriptWriter Scene0100Script() {
  ScriptWriter w;
  w.Assign(VarA(1), Num(1)).Wait(Lit(2)).Assign(VarA(2), Num(2));
  Macroend(w);
  return w;
}

ScriptWriter SkipSceneScript(uint16_t frames) {
  ScriptWriter w;
  w.Assign(VarA(1), Num(1)).Wait(LongLit(frames)).Assign(VarA(2), Num(2)).Wait(Lit(2));
  Macroend(w);
  return w;
}

ScriptWriter ShortWaitsScript(int waits, uint16_t frames) {
  ScriptWriter w;
  for (int i = 0; i < waits; ++i) w.Wait(LongLit(frames));
  w.Assign(VarA(3), Num(3));
  Macroend(w);
  return w;
}

ScriptWriter ExtrasScript() {
  ScriptWriter w;
  auto sub = w.NewLabel();
  w.Assign(VarP(90), VarP(81), {{'+', Num(1)}}).Call(sub).Assign(VarA(6), Num(6));
  Macroend(w);
  w.Bind(sub);
  Minigame(w, 4);
  w.Assign(VarA(5), Num(5)).Return();
  return w;
}

ScriptWriter MinigameInCallScript(uint16_t n) {
  ScriptWriter w;
  auto sub = w.NewLabel();
  w.Assign(VarA(1), Num(1)).Call(sub).Assign(VarA(3), Num(3));
  Macroend(w);
  w.Bind(sub).Assign(VarA(2), Num(2));
  Minigame(w, n);
  w.Assign(VarA(4), VarA(4), {{'+', Num(1)}}).Return();
  return w;
}

}  // namespace testsupport
