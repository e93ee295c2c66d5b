// Scanline reconstruction: undoing PNG filter method 0 and packing rows of
// formats below a byte per pixel. Only the decoder and its tests use this
// header.
#pragma once
#include <cstdint>

#include "png/image.h"

// Turns the inflated scanlines (one filter byte and the row's bytes per row)
// into the picture's pixels, in place: afterwards the buffer starts with
// image->pixels_size bytes of pixels. The stream wrote the first `reached`
// bytes and the rest are zero; rows past the stream are left as they are,
// zero, which is also what unfiltering them would give.
void png_reconstruct(Image* image, uint8_t* scanlines, uint32_t reached);

// Undoes one row's filter. out may lie in the same buffer as in, starting at
// or before it; prev (the unfiltered row above, or null for the first row)
// never overlaps out. Returns false after recording IMAGE_ERR_CORRUPT for a
// filter type above 4, with out unwritten.
bool png_unfilter_row(Image* image, uint8_t* out, const uint8_t* in, const uint8_t* prev,
                      uint32_t filter_step, uint32_t filter_type, uint32_t row_bytes);

// Copies the first kept_bits of each rows-many rows of row_bits bits (a
// multiple of 8: input rows start on whole bytes) from in to out without
// gaps, most significant bit first. Bits of out beyond the copied ones keep
// their values. out may be in itself: the rows only move down.
void png_pack_rows(uint8_t* out, const uint8_t* in, uint32_t kept_bits, uint32_t row_bits,
                   uint32_t rows);
