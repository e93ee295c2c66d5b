// The inflater's pieces: a zlib stream of DEFLATE blocks decoded into the
// caller's buffer, with Huffman codes held as node arrays and walked one bit
// at a time. Only the decoder and its tests use this header.
#pragma once
#include <cstdint>

#include "png/image.h"

// A node entry not yet filled while a tree is built.
constexpr uint32_t EMPTY_NODE = 32767;
// The largest alphabet: literal/length symbols 0-287.
constexpr uint32_t kMaxTreeSymbols = 288;

// One Huffman code. Entry 2k + b is what follows internal node k (node 0 is
// the root) when the next bit is b: an entry below symbol_count is a leaf
// holding that symbol, any other refers to internal node (entry -
// symbol_count). Only the first 2 x symbol_count entries are used.
struct HuffTree {
  uint32_t nodes[2 * kMaxTreeSymbols];
  uint32_t max_bits;
  uint32_t symbol_count;
};

// The DEFLATE data being read: bit_pos counts the bits consumed, least
// significant bit of each byte first. 64 bits wide so that no stream a
// 32-bit length allows can wrap it.
struct BitInput {
  const uint8_t* bytes;
  uint32_t input_len;
  uint64_t bit_pos;
};

// The codes of fixed blocks, built once at start-up.
extern const HuffTree fixed_litlen_tree;
extern const HuffTree fixed_dist_tree;

// Builds tree (symbol_count and max_bits already set) from one code length
// 0-15 per symbol. Returns false after recording IMAGE_ERR_CORRUPT when the
// code needs more internal nodes than the tree has room for.
bool huff_tree_build(Image* image, HuffTree& tree, const uint8_t* lengths);

// Reads one symbol; on a failure records IMAGE_ERR_CORRUPT and returns 0.
uint32_t huff_read_symbol(Image* image, const HuffTree& tree, BitInput& input);

// Inflates the zlib stream compressed[0 .. compressed_size) into out. The
// stream may end before out is full; bytes it did not write are untouched.
ImageError zlib_decompress(Image* image, uint8_t* out, uint32_t out_capacity,
                           const uint8_t* compressed, uint32_t compressed_size);
