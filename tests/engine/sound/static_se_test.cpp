// The static sound effects: banks over the numbered slots, playing by number, the PCM chunk walk
// with its error boxes, and compressed effects converted whole.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "channel_rig.h"
#include "testsupport/trace_capture.h"

namespace {

using soundtest::ChannelRig;
using soundtest::FirstDifference;
using soundtest::Heard;
using soundtest::Marked;
using testsupport::Chunk;
using testsupport::PcmWav;
using testsupport::WavFile;

constexpr uint32_t kRate = 22050;

bool Silent(const std::vector<int16_t>& s, size_t from = 0) {
  return std::all_of(s.begin() + static_cast<long>(std::min(from, s.size())), s.end(),
                     [](int16_t v) { return v == 0; });
}

// Plays the slot and listens for `frames` frames; returns what was heard.
std::vector<int16_t> Listen(ChannelRig& rig, int slot, int frames) {
  const size_t from = rig.MixedFrames();
  rig.dsound().PlayStaticSE(slot);
  rig.Frames(frames);
  return rig.Left(from);
}

TEST(StaticSe, BanksReplaceTheFirstSlotsAndKeepTheRest) {
  ChannelRig rig;
  std::vector<std::string> paths;
  std::vector<WavFile> wavs;
  for (uint32_t i = 0; i < 17; ++i) {
    wavs.push_back(PcmWav(1, kRate, 16, Marked(2000, i)));
    paths.push_back(rig.Put("se/" + std::to_string(i) + ".wav", wavs.back()));
  }
  std::vector<const char*> names;
  for (const auto& p : paths) names.push_back(p.c_str());
  testsupport::TraceCapture trace;
  ASSERT_EQ(rig.dsound().SELoadStatic(names.data(), 17), 1);
  EXPECT_TRUE(trace.Contains("CDsoundFunc::SELoadStatic->Static SE is Load\n"));
  std::vector<const platform::SoundBuffer*> before;
  for (int i = 0; i < 17; ++i) {
    before.push_back(rig.dsound().static_se.slot[i].get());
    EXPECT_NE(before.back(), nullptr) << i;
  }
  EXPECT_EQ(rig.dsound().static_se.slot[17], nullptr);

  // A bank of three over them, its second name failing.
  const WavFile new0 = PcmWav(1, kRate, 16, Marked(2000, 100));
  const WavFile new2 = PcmWav(1, kRate, 16, Marked(2000, 102));
  const std::string p0 = rig.Put("bank/0.wav", new0);
  const std::string missing = rig.tree.Path("bank/missing.wav");
  const std::string p2 = rig.Put("bank/2.wav", new2);
  const char* bank[] = {p0.c_str(), missing.c_str(), p2.c_str()};
  trace.Clear();
  ASSERT_EQ(rig.dsound().SELoadStatic(bank, 3), 1);
  EXPECT_TRUE(trace.Contains("1:Bufferload " + missing + " is Failed\n"));
  EXPECT_EQ(rig.dsound().static_se.slot[1], nullptr);
  for (int i = 3; i < 17; ++i) EXPECT_EQ(rig.dsound().static_se.slot[i].get(), before[i]) << i;

  struct Slot {
    int slot;
    const WavFile* wav;
  };
  for (const Slot& h : {Slot{0, &new0}, Slot{2, &new2}, Slot{3, &wavs[3]}, Slot{16, &wavs[16]}}) {
    SCOPED_TRACE(h.slot);
    const std::vector<int16_t> heard = Listen(rig, h.slot, 10);
    const std::vector<int16_t> expected = Heard(*h.wav);
    EXPECT_EQ(FirstDifference(heard, expected, expected.size()), expected.size());
    EXPECT_TRUE(Silent(heard, expected.size()));
  }
  EXPECT_TRUE(Silent(Listen(rig, 1, 5)));  // the empty slot plays nothing

  // A count above 512 loads 512 names: the names after them are never touched.
  std::vector<const char*> many(600, p0.c_str());
  for (size_t i = 512; i < many.size(); ++i) many[i] = missing.c_str();
  trace.Clear();
  ASSERT_EQ(rig.dsound().SELoadStatic(many.data(), 600), 1);
  EXPECT_FALSE(trace.Contains("Bufferload"));
  EXPECT_TRUE(std::all_of(rig.dsound().static_se.slot.begin(), rig.dsound().static_se.slot.end(),
                          [](const auto& s) { return s != nullptr; }));

  trace.Clear();
  rig.dsound().SERemoveStatic();
  EXPECT_TRUE(trace.Contains("CDsoundFunc::SELoadStatic->Static SE is Remove\n"));
  EXPECT_EQ(rig.audio().mixer().buffer_count(), 0u);
}

TEST(StaticSe, PlayingAgainRestartsWithoutOverlapAndStopsWork) {
  ChannelRig rig;
  const WavFile wav = PcmWav(1, kRate, 16, Marked(kRate / 2));
  const std::string path = rig.Put("se.wav", wav);
  const char* names[] = {path.c_str(), path.c_str(), path.c_str()};
  ASSERT_EQ(rig.dsound().SELoadStatic(names, 3), 1);
  const std::vector<int16_t> once = Heard(wav);

  // Slots outside 0..511 do nothing.
  for (int slot : {-1, 512, 100000}) EXPECT_TRUE(Silent(Listen(rig, slot, 2))) << slot;
  rig.dsound().StopStaticSE(512);
  rig.dsound().StopStaticSE(-2);

  // Played again a tenth of a second in: the first play ends there, the second starts over.
  const size_t from = rig.MixedFrames();
  rig.dsound().PlayStaticSE(0);
  rig.Frames(6);
  const size_t cut = rig.MixedFrames() - from;
  rig.dsound().PlayStaticSE(0);
  rig.Frames(45);
  std::vector<int16_t> expected(once.begin(), once.begin() + static_cast<long>(cut));
  expected.insert(expected.end(), once.begin(), once.end());
  const std::vector<int16_t> heard = rig.Left(from);
  EXPECT_EQ(FirstDifference(heard, expected, expected.size()), expected.size());
  EXPECT_TRUE(Silent(heard, expected.size()));
  EXPECT_FALSE(rig.dsound().static_se.slot[0]->IsPlaying());

  // Stop one slot, then every slot with -1.
  for (int slot : {0, 1, 2}) rig.dsound().PlayStaticSE(slot);
  rig.dsound().StopStaticSE(1);
  const auto& slots = rig.dsound().static_se.slot;
  EXPECT_TRUE(slots[0]->IsPlaying());
  EXPECT_FALSE(slots[1]->IsPlaying());
  EXPECT_TRUE(slots[2]->IsPlaying());
  rig.dsound().StopStaticSE(-1);
  for (int slot : {0, 1, 2}) EXPECT_FALSE(slots[slot]->IsPlaying()) << slot;
  const size_t quiet = rig.MixedFrames();
  rig.Frames(5);
  EXPECT_TRUE(Silent(rig.Left(quiet)));
}

TEST(StaticSe, PcmChunkWalkFindsTheSamples) {
  struct Case {
    const char* what;
    WavFile wav;
  };
  WavFile looped = PcmWav(1, kRate, 16, Marked(3000));
  looped.loop_point = 1234;  // the marker is skipped, as a streamed file skips it
  WavFile looped8 = PcmWav(1, kRate, 8, Marked(3001));
  looped8.loop_point = 0;
  WavFile padded = PcmWav(1, kRate, 16, Marked(3000));
  padded.between = Chunk("LIST", {1, 2, 3, 4, 5});  // odd: padded to an even size
  padded.trailing = Chunk("cue ", std::vector<uint8_t>(40, 7));
  WavFile front = PcmWav(1, kRate, 16, Marked(3000));
  front.before_format = Chunk("JUNK", std::vector<uint8_t>(11, 0));
  const Case cases[] = {
      {"16-bit with a loop marker", looped},
      {"8-bit with a loop marker", looped8},
      {"an odd chunk between format and data, one after", padded},
      {"a chunk before the format", front},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ChannelRig rig;
    const std::string path = rig.Put("se.wav", c.wav);
    ASSERT_EQ(rig.dsound().LoadWaveToBuffer(7, path.c_str()), 1);
    const std::vector<int16_t> expected = Heard(c.wav);
    EXPECT_EQ(rig.dsound().static_se.slot[7]->size(), c.wav.data.size());
    const std::vector<int16_t> heard = Listen(rig, 7, 15);
    EXPECT_EQ(FirstDifference(heard, expected, expected.size()), expected.size());
    EXPECT_TRUE(Silent(heard, expected.size()));
    EXPECT_TRUE(rig.engine.host.window.boxes.empty());
  }
}

TEST(StaticSe, BadFilesShowTheirBoxAndLeaveTheSlotEmpty) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    const char* box;  // null: no box, only the trace
  };
  const WavFile good = PcmWav(1, kRate, 16, Marked(1000));
  const std::vector<uint8_t> good_bytes = good.Bytes();
  const std::vector<uint8_t> record(good_bytes.begin() + 20, good_bytes.begin() + 36);
  std::vector<uint8_t> no_data = {'W', 'A', 'V', 'E'};
  for (const auto& part : {Chunk("fmt ", record), Chunk("LIST", std::vector<uint8_t>(30, 1))}) {
    no_data.insert(no_data.end(), part.begin(), part.end());
  }
  no_data = Chunk("RIFF", no_data);
  WavFile short_data = good;
  short_data.data_chunk_size = static_cast<uint32_t>(good.data.size() + 1000);
  WavFile huge_data = good;
  huge_data.data_chunk_size = 0xFFFFFFF0u;
  WavFile long_format = good;
  long_format.format_chunk_size = 100000;
  WavFile wide = good;
  wide.format.bits_per_sample = 24;
  WavFile empty = good;
  empty.data.clear();
  WavFile unknown = good;
  unknown.format.format_tag = 0x1234;  // no codec converts it
  std::vector<uint8_t> cut_format = good.Bytes();
  cut_format.resize(30);
  const Case cases[] = {
      {"no data chunk", no_data, "Wave file has no data"},
      {"data size beyond the file", short_data.Bytes(), "Could not read Wave Data"},
      {"data size near 4 GB", huge_data.Bytes(), "Could not read Wave Data"},
      {"not a RIFF file", std::vector<uint8_t>(64, 'x'), "Could not Descend into Wave File"},
      {"a RIFF of another form", Chunk("RIFF", {'A', 'V', 'I', ' ', 0, 0}),
       "Could not Descend into Wave File"},
      {"format chunk reaching past the end", long_format.Bytes(), "Unable to Ascend"},
      {"24-bit samples", wide.Bytes(), "Could not Create Sound Buffer."},
      {"no samples", empty.Bytes(), "Could not Create Sound Buffer."},
      {"format record cut short", cut_format, nullptr},
      {"a compressed format no codec takes", unknown.Bytes(), nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ChannelRig rig;
    const std::string ok = rig.Put("ok.wav", good);
    const std::string bad = rig.tree.Write("bad.wav", c.bytes);
    const char* first[] = {ok.c_str()};
    ASSERT_EQ(rig.dsound().SELoadStatic(first, 1), 1);
    ASSERT_NE(rig.dsound().static_se.slot[0], nullptr);

    testsupport::TraceCapture trace;
    const char* names[] = {bad.c_str()};
    ASSERT_EQ(rig.dsound().SELoadStatic(names, 1), 1);
    EXPECT_EQ(rig.dsound().static_se.slot[0], nullptr);
    EXPECT_TRUE(trace.Contains("0:Bufferload " + bad + " is Failed\n"));
    const auto& boxes = rig.engine.host.window.boxes;
    if (c.box == nullptr) {
      EXPECT_TRUE(boxes.empty());
    } else {
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].text, std::string(c.box) + "\n" + bad);
      EXPECT_FALSE(boxes[0].owned);
      EXPECT_EQ(boxes[0].caption, "");
    }
    EXPECT_TRUE(Silent(Listen(rig, 0, 3)));
    EXPECT_EQ(rig.audio().mixer().buffer_count(), 0u);
  }
}

TEST(StaticSe, CompressedEffectsAreConvertedWholeAndPlayOnce) {
  struct Case {
    const char* what;
    uint32_t rate;
    double seconds;
    std::optional<uint32_t> loop_point;
  };
  const Case cases[] = {
      {"longer than the eight blocks of a ring", 11025, 17.5, std::nullopt},
      {"with a loop marker: taken once", 22050, 1.2, 4000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ChannelRig rig(c.rate);
    std::vector<int16_t> samples = Marked(static_cast<uint32_t>(c.seconds * c.rate));
    for (int16_t& s : samples) s = static_cast<int16_t>(s / 2);
    auto wav = testsupport::EncodedWav(platform::kWaveFormatImaAdpcm, 1, c.rate, samples);
    ASSERT_TRUE(wav.has_value());
    wav->loop_point = c.loop_point;
    const std::string path = rig.Put("se.wav", *wav);
    testsupport::TraceCapture trace;
    ASSERT_EQ(rig.dsound().LoadWaveToBuffer(3, path.c_str()), 1);
    EXPECT_TRUE(trace.Contains("ADPCM"));
    const std::vector<int16_t> expected = soundtest::DecodeWhole(rig.engine.codecs, *wav);
    EXPECT_EQ(rig.dsound().static_se.slot[3]->size(), expected.size() * 2);

    const std::vector<int16_t> heard = Listen(rig, 3, static_cast<int>((c.seconds + 1) * 60));
    const size_t at = FirstDifference(heard, expected, expected.size());
    EXPECT_EQ(at, expected.size()) << "differs at second " << static_cast<double>(at) / c.rate;
    EXPECT_TRUE(Silent(heard, expected.size()));
    EXPECT_FALSE(rig.dsound().static_se.slot[3]->IsPlaying());
  }
}

}  // namespace
