#include "testsupport/shot_od.h"

#include <cstdint>

namespace testsupport {

OdWriter ShotOd() {
  OdWriter od = UniversalOd({200});
  // The strip parts 10-12 (animations 10-12 show images 10-12).
  for (int part = 0; part < 3; ++part) {
    od.Solid(10 + part, 1024, 448, static_cast<uint8_t>(60 + 40 * part), 120, 90);
  }
  // The scenery pieces 13-19.
  for (int piece = 13; piece <= 19; ++piece) {
    od.Solid(piece, kShotPieceSide, kShotPieceSide, 40, static_cast<uint8_t>(10 * piece), 30);
  }
  return od;
}

}  // namespace testsupport
