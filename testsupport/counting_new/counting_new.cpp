// The program's global operator new and delete, replaced to count each thread's allocations
// and of the whole program (counting_new.h). Linked only into the programs that check allocations.

#include "counting_new.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
thread_local uint64_t t_allocations = 0;
std::atomic<uint64_t> g_allocations{0};

void Count() {
  ++t_allocations;
  g_allocations.fetch_add(1, std::memory_order_relaxed);
}

void* CountedAlloc(std::size_t size) {
  Count();
  if (void* p = std::malloc(size != 0 ? size : 1)) return p;
  throw std::bad_alloc();
}
}  // namespace

uint64_t counting_new::ThreadAllocations() { return t_allocations; }
uint64_t counting_new::AllAllocations() { return g_allocations.load(std::memory_order_relaxed); }

void* operator new(std::size_t size) { return CountedAlloc(size); }
void* operator new[](std::size_t size) { return CountedAlloc(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  Count();
  return std::malloc(size != 0 ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  Count();
  return std::malloc(size != 0 ? size : 1);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
