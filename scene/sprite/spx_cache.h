#pragma once
// SpxCache: the raw parts of recently loaded sprite files, kept so that a scene showing the same
// pictures again does not read them from disc again. TamvikFunc::LoadSpxSplitData asks it first
// when the request says so and hands it the parts after a miss; from then on the cache owns them.
//
// Budget: from the total physical memory at first use, (memory - 64 MB) / 8 + 4 MB above 64 MB,
// else 4 MB; the memory is taken as at most 4 GB - 1 (what a 32-bit query reports), so the budget
// tops out near 508 MB. Entries are kept in recency order (least recently used first) and evicted
// from that end; a load larger than the whole budget empties the cache and is stored anyway.
// Names are upper-cased with ASCII rules only and found through a 251-bucket name table. A hit
// needs the mask the parts were read with. Entries still cached are freed with the cache.

#include <array>
#include <cstdint>
#include <forward_list>
#include <list>
#include <memory>
#include <string>

#include "scene/sprite/spr_file.h"

struct SpxCacheEntry;

// Names to entries: 251 buckets of chains, newest node first.
class SpxNameTable {
 public:
  static constexpr uint32_t kBuckets = 251;
  // Sum of the name's bytes taken as signed 8-bit values, times 13, in a wrapping u32; mod 251.
  static uint32_t Hash(const std::string& name);
  void Insert(SpxCacheEntry* entry, const std::string& name);
  // The entry of the first node of the bucket whose name is equal (case-sensitive), or null.
  SpxCacheEntry* Find(const std::string& name) const;
  // Unlinks the node that refers to the entry.
  void Remove(SpxCacheEntry* entry, const std::string& name);

 private:
  struct Node {
    SpxCacheEntry* entry;
    std::string name;
  };
  std::array<std::forward_list<Node>, kBuckets> buckets_{};
};

struct SpxCacheEntry {
  uint32_t mask = 0;
  SprPartStore parts;
  std::string name;  // upper-cased
  uint32_t size = 0;
  std::list<std::unique_ptr<SpxCacheEntry>>::iterator place;  // in the recency list
};

class SpxCache {
 public:
  SpxCache() = default;
  SpxCache(const SpxCache&) = delete;
  SpxCache& operator=(const SpxCache&) = delete;

  // Sets the budget from AppGetMemoryStatus(0); 1.
  int InitSize();
  // The budget for a total physical memory, in bytes.
  static uint32_t BudgetFor(uint64_t memory);
  // A hit (same upper-cased name and the same mask) fills `out` with views of the entry's parts,
  // which the caller must not keep past the next Insert, and makes the entry the most recently
  // used: 1. A miss: 0.
  int Lookup(const char* name, uint32_t mask, SprParts* out);
  // Stores the parts (the cache owns them from now on), evicting least recently used entries
  // first while the total would pass the budget.
  void Insert(const char* name, uint32_t mask, SprPartStore parts, uint32_t size);
  SpxCacheEntry* FindByName(const char* name) const;
  // Drops every entry (the budget stays).
  void Clear();

  static std::string UpperName(const char* name);

  uint32_t budget() const { return budget_; }
  uint64_t total() const { return total_; }
  size_t count() const { return list_.size(); }
  // The entries' names from least to most recently used.
  std::list<std::string> RecencyNames() const;

 private:
  void Append(std::unique_ptr<SpxCacheEntry> entry);
  std::unique_ptr<SpxCacheEntry> Unlink(SpxCacheEntry* entry);

  uint32_t budget_ = 0;
  uint64_t total_ = 0;
  std::list<std::unique_ptr<SpxCacheEntry>> list_;
  SpxNameTable names_;
};
