// Counts the heap allocations made through malloc and calloc by the code of
// this test program (the linker routes those calls through counting wrappers).
#pragma once
#include <cstdint>

struct AllocationCount {
  AllocationCount();  // starts counting from zero
  uint32_t allocations() const;
};
