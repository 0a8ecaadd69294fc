// Counting replacements of the global allocation functions, for benchmarks
// that report allocations per operation.

#include <atomic>
#include <cstdlib>
#include <new>

#include "bench_support.h"

namespace {

std::atomic<long> gAllocations{0};

}  // namespace

long waymock::bench::allocationCount() {
  return gAllocations.load(std::memory_order_relaxed);
}

// GCC pairs the built-in new with this free() when it inlines them and warns
// wrongly.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
