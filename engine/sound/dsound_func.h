#pragma once
// The sound service `CDsoundFunc`: the sound device, three streamed channels (BGM, Voice, SE) and
// the 512 numbered static effects.
//
// Streamed channels (sound_channels.cpp): each plays one wave file from a ring of kBufferBlocks
// PCM blocks, refilled from the file while it plays (compressed files converted block by block),
// with a loop point, linear volume fades over game-clock frames, pause, and the milliseconds
// played. Update(now) runs once per frame. Static effects (static_se.cpp): whole files loaded into
// their own buffers by slot number and played once from the start.
//
// The wave-file layer (wave_file.cpp): reading a wave file's head (format, sample data, optional
// "loop" marker), choosing a codec driver for compressed data, sizing the blocks a channel
// streams in, reading and converting one block, and closing. Everything there works on a format
// block and a channel block handed in by the caller (a streamed channel's own blocks; compressed
// static effects use the spare format block and a scratch channel).
//
// Wave file head, as read (little-endian): somewhere in the first kWaveHeaderSize bytes the form
// type "WAVE" directly followed by the "fmt " chunk: its size, the 18-byte format record (extra
// bytes of a compressed format follow inside the chunk); at or after the format record "data",
// the data size, and optionally "loop" with a loop point, after which the samples start.
//
// Block sizes: the source block is two seconds of source data (average bytes per second x 2 x the
// refill interval / 60); the PCM block is the source block for PCM files, else the PCM that one
// source block converts to; a channel's sound buffer holds kBufferBlocks PCM blocks.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/frame_rate.h"
#include "engine/files/file_io.h"
#include "platform/platform.h"
#include "platform/sound_buffer.h"
#include "platform/wave_codec.h"

// Bytes of a wave file's head that are read and searched.
constexpr uint32_t kWaveHeaderSize = 2048;
// Size of the name buffers: names are at most kWaveNameSize - 1 bytes.
constexpr uint32_t kWaveNameSize = 1024;
// Codec driver table: one identifier per driver priority 0..127; 0 is an empty entry.
constexpr uint32_t kAcmDriverSlots = 128;
// Refill interval in 1/60 s frames.
constexpr uint32_t kRefillInterval = 60;
// PCM blocks per channel buffer.
constexpr uint32_t kBufferBlocks = 8;
// Largest average byte rate a wave file may declare (96 kHz, stereo, 16 bits); more is taken as
// a damaged header, since the blocks are sized from it.
constexpr uint32_t kMaxWaveBytesPerSecond = 384000;

// What a wave head says.
struct WaveHead {
  uint32_t format_offset = 0;     // offset of the format record
  uint32_t format_size = 0;       // size of the "fmt " chunk
  platform::WaveFormatEx format;  // the record; extra size limited to what the chunk holds
  uint32_t chunk_start =
      0;                    // offset right after the data size (where the data chunk's body starts)
  uint32_t data_start = 0;  // offset of the samples (8 bytes further with a loop marker)
  uint32_t data_size = 0;   // the data size as stored
  uint32_t loop_flag = 0;
  uint32_t loop_point = 0;
};

// Reads a wave head from the n bytes given; every search and copy stays inside them. False (with
// a trace) when no "WAVEfmt " or no "data" lies inside, the format chunk is shorter than 16
// bytes or reaches past the bytes given, or the format cannot be streamed (zero channels, rate,
// average byte rate or block align, or a byte rate above kMaxWaveBytesPerSecond).
bool ReadWaveHead(const uint8_t* bytes, uint32_t n, WaveHead* out);

// The sound-buffer format that plays PCM of the wave format.
inline platform::PcmFormat BufferFormat(const platform::WaveFormatEx& f) {
  platform::PcmFormat format;
  format.channels = f.channels;
  format.samples_per_sec = f.samples_per_sec;
  format.bits_per_sample = f.bits_per_sample;
  return format;
}

// One wave file's name and head, and what the head says.
struct SoundFormatBlock {
  std::string name;                               // the file name, as the game names it
  std::array<uint8_t, kWaveHeaderSize> header{};  // the first bytes of the file
  uint32_t header_bytes = 0;                      // how many of them the file had
  uint32_t format_offset = 0;            // offset of the format record (the "fmt " chunk's body)
  uint32_t data_offset = 0;              // offset of the sample data
  uint32_t data_size = 0;                // size of the sample data
  uint32_t format_size = 0;              // size of the "fmt " chunk
  platform::WaveFormatEx source_format;  // the file's format (extra size limited to the chunk)
  platform::WaveFormatEx pcm_format;     // the format of the sound buffer

  // Copies the name; false (with a trace, name unchanged) for null or a name that does not fit
  // kWaveNameSize - 1 bytes.
  bool SetName(const char* file_name);
};

// The conversion header of a channel: its source and PCM block buffers with the lengths of the
// current conversion and what it used.
struct AcmStreamHeader {
  uint8_t* source = nullptr;
  uint32_t source_length = 0;
  uint32_t source_used = 0;
  uint8_t* destination = nullptr;
  uint32_t destination_length = 0;
  uint32_t destination_used = 0;
  bool prepared = false;
};

// One streamed channel's state (the fields the streamed channels work with).
struct SoundChannel {
  FileHandle file = kInvalidFile;                 // the open wave file
  std::unique_ptr<platform::CodecStream> stream;  // conversion stream (compressed files)
  uint32_t driver_id = 0;  // the driver the stream runs on (the sound service keeps it open)
  int kept_stream = -1;    // the service's kept-stream entry the stream came from; -1: none
  AcmStreamHeader stream_header;
  uint32_t status = 0;       // 0 stopped, 1 starting, 2 playing, 3 last data read, 4 paused
  uint32_t last_refill = 0;  // ms
  uint32_t loop_flag = 0;    // 1 when the file carries a "loop" marker
  uint32_t loop_point = 0;   // PCM bytes from the start of the sample data
  std::vector<uint8_t> source_block;
  uint32_t source_block_size = 0;
  uint8_t* pcm_block = nullptr;  // the PCM block buffer: source_block itself for PCM files
  std::vector<uint8_t> pcm_block_storage;
  uint32_t pcm_block_size = 0;
  std::unique_ptr<platform::SoundBuffer> buffer;
  uint32_t buffer_size = 0;
  uint32_t write_position = 0;
  uint32_t pcm_data_size = 0;  // PCM size of the whole sample data
  uint32_t pcm_rate = 0;       // PCM bytes per second
  uint64_t bytes_played = 0;      // PCM bytes played since the start (wide: a loop may run hours)
  uint32_t time_played = 0;       // ms
  uint32_t source_data_size = 0;  // source size of the sample data
  uint32_t data_start = 0;        // file offset of the sample data
  uint32_t data_end = 0;          // file offset where reading stops: the end of the data chunk
  uint32_t block_length = 0;      // PCM bytes of the block being written
  uint32_t refill_interval = 0;   // 1/60 s frames
  uint32_t loop_restart = 0;      // the file has just been rewound for a loop
  uint32_t skipped = 0;           // PCM bytes dropped since the rewind
  uint32_t loop_silent = 0;       // the loop point lies beyond the data: silence after a pass
  uint32_t volume = 0;            // 0-100
  uint32_t fade_start_time = 0;
  uint32_t fade_length = 0;  // frames; 0 = no fade
  uint32_t fade_start_volume = 0;
  uint32_t fade_target_volume = 0;
};

namespace platform {
class Audio;
class Window;
}  // namespace platform

// Streamed channel numbers, as the queries take them.
constexpr int kChannelBgm = 0;
constexpr int kChannelVoice = 1;
constexpr int kChannelSe = 2;
constexpr int kSoundChannels = 3;

// Static sound effect slots, numbered 0..kStaticSeSlots - 1.
constexpr int kStaticSeSlots = 512;

// The static effects: one whole-effect buffer per slot, or none.
struct StaticSETable {
  std::array<std::unique_ptr<platform::SoundBuffer>, kStaticSeSlots> slot;
};

class CDsoundFunc {
 public:
  // `seams` gives the sound device, the codecs and the window for the effect boxes; `files` opens
  // the wave files; `clock` is the game clock the fades start from.
  CDsoundFunc(platform::Platform& seams, FileIO& files, const CFrameRate& clock)
      : seams_(seams), files_(files), clock_(clock) {}
  CDsoundFunc(const CDsoundFunc&) = delete;
  CDsoundFunc& operator=(const CDsoundFunc&) = delete;

  // --- Service (sound_channels.cpp) ---

  // Opens the sound device and finds the codec drivers; then every channel's volume is 100 with
  // no fade and the static table is empty. 0 when there is no device (every other call then
  // does nothing) or the driver search failed (PCM still plays). The window is not needed.
  int Init(platform::Window* window);
  // Stops the channels, releases the static effects and closes the device.
  void Release();
  // The per-frame step at game-clock time `now` (ms): each non-stopped channel in the order BGM,
  // Voice, SE runs its update; one that fails is traced ("BGM_Convert Failed\n", ...) and stopped.
  void Update(int32_t now);
  // Whether the device is open.
  bool HasDevice() const { return device_ != nullptr; }

  // --- Channels by number (kChannelBgm, kChannelVoice, kChannelSe); the families below call
  // these. Numbers outside 0..2 do nothing (queries answer as for a stopped channel). ---

  // Starts the file on the channel (stopping what it played); 1, or 0 with the channel stopped.
  int PlayChannel(int ch, const char* file_name);
  // True when the channel's status is 0.
  bool IsChannelStop(int ch) const;
  // Stops and closes the channel.
  void StopChannel(int ch);
  // Stops the buffer and keeps everything open (status 4); 0 when the channel was stopped. Only
  // playing a file again leaves the pause.
  int PauseChannel(int ch);
  // The channel's per-frame step (fade, position, refill); 0 on a conversion or buffer failure.
  int UpdateChannel(int ch, uint32_t now);
  // Volume 0-100 read back from the buffer (and kept as the channel's volume); -1 without a
  // device or a buffer.
  int GetChannelVolume(int ch);
  // Sets the volume (clamped to 0..100) at once (frames <= 0, or no buffer) or fades to it
  // linearly over `frames` 1/60 s frames of game time. 0 without a device or when the buffer
  // refuses the volume.
  int SetChannelVolume(int ch, int volume, int frames);
  // True when no fade runs.
  bool IsChannelFadeEnd(int ch) const;

  int PlayBGM(const char* file_name) { return PlayChannel(kChannelBgm, file_name); }
  int PlayVoice(const char* file_name) { return PlayChannel(kChannelVoice, file_name); }
  int PlaySE(const char* file_name) { return PlayChannel(kChannelSe, file_name); }
  bool IsBGMStop() const { return IsChannelStop(kChannelBgm); }
  bool IsVoiceStop() const { return IsChannelStop(kChannelVoice); }
  bool IsSEStop() const { return IsChannelStop(kChannelSe); }
  void StopBGM() { StopChannel(kChannelBgm); }
  void StopVoice() { StopChannel(kChannelVoice); }
  void StopSE() { StopChannel(kChannelSe); }
  int PauseBGM() { return PauseChannel(kChannelBgm); }
  int PauseVoice() { return PauseChannel(kChannelVoice); }
  int PauseSE() { return PauseChannel(kChannelSe); }
  int UpdateBGM(uint32_t now) { return UpdateChannel(kChannelBgm, now); }
  int UpdateVoice(uint32_t now) { return UpdateChannel(kChannelVoice, now); }
  int UpdateSE(uint32_t now) { return UpdateChannel(kChannelSe, now); }
  int GetBGMVolume() { return GetChannelVolume(kChannelBgm); }
  int GetVoiceVolume() { return GetChannelVolume(kChannelVoice); }
  int GetSEVolume() { return GetChannelVolume(kChannelSe); }
  // These always answer 1.
  int SetBGMVolume(int volume, int frames) { return SetVolumeFamily(kChannelBgm, volume, frames); }
  int SetVoiceVolume(int volume, int frames) {
    return SetVolumeFamily(kChannelVoice, volume, frames);
  }
  int SetSEVolume(int volume, int frames) { return SetVolumeFamily(kChannelSe, volume, frames); }
  bool IsBGMFadeEnd() const { return IsChannelFadeEnd(kChannelBgm); }
  bool IsVoiceFadeEnd() const { return IsChannelFadeEnd(kChannelVoice); }
  bool IsSEFadeEnd() const { return IsChannelFadeEnd(kChannelSe); }

  // Milliseconds the voice has played (from the play cursor); -1 while the voice channel is
  // stopped. A voice counts from its start until the channel stops itself after its last byte,
  // also while paused.
  int32_t GetVoiceTime() const;
  // The channel's file name while it is not stopped; null otherwise or without a device.
  const char* GetPlayFileName(int ch) const;
  // The loop flag of the channel's current or last file; 0 without a device or for another
  // number.
  int GetLoopFlag(int ch) const;

  // The refill step of a channel: writes the next block of the file (or, after the last data,
  // silence just ahead of the play cursor; the channel stops itself once every PCM byte has
  // played). 1, or 0 on a read, conversion or buffer failure.
  int ConvertBlock(SoundFormatBlock& format, SoundChannel& channel);

  // --- Static effects (static_se.cpp) ---

  // Loads names[0..count) into slots 0..count - 1 (count capped at kStaticSeSlots); the other
  // slots keep what they hold. A name that fails is traced and leaves its slot empty. 0 without
  // a device.
  int SELoadStatic(const char* const* names, int count);
  // Empties every slot (with a device).
  void SERemoveStatic();
  // Plays the slot once from its start (a playing slot restarts); nothing for an empty slot or a
  // number outside 0..511.
  void PlayStaticSE(int slot);
  // Stops the slot, or every slot for -1.
  void StopStaticSE(int slot);
  // Empties every slot.
  void ReleaseStaticSE();
  // Loads one wave file, PCM or compressed, whole into a new buffer in the slot; 1, or 0 with the
  // slot empty. Bad PCM files show their box.
  int LoadWaveToBuffer(int slot, const char* file_name);

  // Finds every codec driver and files its identifier under its priority (below 128; a later
  // driver of the same priority replaces an earlier one). 0 when the search fails.
  int EnumAcmDrivers();

  // Reads the head of the file named in the format block (all search places) and fills the
  // format block and the channel's file figures. 0 (with a trace) when the file cannot be opened
  // or its head is not a usable wave head.
  int OpenWave(SoundFormatBlock& format, SoundChannel& channel);
  // Sets up the conversion: PCM files are used as they are; compressed ones get the suggested
  // PCM format, the scaled loop point and a stream on the first driver that takes them. Drivers
  // stay open once opened, and a stream closed by CloseAcm is kept (a few, the least recently
  // closed given up first) and started again for the next file of the same format record, so
  // that a format opened before opens again without allocating.
  int OpenAcm(SoundFormatBlock& format, SoundChannel& channel);
  // Opens the file for streaming at the sample data and allocates the block buffers.
  int OpenStream(SoundFormatBlock& format, SoundChannel& channel);
  // Reads up to one source block, never past the end of the data chunk; `bytes_read` is less
  // than a block at the end of the data. 0 on a read error.
  int ReadSourceBlock(SoundChannel& channel, uint32_t* bytes_read);
  // Converts the `bytes_read` bytes just read into the PCM block and sets the channel's block
  // length. Source bytes the converter did not use are read again next time (the file is moved
  // back by them). 0 when the conversion fails.
  int ConvertSourceBlock(SoundChannel& channel, uint32_t bytes_read);
  // Closes the conversion (its stream goes back to the kept ones), the file and the block
  // buffers; safe on a channel opened only in part or not at all.
  void CloseAcm(SoundChannel& channel);
  // How many closed streams are kept for reuse (for tests: the number stays bounded).
  size_t KeptStreamCount() const;

  // Codec driver identifiers by priority.
  std::array<uint32_t, kAcmDriverSlots> acm_drivers{};

  // The format blocks: spare (compressed static effects), then one per channel.
  SoundFormatBlock spare_format;
  std::array<SoundFormatBlock, kSoundChannels> formats;
  // The channels' state.
  std::array<SoundChannel, kSoundChannels> channels;
  StaticSETable static_se;

 private:
  int SetVolumeFamily(int ch, int volume, int frames) {
    SetChannelVolume(ch, volume, frames);
    return 1;
  }
  // The shared workers, on one channel's blocks.
  int PlayWorker(SoundFormatBlock& format, SoundChannel& channel);
  void StopWorker(SoundChannel& channel);
  int SetVolumeWorker(SoundChannel& channel, int volume, int frames);
  int ReadVolume(SoundChannel& channel);
  void FadeStep(SoundChannel& channel, uint32_t now);
  bool HasRoom(const SoundChannel& channel) const;
  int WriteBlock(SoundChannel& channel, const uint8_t* data, uint32_t length);
  // Writes `length` bytes at the write position (silence when `data` is null) and moves it on
  // around the ring.
  int WriteRing(SoundChannel& channel, const uint8_t* data, uint32_t length);
  int WriteSilence(SoundChannel& channel);
  int ClearBuffer(SoundChannel& channel);
  int LoadPcmEffect(int slot, const char* path);
  int LoadCompressedEffect(int slot, const char* file_name);

  platform::Platform& seams_;
  FileIO& files_;
  const CFrameRate& clock_;
  platform::Audio* device_ = nullptr;  // the open sound device; null: no sound
  // OpenAcm's work copy of a compressed format, kept so that opening a file allocates nothing.
  std::vector<uint8_t> acm_work_;

  // The codec objects kept from file to file (wave_file.cpp). They belong to the codecs seam
  // they came from; another seam (or none) drops them.
  struct KeptDriver {
    uint32_t id = 0;  // the driver id the slot was opened for; 0: not asked yet
    std::unique_ptr<platform::CodecDriver> driver;  // null: the codecs have no such driver
  };
  struct KeptStream {
    std::vector<uint8_t> format;  // the source format record (with its extra bytes) it converts
    platform::WaveFormatEx pcm;   // the PCM format it converts to
    uint32_t slot = 0;            // the driver slot it was opened on
    std::unique_ptr<platform::CodecStream> stream;  // null while lent to a channel, or unused
    bool lent = false;
    bool stale = false;     // the codecs changed while lent: closed when it comes back
    uint64_t closed_at = 0;  // when it came back (a count of closes), for giving up the oldest
  };
  // Kept streams in all: three channels and a static effect's scratch channel hold at most four
  // at once, so two formats alternating on every channel still find theirs.
  static constexpr size_t kKeptStreams = 8;
  // Makes the kept objects belong to `codecs` (dropping those of another seam); false (traced)
  // when its largest format size cannot be told.
  bool UseCodecs(platform::WaveCodecs* codecs);
  // The driver of the slot, opened on first use and kept; null when the codecs refuse its id.
  platform::CodecDriver* SlotDriver(uint32_t slot);
  // Lends the channel a kept idle stream opened for the same format record (its `size` bytes:
  // the 18-byte record and its extra bytes) and PCM format, started again; false when there is
  // none.
  bool LendKeptStream(const uint8_t* format, uint32_t size, const platform::WaveFormatEx& pcm,
                      SoundChannel& channel);
  // Files the channel's newly opened stream as lent, when an entry is free or idle to give up.
  void FileNewStream(const uint8_t* format, uint32_t size, const platform::WaveFormatEx& pcm,
                     uint32_t slot, SoundChannel& channel);
  // Takes the channel's stream back into its entry (or closes it when it has none).
  void ReturnStream(SoundChannel& channel);
  // Closes every idle kept stream and driver; lent streams are closed when they come back.
  void DropKeptCodecs();

  platform::WaveCodecs* kept_codecs_ = nullptr;  // the codecs the kept objects came from
  uint32_t max_format_size_ = 0;                 // their largest format record
  bool max_format_known_ = false;                // ... once asked successfully
  // Drivers before streams: the streams are closed first.
  std::array<KeptDriver, kAcmDriverSlots> kept_drivers_;
  std::array<KeptStream, kKeptStreams> kept_streams_;
  uint64_t closes_ = 0;
};
