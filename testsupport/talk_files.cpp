#include "testsupport/talk_files.h"

#include <cstdio>

#include "scene/ui/tamvik_func.h"
#include "testsupport/portrait_writer.h"
#include "testsupport/temp_tree.h"
#include "testsupport/wav_writer.h"

namespace testsupport {

std::vector<uint8_t> VoiceWave(int frames) {
  const uint32_t rate = 22050;
  const uint32_t samples = rate * static_cast<uint32_t>(frames) / 60;
  return PcmWav(1, rate, 16, Tone(1, rate, samples, 440.0, 8000)).Bytes();
}

void LayVoice(GameTree& tree, int voice, int frames) {
  char name[64];
  std::snprintf(name, sizeof name, "install/tamvik1/voice/%.04d.wav", voice);
  tree.Write(name, VoiceWave(frames));
}

void LaySystemSounds(GameTree& tree) {
  const char* const* names = TamvikFunc::SystemSeNames();
  for (int i = 0; i < TamvikFunc::kSystemSeCount; ++i) {
    std::string name = names[i];
    for (char& c : name) {
      if (c == '\\') c = '/';
    }
    tree.Write("install/" + name, VoiceWave(12));
  }
}

SprHitRow HitRow(uint16_t code, uint16_t x1, uint16_t y1, uint16_t x2, uint16_t y2) {
  return SprHitRow{code, {x1, y1, x2, y2}};
}

std::vector<uint8_t> HitPictureFile(SprRgb colour, const std::vector<SprHitRow>& rows) {
  const int w = 576;
  const int h = 320;
  SprFileWriter file;
  file.Add(1, ColourPart({{0, 0, 0}, colour}));
  file.Add(2, ImagePart({SprImage(w, h, kSprDepth8, 0,
                                  Encode8Bit(std::vector<uint8_t>(size_t{w} * h, 1)))}));
  file.Add(12, HitPart({rows}));
  return file.Build();
}

namespace {

void LayBoth(GameTree& tree, const char* folder, int n, const std::vector<uint8_t>& bytes) {
  char name[64];
  std::snprintf(name, sizeof name, "install/tamvik1/%s/%d.spr", folder, n);
  tree.Write(name, bytes);
  std::snprintf(name, sizeof name, "install/tamvik1/%s/%.02d.spr", folder, n);
  tree.Write(name, bytes);
}

}  // namespace

void LayBackground(GameTree& tree, int n, SprRgb colour, const std::vector<SprHitRow>& rows) {
  LayBoth(tree, "bg", n, HitPictureFile(colour, rows));
}

std::vector<uint8_t> TalkingCharaFile(const std::vector<SprHitRow>& rows) {
  NcFileContents nc;
  nc.image_sizes = {{120, 200}, {40, 12}, {40, 12}, {16, 8}, {16, 10}, {16, 12}, {16, 14},
                    {16, 16}, {16, 18}};
  nc.pictures = {{0, 1, 2, 8, 2, 0, 6, 0}};
  nc.default_x = 200;
  nc.default_y = 40;
  nc.bodies = {{0, 0, 0}};
  nc.eyes = {{1, 40, 40, 1500}, {2, 40, 40, 120}};
  for (uint16_t i = 3; i <= 8; ++i) nc.lips.push_back({i, 52, 120, 0});
  nc.hit_rows = rows;
  return NcFile(nc);
}

void LayTalkingChara(GameTree& tree, int n, const std::vector<SprHitRow>& rows) {
  LayBoth(tree, "nc", n, TalkingCharaFile(rows));
}

std::vector<uint8_t> ItemFile(int n) {
  const uint8_t value = static_cast<uint8_t>(1 + n % 7);
  return n >= 100 ? PlainPictureFile(640, 480, value) : PlainPictureFile(224, 224, value);
}

void LayItem(GameTree& tree, int n) {
  char name[64];
  std::snprintf(name, sizeof name, "install/tamvik1/item/item%.02d.spr", n);
  tree.Write(name, ItemFile(n));
}

}  // namespace testsupport
