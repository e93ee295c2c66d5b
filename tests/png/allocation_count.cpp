// Wrappers the linker puts in front of malloc and calloc for this program.
#include "allocation_count.h"

#include <atomic>
#include <cstddef>

extern "C" void* __real_malloc(size_t size);
extern "C" void* __real_calloc(size_t count, size_t size);

namespace {
std::atomic<uint32_t> allocation_total{0};
}

extern "C" void* __wrap_malloc(size_t size) {
  ++allocation_total;
  return __real_malloc(size);
}

extern "C" void* __wrap_calloc(size_t count, size_t size) {
  ++allocation_total;
  return __real_calloc(count, size);
}

AllocationCount::AllocationCount() { allocation_total = 0; }

uint32_t AllocationCount::allocations() const { return allocation_total; }
