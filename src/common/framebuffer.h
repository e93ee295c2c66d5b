// The 1600 x 900 software framebuffer: pixels 0xAABBGGRR (bytes R, G, B, A in
// memory, SDL's ABGR8888), rows of 1600 without gaps, row 0 at the top.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int kFrameWidth = 1600;
constexpr int kFrameHeight = 900;
constexpr size_t kFramePixelCount = size_t(kFrameWidth) * kFrameHeight;
constexpr size_t kFrameBytes = kFramePixelCount * 4;  // 5,760,000
constexpr uint32_t kFrameClearColour = 0xFF000000;    // opaque black

// Owned by the shell (allocated at start-up, freed at shut-down); tests and
// tools may point it at a buffer of their own.
extern uint32_t* frame_pixels;

void framebuffer_clear();
