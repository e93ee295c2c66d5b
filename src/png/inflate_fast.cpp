// The inflater's fast path: lookup tables filled by walking a code's node
// array, a 64-bit bit buffer refilled eight bytes at a time, and copies of
// eight bytes at a time. Everything it decodes, it decodes exactly as the
// one-bit walk would; everything else it leaves to the walk.
#include "png/inflate_fast.h"

#include <bit>
#include <cstring>

namespace {

constexpr uint32_t kLookupMask = (1u << kLookupBits) - 1;
// Table entries: below kContinue, (bits used << 16) | symbol; kContinue |
// node, an internal node reached after all kLookupBits bits; kStop, a walk
// that fails within the prefix.
constexpr uint32_t kContinue = 1u << 24;
constexpr uint32_t kStop = 1u << 25;
// The longest code the fast path walks; longer walks (only odd over-
// subscribed trees have them) are left to the walk.
constexpr uint32_t kMaxFastCodeBits = 15;
// Bits one copy can need at most: a 15-bit length code with 5 extra bits and
// a 15-bit distance code with 13; a refill leaves at least 56 in the buffer.
constexpr uint32_t kMaxCopyBits = 15 + 5 + 15 + 13;
static_assert(kMaxCopyBits <= 56);
// The longest copy, in bytes.
constexpr uint32_t kMaxCopyLength = 258;

// Every index whose low `used` bits are `path` gets entry.
void fill_every(LookupTable& table, uint32_t path, uint32_t used, uint32_t entry) {
  for (uint32_t i = path; i <= kLookupMask; i += 1u << used) table.entries[i] = entry;
}

// The walk from `node`, reached after `depth` bits spelling `path`, one bit
// further for both values of that bit; as huff_read_symbol walks.
void fill_below(const HuffTree& tree, LookupTable& table, uint32_t node, uint32_t depth,
                uint32_t path) {
  const uint32_t n = tree.symbol_count;
  for (uint32_t bit = 0; bit < 2; ++bit) {
    const uint32_t next_path = path | bit << depth;
    const uint32_t used = depth + 1;
    const uint32_t entry = tree.nodes[2 * node + bit];
    if (entry < n) {
      fill_every(table, next_path, used, used << 16 | entry);
      continue;
    }
    const uint32_t child = entry - n;
    if (child >= n)
      fill_every(table, next_path, used, kStop);
    else if (used == kLookupBits)
      table.entries[next_path] = kContinue | child;
    else
      fill_below(tree, table, child, used, next_path);
  }
}

// The symbol at the front of bits (at least kMaxFastCodeBits of them valid)
// and its code length; false when the walk would fail or go on past
// kMaxFastCodeBits bits.
inline bool table_symbol(const HuffTree& tree, const LookupTable& table, uint64_t bits,
                         uint32_t& symbol, uint32_t& length) {
  const uint32_t entry = table.entries[bits & kLookupMask];
  if (entry < kContinue) {
    symbol = entry & 0xFFFF;
    length = entry >> 16;
    return true;
  }
  if (entry == kStop) return false;
  const uint32_t n = tree.symbol_count;
  uint32_t node = entry & 0xFFFF;
  for (uint32_t used = kLookupBits; used < kMaxFastCodeBits;) {
    const uint32_t next = tree.nodes[2 * node + ((bits >> used) & 1u)];
    ++used;
    if (next < n) {
      symbol = next;
      length = used;
      return true;
    }
    node = next - n;
    if (node >= n) return false;
  }
  return false;
}

inline uint64_t load_le64(const uint8_t* bytes) {
  uint64_t value;
  std::memcpy(&value, bytes, 8);
  if constexpr (std::endian::native == std::endian::big) {
    uint64_t swapped = 0;
    for (int i = 0; i < 8; ++i) swapped |= ((value >> (8 * i)) & 0xFF) << (56 - 8 * i);
    value = swapped;
  }
  return value;
}

inline uint32_t low_bits(uint64_t bits, uint32_t count) { return uint32_t(bits) & ((1u << count) - 1); }

// Copies length (3-258) bytes from distance bytes back, writing no byte
// past the copy's end. Where source and destination overlap, the bytes
// repeat with period distance, as a byte-by-byte copy gives: short distances
// copy the growing repeated run onto itself. From 8 bytes back on, the last
// chunk of a copy may overlap the one before it; it writes those bytes again
// with the same values.
inline void copy_back(uint8_t* to, uint32_t distance, uint32_t length) {
  const uint8_t* from = to - distance;
  if (distance >= 8) {
    if (length >= 8) {
      for (uint32_t done = 0; done + 8 < length; done += 8) std::memcpy(to + done, from + done, 8);
      std::memcpy(to + length - 8, from + length - 8, 8);
    } else if (length >= 4) {
      std::memcpy(to, from, 4);
      std::memcpy(to + length - 4, from + length - 4, 4);
    } else {
      to[0] = from[0];
      to[1] = from[1];
      to[2] = from[2];
    }
    return;
  }
  if (distance == 1) {
    std::memset(to, *from, length);
    return;
  }
  while (length > 0) {
    const uint32_t run = uint32_t(to - from) < length ? uint32_t(to - from) : length;
    std::memcpy(to, from, run);
    to += run;
    length -= run;
  }
}

}  // namespace

LookupTable lookup_table_build(const HuffTree& tree) {
  LookupTable table;
  fill_below(tree, table, 0, 0, 0);
  return table;
}

void inflate_fast_symbols(const BlockCodes& codes, BitInput& input, ByteOutput& output) {
  const uint8_t* const in_begin = input.bytes;
  const uint8_t* in = in_begin + input.bit_pos / 8;
  if (input.input_len - input.bit_pos / 8 < 8 || output.capacity - output.pos < kMaxCopyLength) return;
  // Positions up to which a refill's 8 bytes lie inside the input and the
  // longest copy fits in the output.
  const uint8_t* const in_last = in_begin + input.input_len - 8;
  uint8_t* const out_begin = output.bytes;
  uint8_t* const out_last = out_begin + output.capacity - kMaxCopyLength;
  uint8_t* out = out_begin + output.pos;
  // The buffer's low `count` bits are the next bits of the input; bits above
  // them are zeros or the input's bits that follow.
  uint64_t bits = load_le64(in) >> (input.bit_pos & 7);
  uint32_t count = 56 - uint32_t(input.bit_pos & 7);
  in += 7;

  while (in <= in_last && out <= out_last) {
    bits |= load_le64(in) << count;
    in += (63 - count) >> 3;
    count |= 56;

    uint32_t symbol = 0;
    uint32_t used = 0;
    if (!table_symbol(*codes.litlen, *codes.litlen_table, bits, symbol, used)) break;
    if (symbol < 256) {
      *out++ = uint8_t(symbol);
      bits >>= used;
      count -= used;
      // A second literal fits in what the refill left (at least 41 bits) and
      // in the output (room for 257 more bytes).
      if (!table_symbol(*codes.litlen, *codes.litlen_table, bits, symbol, used) || symbol >= 256)
        continue;
      *out++ = uint8_t(symbol);
      bits >>= used;
      count -= used;
      continue;
    }
    if (symbol == 256 || symbol > 285) break;
    const uint32_t length_index = symbol - 257;
    const uint32_t length = length_base[length_index] + low_bits(bits >> used, length_extra[length_index]);
    used += length_extra[length_index];
    uint32_t distance_symbol = 0;
    uint32_t distance_code_bits = 0;
    if (!table_symbol(*codes.dist, *codes.dist_table, bits >> used, distance_symbol, distance_code_bits))
      break;
    if (distance_symbol > 29) break;
    used += distance_code_bits;
    const uint32_t distance =
        distance_base[distance_symbol] + low_bits(bits >> used, distance_extra[distance_symbol]);
    used += distance_extra[distance_symbol];
    if (distance > uint32_t(out - out_begin)) break;
    bits >>= used;
    count -= used;
    copy_back(out, distance, length);
    out += length;
  }
  input.bit_pos = uint64_t(in - in_begin) * 8 - count;
  output.pos = uint32_t(out - out_begin);
}
