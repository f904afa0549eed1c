#pragma once
// The battle face: the face a unit shows in its panel (chosen by life and trust), the face drawn
// into surface 12 with its blink, and the face message of battle conversations (a face beside
// the message window). State: Battle().face and Battle().player.face_message_step.

#include <cstdint>

struct SlgUnit;

// The surface the battle face is drawn into, and the face file kind of the battle faces.
constexpr int kSlgFaceSurface = 12;
constexpr int kSlgBattleFaceKind = 1;
// Expressions: 0 plain, 1 pleased, 2 hurt.
constexpr int kSlgFacePlain = 0;
constexpr int kSlgFacePleased = 1;
constexpr int kSlgFaceHurt = 2;

// The expression of the unit: 2 (hurt) when its life is at most 20 % of its maximum (side 0) or
// below 31 % (side 2), else 1 (pleased) for side 0 at trust level 11 or more, else 0. The tests
// are products (life x 100 against percent x maxLife), so a maximum of 0 divides nothing.
int SlgUnitExpression(const SlgUnit& unit);
// The event face number of the unit: its internal face from the stage's face table (row
// character, column expression; a character of 64 or more has no row), then the first entry of
// the conversion table holding internal + 1; 0 when there is none.
int SlgUnitFace(const SlgUnit& unit);

// Face n (0 becomes 510): traced "InitFace: No%d, InternalNo%d \n", the blink released, the face
// drawn into surface 12, the blink timer started with a random interval ((SlgRand() >> 3) & 248
// frames).
void InitFace(int n);
// The face's base picture at (pos.x - 32, pos.y - 354) from its home in the face box (so at pos
// on the screen), on the surface at depth -1100; once the interval has passed the blink frames
// 1, 2, 1 over it on three successive frames, then a new interval. Nothing without a face.
void DrawFaceBlink(int x, int y, int surface);

namespace Slg {

// The unit's face started (InitFace of SlgUnitFace), its turn-order position written as the
// panel text ("%2d/%2d"), the unit remembered as the panel's. Nothing for a slot that is not a
// unit.
void ShowUnitPanel(int unit);
// The pieces of a face message, which the events' message step (battle_events/
// event_messages.h) shares with FaceMessage below. Open: the face set as the current event face
// (Battle().face.current), the message window opened, the face started, message `message` shown
// at (-192, 96). Frame: the blinking face at (32, 354) on surface 8, then one frame of the
// message's wait; 1 once the message has been read. Close: the blink released, the window closed.
void FaceMessageOpen(int face, int message);
int FaceMessageFrame();
void FaceMessageClose();
// The face beside a battle message (the player phase's); 1 when finished. Step 0: the open, 0.
// Step 1: the frame each call until the message has been read, 0. Step 2: the close, 1.
int FaceMessage(int face, int message);

}  // namespace Slg
