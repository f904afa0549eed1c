#pragma once
// The town map's label file (the place names drawn over the map) and the map sequence's close,
// as the scene start and the scene end use them. The label file is "Tamvik1\map\tmap2.spr" for
// the theatre (ADV state byte 21 = 0) or "Tamvik1\map\fukagawa.spr" for the haunted house,
// loaded as an animation file and held in the scene context (`Scene().map_anm`).

struct SprAnm;

// What the label file's operations keep between calls.
struct MapAnmState {
  SprAnm* label_file = nullptr;
};

class CTamvikMap {
 public:
  static constexpr const char* kMapSeqTaskName = "CTamvikMap::MapSeq";
  static constexpr const char* kTheatreLabels = "Tamvik1\\map\\tmap2.spr";
  static constexpr const char* kHauntedLabels = "Tamvik1\\map\\fukagawa.spr";
  // The theatre's units whose sprites are drawn half transparent.
  static constexpr unsigned kTranslucentUnits[2] = {95, 97};

  // Releases the label file held, then loads the one of the current map kind; in the theatre's
  // file the sprites of units 95 and 97 get alpha 128. 1 loaded, 0 not (none held then).
  static int LoadMapAnm();
  // Releases the label file (nothing when none is held).
  static void FreeMapAnm();
  // Closes the map sequence. Without a map task only key-mouse mode goes off (the map sequence
  // itself closes the task when it exists).
  static void CloseMapSeq();
};
