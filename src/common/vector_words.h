// Four 32-bit words as one vector of the compilers' own vector type, which
// every target has (SSE on the desktop, simd128 in the browser), with loads
// and stores that need no alignment.
#pragma once
#include <cstdint>
#include <cstring>

typedef uint32_t Words __attribute__((vector_size(16)));

inline Words load_words(const uint32_t* p) {
  Words w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

inline void store_words(uint32_t* p, Words w) { std::memcpy(p, &w, sizeof w); }
