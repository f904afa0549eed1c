// The sample's minigames (testsupport/sample_art.h): each row's od file with pictures that show
// what the game is about, the games' texts, and their sounds.

#include "testsupport/od_writer.h"
#include "testsupport/sample_art.h"
#include "testsupport/shot_od.h"
#include "testsupport/wav_writer.h"

namespace testsupport::sample {

namespace {

void WriteSounds(Out& out) {
  const uint32_t rate = 22050;
  const char* const kEffects[] = {
      "cook07", "cook08", "hana07", "hana08", "hana10", "hana11", "hana13",
      "hana14", "maigo07", "maigo09", "maigo10", "maigo11", "maigo12", "shot07",
      "shot08", "shot10", "shot11", "slot07", "slot08", "slot09", "souji08",
      "souji09", "swim07", "swim08", "swim09", "system00", "system01", "system02",
      "system03",
  };
  int n = 0;
  for (const char* name : kEffects) {
    ++n;
    out.Write("tamvik3/se/" + std::string(name) + ".wav",
              PcmWav(1, rate, 16, Notes({700.0 + 20.0 * n, 520.0 + 20.0 * n}, rate, rate / 20, 7000))
                  .Bytes());
  }
  const char* const kVoices[] = {
      "2084", "2331", "2332", "2333", "2334", "2335", "2336", "2337",
      "2338", "2357", "2358a", "2358b", "2358c", "2358d", "2358e", "2358f",
      "2358g", "2358h", "2359", "2360", "2361", "2362", "2363", "2364",
      "2385", "2386", "2411", "2412", "2413a", "2413b", "2413c", "2414a",
      "2414b", "2414c", "2415", "2416", "2418", "2419", "2420", "2421",
      "2442", "2443", "2444", "2445", "2446", "2447", "2448", "2449",
      "2450", "2451", "2452", "2453", "2454", "2455", "2456", "2458",
      "2459", "2504",
  };
  n = 0;
  for (const char* name : kVoices) {
    out.Write("tamvik3/voice/" + std::string(name) + ".wav", SampleVoice(++n, 30));
  }
  const std::vector<double> tune = {440.0, 523.3, 659.3, 523.3, 587.3, 698.5, 587.3, 493.9};
  for (const char* name : {"brise", "davone", "lunet", "minigame", "tamvik", "ysol"}) {
    out.Write("tamvik1/bgm/" + std::string(name) + ".wav", SampleTune(tune, rate / 4));
  }
}

}  // namespace

std::vector<std::string> MinigameTexts() { return {}; }

void WriteMinigames(Out& out, Glyphs& glyphs) {
  (void)glyphs;
  const std::string od = "tamvik3/od/";
  out.Write(od + "mg_swim.od", UniversalOd({200}).Build());
  out.Write(od + "mg_test.od", UniversalOd({200}).Build());
  {
    OdWriter w = UniversalOd({200});
    w.Solid(1, 64, 96, 200, 190, 160).Solid(2, 64, 96, 90, 70, 60).Solid(3, 64, 96, 120, 160, 90)
        .Solid(4, 64, 96, 60, 50, 50);
    out.Write(od + "mg_souji.od", w.Build());
  }
  {
    OdWriter w = UniversalOd({200});
    w.Solid(1, 640, 480, 96, 72, 48);
    w.Solid(10, 448, 288, 200, 168, 120);
    w.Solid(11, 448, 288, 232, 224, 208);
    w.Solid(12, 448, 288, 64, 64, 72);
    w.Solid(20, 24, 96, 200, 200, 216);
    w.Solid(21, 4, 40, 72, 48, 32);
    w.Solid(100, 608, 112, 248, 244, 232);
    w.Solid(101, 608, 112, 248, 244, 232);
    out.Write(od + "mg_cook.od", w.Build());
  }
  {
    std::vector<int> empty = {30};
    for (int i = 50; i < 75; ++i) empty.push_back(i);
    for (int i = 100; i < 111; ++i) empty.push_back(i);
    const std::vector<uint8_t> hana = UniversalOd(empty).Build();
    for (const char* name : {"mg_hana", "mg_aysol", "mg_brise", "mg_lunet", "mg_davon", "mg_tamvi",
                             "mg_zuqel", "mg_zuq2"}) {
      out.Write(od + name + ".od", hana);
    }
  }
  out.Write(od + "mg_slot.od", UniversalOd({200}).Build());
  {
    OdWriter w = UniversalOd();
    w.Solid(500, 576, 88, 240, 232, 208).Solid(501, 576, 88, 240, 232, 208);
    out.Write(od + "mg_maigo.od", w.Build());
  }
  out.Write(od + "mg_shot.od", ShotOd().Build());
  {
    OdWriter w = UniversalOd();
    w.Solid(100, 640, 480, 40, 64, 48).Solid(102, 640, 480, 24, 32, 40);
    out.Write(od + "mg_koi.od", w.Build());
  }
  WriteSounds(out);
}

}  // namespace testsupport::sample
