// Face portraits and character picture sets: the face builder (image and record N - 1, the eye
// band, the blink sprites on a surface and in the message window), the face files read once, the
// blink loop, the NC builder (position, scale, tables, picture choice, range checks), its talk,
// pause and release, and the corrupt files that must build nothing.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/files/random.h"
#include "scene/sprite/portrait_state.h"
#include "tests/scene/sprite/portrait_rig.h"
#include "testsupport/trace_capture.h"

namespace {

using namespace testsupport;
using portrait_test::PortraitRig;

constexpr const char* kAdvFaces = "tamvik1\\system\\kao.spr";
constexpr const char* kBattleFaces = "tamvik2\\system\\kaoslg.spr";
constexpr SurfaceId kTarget = SURFACE_FG;

// ---- Faces ----

FaceFileContents Faces(std::vector<FaceRecord> records, int images = 1,
                   std::optional<int> broken = std::nullopt) {
  FaceFileContents contents;
  contents.records = std::move(records);
  contents.images = images;
  contents.broken_image = broken;
  return contents;
}

class FaceTest : public PortraitRig {
 protected:
  // Faces 1 and 2: results 7 and 9, eye bands at rows 16 and 32.
  void PutTwoFaces(const char* name = kAdvFaces) {
    Put(name, FaceFile(Faces({{0, 7, 16}, {1, 9, 32}}, 2)));
  }
  std::array<SprRec*, 4> Blink() { return state().blink; }
  // The sprite's home position and size.
  void ExpectSprite(const SprRec* s, int x, int y, int w, int h, const char* what) {
    ASSERT_NE(s, nullptr) << what;
    EXPECT_EQ(s->x, x) << what;
    EXPECT_EQ(s->y, y) << what;
    EXPECT_EQ(s->width, w) << what;
    EXPECT_EQ(s->height, h) << what;
  }
};

TEST_P(FaceTest, FaceNUsesImageAndRecordNMinusOneOnASurface) {
  PutTwoFaces();
  EXPECT_EQ(TamvikFunc::PutAdvKaoToSurface(2, kTarget, 0), 9);
  // The face rows of image 1 in the face box.
  EXPECT_EQ(Pixel(kTarget, 32, 354), Portrait(FaceValue(1, 0)));
  EXPECT_EQ(Pixel(kTarget, 111, 449), Portrait(FaceValue(1, 95)));
  EXPECT_EQ(Pixel(kTarget, 112, 449), Key());  // nothing past the box
  const auto blink = Blink();
  ExpectSprite(blink[3], 32, 354, 80, 96, "whole face");
  ExpectSprite(blink[0], 32, 354 + 32, 80, 32, "open eyes");
  ExpectSprite(blink[1], 32, 354 + 32, 80, 32, "half-closed eyes");
  ExpectSprite(blink[2], 32, 354 + 32, 80, 32, "closed eyes");
  // Open eyes are the face's rows E.., the others the two bands.
  EXPECT_EQ(SpritePixel(blink[0], 0, 0), Portrait(FaceValue(1, 32)));
  EXPECT_EQ(SpritePixel(blink[0], 79, 31), Portrait(FaceValue(1, 63)));
  EXPECT_EQ(SpritePixel(blink[1], 0, 0), Portrait(FaceValue(1, 96)));
  EXPECT_EQ(SpritePixel(blink[2], 79, 31), Portrait(FaceValue(1, 159)));
  EXPECT_EQ(SpritePixel(blink[3], 0, 95), Portrait(FaceValue(1, 95)));

  // Face 1 of the same file: its own record and image.
  TamvikFunc::ReleaseBlinkAnm();
  EXPECT_EQ(TamvikFunc::PutAdvKaoToSurface(1, kTarget, 0), 7);
  EXPECT_EQ(Pixel(kTarget, 32, 354), Portrait(FaceValue(0, 0)));
  EXPECT_EQ(Blink()[0]->y, 354 + 16);
  EXPECT_EQ(SpritePixel(Blink()[0], 0, 0), Portrait(FaceValue(0, 16)));
}

TEST_P(FaceTest, FaceInTheMessageWindowGoesIntoItsTextSpriteAt16x16) {
  PutTwoFaces();
  ASSERT_EQ(ADVShowWindow(), 1);
  EXPECT_EQ(TamvikFunc::PutAdvKao(2), 9);
  const WindowRec* window = state().message_window;
  const platform::Surface* text = spr().GetSpriteSurface(window->text_sprite);
  EXPECT_EQ(text->Row(16)[16], Portrait(FaceValue(1, 0)));
  EXPECT_EQ(text->Row(111)[95], Portrait(FaceValue(1, 95)));
  EXPECT_EQ(Pixel(kTarget, 32, 354), Key());  // no surface touched
  const auto blink = Blink();
  ExpectSprite(blink[3], 16, 16, 80, 96, "whole face");
  for (int i = 0; i < 3; ++i) ExpectSprite(blink[static_cast<size_t>(i)], 16, 16 + 32, 80, 32, "band");

  // The face area of the window clears to transparent or black; without a window nothing.
  EXPECT_EQ(TamvikFunc::ClearWindowFaceArea(0), 1);
  EXPECT_EQ(text->Row(16)[16], 0);
  EXPECT_EQ(TamvikFunc::ClearWindowFaceArea(1), 1);
  EXPECT_EQ(text->Row(111)[95], Key());
  TamvikFunc::ReleaseBlinkAnm();
  TamvikFunc::CloseMessageWindow();
  EXPECT_EQ(TamvikFunc::ClearWindowFaceArea(1), 0);
  EXPECT_EQ(TamvikFunc::PutAdvKao(2), -1);  // neither a surface nor a window
}

TEST_P(FaceTest, UnusableFacesGiveMinusOneAndBuildNothing) {
  struct Case {
    const char* what;
    FaceFileContents file;
    int face;
  };
  const Case cases[] = {
      {"eye band 0", Faces({{0, 5, 0}}), 1},
      {"eye band past row 128", Faces({{0, 5, 140}}), 1},
      {"eye band at row 129", Faces({{0, 5, 129}}), 1},
      {"no record for the face", Faces({{0, 5, 16}}), 2},
      {"face 0", Faces({{0, 5, 16}}), 0},
      {"image that does not decode", Faces({{0, 5, 16}}, 1, 0), 1},
      {"no image for the record", Faces({{1, 5, 16}}), 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    state().face_loaded = {};  // the file is read again for each case
    Put(kAdvFaces, FaceFile(c.file));
    Fill(SURFACE_SCRATCH, {0, 0, 80, 160}, Pack(0x123456));
    EXPECT_EQ(TamvikFunc::PutAdvKaoToSurface(c.face, kTarget, 0), -1);
    for (const SprRec* s : Blink()) EXPECT_EQ(s, nullptr);
    EXPECT_EQ(Pixel(kTarget, 32, 354), Key());
  }
  // The last row an eye band may start on.
  state().face_loaded = {};
  Put(kAdvFaces, FaceFile(Faces({{0, 5, 128}})));
  EXPECT_EQ(TamvikFunc::PutAdvKaoToSurface(1, kTarget, 0), 5);
  EXPECT_EQ(SpritePixel(Blink()[0], 0, 31), Portrait(FaceValue(0, 159)));
}

TEST_P(FaceTest, EachFaceFileIsReadOnceAndKept) {
  PutTwoFaces(kAdvFaces);
  EXPECT_EQ(TamvikFunc::PutAdvKaoToSurface(1, kTarget, 0), 7);
  Remove(kAdvFaces);
  TamvikFunc::ReleaseBlinkAnm();
  EXPECT_EQ(TamvikFunc::PutAdvKaoToSurface(2, kTarget, 1), 9);  // from the parts kept
  // The battle faces are the other file: missing, then read when it is there.
  TamvikFunc::ReleaseBlinkAnm();
  EXPECT_EQ(TamvikFunc::PutKaoToSurface(1, kTarget, 0, 1), -1);
  PutTwoFaces(kBattleFaces);
  EXPECT_EQ(TamvikFunc::PutKaoToSurface(2, kTarget, 0, 1), 9);
  Remove(kBattleFaces);
  TamvikFunc::ReleaseBlinkAnm();
  EXPECT_EQ(TamvikFunc::PutKaoToSurface(1, kTarget, 0, 1), 7);
  EXPECT_EQ(TamvikFunc::PutKaoToSurface(1, kTarget, 0, 2), -1);  // no such kind
  TamvikFunc::ReleaseBlinkAnm();
}

TEST_P(FaceTest, BlinkLoopPlaysHalfClosedHalfAndEndsOnOpenEyes) {
  PutTwoFaces();
  ASSERT_EQ(TamvikFunc::PutAdvKaoToSurface(2, kTarget, 0), 9);
  // A seed whose first draw starts the loop.
  uint32_t seed = 1;
  for (;; ++seed) {
    GameRandom ref;
    ref.Seed(seed);
    if (ref.Next() < 256) break;
  }
  SeedRandom(seed);
  ASSERT_EQ(TamvikFunc::CreateBlinkAnm(kTarget, {1, 2, 1, 0}, 0, 0, 50), 1);
  const auto blink = Blink();
  Frame(16);  // the random start
  EXPECT_TRUE(Entries(kTarget).empty());
  for (int cell : {1, 2, 1, 0}) {
    Frame(50);
    const auto shown = Entries(kTarget);
    ASSERT_EQ(shown.size(), 1u) << "cell " << cell;
    EXPECT_EQ(shown[0]->sprite, blink[static_cast<size_t>(cell)]) << "cell " << cell;
    EXPECT_EQ(shown[0]->priority, 2047);
  }
  // The open eyes stand over the face at the eye band.
  ASSERT_TRUE(Compose());
  EXPECT_EQ(Shown(32, 354 + 32), Portrait(FaceValue(1, 32)));

  // The table belongs to the face, not to the loop.
  EXPECT_EQ(TamvikFunc::GetBlinkSprTable()[2], blink[2]);
  EXPECT_EQ(TamvikFunc::ReleaseBlinkAnm(), 1);
  EXPECT_TRUE(Entries(kTarget).empty());
  for (const SprRec* s : blink) EXPECT_EQ(spr().IsSprite(s), 0);
  EXPECT_EQ(state().blink_anime, nullptr);
  EXPECT_EQ(TamvikFunc::ReleaseBlinkAnm(), 1);  // nothing left, no harm
}

TEST_P(FaceTest, BlinkLoopOnTheWindowDrawsIntoItsTextSprite) {
  PutTwoFaces();
  ASSERT_EQ(ADVShowWindow(), 1);
  ASSERT_EQ(TamvikFunc::PutAdvKao(2), 9);
  uint32_t seed = 1;
  for (;; ++seed) {
    GameRandom ref;
    ref.Seed(seed);
    if (ref.Next() < 256) break;
  }
  SeedRandom(seed);
  ASSERT_EQ(TamvikFunc::CreateBlinkAnmOnWindow({1, 2, 1, 0}, 0, 0, 50), 1);
  const platform::Surface* text = spr().GetSpriteSurface(state().message_window->text_sprite);
  // The eye band of the face in the window: rows 16 + E.. of the text sprite.
  const auto band = [&] { return text->Row(16 + 32)[16]; };
  EXPECT_EQ(band(), Portrait(FaceValue(1, 32)));
  Frame(16);  // the random start
  const uint8_t expected[] = {FaceValue(1, 96), FaceValue(1, 128), FaceValue(1, 96),
                              FaceValue(1, 32)};
  for (uint8_t value : expected) {
    Frame(50);
    EXPECT_EQ(band(), Portrait(value));
  }
  EXPECT_TRUE(Entries(SURFACE_TEXT).size() <= 1u);  // no cell entries: only the shade
  EXPECT_EQ(TamvikFunc::ReleaseBlinkAnm(), 1);
  EXPECT_EQ(TamvikFunc::CloseMessageWindow(), 1);
  EXPECT_EQ(TamvikFunc::CreateBlinkAnmOnWindow({1, 0}, 0, 0, 50), 0);  // no window
}

TEST_P(FaceTest, ClearFaceAreaFillsTheFaceBox) {
  Fill(kTarget, {0, 0, 640, 480}, Pack(0x00FF00));
  EXPECT_EQ(TamvikFunc::ClearFaceArea(kTarget, 0), 1);
  EXPECT_EQ(Pixel(kTarget, 32, 354), 0);
  EXPECT_EQ(Pixel(kTarget, 111, 449), 0);
  EXPECT_EQ(Pixel(kTarget, 112, 449), Pack(0x00FF00));
  EXPECT_EQ(Pixel(kTarget, 31, 354), Pack(0x00FF00));
  EXPECT_EQ(TamvikFunc::ClearFaceArea(kTarget, 1), 1);
  EXPECT_EQ(Pixel(kTarget, 32, 449), Key());
}

INSTANTIATE_PORTRAIT_LAYOUTS(FaceTest);

// ---- Character picture sets ----

// Image 0 the body (40 x 60), 1-3 eyes, 4-6 lips (8 x 4). Pictures 0 and 3: picture 0 with eye
// records 0-1 and lip records 0-2, picture 3 with eye record 2 and lip record 3.
NcFileContents TwoPictures() {
  NcFileContents contents;
  contents.image_sizes = {{40, 60}, {8, 4}, {8, 4}, {8, 4}, {8, 4}, {8, 4}, {8, 4}};
  contents.pictures = {{0, 11, 3, 6, 2, 0, 3, 0}, {3, 22, 3, 6, 1, 2, 1, 3}};
  contents.default_x = 100;
  contents.default_y = 50;
  contents.bodies = {{0, 10, 20}};
  contents.eyes = {{1, 12, 14, 2000}, {2, 12, 14, 150}, {3, 12, 14, 100}};
  contents.lips = {{4, 16, 30}, {5, 16, 30}, {6, 16, 30}, {5, 16, 30}};
  return contents;
}

class NcTest : public PortraitRig {
 protected:
  // Each file under a name of its own: the sets go through the sprite cache.
  int Load(const NcFileContents& contents, int body, int picture, int x, int y) {
    name_ = "tamvik1\\chara\\nc" + std::to_string(++files_) + ".spr";
    Put(name_, NcFile(contents));
    return TamvikFunc::LoadNcSpx(name_.c_str(), body, picture, x, y, kTarget);
  }
  void ExpectNothingBuilt() {
    EXPECT_EQ(state().nc_body, nullptr);
    EXPECT_TRUE(state().nc_eyes.empty());
    EXPECT_TRUE(state().nc_lips.empty());
    EXPECT_EQ(state().nc_group, nullptr);
    EXPECT_EQ(state().nc_eye_anime, nullptr);
    EXPECT_EQ(state().nc_lip_anime, nullptr);
    EXPECT_TRUE(Entries(kTarget).empty());
    EXPECT_EQ(TamvikFunc::GetNcX(), -1);
    EXPECT_EQ(TamvikFunc::GetNcY(), -1);
  }
  AnimeTalkBlock* Lips() { return anime().BlockOf<AnimeTalkBlock>(state().nc_lip_anime); }

  std::string name_;
  int files_ = 0;
};

TEST_P(NcTest, PositionScaleAndTheFileDefault) {
  struct Case {
    const char* what;
    uint16_t scale_flag;
    int x, y;
    int body_x, body_y;  // offset x scale + 2 x position
  };
  const Case cases[] = {
      {"file position at scale 2", 2, 0xFFFF, 0xFFFF, 220, 140},
      {"given position at scale 2", 2, 100, 50, 220, 140},
      {"given position at scale 1", 1, 30, 40, 70, 100},
      {"file position at scale 1", 1, 0xFFFF, 0xFFFF, 210, 120},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    NcFileContents contents = TwoPictures();
    contents.scale_flag = c.scale_flag;
    contents.image_sizes[0] = {4, 6};
    ASSERT_EQ(Load(contents, 0, 0, c.x, c.y), 11);
    const SprRec* body = state().nc_body;
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->x, c.body_x);
    EXPECT_EQ(body->y, c.body_y);
    EXPECT_EQ(body->width, 4 * (c.scale_flag == 1 ? 1 : 2));
    EXPECT_EQ(TamvikFunc::GetNcX(), c.body_x);
    EXPECT_EQ(TamvikFunc::GetNcY(), c.body_y);
    const SprRec* eye = state().nc_eyes[1];
    ASSERT_NE(eye, nullptr);
    const int scale = c.scale_flag == 1 ? 1 : 2;
    EXPECT_EQ(eye->x, 12 * scale + c.body_x - 10 * scale);
    EXPECT_EQ(eye->y, 14 * scale + c.body_y - 20 * scale);
    EXPECT_EQ(TamvikFunc::ReleaseNcSpx(), 1);
  }
}

TEST_P(NcTest, TablesHoldTheCellsOfThePictureAndTheGroupShowsThem) {
  ASSERT_EQ(Load(TwoPictures(), 0, 0, 0, 0), 11);
  // 1 + the highest bound or image: eyes 3, lips 6.
  ASSERT_EQ(state().nc_eyes.size(), 4u);
  ASSERT_EQ(state().nc_lips.size(), 7u);
  EXPECT_EQ(state().nc_eyes[0], nullptr);
  EXPECT_NE(state().nc_eyes[1], nullptr);
  EXPECT_NE(state().nc_eyes[2], nullptr);
  EXPECT_EQ(state().nc_eyes[3], nullptr);  // picture 0 does not use eye record 2
  for (size_t i : {4u, 5u, 6u}) EXPECT_NE(state().nc_lips[i], nullptr) << i;
  EXPECT_EQ(SpritePixel(state().nc_eyes[2], 0, 0), Portrait(NcValue(2)));
  EXPECT_EQ(SpritePixel(state().nc_body, 39, 59), Portrait(NcValue(0)));
  // Body, first eye cell and first lip cell on the surface; the cells above the body.
  const auto shown = Entries(kTarget);
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0]->sprite, state().nc_body);
  const AnimeSprGroupBlock* group = anime().GetSprGroupParam(state().nc_group);
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->identifier, 0u);
  EXPECT_EQ(anime().GetGroupCell(state().nc_group), state().nc_eye_anime);
  EXPECT_EQ(anime().GetGroupTalk(state().nc_group), state().nc_lip_anime);
  ASSERT_NE(Lips(), nullptr);
  EXPECT_EQ(Lips()->base, 4u);
  // The eye cells follow the pairs of the picture's eye records.
  Frame(16);
  Frame(0);
  const auto eye_now = [&] {
    for (const SprBufferEntry* e : Entries(kTarget)) {
      for (size_t i = 1; i < 4; ++i) {
        if (e->sprite == state().nc_eyes[i]) return static_cast<int>(i);
      }
    }
    return -1;
  };
  EXPECT_EQ(eye_now(), 1);
  Frame(2000);
  EXPECT_EQ(eye_now(), 2);
  Frame(150);
  EXPECT_EQ(eye_now(), 1);
  // A look at it.
  ASSERT_TRUE(Compose());
  EXPECT_EQ(Shown(10 + 5, 20 + 5), Portrait(NcValue(0)));
  EXPECT_EQ(Shown(12, 14), Portrait(NcValue(1)));
  EXPECT_EQ(Shown(16, 30), Portrait(NcValue(4)));
  EXPECT_EQ(TamvikFunc::ReleaseNcSpx(), 1);
}

TEST_P(NcTest, APictureNumberInRangeButNotListedTakesTheFirstRecord) {
  EXPECT_EQ(Load(TwoPictures(), 0, 1, 0, 0), 11);
  EXPECT_EQ(anime().GetSprGroupParam(state().nc_group)->identifier, 1u);
  EXPECT_EQ(TamvikFunc::ReleaseNcSpx(), 1);
  // Listed: picture 3 is not below the record count (2), so it is refused.
  EXPECT_EQ(Load(TwoPictures(), 0, 3, 0, 0), -1);
}

TEST_P(NcTest, OutOfRangeAndCorruptSetsBuildNothing) {
  struct Case {
    const char* what;
    NcFileContents contents;
    int body, picture;
  };
  std::vector<Case> cases;
  cases.push_back({"picture number past part 6", TwoPictures(), 0, 2});
  cases.push_back({"negative picture number", TwoPictures(), 0, -1});
  cases.push_back({"body index past part 7", TwoPictures(), 1, 0});
  {
    NcFileContents s = TwoPictures();
    s.pictures[0].eye_first = 2;  // records 2-3 of three
    cases.push_back({"eye range past part 8", s, 0, 0});
  }
  {
    NcFileContents s = TwoPictures();
    s.pictures[0].lip_count = 5;
    cases.push_back({"lip range past part 9", s, 0, 0});
  }
  {
    NcFileContents s = TwoPictures();
    s.without_lips = true;
    cases.push_back({"no part 9", s, 0, 0});
  }
  {
    NcFileContents s = TwoPictures();
    s.bodies[0].image = 9;
    cases.push_back({"body image missing", s, 0, 0});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TraceCapture trace;
    EXPECT_EQ(Load(c.contents, c.body, c.picture, 0, 0), -1);
    ExpectNothingBuilt();
    EXPECT_EQ(TamvikFunc::ReleaseNcSpx(), 0);
    if (std::string(c.what) == "no part 9") {
      EXPECT_TRUE(trace.Contains("ALL NC Param is not Exist"));
    }
  }
  EXPECT_EQ(TamvikFunc::LoadNcSpxFilePos("tamvik1\\chara\\none.spr", 0, 0, kTarget), -1);
  ExpectNothingBuilt();
}

TEST_P(NcTest, TalkModesAndClocks) {
  ASSERT_EQ(Load(TwoPictures(), 0, 0, 0, 0), 11);
  AnimeHandle lips = state().nc_lip_anime;
  TamvikFunc::SetNcTalk(7, "ka.N", kTalkGameClock);
  ASSERT_NE(Lips(), nullptr);
  EXPECT_EQ(Lips()->mode, kTalkText);
  EXPECT_EQ(Lips()->clock, kTalkGameClock);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(Ctx().anime.RecordOf(lips)->data.data())), "ka.N");
  TamvikFunc::SetNcTalk(7, nullptr, kTalkVoiceClock);
  EXPECT_EQ(Lips()->mode, kTalkRandom);
  EXPECT_EQ(Lips()->clock, kTalkVoiceClock);
  TamvikFunc::SetNcTalk(7, nullptr, kTalkGameClock);
  TamvikFunc::StopNcTalk();
  EXPECT_EQ(Lips()->mode, kTalkIdle);
  EXPECT_EQ(Lips()->clock, kTalkVoiceClock);
  // A lip cell at once: base 4 + 2.
  TamvikFunc::PutNcLipCell(2);
  EXPECT_EQ(Lips()->current, 6u);
  EXPECT_EQ(TamvikFunc::ReleaseNcSpx(), 1);
  // Without a set the calls do nothing.
  TamvikFunc::SetNcTalk(0, "a", 0);
  TamvikFunc::StopNcTalk();
  TamvikFunc::PutNcLipCell(1);
  TamvikFunc::PauseNcAnime();
  TamvikFunc::ResumeNcAnime();
}

TEST_P(NcTest, PausedAnimationsDoNotStep) {
  ASSERT_EQ(Load(TwoPictures(), 0, 0, 0, 0), 11);
  TamvikFunc::SetNcTalk(0, "aiueo", kTalkGameClock);
  TamvikFunc::PauseNcAnime();
  EXPECT_EQ(Ctx().anime.RecordOf(state().nc_eye_anime)->stop, 1u);
  EXPECT_EQ(Ctx().anime.RecordOf(state().nc_lip_anime)->stop, 1u);
  const auto* eyes = anime().BlockOf<AnimeCellListBlock>(state().nc_eye_anime);
  ASSERT_NE(eyes, nullptr);
  for (int i = 0; i < 5; ++i) Frame(1000);
  EXPECT_EQ(eyes->index, 1u);  // still on its first cell
  EXPECT_EQ(Lips()->current, 4u);
  EXPECT_EQ(Ctx().anime.RecordOf(state().nc_eye_anime)->step, 0);
  EXPECT_EQ(Ctx().anime.RecordOf(state().nc_lip_anime)->step, 0);
  TamvikFunc::ResumeNcAnime();
  EXPECT_EQ(Ctx().anime.RecordOf(state().nc_eye_anime)->stop, 0u);
  for (int i = 0; i < 4; ++i) Frame(100);
  EXPECT_NE(Ctx().anime.RecordOf(state().nc_eye_anime)->step, 0);
  EXPECT_NE(Lips()->current, 4u);
  EXPECT_EQ(TamvikFunc::ReleaseNcSpx(), 1);
}

TEST_P(NcTest, ReleaseFreesEveryPieceAndASecondReleaseFindsNothing) {
  ASSERT_EQ(Load(TwoPictures(), 0, 0, 0, 0), 11);
  std::vector<const SprRec*> sprites = {state().nc_body};
  for (const SprRec* s : state().nc_eyes) if (s != nullptr) sprites.push_back(s);
  for (const SprRec* s : state().nc_lips) if (s != nullptr) sprites.push_back(s);
  const std::vector<AnimeHandle> animations = {state().nc_group, state().nc_eye_anime,
                                                   state().nc_lip_anime};
  EXPECT_EQ(TamvikFunc::ReleaseNcSpx(), 1);
  for (const SprRec* s : sprites) EXPECT_EQ(spr().IsSprite(s), 0);
  for (const AnimeHandle a : animations) EXPECT_EQ(anime().IsAnime(a), 0);
  EXPECT_TRUE(Entries(kTarget).empty());
  ExpectNothingBuilt();
  EXPECT_EQ(TamvikFunc::ReleaseNcSpx(), 0);
  // A set loaded again after the release.
  EXPECT_EQ(Load(TwoPictures(), 0, 0, 0xFFFF, 0xFFFF), 11);
  EXPECT_EQ(TamvikFunc::GetNcX(), 210);
  // A set loaded over one still held: the old one goes (its animations read the tables the new
  // set reuses), and the new one plays.
  EXPECT_EQ(Load(TwoPictures(), 0, 0, 0, 0), 11);
  EXPECT_EQ(Entries(kTarget).size(), 3u);  // body, eyes and lips of the new set only
  EXPECT_EQ(anime().Records(kAnimeSprGroup).size(), 1u);
  EXPECT_EQ(anime().Records(kAnimeCellList).size(), 1u);
  for (int i = 0; i < 4; ++i) Frame(1000);
  EXPECT_EQ(TamvikFunc::ReleaseNcSpx(), 1);
}

INSTANTIATE_PORTRAIT_LAYOUTS(NcTest);

}  // namespace
