#include "platform/ffmpeg/ffmpeg_movie.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/ffmpeg/picture_convert.h"
#include "platform/sound_buffer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/pixfmt.h>
#include <libswresample/swresample.h>
}

namespace platform::ffmpeg {

namespace {

// Added to the level of every message a decoder logs: a damaged packet is skipped quietly.
constexpr int kQuietLogOffset = AV_LOG_DEBUG - AV_LOG_ERROR;

constexpr int kMaxSide = 4096;  // largest picture side accepted
constexpr size_t kMaxQueuedFrames =
    30;  // decoded pictures waiting (the sound may lie later in the file)
constexpr double kQueuedSoundSeconds = 3;  // decoded sound waiting
constexpr int kPollMs = 5;                 // how soon to ask again while the decoder is behind
constexpr int kPrerollMs = 500;            // longest wait for the first picture at the first Run
constexpr double kRingSeconds = 2.0;       // the sound buffer
constexpr double kLeadSeconds = 0.5;       // how far ahead of the play cursor sound is written
constexpr double kGuardSeconds = 0.25;     // silence kept after the written sound
constexpr double kSyncTolerance = 0.15;    // drift closed by a jump

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

// A run of decoded sound: interleaved 16-bit samples starting at movie time `time`.
struct SoundChunk {
  double time = 0;
  std::vector<int16_t> samples;
  size_t frames = 0;
  size_t offset = 0;  // frames already used
};

class FfmpegMovie final : public Movie {
 public:
  FfmpegMovie(Clock& clock, Audio* audio) : movie_clock_(clock), audio_(audio) {}

  ~FfmpegMovie() override {
    {
      std::lock_guard lock(mutex_);
      quit_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable()) thread_.join();
    buffer_.reset();
    swr_free(&swr_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&video_);
    avcodec_free_context(&sound_);
    avformat_close_input(&format_);
  }

  bool Open(const std::string& path, PixelLayout layout, std::string* error) {
    layout_ = layout;
    format_ = avformat_alloc_context();
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (format_ == nullptr || frame_ == nullptr || packet_ == nullptr) {
      *error = "out of memory";
      return false;
    }
    // Lets a close end a read that waits on the file.
    format_->interrupt_callback.callback = [](void* self) -> int {
      return static_cast<FfmpegMovie*>(self)->quit_.load() ? 1 : 0;
    };
    format_->interrupt_callback.opaque = this;
    int ret = avformat_open_input(&format_, path.c_str(), nullptr, nullptr);
    if (ret < 0) {
      *error = "cannot open " + path + ": " + AvError(ret);
      return false;  // format_ was freed and cleared
    }
    ret = avformat_find_stream_info(format_, nullptr);
    if (ret < 0) {
      *error = "no stream information: " + AvError(ret);
      return false;
    }
    start_ = format_->start_time != AV_NOPTS_VALUE
                 ? static_cast<double>(format_->start_time) / AV_TIME_BASE
                 : 0.0;
    if (!OpenVideo(error)) return false;
    OpenSound();

    if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0) {
      info_.duration = static_cast<double>(format_->duration) / AV_TIME_BASE;
      // Without time stamps to measure (an elementary stream) the length is worked out from the
      // bit rate, which says little about where the pictures end.
      info_.duration_estimated =
          format_->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE;
    } else if (video_index_ >= 0) {
      const AVStream* stream = format_->streams[video_index_];
      if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
        info_.duration = static_cast<double>(stream->duration) * av_q2d(stream->time_base);
    }
    thread_ = std::thread([this] { DecodeLoop(); });
    return true;
  }

  const MovieInfo& info() const override { return info_; }

  void Run() override {
    if (stopped_ || movie_clock_.running()) return;
    if (!prerolled_) {
      // The first picture and the start of the sound are ready before the clock starts.
      std::unique_lock lock(mutex_);
      cv_.wait_for(lock, std::chrono::milliseconds(kPrerollMs),
                   [&] { return done_ || !frames_.empty(); });
      prerolled_ = true;
    }
    movie_clock_.Run();
    FeedSound();
    if (buffer_) buffer_->Play(true);
  }

  void Pause() override {
    movie_clock_.Pause();
    if (buffer_) buffer_->Stop();
  }

  void Stop() override {
    Pause();
    stopped_ = true;
    {
      std::lock_guard lock(mutex_);
      quit_ = true;
    }
    cv_.notify_all();
  }

  double Position() override { return movie_clock_.Seconds(); }

  int NextDueMs() override {
    if (stopped_ || !movie_clock_.running()) return -1;
    FeedSound();
    const double now = movie_clock_.Seconds();
    std::lock_guard lock(mutex_);
    // After the last picture the end is due once that picture has had its time on screen.
    if (frames_.empty()) return done_ ? MovieWaitMs(pictures_end_ - now) : kPollMs;
    return MovieWaitMs(frames_.front().time - now);
  }

  bool TakeFrame(MovieFrame* out) override {
    if (out == nullptr || stopped_) return false;
    const double now = movie_clock_.Seconds();
    {
      std::lock_guard lock(mutex_);
      size_t due = 0;
      while (due < frames_.size() && frames_[due].time <= now) ++due;
      if (due == 0) return false;
      for (size_t i = 0; i + 1 < due; ++i) {
        pool_.push_back(std::move(frames_.front()));
        frames_.pop_front();
      }
      pool_.push_back(std::move(*out));
      *out = std::move(frames_.front());
      frames_.pop_front();
    }
    cv_.notify_all();
    return true;
  }

  bool EndOfStream() override {
    const double now = movie_clock_.Seconds();
    std::lock_guard lock(mutex_);
    return done_ && frames_.empty() && now >= pictures_end_;
  }

  bool StatedLengthHolds() override {
    if (info_.duration_estimated) return false;
    std::lock_guard lock(mutex_);
    // Pictures without time stamps at the end of a file are left out of the length FFmpeg
    // states: a length that ends before the last picture is not the movie's end. Half a picture
    // of slack takes up the rounding of the time stamps.
    return done_ && pictures_end_ <= info_.duration + frame_duration_ / 2;
  }

  bool WaitDecoded(int timeout_ms) {
    const double now = movie_clock_.Seconds();
    const double sound_until = now + kLeadSeconds;
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
      if (done_ || frames_.size() >= kMaxQueuedFrames || SoundQueueFull()) return true;
      const bool pictures = !frames_.empty() && frames_.back().time > now;
      const bool sound = sound_index_ < 0 || sound_decoded_until_ > sound_until;
      return pictures && sound;
    });
  }

 private:
  bool OpenVideo(std::string* error) {
    const int index = av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0) return true;  // a file without pictures opens; the caller decides
    const AVStream* stream = format_->streams[index];
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (codec == nullptr) {
      *error = std::string("no decoder for the video stream (") +
               avcodec_get_name(stream->codecpar->codec_id) + ")";
      return false;
    }
    video_ = avcodec_alloc_context3(codec);
    if (video_ == nullptr || avcodec_parameters_to_context(video_, stream->codecpar) < 0) {
      *error = "cannot set up the video decoder";
      return false;
    }
    video_->log_level_offset = kQuietLogOffset;
    video_->thread_count = 1;
    if (avcodec_open2(video_, codec, nullptr) < 0) {
      *error = "cannot open the video decoder";
      return false;
    }
    const int w = stream->codecpar->width;
    const int h = stream->codecpar->height;
    if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide) {
      *error = "picture size " + std::to_string(w) + "x" + std::to_string(h) + " not accepted";
      return false;
    }
    video_index_ = index;
    video_base_ = stream->time_base;
    AVRational rate = stream->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) rate = stream->r_frame_rate;
    frame_duration_ = rate.num > 0 && rate.den > 0 ? av_q2d(av_inv_q(rate)) : 1.0 / 25.0;
    info_.has_video = true;
    info_.format.width = w;
    info_.format.height = h;
    info_.format.bits_per_pixel = 16;
    info_.format.layout = layout_;
    stride_ = static_cast<int>(MovieRowStride(w, 16));
    return true;
  }

  // Sets up the sound track when a device is open; without one (or without a usable track) the
  // movie plays silent.
  void OpenSound() {
    if (audio_ == nullptr || !audio_->IsOpen()) return;
    const int index = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (index < 0) return;
    const AVStream* stream = format_->streams[index];
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (codec == nullptr) return;  // the pictures play without sound
    sound_ = avcodec_alloc_context3(codec);
    if (sound_ == nullptr || avcodec_parameters_to_context(sound_, stream->codecpar) < 0) {
      avcodec_free_context(&sound_);
      return;
    }
    sound_->log_level_offset = kQuietLogOffset;
    if (avcodec_open2(sound_, codec, nullptr) < 0) {
      avcodec_free_context(&sound_);
      return;
    }
    const int rate = sound_->sample_rate;
    const int channels = sound_->ch_layout.nb_channels;
    if (rate < static_cast<int>(kMinSampleRate) || rate > static_cast<int>(kMaxSampleRate) ||
        channels <= 0) {
      avcodec_free_context(&sound_);
      return;
    }
    pcm_.channels = static_cast<uint16_t>(std::min(channels, 2));
    pcm_.samples_per_sec = static_cast<uint32_t>(rate);
    pcm_.bits_per_sample = 16;
    ring_frames_ = static_cast<uint32_t>(rate * kRingSeconds);
    buffer_ = audio_->CreateBuffer(pcm_, ring_frames_ * pcm_.BlockAlign());
    if (!buffer_) {
      avcodec_free_context(&sound_);
      return;
    }
    sound_index_ = index;
    sound_base_ = stream->time_base;
    info_.has_audio = true;
  }

  bool SoundQueueFull() const {
    return sound_index_ >= 0 &&
           queued_sound_frames_ >= static_cast<size_t>(pcm_.samples_per_sec * kQueuedSoundSeconds);
  }

  // ---- Decoder thread ----

  void DecodeLoop() {
    for (;;) {
      {
        std::unique_lock lock(mutex_);
        cv_.wait(lock,
                 [&] { return quit_ || (frames_.size() < kMaxQueuedFrames && !SoundQueueFull()); });
        if (quit_) break;
      }
      const int ret = av_read_frame(format_, packet_);
      if (ret < 0) {
        // The end of the file (or a read error, taken as the end): drain the decoders.
        if (video_ != nullptr) Decode(video_, nullptr, true);
        if (sound_ != nullptr) Decode(sound_, nullptr, false);
        break;
      }
      if (packet_->stream_index == video_index_ && video_ != nullptr) {
        Decode(video_, packet_, true);
      } else if (packet_->stream_index == sound_index_ && sound_ != nullptr) {
        Decode(sound_, packet_, false);
      }
      av_packet_unref(packet_);
    }
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    cv_.notify_all();
  }

  void Decode(AVCodecContext* ctx, const AVPacket* packet, bool video) {
    // A damaged packet is refused by the decoder and skipped.
    if (avcodec_send_packet(ctx, packet) < 0 && packet != nullptr) return;
    while (!quit_.load() && avcodec_receive_frame(ctx, frame_) == 0) {
      if (video) {
        PushPicture();
      } else {
        PushSound();
      }
      av_frame_unref(frame_);
    }
  }

  double FrameTime(AVRational base, double fallback) const {
    const int64_t pts = frame_->best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE) return fallback;
    const double time = static_cast<double>(pts) * av_q2d(base) - start_;
    return std::isfinite(time) ? std::max(0.0, time) : fallback;
  }

  void PushPicture() {
    const int w = info_.format.width;
    const int h = info_.format.height;
    if (frame_->width <= 0 || frame_->height <= 0 || frame_->width > kMaxSide ||
        frame_->height > kMaxSide) {
      return;
    }
    MovieFrame picture;
    {
      std::lock_guard lock(mutex_);
      if (!pool_.empty()) {
        picture = std::move(pool_.back());
        pool_.pop_back();
      }
    }
    picture.time = FrameTime(video_base_, next_picture_time_);
    next_picture_time_ = picture.time + frame_duration_;
    picture.width = w;
    picture.height = h;
    picture.bits_per_pixel = 16;
    picture.layout = layout_;
    picture.stride = stride_;
    picture.pixels.resize(static_cast<size_t>(stride_) * static_cast<size_t>(h));
    // A picture of another size (a new sequence header) is scaled to the movie's size.
    if (!converter_.Convert(frame_, w, h, layout_, picture.pixels.data(), stride_)) return;
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [&] { return quit_ || frames_.size() < kMaxQueuedFrames; });
    if (quit_) return;
    pictures_end_ = std::max(pictures_end_, picture.time + frame_duration_);
    frames_.push_back(std::move(picture));
    cv_.notify_all();
  }

  void PushSound() {
    const int count = frame_->nb_samples;
    if (count <= 0) return;
    if (swr_ == nullptr || frame_->format != swr_format_ ||
        frame_->ch_layout.nb_channels != swr_channels_ || frame_->sample_rate != swr_rate_) {
      swr_free(&swr_);
      AVChannelLayout out_layout;
      av_channel_layout_default(&out_layout, pcm_.channels);
      const int ret = swr_alloc_set_opts2(
          &swr_, &out_layout, AV_SAMPLE_FMT_S16, static_cast<int>(pcm_.samples_per_sec),
          &frame_->ch_layout, static_cast<AVSampleFormat>(frame_->format), frame_->sample_rate, 0,
          nullptr);
      av_channel_layout_uninit(&out_layout);
      if (ret < 0 || swr_init(swr_) < 0) {
        swr_free(&swr_);
        return;
      }
      swr_format_ = frame_->format;
      swr_channels_ = frame_->ch_layout.nb_channels;
      swr_rate_ = frame_->sample_rate;
    }
    const int room = swr_get_out_samples(swr_, count);
    if (room <= 0) return;
    SoundChunk chunk;
    chunk.time = FrameTime(sound_base_, next_sound_time_);
    chunk.samples.resize(static_cast<size_t>(room) * pcm_.channels);
    uint8_t* out = reinterpret_cast<uint8_t*>(chunk.samples.data());
    const int got =
        swr_convert(swr_, &out, room, const_cast<const uint8_t**>(frame_->extended_data), count);
    if (got <= 0) return;
    chunk.frames = static_cast<size_t>(got);
    chunk.samples.resize(chunk.frames * pcm_.channels);
    const double length = static_cast<double>(got) / pcm_.samples_per_sec;
    next_sound_time_ = chunk.time + length;
    std::lock_guard lock(mutex_);
    queued_sound_frames_ += chunk.frames;
    sound_decoded_until_ = std::max(sound_decoded_until_, next_sound_time_);
    sound_chunks_.push_back(std::move(chunk));
    cv_.notify_all();
  }

  // ---- Sound feeding (main thread) ----

  // Writes `frames` frames (or silence for a null source) at the ring position of frame `index`.
  void WriteRing(uint64_t index, const int16_t* source, uint32_t frames) {
    const uint32_t align = pcm_.BlockAlign();
    frames = std::min(frames, ring_frames_);
    if (frames == 0) return;
    LockedRegions regions;
    const uint32_t offset = static_cast<uint32_t>(index % ring_frames_) * align;
    if (!buffer_->Lock(offset, frames * align, &regions)) return;
    const auto* bytes = reinterpret_cast<const uint8_t*>(source);
    if (bytes != nullptr) {
      std::memcpy(regions.first, bytes, regions.first_size);
      if (regions.second_size != 0)
        std::memcpy(regions.second, bytes + regions.first_size, regions.second_size);
    } else {
      std::memset(regions.first, 0, regions.first_size);
      if (regions.second_size != 0) std::memset(regions.second, 0, regions.second_size);
    }
    buffer_->Unlock(regions);
  }

  void FeedSound() {
    if (!buffer_) return;
    const uint32_t align = pcm_.BlockAlign();
    const uint32_t cursor = buffer_->GetCurrentPosition() / align;
    played_ += (cursor + ring_frames_ - last_cursor_) % ring_frames_;
    last_cursor_ = cursor;
    const double rate = pcm_.samples_per_sec;
    const double now = movie_clock_.Seconds();
    const uint64_t limit = played_ + static_cast<uint64_t>(rate * kLeadSeconds);
    const int64_t tolerance = static_cast<int64_t>(rate * kSyncTolerance);
    {
      std::lock_guard lock(mutex_);
      while (written_ < limit && !sound_chunks_.empty()) {
        SoundChunk& chunk = sound_chunks_.front();
        const size_t left = chunk.frames - chunk.offset;
        const double time = chunk.time + static_cast<double>(chunk.offset) / rate;
        // Where this sample belongs: the play cursor stands at the clock's present time.
        const int64_t wanted = static_cast<int64_t>(played_) + std::llround((time - now) * rate);
        const int64_t behind = static_cast<int64_t>(played_) - wanted;
        if (behind > 0) {
          // Too late to be heard: skipped.
          const size_t skip = std::min(left, static_cast<size_t>(behind));
          chunk.offset += skip;
          queued_sound_frames_ -= skip;
          if (chunk.offset == chunk.frames) sound_chunks_.pop_front();
          continue;
        }
        const int64_t gap = wanted - static_cast<int64_t>(written_);
        if (written_ < played_ || gap > tolerance || gap < -tolerance) {
          if (gap > 0 && written_ >= played_) {
            WriteRing(written_, nullptr,
                      static_cast<uint32_t>(std::min<uint64_t>(gap, limit - written_)));
          }
          written_ = static_cast<uint64_t>(wanted);
          if (written_ >= limit) break;
        }
        const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(left, limit - written_));
        WriteRing(written_, chunk.samples.data() + chunk.offset * pcm_.channels, n);
        written_ += n;
        chunk.offset += n;
        queued_sound_frames_ -= n;
        if (chunk.offset == chunk.frames) sound_chunks_.pop_front();
      }
    }
    cv_.notify_all();
    // Silence after what was written: a decoder that falls behind is heard as silence, not as the
    // sound of the ring's previous turn.
    if (written_ >= played_) {
      const uint64_t room = played_ + ring_frames_ - written_;
      const uint64_t guard = std::min<uint64_t>(static_cast<uint64_t>(rate * kGuardSeconds), room);
      WriteRing(written_, nullptr, static_cast<uint32_t>(guard));
    }
  }

  MovieClock movie_clock_;
  Audio* audio_;
  PixelLayout layout_ = PixelLayout::kRgb565;
  MovieInfo info_;
  bool stopped_ = false;
  bool prerolled_ = false;

  // FFmpeg state: set up by Open, then used by the decoder thread alone.
  AVFormatContext* format_ = nullptr;
  AVCodecContext* video_ = nullptr;
  AVCodecContext* sound_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  PictureConverter converter_;
  SwrContext* swr_ = nullptr;
  int swr_format_ = -1;
  int swr_channels_ = 0;
  int swr_rate_ = 0;
  int video_index_ = -1;
  int sound_index_ = -1;
  AVRational video_base_{1, 1};
  AVRational sound_base_{1, 1};
  double start_ = 0;
  double frame_duration_ = 1.0 / 25.0;
  int stride_ = 0;
  double next_picture_time_ = 0;
  double next_sound_time_ = 0;

  // Shared between the threads, under mutex_.
  std::mutex mutex_;
  std::condition_variable cv_;
  std::atomic<bool> quit_ = false;
  bool done_ = false;
  std::deque<MovieFrame> frames_;
  std::vector<MovieFrame> pool_;
  std::deque<SoundChunk> sound_chunks_;
  size_t queued_sound_frames_ = 0;
  double sound_decoded_until_ = 0;
  double pictures_end_ = 0;  // when the latest picture decoded so far has had its time
  std::thread thread_;

  // The sound buffer (main thread).
  PcmFormat pcm_;
  std::unique_ptr<SoundBuffer> buffer_;
  uint32_t ring_frames_ = 0;
  uint64_t played_ = 0;   // frames the mixer has played since the start
  uint64_t written_ = 0;  // frames written since the start (the next one goes here)
  uint32_t last_cursor_ = 0;
};

}  // namespace

std::unique_ptr<Movie> FfmpegMovies::Open(const std::string& host_path, PixelLayout layout,
                                          std::string* error) {
  std::string reason;
  auto movie = std::make_unique<FfmpegMovie>(clock_, audio_);
  if (!movie->Open(host_path, layout, &reason)) {
    if (error != nullptr) *error = reason;
    return nullptr;
  }
  return movie;
}

bool WaitForDecoder(Movie* movie, int timeout_ms) {
  auto* own = dynamic_cast<FfmpegMovie*>(movie);
  return own != nullptr && own->WaitDecoded(timeout_ms);
}

}  // namespace platform::ffmpeg
