#pragma once
// LZSS decoder for the compressed data blocks (sprite-pack pictures, minigame data).
//
// Stream: groups of one flag byte (bits taken from the least significant up; 1 literal, 0
// reference) and eight items. A literal is one byte; a reference is two bytes b0 b1 with ring
// position b0 + 256 * (b1 >> 4) and length (b1 & 0x0F) + 3. The 4096-byte ring starts filled
// with zeros and its write position starts at 4078.

#include <cstdint>

// Decodes exactly dst_len bytes. Returns 1 when the whole source was consumed, 0 when source
// bytes are left over or when the source ended before the destination was full (the rest of the
// destination is then left as it was). Never reads past src_len nor writes past dst_len.
int LzssDecode(const void* src, uint32_t src_len, void* dst, uint32_t dst_len);
