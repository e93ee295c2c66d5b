// The inflater: a zlib stream (RFC 1950) whose DEFLATE blocks (RFC 1951) are
// decoded in one pass into the caller's scanline buffer, which is also the
// history window. It allocates nothing and keeps no state between calls.
#include "png/inflate.h"

#include <cstring>

#include "png/image_fail.h"
#include "png/inflate_fast.h"

namespace {

ImageError corrupt(Image* image, uint32_t line) {
  return image_fail(image, IMAGE_ERR_CORRUPT, kSitesInflate + line);
}

// Code-length code lengths arrive in this order of symbols 0-18.
constexpr uint8_t code_length_order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// Reads count bits (at most 16), the first read becoming bit 0. Every bit must
// lie inside the input; the last one is the farthest, so testing it covers all.
uint32_t take_bits(Image* image, BitInput& input, uint32_t count) {
  if (count == 0) return 0;
  if ((input.bit_pos + count - 1) / 8 >= input.input_len) {
    corrupt(image, __LINE__);
    return 0;
  }
  uint32_t value = 0;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t bit = (input.bytes[input.bit_pos >> 3] >> (input.bit_pos & 7)) & 1u;
    value |= bit << i;
    ++input.bit_pos;
  }
  return value;
}

HuffTree build_fixed_tree(uint32_t symbol_count, const uint8_t* lengths) {
  HuffTree tree{};
  tree.symbol_count = symbol_count;
  tree.max_bits = 15;
  Image scratch{};
  huff_tree_build(&scratch, tree, lengths);
  return tree;
}

HuffTree build_fixed_litlen_tree() {
  uint8_t lengths[288];
  for (uint32_t s = 0; s < 288; ++s) lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
  return build_fixed_tree(288, lengths);
}

HuffTree build_fixed_dist_tree() {
  uint8_t lengths[32];
  std::memset(lengths, 5, sizeof lengths);
  return build_fixed_tree(32, lengths);
}

ImageError inflate_stored_block(Image* image, BitInput& input, ByteOutput& output) {
  input.bit_pos = (input.bit_pos + 7) & ~uint64_t(7);
  const uint64_t p = input.bit_pos / 8;
  if (p + 4 > input.input_len) return corrupt(image, __LINE__);
  const uint8_t* header = input.bytes + p;
  const uint32_t len = header[0] | uint32_t(header[1]) << 8;
  const uint32_t nlen = header[2] | uint32_t(header[3]) << 8;
  if (len + nlen != 65535) return corrupt(image, __LINE__);
  if (len > output.capacity - output.pos) return corrupt(image, __LINE__);
  if (p + 4 + len > input.input_len) return corrupt(image, __LINE__);
  std::memcpy(output.bytes + output.pos, header + 4, len);
  output.pos += len;
  input.bit_pos = (p + 4 + len) * 8;
  return IMAGE_OK;
}

// Index i of the lengths read for a dynamic block: literal/length lengths
// first, then the distance lengths.
uint8_t& dynamic_length(uint8_t* litlen_lengths, uint8_t* dist_lengths, uint32_t hlit, uint32_t i) {
  return i < hlit ? litlen_lengths[i] : dist_lengths[i - hlit];
}

ImageError inflate_read_dynamic_trees(Image* image, BitInput& input, HuffTree& litlen, HuffTree& dist) {
  uint8_t litlen_lengths[288] = {};
  uint8_t dist_lengths[32] = {};
  uint8_t code_lengths[19] = {};
  const uint32_t hlit = take_bits(image, input, 5) + 257;
  if (image->error) return image->error;
  const uint32_t hdist = take_bits(image, input, 5) + 1;
  if (image->error) return image->error;
  const uint32_t hclen = take_bits(image, input, 4) + 4;
  if (image->error) return image->error;
  for (uint32_t i = 0; i < hclen; ++i) {
    code_lengths[code_length_order[i]] = uint8_t(take_bits(image, input, 3));
    if (image->error) return image->error;
  }
  HuffTree code_tree;
  code_tree.symbol_count = 19;
  code_tree.max_bits = 7;
  if (!huff_tree_build(image, code_tree, code_lengths)) return image->error;

  const uint32_t total = hlit + hdist;
  uint32_t i = 0;
  while (i < total) {
    const uint32_t symbol = huff_read_symbol(image, code_tree, input);
    if (image->error) return image->error;
    if (symbol < 16) {
      dynamic_length(litlen_lengths, dist_lengths, hlit, i++) = uint8_t(symbol);
      continue;
    }
    uint32_t count = 0;
    uint8_t value = 0;
    if (symbol == 16) {
      // Repeating the previous length needs one; the very first has none.
      if (i == 0) return corrupt(image, __LINE__);
      value = dynamic_length(litlen_lengths, dist_lengths, hlit, i - 1);
      count = 3 + take_bits(image, input, 2);
    } else if (symbol == 17) {
      count = 3 + take_bits(image, input, 3);
    } else {
      count = 11 + take_bits(image, input, 7);
    }
    if (image->error) return image->error;
    if (count > total - i) return corrupt(image, __LINE__);
    while (count-- > 0) dynamic_length(litlen_lengths, dist_lengths, hlit, i++) = value;
  }
  if (litlen_lengths[256] == 0) return corrupt(image, __LINE__);
  litlen.symbol_count = 288;
  litlen.max_bits = 15;
  if (!huff_tree_build(image, litlen, litlen_lengths)) return image->error;
  dist.symbol_count = 32;
  dist.max_bits = 15;
  huff_tree_build(image, dist, dist_lengths);
  return image->error;
}

// A length/distance pair: copies length bytes from distance bytes back; an
// overlapping copy repeats the last distance bytes.
ImageError copy_match(Image* image, BitInput& input, ByteOutput& output, const HuffTree& dist,
                      uint32_t length_symbol) {
  const uint32_t length =
      length_base[length_symbol - 257] + take_bits(image, input, length_extra[length_symbol - 257]);
  if (image->error) return image->error;
  const uint32_t distance_symbol = huff_read_symbol(image, dist, input);
  if (image->error) return image->error;
  if (distance_symbol > 29) return corrupt(image, __LINE__);
  const uint32_t distance =
      distance_base[distance_symbol] + take_bits(image, input, distance_extra[distance_symbol]);
  if (image->error) return image->error;
  if (length > output.capacity - output.pos) return corrupt(image, __LINE__);
  // Nothing lies before the first byte produced.
  if (distance > output.pos) return corrupt(image, __LINE__);
  uint8_t* to = output.bytes + output.pos;
  const uint8_t* from = to - distance;
  for (uint32_t i = 0; i < length; ++i) to[i] = from[i];
  output.pos += length;
  return IMAGE_OK;
}

}  // namespace

const HuffTree fixed_litlen_tree = build_fixed_litlen_tree();
const HuffTree fixed_dist_tree = build_fixed_dist_tree();

namespace {

// The fixed codes' tables, built once at start-up after the fixed trees.
const LookupTable fixed_litlen_table = lookup_table_build(fixed_litlen_tree);
const LookupTable fixed_dist_table = lookup_table_build(fixed_dist_tree);

// With lookup tables, each step first lets the fast path decode all it can;
// the walk below then reads the one symbol it stopped before.
ImageError inflate_coded_block(Image* image, BitInput& input, ByteOutput& output, uint32_t block_type,
                               InflateReading reading) {
  HuffTree dynamic_litlen;
  HuffTree dynamic_dist;
  LookupTable dynamic_tables[2];
  BlockCodes codes{&fixed_litlen_tree, &fixed_dist_tree, &fixed_litlen_table, &fixed_dist_table};
  if (block_type == 2) {
    if (inflate_read_dynamic_trees(image, input, dynamic_litlen, dynamic_dist)) return image->error;
    codes.litlen = &dynamic_litlen;
    codes.dist = &dynamic_dist;
    if (reading == INFLATE_LOOKUP_TABLES) {
      dynamic_tables[0] = lookup_table_build(dynamic_litlen);
      dynamic_tables[1] = lookup_table_build(dynamic_dist);
      codes.litlen_table = &dynamic_tables[0];
      codes.dist_table = &dynamic_tables[1];
    }
  }
  for (;;) {
    if (reading == INFLATE_LOOKUP_TABLES) inflate_fast_symbols(codes, input, output);
    const uint32_t symbol = huff_read_symbol(image, *codes.litlen, input);
    if (image->error) return image->error;
    if (symbol < 256) {
      if (output.pos >= output.capacity) return corrupt(image, __LINE__);
      output.bytes[output.pos++] = uint8_t(symbol);
    } else if (symbol == 256) {
      return IMAGE_OK;
    } else if (symbol <= 285) {
      if (copy_match(image, input, output, *codes.dist, symbol)) return image->error;
    }
    // Symbols 286 and 287 have codes but no meaning; they produce nothing.
  }
}

ImageError inflate_stream(Image* image, BitInput& input, ByteOutput& output, InflateReading reading) {
  for (;;) {
    const uint32_t final_block = take_bits(image, input, 1);
    if (image->error) return image->error;
    const uint32_t block_type = take_bits(image, input, 2);
    if (image->error) return image->error;
    if (block_type == 3) return corrupt(image, __LINE__);
    if (block_type == 0) {
      if (inflate_stored_block(image, input, output)) return image->error;
    } else {
      if (inflate_coded_block(image, input, output, block_type, reading)) return image->error;
    }
    if (final_block) return IMAGE_OK;
  }
}

}  // namespace


bool huff_tree_build(Image* image, HuffTree& tree, const uint8_t* lengths) {
  const uint32_t n = tree.symbol_count;
  // Canonical codes: symbols per length 0-15, then the first code of each length.
  uint32_t length_count[16] = {};
  for (uint32_t s = 0; s < n; ++s) ++length_count[lengths[s]];
  length_count[0] = 0;
  uint32_t next_code[16] = {};
  uint32_t code = 0;
  for (uint32_t len = 1; len <= tree.max_bits; ++len) {
    code = (code + length_count[len - 1]) << 1;
    next_code[len] = code;
  }

  for (uint32_t i = 0; i < 2 * n; ++i) tree.nodes[i] = EMPTY_NODE;
  uint32_t walk = 0;
  uint32_t filled = 0;
  for (uint32_t s = 0; s < n; ++s) {
    const uint32_t len = lengths[s];
    if (len == 0) continue;
    const uint32_t symbol_code = next_code[len]++;
    for (uint32_t i = 0; i < len; ++i) {
      const uint32_t bit = (symbol_code >> (len - 1 - i)) & 1u;
      // A complete code needs internal nodes 0 to n - 2 and no more.
      if (walk > n - 2) {
        corrupt(image, __LINE__);
        return false;
      }
      uint32_t& entry = tree.nodes[2 * walk + bit];
      if (entry == EMPTY_NODE) {
        if (i == len - 1) {
          entry = s;
          walk = 0;
        } else {
          ++filled;
          entry = filled + n;
          walk = filled;
        }
      } else {
        // An over-subscribed code runs into entries already set; a leaf
        // there makes walk fail the test above at the next step.
        walk = entry - n;
      }
    }
  }
  for (uint32_t i = 0; i < 2 * n; ++i)
    if (tree.nodes[i] == EMPTY_NODE) tree.nodes[i] = 0;
  return true;
}

uint32_t huff_read_symbol(Image* image, const HuffTree& tree, BitInput& input) {
  const uint32_t n = tree.symbol_count;
  uint32_t node = 0;
  for (;;) {
    if (input.bit_pos / 8 >= input.input_len) {
      corrupt(image, __LINE__);
      return 0;
    }
    const uint32_t bit = (input.bytes[input.bit_pos >> 3] >> (input.bit_pos & 7)) & 1u;
    ++input.bit_pos;
    const uint32_t entry = tree.nodes[2 * node + bit];
    if (entry < n) return entry;
    node = entry - n;
    if (node >= n) {
      corrupt(image, __LINE__);
      return 0;
    }
  }
}

ImageError zlib_decompress(Image* image, uint8_t* out, uint32_t out_capacity,
                           const uint8_t* compressed, uint32_t compressed_size, uint32_t& written,
                           InflateReading reading) {
  written = 0;
  if (image->error) return image->error;
  if (compressed_size < 2) return corrupt(image, __LINE__);
  const uint32_t cmf = compressed[0];
  const uint32_t flg = compressed[1];
  if ((cmf * 256 + flg) % 31 != 0) return corrupt(image, __LINE__);
  // CM 8 is DEFLATE; CINFO above 7 would mean a window beyond 32 KiB.
  if ((cmf & 0x0F) != 8 || (cmf >> 4) > 7) return corrupt(image, __LINE__);
  // FDICT: a preset dictionary is not supported.
  if (flg & 0x20) return corrupt(image, __LINE__);
  BitInput input{compressed + 2, compressed_size - 2, 0};
  ByteOutput output{out, out_capacity, 0};
  inflate_stream(image, input, output, reading);
  written = output.pos;
  return image->error;
}
