#pragma once
// Shared by the sound tests: a fresh engine with a temporary folder for wave files, and the
// open-and-stream helpers that drive the wave-file layer the way a channel does.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/app/context.h"
#include "engine/sound/dsound_func.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_engine.h"
#include "testsupport/wav_writer.h"

namespace soundtest {

struct SoundRig {
  // The driver table is filled as the sound service's start does it.
  SoundRig() { dsound().EnumAcmDrivers(); }

  CDsoundFunc& dsound() { return engine.ctx().dsound; }

  // Writes the file and names it in `format`.
  std::string Put(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = tree.Write(name, bytes);
    EXPECT_TRUE(format.SetName(path.c_str()));
    return path;
  }
  std::string Put(const std::string& name, const testsupport::WavFile& wav) {
    return Put(name, wav.Bytes());
  }

  // OpenWave, OpenAcm and OpenStream in turn, as play does; false at the first failure.
  bool OpenAll() {
    return dsound().OpenWave(format, channel) != 0 && dsound().OpenAcm(format, channel) != 0 &&
           dsound().OpenStream(format, channel) != 0;
  }

  // Reads and converts block after block until a read comes up short, as the refill step does;
  // returns all PCM produced and records the source bytes each conversion used.
  std::vector<uint8_t> StreamAll(std::vector<uint32_t>* used = nullptr) {
    std::vector<uint8_t> pcm;
    for (int guard = 0; guard < 10000; ++guard) {
      uint32_t n = 0;
      if (dsound().ReadSourceBlock(channel, &n) == 0) {
        ADD_FAILURE() << "read failed";
        break;
      }
      if (dsound().ConvertSourceBlock(channel, n) == 0) {
        ADD_FAILURE() << "convert failed";
        break;
      }
      if (used != nullptr) used->push_back(channel.stream ? channel.stream_header.source_used : n);
      pcm.insert(pcm.end(), channel.pcm_block, channel.pcm_block + channel.block_length);
      if (n < channel.source_block_size) break;
    }
    return pcm;
  }

  testsupport::TempTree tree;
  testsupport::TestEngine engine;
  SoundFormatBlock format;
  SoundChannel channel;
};

}  // namespace soundtest
