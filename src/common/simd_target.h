// Which vector instruction set draws. The vector kernels are built for
// several (Google Highway's targets: on x86-64 AVX-512, AVX2, SSE4 and the
// portable one, chosen when the program runs; elsewhere the build's own);
// the best the processor runs is used unless one is chosen by name (--simd,
// the DEMO_SIMD environment variable, the tests).
#pragma once

constexpr int kMostSimdTargets = 8;

// The lower-case names ("avx3", "avx2", "sse4", "emu128", "scalar", "neon",
// "wasm") of the targets this build has kernels for and the processor runs,
// best first; returns how many.
int simd_targets_available(const char* names[kMostSimdTargets]);

// The target in use.
const char* simd_target_name();

// Uses the named target (any case) from the next kernel on; false, and
// nothing changes, when it is not available.
bool simd_choose(const char* name);

// Uses the target DEMO_SIMD names, when it is set; false, with a message on
// standard error naming the available ones, when it names none of them.
bool simd_choose_from_environment();
