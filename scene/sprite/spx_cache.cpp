#include "scene/sprite/spx_cache.h"

#include <algorithm>

#include "engine/app/app_state.h"
#include "engine/core/debug_trace.h"

namespace {
constexpr uint64_t kMegabyte = uint64_t{1} << 20;
}  // namespace

// ---- Name table ----

uint32_t SpxNameTable::Hash(const std::string& name) {
  uint32_t sum = 0;
  for (char c : name) sum += static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(c)) * 13);
  return sum % kBuckets;
}

void SpxNameTable::Insert(SpxCacheEntry* entry, const std::string& name) {
  buckets_[Hash(name)].push_front(Node{entry, name});
}

SpxCacheEntry* SpxNameTable::Find(const std::string& name) const {
  for (const Node& node : buckets_[Hash(name)]) {
    if (node.name == name) return node.entry;
  }
  return nullptr;
}

void SpxNameTable::Remove(SpxCacheEntry* entry, const std::string& name) {
  auto& bucket = buckets_[Hash(name)];
  auto before = bucket.before_begin();
  for (auto it = bucket.begin(); it != bucket.end(); before = it, ++it) {
    if (it->entry == entry) {
      bucket.erase_after(before);
      return;
    }
  }
}

// ---- Cache ----

uint32_t SpxCache::BudgetFor(uint64_t memory) {
  // The 32-bit status query reported at most 4 GB - 1.
  memory = std::min<uint64_t>(memory, 0xFFFFFFFFu);
  if (memory <= 64 * kMegabyte) return static_cast<uint32_t>(4 * kMegabyte);
  return static_cast<uint32_t>((memory - 64 * kMegabyte) / 8 + 4 * kMegabyte);
}

int SpxCache::InitSize() {
  budget_ = BudgetFor(AppGetMemoryStatus(0));
  DebugPrint("SpxCacheBufferSize: %dKbytes\n", static_cast<int>(budget_ >> 10));
  return 1;
}

std::string SpxCache::UpperName(const char* name) {
  std::string upper = name != nullptr ? name : "";
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

SpxCacheEntry* SpxCache::FindByName(const char* name) const { return names_.Find(UpperName(name)); }

int SpxCache::Lookup(const char* name, uint32_t mask, SprParts* out) {
  if (budget_ == 0) InitSize();
  SpxCacheEntry* entry = FindByName(name);
  if (entry == nullptr || entry->mask != mask) return 0;
  DebugPrint("SpxCache:: Cache hit : File=%s \n", entry->name.c_str());
  Append(Unlink(entry));
  *out = entry->parts.View();
  return 1;
}

void SpxCache::Clear() {
  while (!list_.empty()) Unlink(list_.front().get());
  total_ = 0;
}

void SpxCache::Insert(const char* name, uint32_t mask, SprPartStore parts, uint32_t size) {
  if (budget_ == 0) InitSize();
  while (total_ + size > budget_) {
    if (list_.empty()) {
      DebugPrint("SpxCache:: Cache Buf Illegal!!\n");
      break;
    }
    std::unique_ptr<SpxCacheEntry> head = Unlink(list_.front().get());
    total_ -= head->size;
  }
  auto entry = std::make_unique<SpxCacheEntry>();
  entry->name = UpperName(name);
  entry->parts = std::move(parts);
  entry->mask = mask;
  entry->size = size;
  total_ += size;
  SpxCacheEntry* added = entry.get();
  Append(std::move(entry));
  DebugPrint("SpxCache::Total%5dK, Cache %4dK,%s \n", static_cast<int>(total_ >> 10),
             static_cast<int>(size >> 10), added->name.c_str());
}

void SpxCache::Append(std::unique_ptr<SpxCacheEntry> entry) {
  SpxCacheEntry* raw = entry.get();
  list_.push_back(std::move(entry));
  raw->place = std::prev(list_.end());
  names_.Insert(raw, raw->name);
}

std::unique_ptr<SpxCacheEntry> SpxCache::Unlink(SpxCacheEntry* entry) {
  names_.Remove(entry, entry->name);
  std::unique_ptr<SpxCacheEntry> owned = std::move(*entry->place);
  list_.erase(entry->place);
  return owned;
}

std::list<std::string> SpxCache::RecencyNames() const {
  std::list<std::string> names;
  for (const auto& entry : list_) names.push_back(entry->name);
  return names;
}
