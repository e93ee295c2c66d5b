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

// The scanline buffer being filled; pos bytes are written so far.
struct ByteOutput {
  uint8_t* bytes;
  uint32_t capacity;
  uint32_t pos;
};

// Base lengths and extra-bit counts of length symbols 257-285 (index symbol - 257).
inline constexpr uint16_t length_base[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                             31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
inline constexpr uint8_t length_extra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                             2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
// Base distances in bytes and extra-bit counts of distance symbols 0-29.
inline constexpr uint16_t distance_base[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                               33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                               1025, 1537, 2049, 3073, 4097, 6145,  8193,  12289, 16385, 24577};
inline constexpr uint8_t distance_extra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                               6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// The codes of fixed blocks, built once at start-up.
extern const HuffTree fixed_litlen_tree;
extern const HuffTree fixed_dist_tree;

// Builds tree (symbol_count and max_bits already set) from one code length
// 0-15 per symbol. Returns false after recording IMAGE_ERR_CORRUPT when the
// code needs more internal nodes than the tree has room for.
bool huff_tree_build(Image* image, HuffTree& tree, const uint8_t* lengths);

// Reads one symbol; on a failure records IMAGE_ERR_CORRUPT and returns 0.
uint32_t huff_read_symbol(Image* image, const HuffTree& tree, BitInput& input);

// How codes are read: only by walking the node arrays one bit at a time, or
// through lookup tables derived from those arrays wherever the tables give the
// walk's own result (the walk still reads everything they cannot answer).
enum InflateReading : uint32_t { INFLATE_NODE_WALK, INFLATE_LOOKUP_TABLES };

// Inflates the zlib stream compressed[0 .. compressed_size) into out and
// tells how many bytes it wrote. The stream may end before out is full;
// bytes it did not write are untouched.
ImageError zlib_decompress(Image* image, uint8_t* out, uint32_t out_capacity,
                           const uint8_t* compressed, uint32_t compressed_size, uint32_t& written,
                           InflateReading reading = INFLATE_LOOKUP_TABLES);
