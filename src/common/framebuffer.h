// The 1600 x 900 software framebuffer: pixels 0xAABBGGRR (bytes R, G, B, A in
// memory, SDL's ABGR8888), rows of 1600 without gaps, row 0 at the top; and
// the column strips that column renderers draw into before a block of them
// goes into the frame along its rows.
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

// Threads draw neighbouring blocks of 16 columns, a row of a block being one
// 64-byte line; a frame that begins on a line keeps two threads from ever
// writing the same line.
constexpr size_t kFrameAlignment = 64;
// A frame's pixels, uninitialised, beginning on a line (std::free releases
// them); null when memory runs out.
uint32_t* framebuffer_allocate();

// The whole frame to opaque black. The fill waits until something draws
// over part of the frame or the frame is done (framebuffer_settle): a frame
// whose first renderer writes every pixel is never filled black at all.
void framebuffer_clear();
// Carries out a waiting clear, shared among the worker pool. Every drawing
// that writes only part of the frame calls it first, and the frame's owner
// once the frame is drawn.
void framebuffer_settle();
// Tells a waiting clear that every pixel has been written since.
void framebuffer_all_drawn();

// count pixels from p on to colour.
void fill_pixels(uint32_t* p, size_t count, uint32_t colour);
// rows rows of columns pixels from p on to colour, a row being stride
// pixels on from the one above.
void fill_area(uint32_t* p, size_t stride, size_t columns, size_t rows, uint32_t colour);

// Carries out a waiting clear on columns first_column .. + columns - 1 of
// rows first_row .. end_row - 1 alone (inside the frame; none when
// first_row >= end_row), for drawing shared out by blocks of columns that
// keeps some pixels there; framebuffer_all_drawn then ends the wait.
void framebuffer_settle_area(int first_column, int columns, int first_row, int end_row);
