#include "scene/sprite/spr_file.h"

#include "engine/core/debug_trace.h"

uint32_t SprParts::PresentMask() const {
  uint32_t mask = 0;
  for (uint32_t kind = 1; kind < kSprPartSlots; ++kind) {
    if (part[kind].present()) mask |= 1u << kind;
  }
  return mask;
}

void SprPartStore::Set(uint32_t kind, std::vector<uint8_t> bytes) {
  if (kind == 0 || kind >= kSprPartSlots) return;
  parts_[kind] = std::make_unique<std::vector<uint8_t>>(std::move(bytes));
}

SprParts SprPartStore::View() const {
  SprParts view;
  // A part of 0 bytes is present all the same: it points at a static byte, never read.
  static const uint8_t kEmpty = 0;
  for (uint32_t kind = 1; kind < kSprPartSlots; ++kind) {
    const auto& bytes = parts_[kind];
    if (bytes == nullptr) continue;
    view.part[kind].data = bytes->empty() ? &kEmpty : bytes->data();
    view.part[kind].size = static_cast<uint32_t>(bytes->size());
  }
  return view;
}

void SprPartStore::Clear() {
  for (auto& bytes : parts_) bytes.reset();
}

const uint8_t* SprRecordTable(const SprPart& part, uint32_t* count, const char* what) {
  if (count != nullptr) *count = 0;
  if (!part.present()) return nullptr;
  if (part.size < 16) {
    DebugPrint("%s: part of %u bytes has no header\n", what, part.size);
    return nullptr;
  }
  const uint32_t n = SprBe16(part.data);
  if (uint64_t{16} + uint64_t{16} * n > part.size) {
    DebugPrint("%s: %u records pass the part's end (%u bytes)\n", what, n, part.size);
    return nullptr;
  }
  if (count != nullptr) *count = n;
  return part.data + 16;
}
