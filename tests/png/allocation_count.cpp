// Wrappers the linker puts in front of malloc and calloc for this program.
#include "allocation_count.h"

#include <atomic>
#include <cstddef>

extern "C" void* __real_malloc(size_t size);
extern "C" void* __real_calloc(size_t count, size_t size);

namespace {
std::atomic<uint32_t> allocation_total{0};
std::atomic<uint32_t> failing_allocation{0};  // 0: none

bool this_one_fails() { return ++allocation_total == failing_allocation; }
}  // namespace

extern "C" void* __wrap_malloc(size_t size) {
  return this_one_fails() ? nullptr : __real_malloc(size);
}

extern "C" void* __wrap_calloc(size_t count, size_t size) {
  return this_one_fails() ? nullptr : __real_calloc(count, size);
}

AllocationCount::AllocationCount() {
  allocation_total = 0;
  failing_allocation = 0;
}

AllocationCount::~AllocationCount() { failing_allocation = 0; }

uint32_t AllocationCount::allocations() const { return allocation_total; }

void AllocationCount::fail_allocation(uint32_t number) { failing_allocation = number; }
