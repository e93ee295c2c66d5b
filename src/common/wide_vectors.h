// The wide paths' vector types: x86-64 processors with 512-bit vector
// instructions (the avx3 target, common/simd_target.h) draw some stages
// sixteen words at a time. Every other target keeps to the 16-byte vectors
// every build has.
#pragma once

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define DEMO_WIDE_VECTORS 1
// Marks a function that uses the 512-bit instructions; call it only when
// simd_wide() says so.
#define WIDE_VECTORS __attribute__((target("avx512f,avx512bw,avx512vl")))

#include <cstdint>

// Sixteen 32-bit lanes, a block's columns, in one 512-bit vector of the
// compilers' own vector types; eight 64-bit or 32-bit lanes for half of them.
typedef int32_t WideInts __attribute__((vector_size(64)));
typedef uint32_t WideWords __attribute__((vector_size(64)));
typedef float WideReals __attribute__((vector_size(64)));
typedef int64_t HalfLongs __attribute__((vector_size(64)));
typedef int32_t HalfInts __attribute__((vector_size(32)));
#endif

