#include "engine/gfx/text/text_big5.h"

#include <iconv.h>

#include <cerrno>

#include "engine/core/debug_trace.h"

namespace {

// Code page 950 where the C library has it by that name, else its plain Big5 table.
iconv_t OpenBig5() {
  iconv_t cd = iconv_open("CP950", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) cd = iconv_open("BIG5", "UTF-8");
  return cd;
}

}  // namespace

std::optional<std::string> Big5FromUtf8(std::string_view utf8) {
  iconv_t cd = OpenBig5();
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    DebugPrint("Big5FromUtf8: no Big5 conversion available\n");
    return std::nullopt;
  }
  std::string out;
  // A Big5 character never takes more bytes than its UTF-8 form (2 bytes against 2-4).
  out.resize(utf8.size());
  char* in_ptr = const_cast<char*>(utf8.data());
  size_t in_left = utf8.size();
  char* out_ptr = out.data();
  size_t out_left = out.size();
  bool ok = true;
  while (in_left > 0) {
    if (iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      // Not expected; grow and go on rather than fail.
      size_t used = out.size() - out_left;
      out.resize(out.size() * 2 + 16);
      out_ptr = out.data() + used;
      out_left = out.size() - used;
      continue;
    }
    DebugPrint("Big5FromUtf8: %s at byte %zu\n",
               errno == EILSEQ ? "no Big5 form or invalid UTF-8" : "incomplete UTF-8",
               utf8.size() - in_left);
    ok = false;
    break;
  }
  iconv_close(cd);
  if (!ok) return std::nullopt;
  out.resize(out.size() - out_left);
  return out;
}
