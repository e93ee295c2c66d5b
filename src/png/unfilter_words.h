// Unfilter loops for 4-byte pixels that treat a pixel as one 32-bit word:
// byte-wise sums and averages done with masks, four bytes per step. They give
// exactly the bytes of the byte-at-a-time loops in unfilter.cpp.
#pragma once
#include <cstdint>

// Sub and Average (with a row above) for a filter step of 4 bytes. Same
// contract as png_unfilter_row: out may lie in the same buffer as in,
// starting at or before it; prev never overlaps out.
void unfilter_sub_words(uint8_t* out, const uint8_t* in, uint32_t row_bytes);
void unfilter_average_words(uint8_t* out, const uint8_t* in, const uint8_t* prev, uint32_t row_bytes);
