// The game fonts: the table's values, made with the owner, one record per slot.

#include <gtest/gtest.h>

#include <string>

#include "game/system_data.h"
#include "testsupport/test_game.h"

namespace {

TEST(GameFonts, EachRecordHoldsTheTablesValues) {
  testsupport::TestGame game;
  const struct {
    const char* name;
    const GameFont* font;
    int height, width, weight, pitch_and_family;
  } cases[] = {
      {"A", GetFontA(), 24, 12, 500, 0x31},
      {"B", GetFontB(), 32, 15, 600, 0x52},
      {"C", GetFontC(), 32, 16, 500, 0x31},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NE(c.font, nullptr) << "made with the owner";
    EXPECT_EQ(c.font->height, c.height);
    EXPECT_EQ(c.font->width, c.width);
    EXPECT_EQ(c.font->weight, c.weight);
    EXPECT_EQ(c.font->pitch_and_family, c.pitch_and_family);
    EXPECT_EQ(c.font->char_set, 136);
    EXPECT_EQ(c.font->face_name, std::string("\xBC\xD0\xB7\xA2\xC5\xE9"));
    EXPECT_EQ(c.font->escapement, 0);
    EXPECT_EQ(c.font->orientation, 0);
    EXPECT_EQ(c.font->italic | c.font->underline | c.font->strike_out | c.font->out_precision |
                  c.font->clip_precision | c.font->quality,
              0);
  }
}

// Creating again replaces the slot's record (LeakSanitizer catches a record left behind); a
// delete empties only its own slot.
TEST(GameFonts, CreateReplacesAndDeleteClearsOnlyItsOwnSlot) {
  testsupport::TestGame game;
  CreateGameFontA();
  CreateGameFontA();
  CreateGameFontB();
  CreateGameFontC();
  ASSERT_NE(GetFontA(), nullptr);
  EXPECT_EQ(GetFontA()->height, 24);

  DeleteGameFontB();
  EXPECT_EQ(GetFontB(), nullptr);
  EXPECT_NE(GetFontA(), nullptr);
  EXPECT_NE(GetFontC(), nullptr);
  DeleteGameFontB();  // an empty slot stays empty
  EXPECT_EQ(GetFontB(), nullptr);
  DeleteGameFontA();
  DeleteGameFontC();
  EXPECT_EQ(GetFontA(), nullptr);
  EXPECT_EQ(GetFontC(), nullptr);
  CreateGameFontC();
  EXPECT_EQ(GetFontC()->width, 16);
  EXPECT_EQ(GetFontA(), nullptr);
}

}  // namespace
