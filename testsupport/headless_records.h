#pragma once
// The driver's own records of a run switched off, for a benchmark or fuzz entry that reads
// neither: the headless display keeps no copy of each presented frame (a whole screen a frame)
// and the sound device captures nothing of what it mixes. Frames are still counted and the sound
// still mixed.

#include "testsupport/program_driver.h"

namespace testsupport {

inline void HeadlessRecordsOff(ProgramDriver& driver) {
  driver.host().display.keep_frame = false;
  driver.host().audio.capture = false;
}

}  // namespace testsupport
