#include "platform/ffmpeg/test_movie.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "platform/ffmpeg/ffmpeg_wave_codecs.h"
#include "platform/ffmpeg/picture_convert.h"
#include "platform/wave_codec.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

namespace platform::ffmpeg {

namespace {

constexpr int kQuietLogOffset = AV_LOG_DEBUG - AV_LOG_ERROR;
constexpr int kMp2FrameSamples = 1152;

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

// Owns everything one write needs and frees it in any case.
struct Writer {
  ~Writer() {
    if (output != nullptr) {
      if (opened) avio_closep(&output->pb);
      avformat_free_context(output);
    }
    avcodec_free_context(&video);
    av_frame_free(&frame);
    av_packet_free(&packet);
    sws_freeContext(sws);
  }

  AVFormatContext* output = nullptr;
  bool opened = false;
  AVCodecContext* video = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  SwsContext* sws = nullptr;
  AVStream* video_stream = nullptr;
  AVStream* sound_stream = nullptr;
  // The untimed tail: the pictures from `tail_from` on gathered into one packet.
  int tail_from = -1;
  std::vector<uint8_t> tail;
  int64_t tail_pts = AV_NOPTS_VALUE;
};

// The MP2 frames of the sound, encoded by the wave codecs' encoder and cut into frames.
bool EncodeSound(const TestMovieOptions& shape, std::vector<std::vector<uint8_t>>* frames,
                 std::string* error) {
  const double seconds = shape.sound_seconds >= 0 ? shape.sound_seconds
                                                  : static_cast<double>(shape.frames) / shape.fps;
  const auto count = static_cast<size_t>(std::llround(seconds * shape.sample_rate));
  std::vector<int16_t> pcm(count * static_cast<size_t>(shape.channels));
  for (size_t i = 0; i < count; ++i) {
    const int16_t v = TestMovieSample(shape, static_cast<int64_t>(i));
    for (int c = 0; c < shape.channels; ++c) pcm[i * shape.channels + c] = v;
  }
  EncodedWave encoded;
  if (!EncodeWave(kWaveFormatMpeg, static_cast<uint16_t>(shape.channels),
                  static_cast<uint32_t>(shape.sample_rate), pcm.data(), count, 0, &encoded)) {
    *error = "the MPEG audio encoder failed";
    return false;
  }
  AVCodecParserContext* parser = av_parser_init(AV_CODEC_ID_MP2);
  AVCodecContext* ctx = avcodec_alloc_context3(nullptr);
  bool ok = parser != nullptr && ctx != nullptr;
  std::vector<uint8_t> input(encoded.data);
  input.resize(encoded.data.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  size_t pos = 0;
  while (ok) {
    uint8_t* data = nullptr;
    int size = 0;
    const int left = static_cast<int>(encoded.data.size() - pos);
    const int taken =
        av_parser_parse2(parser, ctx, &data, &size, left > 0 ? input.data() + pos : nullptr, left,
                         AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    if (taken < 0) {
      ok = false;
      break;
    }
    pos += static_cast<size_t>(taken);
    if (size > 0) frames->emplace_back(data, data + size);
    if (left <= 0 && size == 0) break;
  }
  av_parser_close(parser);
  avcodec_free_context(&ctx);
  if (!ok) *error = "the MPEG audio could not be cut into frames";
  return ok;
}

bool WritePacket(Writer& w, AVPacket* packet, AVRational from, AVStream* stream,
                 std::string* error) {
  av_packet_rescale_ts(packet, from, stream->time_base);
  packet->stream_index = stream->index;
  const int ret = av_interleaved_write_frame(w.output, packet);
  if (ret < 0) {
    *error = "writing a packet failed: " + AvError(ret);
    return false;
  }
  return true;
}

bool DrainVideo(Writer& w, std::string* error) {
  for (;;) {
    const int ret = avcodec_receive_packet(w.video, w.packet);
    if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return true;
    if (ret < 0) {
      *error = "the MPEG video encoder failed: " + AvError(ret);
      return false;
    }
    if (w.tail_from >= 0 && w.packet->pts >= w.tail_from) {
      if (w.tail.empty()) w.tail_pts = w.packet->pts;
      w.tail.insert(w.tail.end(), w.packet->data, w.packet->data + w.packet->size);
      av_packet_unref(w.packet);
      continue;
    }
    if (!WritePacket(w, w.packet, w.video->time_base, w.video_stream, error)) return false;
  }
}

// The gathered tail as one packet stamped with its first picture's time.
bool WriteTail(Writer& w, std::string* error) {
  if (w.tail.empty()) return true;
  if (av_new_packet(w.packet, static_cast<int>(w.tail.size())) < 0) return false;
  std::copy(w.tail.begin(), w.tail.end(), w.packet->data);
  w.packet->pts = w.packet->dts = w.tail_pts;
  w.packet->duration = 1;
  if (w.tail_pts == 0) w.packet->flags |= AV_PKT_FLAG_KEY;
  const bool ok = WritePacket(w, w.packet, w.video->time_base, w.video_stream, error);
  av_packet_unref(w.packet);
  w.tail.clear();
  return ok;
}

bool SetUpVideo(Writer& w, const TestMovieOptions& shape, std::string* error) {
  const AVCodec* codec =
      avcodec_find_encoder(shape.mpeg2 ? AV_CODEC_ID_MPEG2VIDEO : AV_CODEC_ID_MPEG1VIDEO);
  if (codec == nullptr) {
    *error = "no MPEG video encoder";
    return false;
  }
  w.video = avcodec_alloc_context3(codec);
  if (w.video == nullptr) return false;
  w.video->log_level_offset = kQuietLogOffset;
  w.video->width = shape.width;
  w.video->height = shape.height;
  w.video->time_base = AVRational{1, shape.fps};
  w.video->framerate = AVRational{shape.fps, 1};
  w.video->pix_fmt = AV_PIX_FMT_YUV420P;
  w.video->gop_size = 12;
  w.video->max_b_frames = 0;
  // A fixed fine quantiser: flat areas come back within a few levels.
  w.video->flags |= AV_CODEC_FLAG_QSCALE;
  w.video->global_quality = FF_QP2LAMBDA * 2;
  w.video->bit_rate = 2000000;
  w.video->rc_buffer_size = 4 * 1024 * 1024;  // the muxer uses it too
  w.video->rc_max_rate = 8000000;
  if (w.output->oformat->flags & AVFMT_GLOBALHEADER) w.video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  int ret = avcodec_open2(w.video, codec, nullptr);
  if (ret < 0) {
    *error = "cannot open the MPEG video encoder: " + AvError(ret);
    return false;
  }
  w.video_stream = avformat_new_stream(w.output, nullptr);
  if (w.video_stream == nullptr ||
      avcodec_parameters_from_context(w.video_stream->codecpar, w.video) < 0)
    return false;
  w.video_stream->time_base = w.video->time_base;
  w.frame = av_frame_alloc();
  if (w.frame == nullptr) return false;
  w.frame->format = AV_PIX_FMT_YUV420P;
  w.frame->width = shape.width;
  w.frame->height = shape.height;
  if (av_frame_get_buffer(w.frame, 0) < 0) return false;
  w.sws = sws_getContext(shape.width, shape.height, AV_PIX_FMT_RGB24, shape.width, shape.height,
                         AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
  return w.sws != nullptr;
}

bool EncodePicture(Writer& w, const TestMovieOptions& shape, int n, std::string* error) {
  std::vector<uint8_t> rgb(static_cast<size_t>(shape.width) * shape.height * 3);
  for (int y = 0; y < shape.height; ++y) {
    for (int x = 0; x < shape.width; ++x) {
      const uint32_t c = TestMoviePixel(shape, n, x, y);
      uint8_t* p = rgb.data() + (static_cast<size_t>(y) * shape.width + x) * 3;
      p[0] = static_cast<uint8_t>(c >> 16);
      p[1] = static_cast<uint8_t>(c >> 8);
      p[2] = static_cast<uint8_t>(c);
    }
  }
  if (av_frame_make_writable(w.frame) < 0) return false;
  const uint8_t* planes[1] = {rgb.data()};
  const int strides[1] = {shape.width * 3};
  sws_scale(w.sws, planes, strides, 0, shape.height, w.frame->data, w.frame->linesize);
  w.frame->pts = n;
  const int ret = avcodec_send_frame(w.video, w.frame);
  if (ret < 0) {
    *error = "the MPEG video encoder refused a picture: " + AvError(ret);
    return false;
  }
  return DrainVideo(w, error);
}

}  // namespace

int TestMovieGrey(int n) { return 40 + (n % 32) * 5; }

uint32_t TestMoviePixel(const TestMovieOptions& shape, int n, int x, int y) {
  const int half_w = shape.width / 2;
  const int half_h = shape.height / 2;
  if (x >= half_w) return y < half_h ? kTestMovieRed : kTestMovieBlue;
  if (y < half_h) {
    const auto g = static_cast<uint32_t>(TestMovieGrey(n));
    return g << 16 | g << 8 | g;
  }
  const int bar = std::min(x * 5 / half_w, 4);
  return ((n >> bar) & 1) != 0 ? kTestMovieWhite : kTestMovieBlack;
}

int16_t TestMovieSample(const TestMovieOptions& shape, int64_t i) {
  const double t = static_cast<double>(i) / shape.sample_rate;
  if (t < shape.tone_start) return 0;
  return static_cast<int16_t>(
      std::lround(8192.0 * std::sin(2.0 * std::numbers::pi * shape.tone_hz * t)));
}

bool WriteTestMovie(const std::string& path, const TestMovieOptions& shape, std::string* error) {
  std::string reason;
  std::string* why = error != nullptr ? error : &reason;
  if (shape.frames < 0 ||
      (shape.frames > 0 && (shape.width < 16 || shape.height < 16 || shape.fps < 1)) ||
      (shape.sound && (shape.channels < 1 || shape.channels > 2)) ||
      (shape.frames == 0 && !shape.sound) || shape.untimed_tail < 0 ||
      (shape.untimed_tail > 0 && shape.untimed_tail >= shape.frames) ||
      (shape.elementary && (shape.mpeg2 || shape.sound || shape.frames == 0))) {
    *why = "the movie asked for cannot be made";
    return false;
  }
  Writer w;
  if (shape.untimed_tail > 0) w.tail_from = shape.frames - shape.untimed_tail - 1;
  const char* muxer = shape.elementary ? "mpeg1video" : shape.mpeg2 ? "vob" : "mpeg";
  int ret = avformat_alloc_output_context2(&w.output, nullptr, muxer, path.c_str());
  if (ret < 0 || w.output == nullptr) {
    *why = "no MPEG system stream muxer";
    return false;
  }
  if (shape.frames > 0 && !SetUpVideo(w, shape, why)) {
    if (why->empty()) *why = "cannot set up the video";
    return false;
  }
  std::vector<std::vector<uint8_t>> sound;
  if (shape.sound) {
    if (!EncodeSound(shape, &sound, why)) return false;
    w.sound_stream = avformat_new_stream(w.output, nullptr);
    if (w.sound_stream == nullptr) return false;
    AVCodecParameters* par = w.sound_stream->codecpar;
    par->codec_type = AVMEDIA_TYPE_AUDIO;
    par->codec_id = AV_CODEC_ID_MP2;
    par->sample_rate = shape.sample_rate;
    av_channel_layout_default(&par->ch_layout, shape.channels);
    par->bit_rate = shape.channels == 1 ? 64000 : 128000;
    par->frame_size = kMp2FrameSamples;
    w.sound_stream->time_base = AVRational{1, shape.sample_rate};
  }
  ret = avio_open(&w.output->pb, path.c_str(), AVIO_FLAG_WRITE);
  if (ret < 0) {
    *why = "cannot write " + path + ": " + AvError(ret);
    return false;
  }
  w.opened = true;
  ret = avformat_write_header(w.output, nullptr);
  if (ret < 0) {
    *why = "cannot write the stream header: " + AvError(ret);
    return false;
  }
  w.packet = av_packet_alloc();
  if (w.packet == nullptr) return false;

  // Pictures and sound frames in time order, so that the muxer interleaves them closely.
  const AVRational sound_base{1, shape.sample_rate};
  size_t next_sound = 0;
  auto write_sound_until = [&](double seconds) {
    while (next_sound < sound.size() &&
           static_cast<double>(next_sound) * kMp2FrameSamples / shape.sample_rate <= seconds) {
      const std::vector<uint8_t>& data = sound[next_sound];
      if (av_new_packet(w.packet, static_cast<int>(data.size())) < 0) return false;
      std::copy(data.begin(), data.end(), w.packet->data);
      w.packet->pts = w.packet->dts = static_cast<int64_t>(next_sound) * kMp2FrameSamples;
      w.packet->duration = kMp2FrameSamples;
      const bool ok = WritePacket(w, w.packet, sound_base, w.sound_stream, why);
      av_packet_unref(w.packet);
      if (!ok) return false;
      ++next_sound;
    }
    return true;
  };
  for (int n = 0; n < shape.frames; ++n) {
    if (!write_sound_until(static_cast<double>(n) / shape.fps)) return false;
    if (!EncodePicture(w, shape, n, why)) return false;
  }
  if (shape.frames > 0) {
    avcodec_send_frame(w.video, nullptr);
    if (!DrainVideo(w, why) || !WriteTail(w, why)) return false;
  }
  if (!write_sound_until(1e9)) return false;
  ret = av_write_trailer(w.output);
  if (ret < 0) {
    *why = "cannot finish the file: " + AvError(ret);
    return false;
  }
  return true;
}

namespace {

// Copies an image's rows into a movie frame's rows.
void CopyRows(const uint8_t* data, int linesize, int width, int height, MovieFrame* out) {
  const size_t row = static_cast<size_t>(width) * 2;
  out->pixels.assign(static_cast<size_t>(out->stride) * static_cast<size_t>(height), 0);
  for (int y = 0; y < height; ++y) {
    std::copy_n(data + static_cast<size_t>(y) * static_cast<size_t>(linesize), row,
                out->pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(out->stride));
  }
}

// Owns what one decoding pass holds.
struct Reader {
  ~Reader() {
    sws_freeContext(sws);
    av_freep(&image[0]);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&video);
    avformat_close_input(&format);
  }
  AVFormatContext* format = nullptr;
  AVCodecContext* video = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  SwsContext* sws = nullptr;
  uint8_t* image[4] = {};
  int image_lines[4] = {};
};

}  // namespace

bool ConvertMoviePictures(const std::string& path, PixelLayout layout, ConvertedPictures* out,
                          std::string* error) {
  std::string reason;
  std::string* why = error != nullptr ? error : &reason;
  if (out == nullptr) return false;
  *out = ConvertedPictures{};
  Reader r;
  if (avformat_open_input(&r.format, path.c_str(), nullptr, nullptr) < 0 ||
      avformat_find_stream_info(r.format, nullptr) < 0) {
    *why = "cannot read " + path;
    return false;
  }
  const int index = av_find_best_stream(r.format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (index < 0) {
    *why = "no video stream";
    return false;
  }
  const AVCodecParameters* par = r.format->streams[index]->codecpar;
  const AVCodec* codec = avcodec_find_decoder(par->codec_id);
  r.video = codec != nullptr ? avcodec_alloc_context3(codec) : nullptr;
  r.frame = av_frame_alloc();
  r.packet = av_packet_alloc();
  if (r.video == nullptr || r.frame == nullptr || r.packet == nullptr ||
      avcodec_parameters_to_context(r.video, par) < 0) {
    *why = "cannot set up the decoder";
    return false;
  }
  r.video->log_level_offset = kQuietLogOffset;
  r.video->thread_count = 1;
  if (avcodec_open2(r.video, codec, nullptr) < 0) {
    *why = "cannot open the decoder";
    return false;
  }
  const int w = par->width;
  const int h = par->height;
  const int stride = static_cast<int>(MovieRowStride(w, 16));
  const AVPixelFormat target =
      layout == PixelLayout::kRgb565 ? AV_PIX_FMT_RGB565 : AV_PIX_FMT_RGB555;
  if (stride == 0 || av_image_alloc(r.image, r.image_lines, w, h, target, 64) < 0) {
    *why = "cannot make the reference image";
    return false;
  }
  constexpr size_t kGuard = 64;
  constexpr uint8_t kGuardByte = 0xA5;
  PictureConverter converter;
  std::vector<uint8_t> buffer;
  bool ok = true;
  auto take = [&]() {
    while (ok && avcodec_receive_frame(r.video, r.frame) == 0) {
      MovieFrame frame;
      frame.width = w;
      frame.height = h;
      frame.layout = layout;
      frame.stride = stride;
      const size_t size = static_cast<size_t>(stride) * static_cast<size_t>(h);
      buffer.assign(size + kGuard, kGuardByte);
      if (!converter.Convert(r.frame, w, h, layout, buffer.data(), stride)) {
        *why = "our conversion failed";
        ok = false;
        break;
      }
      for (size_t i = size; i < buffer.size(); ++i) {
        if (buffer[i] != kGuardByte) out->guard_intact = false;
      }
      frame.pixels.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(size));
      out->ours.push_back(frame);

      r.sws = sws_getCachedContext(r.sws, r.frame->width, r.frame->height,
                                   static_cast<AVPixelFormat>(r.frame->format), w, h, target,
                                   SWS_BILINEAR, nullptr, nullptr, nullptr);
      if (r.sws == nullptr || sws_scale(r.sws, r.frame->data, r.frame->linesize, 0,
                                        r.frame->height, r.image, r.image_lines) != h) {
        *why = "the reference conversion failed";
        ok = false;
        break;
      }
      CopyRows(r.image[0], r.image_lines[0], w, h, &frame);
      out->reference.push_back(std::move(frame));
      av_frame_unref(r.frame);
    }
  };
  while (ok && av_read_frame(r.format, r.packet) >= 0) {
    if (r.packet->stream_index == index && avcodec_send_packet(r.video, r.packet) >= 0) take();
    av_packet_unref(r.packet);
  }
  if (ok) {
    avcodec_send_packet(r.video, nullptr);
    take();
  }
  return ok;
}

}  // namespace platform::ffmpeg
