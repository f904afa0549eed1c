#include "testsupport/eyecatch_files.h"

#include <cstdio>

#include "testsupport/scene_files.h"
#include "testsupport/temp_tree.h"
#include "testsupport/trust_panel_files.h"
#include "testsupport/wav_writer.h"

namespace testsupport {

namespace {

constexpr int kFaceWidth = 224;
constexpr int kFaceHeight = 256;

std::vector<uint8_t> ScreenFile(SprRgb colour) {
  return PictureFile({{0, 0, 0}, colour},
                     {SprImage(640, 480, kSprDepth8, 0, std::vector<uint8_t>(640 * 480, 1))});
}

}  // namespace

SprRgb IcatFaceColour(int face) { return face == 0 ? SprRgb{24, 8, 2} : SprRgb{2, 24, 8}; }

std::vector<uint8_t> IcatFaceFile() {
  std::vector<SprRgb> colours{{0, 0, 0}};
  std::vector<SprImage> images;
  std::vector<std::vector<SprUnitEntry>> units;
  for (int face = 0; face < 2; ++face) {
    colours.push_back(IcatFaceColour(face));
    images.emplace_back(kFaceWidth, kFaceHeight, kSprDepth8, 0,
                        Encode8Bit(std::vector<uint8_t>(kFaceWidth * kFaceHeight,
                                                        static_cast<uint8_t>(face + 1))));
    units.push_back({BoxEntry(static_cast<uint16_t>(face), 0, 0, kFaceWidth, kFaceHeight)});
  }
  return AnimationFile(colours, images, units, {});
}

SprRgb EyecatchPictureColour(int number) {
  return {static_cast<uint8_t>(6 + (number / 100) % 20), static_cast<uint8_t>(3 + number % 10),
          28};
}

std::vector<uint8_t> EyecatchPictureFile(int number) {
  return ScreenFile(EyecatchPictureColour(number));
}

SprRgb TrustBackgroundColour() { return {9, 27, 27}; }
SprRgb SaveBackgroundColour() { return {27, 27, 9}; }
std::vector<uint8_t> PlainScreenFile(SprRgb colour) { return ScreenFile(colour); }

SprRgb Chapter3WallColour(int variant) {
  return {static_cast<uint8_t>(12 + variant), 12, static_cast<uint8_t>(4 + variant)};
}

void LayEyecatchFiles(GameTree& tree) {
  tree.Write("install/tamvik1/icatch/ic01.spr", IcatFaceFile());
  for (int number : kEyecatchNumbers) {
    char name[64];
    std::snprintf(name, sizeof name, "install/tamvik1/icatch/ic%04d.spr", number);
    tree.Write(name, EyecatchPictureFile(number));
  }
  tree.Write("install/tamvik1/icatch/shinrai.spr", ScreenFile(TrustBackgroundColour()));
  tree.Write("install/tamvik1/system/sis_bg.spr", ScreenFile(SaveBackgroundColour()));
  // Music loops, as the game's does: the "loop" marker at sample 0.
  WavFile music = PcmWav(1, 22050, 16, std::vector<int16_t>(22050, 3000));
  music.loop_point = 0;
  tree.Write("install/tamvik1/bgm/sm01.wav", music.Bytes());
  tree.Write("install/tamvik1/icatch/kao_p.spr", TrustFaceFile());
  tree.Write("install/tamvik1/icatch/shinriad.spr", TrustCardFile());
  for (int variant = 0; variant < 2; ++variant) {
    char name[64];
    std::snprintf(name, sizeof name, "install/tamvik1/WALL/Kabe030%d.spr", variant);
    tree.Write(name, ScreenFile(Chapter3WallColour(variant)));
  }
  for (int n = 0; n < 17; ++n) {
    if (n == 6) continue;
    char name[64];
    std::snprintf(name, sizeof name, "install/tamvik1/system/se/TE%02d.WAV", n);
    tree.Write(name, PcmWav(1, 22050, 16, std::vector<int16_t>(1102, 2000)).Bytes());
  }
}

ScriptWriter& Eyecatch(ScriptWriter& w) { return w.Command(kOpEyecatch, {Lit(0)}); }

ScriptWriter EyecatchSceneScript() {
  ScriptWriter w;
  auto sub = w.NewLabel();
  w.Assign(VarA(1), Num(1)).Assign(VarP(0), Num(2)).Call(sub).Assign(VarA(9), Num(9));
  Macroend(w);
  w.Bind(sub);
  Eyecatch(w);
  w.Return();
  return w;
}

ScriptWriter AfterEyecatchSceneScript() {
  ScriptWriter w;
  w.Assign(VarA(2), Num(2)).Wait(Lit(2));
  Macroend(w);
  return w;
}

}  // namespace testsupport
