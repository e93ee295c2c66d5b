// Scanline reconstruction: undoes PNG filter method 0 row by row into the
// pixel buffer, and for formats below a byte per pixel whose rows end inside
// a byte, unfilters in place and then packs the rows together at bit level.
#include "png/unfilter.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "png/image_fail.h"
#include "png/unfilter_words.h"

namespace {

enum FilterType : uint32_t { FILTER_NONE, FILTER_SUB, FILTER_UP, FILTER_AVERAGE, FILTER_PAETH };

// The eight bytes of a number in the opposite order (compilers make this one
// instruction).
inline uint64_t byte_swap(uint64_t v) {
  v = (v & 0x00FF00FF00FF00FFull) << 8 | (v >> 8 & 0x00FF00FF00FF00FFull);
  v = (v & 0x0000FFFF0000FFFFull) << 16 | (v >> 16 & 0x0000FFFF0000FFFFull);
  return v << 32 | v >> 32;
}

// Eight bytes as one number, the first byte most significant.
inline uint64_t load_be64(const uint8_t* bytes) {
  uint64_t value;
  std::memcpy(&value, bytes, 8);
  return std::endian::native == std::endian::big ? value : byte_swap(value);
}

inline void store_be64(uint8_t* bytes, uint64_t value) {
  if (std::endian::native == std::endian::little) value = byte_swap(value);
  std::memcpy(bytes, &value, 8);
}

// The PNG predictor from the left (a), upper (b) and upper-left (c) bytes;
// ties go to the left byte, then to the upper one. With p = a + b - c, the
// distances |p - a|, |p - b| and |p - c| are |b - c|, |a - c| and
// |a + b - 2c|. Written so that it compiles to selects rather than jumps.
inline uint8_t paeth(int32_t a, int32_t b, int32_t c) {
  const int32_t to_a = std::abs(b - c);
  const int32_t to_b = std::abs(a - c);
  const int32_t to_c = std::abs(a + b - 2 * c);
  const int32_t nearer = to_b < to_a ? b : a;
  const int32_t nearer_distance = to_b < to_a ? to_b : to_a;
  return uint8_t(to_c < nearer_distance ? c : nearer);
}

// The filters' loops. Bytes go in increasing order and each in[i] is read
// before out[i] is written, which is what unfiltering in place relies on; s
// is at most row_bytes.
inline void unfilter_sub(uint8_t* out, const uint8_t* in, uint32_t s, uint32_t row_bytes) {
  for (uint32_t i = 0; i < s; ++i) out[i] = in[i];
  for (uint32_t i = s; i < row_bytes; ++i) out[i] = uint8_t(in[i] + out[i - s]);
}

// The average is of the full sum of two bytes, halved before wrapping.
inline void unfilter_average(uint8_t* out, const uint8_t* in, const uint8_t* prev, uint32_t s,
                             uint32_t row_bytes) {
  if (prev) {
    for (uint32_t i = 0; i < s; ++i) out[i] = uint8_t(in[i] + prev[i] / 2);
    for (uint32_t i = s; i < row_bytes; ++i)
      out[i] = uint8_t(in[i] + (uint32_t(out[i - s]) + prev[i]) / 2);
  } else {
    for (uint32_t i = 0; i < s; ++i) out[i] = in[i];
    for (uint32_t i = s; i < row_bytes; ++i) out[i] = uint8_t(in[i] + out[i - s] / 2);
  }
}

// With zeros above (the first row), Paeth picks the left byte: Sub.
inline void unfilter_paeth(uint8_t* out, const uint8_t* in, const uint8_t* prev, uint32_t s,
                           uint32_t row_bytes) {
  if (!prev) return unfilter_sub(out, in, s, row_bytes);
  for (uint32_t i = 0; i < s; ++i) out[i] = uint8_t(in[i] + prev[i]);
  for (uint32_t i = s; i < row_bytes; ++i)
    out[i] = uint8_t(in[i] + paeth(out[i - s], prev[i], prev[i - s]));
}

// One row's filter with a filter step of kStep bytes, or of step bytes when
// kStep is 0: each accepted format's step as a constant gives the compiler a
// loop of its own for it.
template <uint32_t kStep>
void unfilter_row(uint8_t* out, const uint8_t* in, const uint8_t* prev, uint32_t step,
                  uint32_t filter_type, uint32_t row_bytes) {
  const uint32_t s = kStep ? kStep : step;
  switch (filter_type) {
    case FILTER_NONE:
      std::memmove(out, in, row_bytes);
      return;
    case FILTER_SUB:
      if (kStep == 4) return unfilter_sub_words(out, in, row_bytes);
      return unfilter_sub(out, in, s, row_bytes);
    case FILTER_UP:
      if (!prev) return (void)std::memmove(out, in, row_bytes);
      for (uint32_t i = 0; i < row_bytes; ++i) out[i] = uint8_t(in[i] + prev[i]);
      return;
    case FILTER_AVERAGE:
      if (kStep == 4 && prev) return unfilter_average_words(out, in, prev, row_bytes);
      return unfilter_average(out, in, prev, s, row_bytes);
    default: return unfilter_paeth(out, in, prev, s, row_bytes);
  }
}

// Copies the first count bits of in to out from bit shift (0-7) of out's
// first byte on, most significant bit first; the other bits of out keep
// their values. out may be in itself (then shift is 0) or lie before it:
// each byte of in is read before anything is written over it.
void copy_bits(uint8_t* out, uint32_t shift, const uint8_t* in, uint32_t count) {
  const uint32_t whole = count / 8;
  if (shift == 0) {
    std::memmove(out, in, whole);
  } else {
    // The high shift bits of out[0] stay; every byte of in then fills the
    // rest of one output byte and the high shift bits of the next.
    const uint8_t low_mask = uint8_t(0xFF >> shift);
    uint8_t carry = uint8_t(out[0] & ~low_mask);
    uint32_t k = 0;
    for (; k + 8 <= whole; k += 8) {
      const uint64_t bits = load_be64(in + k);
      store_be64(out + k, uint64_t(carry) << 56 | bits >> shift);
      carry = uint8_t(bits << (8 - shift));
    }
    for (; k < whole; ++k) {
      const uint8_t byte = in[k];
      out[k] = uint8_t(carry | byte >> shift);
      carry = uint8_t(byte << (8 - shift));
    }
    out[whole] = uint8_t(carry | (out[whole] & low_mask));
  }
  const uint8_t last = count % 8 ? in[whole] : 0;
  for (uint32_t i = whole * 8; i < count; ++i) {
    const uint32_t to = shift + i;
    const uint8_t mask = uint8_t(0x80u >> (to % 8));
    if ((last << (i % 8)) & 0x80)
      out[to / 8] |= mask;
    else
      out[to / 8] &= uint8_t(~mask);
  }
}

// The rows whose scanline or pixel bytes begin inside the first `reached`
// bytes. A row's pixels begin at or before its scanline, and a row of width 0
// has only its filter byte. Every later row reads zeros (filter None) and
// writes its pixels where nothing has been written, so unfiltering it would
// change nothing.
uint32_t rows_reached(uint32_t reached, uint32_t row_bytes, uint32_t height) {
  const uint64_t stride = row_bytes ? row_bytes : 1;
  return uint32_t(std::min<uint64_t>(height, (reached + stride - 1) / stride));
}

}  // namespace

// The first row has nothing above it; its forms are those of a row of zeros
// above.
bool png_unfilter_row(Image* image, uint8_t* out, const uint8_t* in, const uint8_t* prev,
                      uint32_t filter_step, uint32_t filter_type, uint32_t row_bytes) {
  if (filter_type > FILTER_PAETH) {
    image_fail(image, IMAGE_ERR_CORRUPT, kSitesUnfilter + __LINE__);
    return false;
  }
  const uint32_t s = filter_step < row_bytes ? filter_step : row_bytes;
  // The filter steps of the accepted formats: up to 8 bits per pixel 1 byte,
  // then 2, 3, 4, 6 and 8.
  switch (s) {
    case 1: unfilter_row<1>(out, in, prev, s, filter_type, row_bytes); break;
    case 2: unfilter_row<2>(out, in, prev, s, filter_type, row_bytes); break;
    case 3: unfilter_row<3>(out, in, prev, s, filter_type, row_bytes); break;
    case 4: unfilter_row<4>(out, in, prev, s, filter_type, row_bytes); break;
    case 6: unfilter_row<6>(out, in, prev, s, filter_type, row_bytes); break;
    case 8: unfilter_row<8>(out, in, prev, s, filter_type, row_bytes); break;
    default: unfilter_row<0>(out, in, prev, s, filter_type, row_bytes); break;
  }
  return true;
}

void png_pack_rows(uint8_t* out, const uint8_t* in, uint32_t kept_bits, uint32_t row_bits,
                   uint32_t rows) {
  // Bit position k is bit 7 - k % 8 of byte k / 8; whole images can pass 2^32 bits.
  const size_t in_row_bytes = row_bits / 8;
  uint64_t out_pos = 0;
  for (uint32_t y = 0; y < rows; ++y, out_pos += kept_bits)
    copy_bits(out + out_pos / 8, uint32_t(out_pos % 8), in + y * in_row_bytes, kept_bits);
}

void png_reconstruct(Image* image, uint8_t* scanlines, uint32_t reached) {
  // The driver refuses pictures whose rows (rounded to whole bytes) pass
  // 2^32 - 1 bits or whose scanlines pass 2^32 - 1 bytes, so these fit.
  const uint32_t bpp = image_bits_per_pixel(image);
  const uint32_t filter_step = (bpp + 7) / 8;
  const uint32_t row_bits = image->width * bpp;
  const uint32_t row_bytes = uint32_t((uint64_t(row_bits) + 7) / 8);
  const size_t scanline_bytes = size_t(row_bytes) + 1;
  const uint32_t rows = rows_reached(reached, row_bytes, image->height);

  // Row y's output starts y + 1 bytes before its input, so every input byte
  // is read before it is overwritten; the filter byte is taken first.
  for (uint32_t y = 0; y < rows; ++y) {
    uint8_t* out = scanlines + size_t(y) * row_bytes;
    const uint8_t* in = scanlines + size_t(y) * scanline_bytes;
    const uint32_t filter_type = in[0];
    const uint8_t* prev = y > 0 ? out - row_bytes : nullptr;
    if (!png_unfilter_row(image, out, in + 1, prev, filter_step, filter_type, row_bytes)) return;
  }
  if (bpp >= 8 || row_bits % 8 == 0) return;

  // Rows ending inside a byte are packed together, each moving down over
  // the spare bits of the rows before it. What follows the packed rows is
  // zero: the rest of their last byte, and whatever of the unpacked rows
  // still lies in the pixels (the rows past the stream are zero).
  png_pack_rows(scanlines, scanlines, row_bits, row_bytes * 8, rows);
  const uint64_t packed_bits = uint64_t(rows) * row_bits;
  if (packed_bits % 8) scanlines[packed_bits / 8] &= uint8_t(0xFF00 >> (packed_bits % 8));
  const size_t clear_from = size_t((packed_bits + 7) / 8);
  const size_t clear_to = std::min<size_t>(size_t(rows) * row_bytes, image->pixels_size);
  if (clear_to > clear_from) std::memset(scanlines + clear_from, 0, clear_to - clear_from);
}
