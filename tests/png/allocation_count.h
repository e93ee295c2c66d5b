// Counts the heap allocations made through malloc and calloc by the code of
// this test program (the linker routes those calls through wrappers), and
// can make one of them fail, as a full heap would.
#pragma once
#include <cstdint>

struct AllocationCount {
  AllocationCount();  // starts counting from zero, with no failure planned
  ~AllocationCount();
  uint32_t allocations() const;
  // The allocation with this 1-based number returns null.
  void fail_allocation(uint32_t number);
};
