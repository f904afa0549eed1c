#include "fuzz/entries/fuzz_entries.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "engine/app/context.h"
#include "engine/files/file_io.h"
#include "engine/files/lzss.h"
#include "engine/files/text_file.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/text/text_draw.h"
#include "engine/input/dinput.h"
#include "engine/sound/dsound_func.h"
#include "fuzz/entries/entry_support.h"
#include "fuzz/entries/fuzz_seeds.h"
#include "testsupport/lzss_writer.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_engine.h"

namespace fuzz {

namespace {

void DefaultFailure(const char* target, const char* what) {
  std::fprintf(stderr, "fuzz %s: %s\n", target, what);
  std::fflush(stderr);
  std::abort();
}

FailureHandler g_failure = DefaultFailure;

}  // namespace

namespace detail {

void Check(bool ok, const char* target, const char* what) {
  if (!ok) g_failure(target, what);
}

uint32_t Le16(const Bytes& b, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 2; ++i) v |= (at + i < b.size() ? b[at + i] : 0u) << (8 * i);
  return v;
}

uint8_t ByteAt(const Bytes& b, size_t at) { return at < b.size() ? b[at] : 0; }

testsupport::GameTree& Tree() {
  static testsupport::GameTree tree;
  return tree;
}

std::unique_ptr<uint8_t[]> ExactCopy(const uint8_t* data, size_t size) {
  std::unique_ptr<uint8_t[]> copy(new uint8_t[size == 0 ? 1 : size]);
  if (size != 0) std::memcpy(copy.get(), data, size);
  return copy;
}

DisplayRig::DisplayRig(bool rgb555) {
  if (rgb555) host.config.Set("Pixel Format", "555");
  host.seams().codecs = &codecs;
  context = std::make_unique<EngineContext>(host.seams());
  ContextScope scope(*context);
  testsupport::GameTree& tree = Tree();
  host.files.SetWorkingDirectory(tree.cwd());
  context->file_io.SetInstallDir(tree.install().c_str());
  ready = context->ddraw.InitDirectDraw() == 1;
}

DisplayRig::~DisplayRig() {
  ContextScope scope(*context);
  context->ddraw.ReleaseDirectDraw();
}

DisplayRig& Rig(bool rgb555) {
  static DisplayRig rig565(false);
  static DisplayRig rig555(true);
  return rgb555 ? rig555 : rig565;
}

}  // namespace detail

using namespace detail;

void SetFailureHandler(FailureHandler handler) {
  g_failure = handler != nullptr ? handler : DefaultFailure;
}

std::vector<Bytes> SplitParts(const uint8_t* data, size_t size, size_t parts) {
  std::vector<Bytes> out;
  size_t start = 0;
  size_t i = 0;
  // The mark's first byte found by memchr and the rest compared by hand: a memcmp at every byte
  // goes through the sanitizer's and the fuzzer's hooks, which took much of an input's time.
  while (out.size() + 1 < parts && i + sizeof kPartMark <= size) {
    const void* at = std::memchr(data + i, kPartMark[0], size - sizeof kPartMark + 1 - i);
    if (at == nullptr) break;
    i = static_cast<size_t>(static_cast<const uint8_t*>(at) - data);
    if (data[i + 1] == kPartMark[1] && data[i + 2] == kPartMark[2] && data[i + 3] == kPartMark[3]) {
      out.emplace_back(data + start, data + i);
      i += sizeof kPartMark;
      start = i;
    } else {
      ++i;
    }
  }
  out.emplace_back(data + std::min(start, size), data + size);
  while (out.size() < parts) out.emplace_back();
  return out;
}

Bytes JoinParts(const std::vector<Bytes>& parts) {
  Bytes out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i != 0) out.insert(out.end(), std::begin(kPartMark), std::end(kPartMark));
    out.insert(out.end(), parts[i].begin(), parts[i].end());
  }
  return out;
}

// --- LZSS ----------------------------------------------------------------------------------
namespace {

// The stream format read the plain way, as the oracle for the decoder: flag bits from the
// lowest, 1 a literal, 0 a two-byte reference into the 4096-byte zero-filled ring whose writes
// start at 4078; exactly dst_len bytes; 1 only when the source is used up exactly.
int ModelLzss(const uint8_t* src, uint32_t n, uint8_t* out, uint32_t dst_len) {
  std::vector<uint8_t> ring(4096, 0);
  uint32_t r = 4078;
  uint32_t ip = 0;
  uint32_t op = 0;
  uint32_t flags = 0;
  int bits = 0;
  while (op < dst_len) {
    if (bits == 0) {
      if (ip >= n) break;
      flags = src[ip++];
      bits = 8;
    }
    const bool literal = (flags & 1) != 0;
    flags >>= 1;
    --bits;
    if (literal) {
      if (ip >= n) break;
      out[op++] = ring[r] = src[ip++];
      r = (r + 1) % 4096;
    } else {
      if (n - ip < 2) break;
      const uint32_t pos = src[ip] | ((src[ip + 1] & 0xF0u) << 4);
      const uint32_t length = (src[ip + 1] & 0x0Fu) + 3;
      ip += 2;
      for (uint32_t k = 0; k < length && op < dst_len; ++k) {
        out[op++] = ring[r] = ring[(pos + k) % 4096];
        r = (r + 1) % 4096;
      }
    }
  }
  if (op < dst_len) return 0;
  return ip == n ? 1 : 0;
}

}  // namespace

// Byte 0 picks the mode. Odd: the rest (up to 1024 bytes) is plain data, encoded by the fixture
// encoder and decoded again, which must give it back exactly with result 1. Even: bytes 1-2 are a
// destination length and the rest a stream; it is decoded into exactly sized buffers of that
// length and of a longer one, each compared with the plain reading of the format (result, every
// byte written and every byte left as it was).
void LzssEntry(const uint8_t* data, size_t size) {
  constexpr const char* kName = "lzss";
  if (size < 1) return;
  if (data[0] & 1) {
    // The fixture encoder searches the whole ring for every byte: kept short so runs stay fast.
    const Bytes plain(data + 1, data + std::min<size_t>(size, 1025));
    const Bytes packed = testsupport::LzssEncode(plain);
    auto src = ExactCopy(packed.data(), packed.size());
    auto dst = ExactCopy(plain.data(), plain.size());
    std::memset(dst.get(), 0xA5, plain.size());
    const int r = LzssDecode(src.get(), static_cast<uint32_t>(packed.size()), dst.get(),
                             static_cast<uint32_t>(plain.size()));
    Check(r == 1, kName, "a complete stream did not decode with result 1");
    Check(plain.empty() || std::memcmp(dst.get(), plain.data(), plain.size()) == 0, kName,
          "round trip differs");
    return;
  }
  if (size < 3) return;
  const uint32_t dst_len = data[1] | (static_cast<uint32_t>(data[2]) << 8);
  const uint32_t src_len = static_cast<uint32_t>(size - 3);
  auto src = ExactCopy(data + 3, src_len);
  const uint32_t longer = dst_len + 1 + (data[0] >> 1);
  std::unique_ptr<uint8_t[]> a(new uint8_t[dst_len == 0 ? 1 : dst_len]);
  std::unique_ptr<uint8_t[]> b(new uint8_t[longer]);
  std::memset(a.get(), 0x11, dst_len);
  std::memset(b.get(), 0x22, longer);
  const int ra = LzssDecode(src.get(), src_len, a.get(), dst_len);
  const int rb = LzssDecode(src.get(), src_len, b.get(), longer);
  Bytes ma(dst_len, 0x11);
  Bytes mb(longer, 0x22);
  Check(ra == ModelLzss(src.get(), src_len, ma.data(), dst_len), kName, "result differs");
  Check(rb == ModelLzss(src.get(), src_len, mb.data(), longer), kName, "result differs");
  Check(ma.empty() || std::memcmp(a.get(), ma.data(), dst_len) == 0, kName, "output differs");
  Check(std::memcmp(b.get(), mb.data(), longer) == 0, kName, "output differs");
}

// --- Text-file reader ----------------------------------------------------------------------
// Bytes 0-1: the line buffer size (signed 16-bit); the rest is the file, found through the search
// order by a name of another case. Lines are read into an exactly sized buffer until the end and
// compared with the split rule read the plain way: a line is the bytes up to the next line feed
// or maximum - 1 bytes, whichever comes first; the line feed is taken only when it ended the
// line; a call with nothing left (or a buffer without room for a character) ends the reading.
void TextFileEntry(const uint8_t* data, size_t size) {
  constexpr const char* kName = "text_file";
  if (size < 2) return;
  const int maximum = static_cast<int16_t>(data[0] | (data[1] << 8));
  testsupport::GameTree& tree = Tree();
  tree.Write("cwd/text/table.txt", Bytes(data + 2, data + size));
  testsupport::TestEngine engine;
  engine.host.files.SetWorkingDirectory(tree.cwd());

  CTextFile file(Ctx().file_io);
  Check(file.Open("TEXT\\Table.TXT") == 1, kName, "an existing file did not open");
  const size_t room = maximum > 0 ? static_cast<size_t>(maximum) : 1;
  std::unique_ptr<char[]> line(new char[room]);
  const uint8_t* text = data + 2;
  const size_t length = size - 2;
  size_t pos = 0;
  for (size_t call = 0; call <= length + 1 && !file.IsEnd(); ++call) {
    char* got = file.GetLine(line.get(), maximum);
    Check(got == line.get(), kName, "GetLine returned another buffer");
    if (maximum <= 1 || pos >= length) {
      Check(file.IsEnd() == 1, kName, "reading did not end");
      Check(maximum <= 0 || line[0] == '\0', kName, "an ended read left text in the buffer");
      break;
    }
    size_t take = 0;
    while (take < room - 1 && pos + take < length && text[pos + take] != '\n') ++take;
    Check(std::memcmp(line.get(), text + pos, take) == 0 && line[take] == '\0', kName,
          "line differs from the split rule");
    pos += take;
    if (take < room - 1 && pos < length) ++pos;  // the line feed that ended the line
    Check(file.IsEnd() == 0, kName, "reading ended with text left");
  }
  Check(file.IsEnd() == 1, kName, "reading did not end");
}

// --- Glyph fonts -----------------------------------------------------------------------------
// Parts: control, CHT.DAT, CHT24.DAT, ENG12.DAT, text. Control bytes: 0 flags (bits 0-2 leave out
// CHT.DAT, ENG12.DAT, CHT24.DAT; bit 3 RGB565; bit 4 with a background), 1-2 and 3-4 the pen
// (signed), 5-6 and 7-8 the background offset (signed), 9 and 10 the destination size - 1 (up to
// 96 x 64), 11 row padding in pixels. The fonts load from a fresh working directory, then the
// text is measured and drawn every way into exactly sized pictures; no draw changes a pixel
// outside the glyph cells its layout rule gives (nor the row padding).
void GlyphFontEntry(const uint8_t* data, size_t size) {
  constexpr const char* kName = "glyph_font";
  const std::vector<Bytes> parts = SplitParts(data, size, 5);
  const Bytes& control = parts[0];
  const uint8_t flags = ByteAt(control, 0);

  testsupport::GameTree& tree = Tree();
  const char* names[3] = {"fonts/CHT.DAT", "fonts/ENG12.DAT", "fonts/CHT24.DAT"};
  const Bytes* files[3] = {&parts[1], &parts[3], &parts[2]};
  for (int i = 0; i < 3; ++i) {
    if (flags & (1 << i)) {
      tree.Remove(names[i]);
    } else {
      tree.Write(names[i], *files[i]);
    }
  }
  testsupport::TestEngine engine;
  engine.host.files.SetWorkingDirectory(tree.Path("fonts"));
  CDdrawText& text = engine.ctx().ddraw_text;
  const int loaded = text.LoadFont();
  // Every file there and each holding at least one glyph (CHT.DAT one code).
  const bool usable = (flags & 7) == 0 && parts[1].size() >= 2 &&
                      parts[3].size() >= CDdrawText::kGlyph12Bytes &&
                      parts[2].size() >= CDdrawText::kGlyph24Bytes;
  Check(loaded == (usable ? 1 : 0), kName, "load result does not match the files");
  Check(loaded == 1 || !text.load_failure().empty(), kName, "a failed load names no cause");
  Check(text.code_count() <= CDdrawText::kCodeTableSize, kName, "too many codes kept");
  Check(text.glyph12_size() <= size_t{CDdrawText::kGlyph12Count} * CDdrawText::kGlyph12Bytes,
        kName, "single-byte glyph data larger than the glyphs");
  Check(text.glyph24_size() <= size_t{CDdrawText::kCodeTableSize} * CDdrawText::kGlyph24Bytes,
        kName, "double-byte glyph data larger than the table");
  text.SetPixelMode(flags & 8 ? CDdrawText::kModeRgb565 : CDdrawText::kModeRgb555);

  const int x = static_cast<int16_t>(Le16(control, 1));
  const int y = static_cast<int16_t>(Le16(control, 3));
  const int bx = static_cast<int16_t>(Le16(control, 5));
  const int by = static_cast<int16_t>(Le16(control, 7));
  const int width = 1 + ByteAt(control, 9) % 96;
  const int height = 1 + ByteAt(control, 10) % 64;
  const int pad = ByteAt(control, 11) % 4;
  const size_t pixels = static_cast<size_t>(width + pad) * height;
  std::unique_ptr<uint16_t[]> dst_px(new uint16_t[pixels]);
  std::unique_ptr<uint16_t[]> bg_px(new uint16_t[pixels]);
  std::fill(dst_px.get(), dst_px.get() + pixels, 0x1234);
  std::fill(bg_px.get(), bg_px.get() + pixels, 0x4321);
  SurfaceDesc dst{reinterpret_cast<uint8_t*>(dst_px.get()), (width + pad) * 2, width, height};
  SurfaceDesc bg{reinterpret_cast<uint8_t*>(bg_px.get()), (width + pad) * 2, width, height};

  const Bytes& s = parts[4];
  auto str = ExactCopy(s.data(), s.size());
  const char* chars = reinterpret_cast<const char*>(str.get());
  const int length = static_cast<int>(s.size());
  const uint32_t extent = CDdrawText::GetTextWidth(chars, length);
  Check((extent >> 16) >= CDdrawText::kLineHeight, kName, "text height below one line");

  // Every draw writes inside its glyph cells only (24 pixels high at the pen's row).
  struct Cell {
    int64_t left;
    int cell_width;
  };
  std::vector<Cell> cells;
  auto clear = [&] {
    std::fill(dst_px.get(), dst_px.get() + pixels, 0x1234);
    cells.clear();
  };
  auto check_cells = [&](const char* what) {
    std::vector<bool> column(static_cast<size_t>(width + pad), false);
    for (const Cell& c : cells) {
      const int64_t from = std::max<int64_t>(c.left, 0);
      const int64_t to = std::min<int64_t>(c.left + c.cell_width, width);
      for (int64_t px = from; px < to; ++px) column[static_cast<size_t>(px)] = true;
    }
    for (int py = 0; py < height; ++py) {
      const bool row_in = py >= y && py < y + CDdrawText::kLineHeight;
      for (int px = 0; px < width + pad; ++px) {
        if (!(row_in && column[static_cast<size_t>(px)]) &&
            dst_px[static_cast<size_t>(py) * (width + pad) + px] != 0x1234) {
          Check(false, kName, what);
          return;
        }
      }
    }
  };

  clear();
  text.DrawTextToDesc(chars, length, x, y, bx, by, dst, (flags & 16) ? &bg : nullptr, 0x00C0FFEE);
  for (int64_t i = 0, pen = x; i < length;) {
    const uint8_t c = s[static_cast<size_t>(i)];
    const int w = (c >= 32 && c <= 127) ? 12 : 24;
    cells.push_back({pen, w});
    pen += w;
    i += w == 12 ? 1 : 2;
  }
  check_cells("a text draw wrote outside its glyph cells");

  clear();
  text.DrawStringToDesc(chars, length, x, y, dst, bg, 0x00FF8040);
  for (int64_t i = 0, pen = x; i < length;) {
    if (s[static_cast<size_t>(i)] & 0x80) {
      cells.push_back({pen, 24});
      pen += 24;
      i += 2;
    } else {
      pen += 12;
      i += 1;
    }
  }
  check_cells("a string draw wrote outside its glyph cells");

  // Single glyphs at the pen, each given two readable bytes (the first 32 pairs).
  for (size_t i = 0; i + 1 < s.size() && i < 64; i += 2) {
    clear();
    cells.push_back({x, 24});
    text.DrawGlyph24Ex(chars + i, x, y, dst, 0xFFFF);
    text.DrawGlyph12Ex(chars + i, x, y, dst, 0xFFFF);
    text.DrawGlyphBuf(chars + i, x, y, dst, bg, 0x00FFFFFF);
    check_cells("a glyph draw wrote outside its cell");
    const uint16_t code = static_cast<uint16_t>((s[i] << 8) | s[i + 1]);
    const int found = text.FindCode(code);
    Check(found == -1 || (found >= 0 && static_cast<uint32_t>(found) < text.code_count()), kName,
          "code position outside the table");
  }
  text.FreeFont();
}

// --- Key assignment --------------------------------------------------------------------------
// The input is save\key.dat. After loading, each entry the file holds is its byte (a pad
// number of 32 or more reads as none) and every other entry keeps its default; then a frame of
// input with every key, mouse button and joystick button held runs through the assignment and
// the masks.
void KeyConfigEntry(const uint8_t* data, size_t size) {
  constexpr const char* kName = "key_config";
  testsupport::GameTree& tree = Tree();
  tree.Write("install/save/key.dat", Bytes(data, data + size));
  testsupport::TestEngine engine;
  engine.ctx().file_io.SetInstallDir(tree.install().c_str());
  platform::headless::HeadlessInput& in = engine.host.input;
  in.joystick_attached = true;
  CDinput& di = engine.ctx().input;
  di.CreateDirectInput();
  di.Init();
  const bool whole = size >= 2 * kKeyConfigEntries;
  Check(di.LoadKeyConfig() == (whole ? 1 : 0), kName,
        "a key file loaded other than exactly when it holds the whole record");
  const KeyConfig& config = di.key_config();
  for (uint32_t i = 0; i < kKeyConfigEntries; ++i) {
    const uint32_t key = whole ? data[i] : CDinput::GetDefaultKeyConfig(i);
    const size_t at = kKeyConfigEntries + i;
    const uint32_t pad =
        whole ? (data[at] < kPadStateSize ? data[at] : 0u) : CDinput::GetDefaultPadConfig(i);
    Check(config.keyboard[i] == key, kName, "key entry differs from the file");
    Check(config.pad[i] == pad, kName, "pad entry differs from the file");
  }

  in.keys.fill(0x80);
  in.mouse.buttons.fill(0x80);
  in.joystick.buttons.fill(0x80);
  di.GetState();
  di.GetState();
  std::array<uint8_t, platform::kKeyboardStateSize> keys{};
  std::array<uint8_t, kPadStateSize> pads{};
  di.GetKeyboardState(keys);
  di.GetPadButtons(pads);
  CDinput::MaskKeys(keys, config.keyboard);
  CDinput::MaskPadButtons(pads, config.pad);
  // Raw file bytes as lists too: the masks take any list a menu hands them.
  CDinput::MaskKeys(keys, std::span<const uint8_t>(data, size));
  CDinput::MaskPadButtons(pads, std::span<const uint8_t>(data, size));
}

// --- Wave heads --------------------------------------------------------------------------------
// The input is a wave file. ReadWaveHead runs on the bytes directly (at most the head size), then
// OpenWave and OpenAcm on the file as a channel opens it. What the head says must lie inside the
// head, and a channel that opens has block sizes it can stream with.
void WaveHeadEntry(const uint8_t* data, size_t size) {
  constexpr const char* kName = "wave_head";
  const uint32_t n = static_cast<uint32_t>(std::min<size_t>(size, kWaveHeaderSize));
  auto head_bytes = ExactCopy(data, n);
  WaveHead head;
  if (ReadWaveHead(head_bytes.get(), n, &head)) {
    Check(head.format_size >= 16 && head.format_offset + uint64_t{head.format_size} <= n, kName,
          "format chunk outside the head");
    Check(head.chunk_start <= n && head.data_start <= n, kName, "data start outside the head");
    Check(head.format.extra_size <= head.format_size, kName, "extra bytes beyond the chunk");
  }

  testsupport::GameTree& tree = Tree();
  const std::string path = tree.Write("cwd/head.wav", Bytes(data, data + size));
  testsupport::TestEngine engine;
  CDsoundFunc& dsound = engine.ctx().dsound;
  dsound.EnumAcmDrivers();
  SoundFormatBlock format;
  SoundChannel channel;
  Check(format.SetName(path.c_str()), kName, "name refused");
  if (dsound.OpenWave(format, channel) == 0) return;
  Check(format.header_bytes <= kWaveHeaderSize, kName, "head larger than its buffer");
  Check(channel.data_start <= channel.data_end && channel.data_end <= size, kName,
        "data range outside the file");
  Check(channel.source_block_size > 0, kName, "empty read block");
  if (dsound.OpenAcm(format, channel) != 0) {
    Check(channel.pcm_block_size > 0, kName, "empty PCM block");
    Check(uint64_t{channel.buffer_size} == uint64_t{kBufferBlocks} * channel.pcm_block_size, kName,
          "buffer size is not whole blocks");
  }
  dsound.CloseAcm(channel);
}

// --- Block conversion ----------------------------------------------------------------------------
// Byte 0 picks the mode. Mode 0: the rest is a wave file streamed the way a channel streams it
// (open, then read and convert block after block to the end of the data, bounded). Mode 1: bytes
// 1-2 a format tag index, 3 channels, 4-6 rate, 7-8 block align, 9 a chunk length, then parts
// (format extra bytes, data); a stream of that format converts the data in chunks of varying
// length and flags. Every conversion stays inside its buffers and reports what it used.
void WaveConvertEntry(const uint8_t* data, size_t size) {
  constexpr const char* kName = "wave_convert";
  if (size < 1) return;
  testsupport::TestEngine engine;
  CDsoundFunc& dsound = engine.ctx().dsound;
  dsound.EnumAcmDrivers();
  if ((data[0] & 1) == 0) {
    testsupport::GameTree& tree = Tree();
    const std::string path = tree.Write("cwd/stream.wav", Bytes(data + 1, data + size));
    SoundFormatBlock format;
    SoundChannel channel;
    format.SetName(path.c_str());
    if (dsound.OpenWave(format, channel) == 0 || dsound.OpenAcm(format, channel) == 0 ||
        dsound.OpenStream(format, channel) == 0) {
      dsound.CloseAcm(channel);
      return;
    }
    // Every read reads at least one byte or ends; the data is at most `size` bytes.
    for (size_t guard = 0; guard <= size + 2; ++guard) {
      uint32_t got = 0;
      if (dsound.ReadSourceBlock(channel, &got) == 0) break;
      Check(got <= channel.source_block_size, kName, "read more than a block");
      if (dsound.ConvertSourceBlock(channel, got) == 0) break;
      Check(channel.block_length <= channel.pcm_block_size, kName, "block longer than its buffer");
      if (got < channel.source_block_size) break;
      Check(guard < size + 2, kName, "streaming never reached the end of the data");
    }
    dsound.CloseAcm(channel);
    return;
  }

  const std::vector<Bytes> parts = SplitParts(data, size, 3);
  const Bytes& control = parts[0];
  static constexpr uint16_t kTags[] = {platform::kWaveFormatMsAdpcm, platform::kWaveFormatImaAdpcm,
                                       platform::kWaveFormatMpeg, platform::kWaveFormatMpegLayer3};
  platform::WaveFormatEx f;
  f.format_tag = kTags[ByteAt(control, 1) % 4];
  f.channels = static_cast<uint16_t>(ByteAt(control, 3) % 4);
  f.samples_per_sec = ByteAt(control, 4) | (ByteAt(control, 5) << 8) | (ByteAt(control, 6) << 16);
  f.block_align = static_cast<uint16_t>(Le16(control, 7));
  f.bits_per_sample = f.format_tag == platform::kWaveFormatImaAdpcm ||
                              f.format_tag == platform::kWaveFormatMsAdpcm
                          ? 4
                          : 0;
  f.avg_bytes_per_sec = std::max<uint32_t>(1, f.samples_per_sec / 2);
  const Bytes& extra = parts[1];
  f.extra_size = static_cast<uint16_t>(std::min<size_t>(extra.size(), 64));
  Bytes record(platform::kWaveFormatExSize + f.extra_size);
  platform::WriteWaveFormat(f, record.data());
  std::copy_n(extra.begin(), f.extra_size, record.begin() + platform::kWaveFormatExSize);

  platform::WaveCodecs& codecs = *engine.ctx().platform.codecs;
  platform::WaveFormatEx pcm;
  if (!codecs.SuggestPcm(record.data(), static_cast<uint32_t>(record.size()), &pcm)) return;
  std::unique_ptr<platform::CodecStream> stream;
  std::unique_ptr<platform::CodecDriver> driver;
  for (uint32_t id : dsound.acm_drivers) {
    if (id == 0) continue;
    driver = codecs.OpenDriver(id);
    if (driver == nullptr) continue;
    stream = driver->OpenStream(record.data(), static_cast<uint32_t>(record.size()), pcm);
    if (stream != nullptr) break;
  }
  if (stream == nullptr) return;

  const Bytes& body = parts[2];
  const uint32_t chunk = 1 + ByteAt(control, 9) * 16u;
  size_t pos = 0;
  for (int round = 0; pos < body.size() && round < 64; ++round) {
    const uint32_t n = static_cast<uint32_t>(std::min<size_t>(chunk + round, body.size() - pos));
    const bool last = pos + n == body.size();
    uint32_t capacity = 0;
    if (!stream->PcmSize(n, &capacity)) break;
    capacity = std::min<uint32_t>(capacity, 1u << 20);
    if (round % 3 == 2) capacity /= 2;  // some conversions get less room than the block needs
    auto src = ExactCopy(body.data() + pos, n);
    std::unique_ptr<uint8_t[]> out(new uint8_t[capacity == 0 ? 1 : capacity]);
    uint32_t used = 0;
    uint32_t written = 0;
    const uint32_t flags =
        platform::kConvertBlockAlign | (last || (round % 4 == 3) ? platform::kConvertEnd : 0);
    if (!stream->Convert(src.get(), n, out.get(), capacity, flags, &used, &written)) break;
    Check(used <= n, kName, "used more than the source");
    Check(written <= capacity, kName, "wrote more than the destination");
    if (used == 0) break;
    pos += used;
  }
}

// --- Static sound effects ------------------------------------------------------------------
// The input is a wave file loaded whole into a static effect slot through the RIFF chunk walk
// (PCM) or the block conversion (compressed), with the headless sound device open. A load that
// reports success leaves a buffer in the slot and one that fails leaves it empty; the effect then
// plays for a few milliseconds of mixing.
void StaticSeEntry(const uint8_t* data, size_t size) {
  constexpr const char* kName = "static_se";
  testsupport::GameTree& tree = Tree();
  tree.Write("cwd/se/effect.wav", Bytes(data, data + size));
  testsupport::TestEngine engine;
  engine.host.files.SetWorkingDirectory(tree.cwd());
  CDsoundFunc& dsound = engine.ctx().dsound;
  dsound.Init(nullptr);
  Check(dsound.HasDevice(), kName, "no sound device");
  const int slot = 7;
  const int loaded = dsound.LoadWaveToBuffer(slot, "SE\\Effect.WAV");
  Check((loaded == 1) == (dsound.static_se.slot[slot] != nullptr), kName,
        "load result does not match the slot");
  dsound.PlayStaticSE(slot);
  engine.host.audio.Pump(5);
  dsound.StopStaticSE(-1);
  dsound.Release();
}

// --- Path translation ------------------------------------------------------------------------
// The input is a game path (up to its first NUL, at most 600 bytes), tried as given and on the CD
// drive E:, through the files seam and through the file layer's search order, over a small tree
// with mixed-case names, a disc, a drive without a disc and a named pipe. Only reading operations
// run, and only on paths that stay inside the tree. A path on a drive never resolves outside
// that drive's directory, a relative path without "." or ".." segments never outside the working
// directory, and nothing hangs (the pipe has no writer).
namespace {

struct PathTree {
  PathTree() {
    tree.Write("cwd/Data/SE.TAB", "se");
    tree.Write("cwd/data/Voice/v001.wav", "v");
    tree.Write("cwd/MOVIE/Open.MPG", "m");
    tree.Write("install/save/System.dat", "s");
    tree.Write("install/Macro/0101.MAC", "mac");
    tree.Write("drives/cd/Disk1.id", "1");
    tree.Write("drives/cd/Stage/Map01.dat", "map");
    tree.MakeDir("drives/cd/empty");
    tree.Write("outside.txt", "outside");
    ::mkfifo(tree.Path("cwd/Data/Feed").c_str(), 0600);
  }
  testsupport::GameTree tree;
};

// Whether the path, with its "." and ".." segments worked out, lies in the root directory.
bool Under(const std::string& host, const std::string& root) {
  const std::string path = std::filesystem::path(host).lexically_normal().string();
  std::string base = std::filesystem::path(root).lexically_normal().string();
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return path == base || (path.size() > base.size() && path.compare(0, base.size(), base) == 0 &&
                          path[base.size()] == '/');
}

bool HasDotSegment(std::string_view p) {
  size_t i = 0;
  while (i < p.size()) {
    while (i < p.size() && (p[i] == '\\' || p[i] == '/')) ++i;
    size_t end = i;
    while (end < p.size() && p[end] != '\\' && p[end] != '/') ++end;
    std::string_view seg = p.substr(i, end - i);
    if (seg == "." || seg == "..") return true;
    i = end;
  }
  return false;
}

bool HasDrive(std::string_view p) {
  return p.size() >= 2 && p[1] == ':' &&
         ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'));
}

}  // namespace

void PathEntry(const uint8_t* data, size_t size) {
  constexpr const char* kName = "path";
  static PathTree fixture;
  const size_t n =
      size == 0 ? 0 : std::min<size_t>(strnlen(reinterpret_cast<const char*>(data), size), 600);
  const std::string path(reinterpret_cast<const char*>(data), n);

  testsupport::TestEngine engine;
  platform::PosixFiles& files = engine.host.files;
  testsupport::GameTree& tree = fixture.tree;
  files.SetWorkingDirectory(tree.cwd());
  const std::string cd = tree.Path("drives/cd");
  files.SetDrive('C' - 'A', platform::kDriveFixed, tree.install());
  files.SetDrive('E' - 'A', platform::kDriveCdrom, cd);
  files.SetDrive('F' - 'A', platform::kDriveCdrom, "");

  for (const std::string& p : {path, "E:\\" + path}) {
    std::string host;
    if (!files.HostPath(p.c_str(), &host)) continue;
    Check(!host.empty(), kName, "empty host path");
    if (HasDrive(p)) {
      const int letter = (p[0] | 0x20) - 'a';
      Check(letter == 2 || letter == 4, kName, "a path on a drive without a directory resolved");
      Check(Under(host, letter == 2 ? tree.install() : cd), kName,
            "a drive path left the drive's directory");
    } else if (!p.empty() && p[0] != '/' && p[0] != '\\' && !HasDotSegment(p)) {
      Check(Under(host, tree.cwd()), kName, "a relative path left the working directory");
    }
    if (!Under(host, tree.root())) continue;  // never touch anything outside the tree
    files.IsFile(p.c_str());
    const intptr_t h = files.Open(p.c_str(), false);
    if (h >= 0) {
      char buffer[16];
      uint32_t got = 0;
      files.Read(h, buffer, sizeof buffer, &got);
      Check(got <= sizeof buffer, kName, "read more than asked");
      Check(files.Close(h), kName, "an open handle did not close");
    }
  }

  // The search order tries the name itself, under the install directory and on the CD drives.
  std::string self;
  if (!path.empty() && path[0] != '/' && path[0] != '\\' && !HasDotSegment(path) &&
      (!files.HostPath(path.c_str(), &self) || Under(self, tree.root()))) {
    FileIO& io = engine.ctx().file_io;
    io.SetInstallDir(tree.install().c_str());
    io.ScanDrives();
    char found[kPathMax];
    std::memset(found, 0x5A, sizeof found);
    if (io.FindFileAll(path.c_str(), found) != 0) {
      Check(strnlen(found, sizeof found) < sizeof found, kName, "found path not terminated");
    }
    io.Exist(path.c_str(), kSearchAll);
    const FileHandle h = io.Open(path.c_str(), FileMode::kRead, kSearchAll, 0);
    if (h != kInvalidFile) io.Close(h);
  }
}

// --- Table ---------------------------------------------------------------------------------------

std::span<const Target> Targets() {
  static const Target kTargets[] = {
      {"lzss", LzssEntry, LzssSeeds},
      {"text_file", TextFileEntry, TextFileSeeds},
      {"glyph_font", GlyphFontEntry, GlyphFontSeeds},
      {"key_config", KeyConfigEntry, KeyConfigSeeds},
      {"wave_head", WaveHeadEntry, WaveHeadSeeds},
      {"wave_convert", WaveConvertEntry, WaveConvertSeeds},
      {"path", PathEntry, PathSeeds},
      {"settings", SettingsEntry, SettingsSeeds},
      {"bmp", BmpEntry, BmpSeeds},
      {"bmx", BmxEntry, BmxSeeds},
      {"static_se", StaticSeEntry, StaticSeSeeds},
      {"movie", MovieEntry, MovieSeeds},
      {"script", ScriptEntry, ScriptSeeds},
      {"minigame_od", MinigameOdEntry, MinigameOdSeeds},
      {"minigame_spr", MinigameSprEntry, MinigameSprSeeds},
      {"minigame_dat", MinigameDatEntry, MinigameDatSeeds},
      {"minigame_play", MinigamePlayEntry, MinigamePlaySeeds},
      {"stage", StageEntry, StageSeeds},
      // The scene engine's readers.
      {"spr_file", SprFileEntry, SprFileSeeds},
      {"macro_vars", MacroVarsEntry, MacroVarsSeeds},
      {"map_hit", MapHitEntry, MapHitSeeds},
      {"save_files", SaveFilesEntry, SaveFilesSeeds},
      {"slg_message", SlgMessageEntry, SlgMessageSeeds},
      // The title's petal wipe and the minigames' bitmaps.
      {"petal_wipe", PetalWipeEntry, PetalWipeSeeds},
      {"minigame_bmp", MinigameBmpEntry, MinigameBmpSeeds},
      // The battle's readers besides the stage files.
      {"slg_tables", SlgTablesEntry, SlgTablesSeeds},
      {"slg_map", SlgMapEntry, SlgMapSeeds},
      {"slg_think", ThinkEntry, ThinkSeeds},
      // The battle events' condition language and route search.
      {"condition", ConditionEntry, ConditionSeeds},
      {"route_search", RouteEntry, RouteSeeds},
      // A battle of the story from the mode manager per input.
      {"story_state", StoryStateEntry, StoryStateSeeds, 2, StoryStateRowSeeds},
      {"story_stage", StoryStageEntry, StoryStageSeeds, 4, StoryStageRowSeeds},
      // The debug menu's readers.
      {"def_names", DefNamesEntry, DefNamesSeeds},
      {"lip_sync", LipSyncDefEntry, LipSyncSeeds},
  };
  return kTargets;
}

const Target* FindTarget(std::string_view name) {
  for (const Target& t : Targets()) {
    if (name == t.name) return &t;
  }
  return nullptr;
}

}  // namespace fuzz
