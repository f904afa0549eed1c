#include "platform/headless/headless_movie.h"

#include <cstring>

#include "platform/clock.h"

namespace platform::headless {

namespace {

// How often a stalled script asks to be polled, as a decoding source does while it waits for
// its decoder.
constexpr int kStallPollMs = 10;

class ScriptedMoviePlayback final : public Movie {
 public:
  ScriptedMoviePlayback(Clock& clock, ScriptedMovie script, PixelLayout layout,
                        std::shared_ptr<MovieRecord> record)
      : clock_(clock), script_(std::move(script)), record_(std::move(record)) {
    info_.duration = script_.duration;
    info_.has_video = script_.has_video;
    info_.has_audio = false;
    info_.format = script_.format;
    if (script_.layout_as_asked) info_.format.layout = layout;
    if (!info_.has_video) info_.format.width = info_.format.height = 0;
    ++record_->opened;
  }
  ~ScriptedMoviePlayback() override { ++record_->closed; }

  const MovieInfo& info() const override { return info_; }

  void Run() override {
    if (stopped_) return;
    ++record_->runs;
    clock_.Run();
  }
  void Pause() override {
    ++record_->pauses;
    clock_.Pause();
  }
  void Stop() override {
    ++record_->stops;
    clock_.Pause();
    stopped_ = true;
  }

  double Position() override { return clock_.Seconds(); }

  int NextDueMs() override {
    if (!clock_.running() || stopped_ || !info_.has_video) return -1;
    if (next_ >= script_.frames.size()) return script_.stalls_after_last ? kStallPollMs : 0;
    return MovieWaitMs(script_.frames[next_].time - clock_.Seconds());
  }

  bool TakeFrame(MovieFrame* out) override {
    if (out == nullptr || stopped_ || !info_.has_video) return false;
    const double now = clock_.Seconds();
    size_t due = script_.frames.size();
    for (size_t i = next_; i < script_.frames.size() && script_.frames[i].time <= now; ++i) due = i;
    if (due == script_.frames.size()) return false;
    record_->dropped += static_cast<int>(due - next_);
    ++record_->taken;
    *out = script_.frames[due];
    next_ = due + 1;
    return true;
  }

  bool EndOfStream() override {
    return !info_.has_video || (next_ >= script_.frames.size() && !script_.stalls_after_last);
  }

 private:
  MovieClock clock_;
  ScriptedMovie script_;
  std::shared_ptr<MovieRecord> record_;
  MovieInfo info_;
  size_t next_ = 0;
  bool stopped_ = false;
};

}  // namespace

void HeadlessMovies::Add(const std::string& host_path, ScriptedMovie script) {
  scripts_[host_path] = std::move(script);
}

MovieRecord& HeadlessMovies::record(const std::string& host_path) {
  auto& slot = records_[host_path];
  if (!slot) slot = std::make_shared<MovieRecord>();
  return *slot;
}

std::unique_ptr<Movie> HeadlessMovies::Open(const std::string& host_path, PixelLayout layout,
                                            std::string* error) {
  open_requests.push_back(host_path);
  auto it = scripts_.find(host_path);
  if (it == scripts_.end()) {
    if (error != nullptr) *error = "no such movie: " + host_path;
    return nullptr;
  }
  record(host_path);
  return std::make_unique<ScriptedMoviePlayback>(clock_, it->second, layout, records_[host_path]);
}

MovieFrame HeadlessMovies::SolidFrame(const MovieFormat& format, double time, uint16_t pixel) {
  MovieFrame frame;
  frame.time = time;
  frame.width = format.width;
  frame.height = format.height;
  frame.bits_per_pixel = 16;
  frame.layout = format.layout;
  frame.stride = static_cast<int>(MovieRowStride(format.width, 16));
  frame.pixels.resize(static_cast<size_t>(frame.stride) * static_cast<size_t>(format.height));
  for (int y = 0; y < format.height; ++y) {
    uint8_t* row = frame.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(frame.stride);
    for (int x = 0; x < format.width; ++x) std::memcpy(row + 2 * x, &pixel, 2);
  }
  return frame;
}

}  // namespace platform::headless
