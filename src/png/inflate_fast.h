// The inflater's fast path: lookup tables derived from the Huffman node
// arrays, and a literal/copy loop over a 64-bit bit buffer that stops before
// anything it cannot do exactly as the one-bit walk does.
#pragma once
#include <cstdint>

#include "png/inflate.h"

// First bits of a code looked up at once (index 0 - 1023, the first bit read
// in bit 0).
constexpr uint32_t kLookupBits = 10;

// For every kLookupBits-bit prefix, where the walk through a node array ends
// up: at a symbol after some of those bits, at an internal node still to be
// walked from, or at a failure (left to the walk to report).
struct LookupTable {
  uint32_t entries[1u << kLookupBits];
};

LookupTable lookup_table_build(const HuffTree& tree);

// A block's two codes, each with its table.
struct BlockCodes {
  const HuffTree* litlen;
  const HuffTree* dist;
  const LookupTable* litlen_table;
  const LookupTable* dist_table;
};

// Decodes literals and copies while the input has at least 8 bytes left and
// the output room for the longest copy, and stops before the end-of-block
// symbol, symbols 286 and 287, a code the tables cannot finish within 15
// bits, and any symbol whose decoding would fail; those are left, with
// input and output where they were before that symbol, to the walk.
void inflate_fast_symbols(const BlockCodes& codes, BitInput& input, ByteOutput& output);
