// Scanline reconstruction: undoes PNG filter method 0 row by row into the
// pixel buffer, and for formats below a byte per pixel whose rows end inside
// a byte, unfilters in place and then packs the rows together at bit level.
#include "png/unfilter.h"

#include <cstddef>

#include "png/image_fail.h"

namespace {

enum FilterType : uint32_t { FILTER_NONE, FILTER_SUB, FILTER_UP, FILTER_AVERAGE, FILTER_PAETH };

// The PNG predictor from the left (a), upper (b) and upper-left (c) bytes;
// ties go to the left byte, then to the upper one.
uint8_t paeth(uint32_t a, uint32_t b, uint32_t c) {
  const int32_t p = int32_t(a + b) - int32_t(c);
  const int32_t pa = p > int32_t(a) ? p - int32_t(a) : int32_t(a) - p;
  const int32_t pb = p > int32_t(b) ? p - int32_t(b) : int32_t(b) - p;
  const int32_t pc = p > int32_t(c) ? p - int32_t(c) : int32_t(c) - p;
  if (pa <= pb && pa <= pc) return uint8_t(a);
  if (pb <= pc) return uint8_t(b);
  return uint8_t(c);
}

}  // namespace

// Bytes go in increasing order and each in[i] is read before out[i] is
// written, which is what unfiltering in place relies on. The first row has
// nothing above it; its forms are those of a row of zeros above.
bool png_unfilter_row(Image* image, uint8_t* out, const uint8_t* in, const uint8_t* prev,
                      uint32_t filter_step, uint32_t filter_type, uint32_t row_bytes) {
  const uint32_t s = filter_step < row_bytes ? filter_step : row_bytes;
  switch (filter_type) {
    case FILTER_NONE:
      for (uint32_t i = 0; i < row_bytes; ++i) out[i] = in[i];
      return true;
    case FILTER_SUB:
      for (uint32_t i = 0; i < s; ++i) out[i] = in[i];
      for (uint32_t i = s; i < row_bytes; ++i) out[i] = uint8_t(in[i] + out[i - s]);
      return true;
    case FILTER_UP:
      if (prev)
        for (uint32_t i = 0; i < row_bytes; ++i) out[i] = uint8_t(in[i] + prev[i]);
      else
        for (uint32_t i = 0; i < row_bytes; ++i) out[i] = in[i];
      return true;
    case FILTER_AVERAGE:
      // The average is of the full sum of two bytes, halved before wrapping.
      if (prev) {
        for (uint32_t i = 0; i < s; ++i) out[i] = uint8_t(in[i] + prev[i] / 2);
        for (uint32_t i = s; i < row_bytes; ++i)
          out[i] = uint8_t(in[i] + (uint32_t(out[i - s]) + prev[i]) / 2);
      } else {
        for (uint32_t i = 0; i < s; ++i) out[i] = in[i];
        for (uint32_t i = s; i < row_bytes; ++i) out[i] = uint8_t(in[i] + out[i - s] / 2);
      }
      return true;
    case FILTER_PAETH:
      if (prev) {
        for (uint32_t i = 0; i < s; ++i) out[i] = uint8_t(in[i] + prev[i]);
        for (uint32_t i = s; i < row_bytes; ++i)
          out[i] = uint8_t(in[i] + paeth(out[i - s], prev[i], prev[i - s]));
      } else {
        for (uint32_t i = 0; i < s; ++i) out[i] = in[i];
        for (uint32_t i = s; i < row_bytes; ++i) out[i] = uint8_t(in[i] + out[i - s]);
      }
      return true;
    default:
      image_fail(image, IMAGE_ERR_CORRUPT, kSitesUnfilter + __LINE__);
      return false;
  }
}

void png_pack_rows(uint8_t* out, const uint8_t* in, uint32_t kept_bits, uint32_t row_bits,
                   uint32_t rows) {
  // Bit position k is bit 7 - k % 8 of byte k / 8; whole images can pass 2^32 bits.
  uint64_t in_pos = 0;
  uint64_t out_pos = 0;
  for (uint32_t y = 0; y < rows; ++y) {
    for (uint32_t i = 0; i < kept_bits; ++i, ++in_pos, ++out_pos) {
      const uint8_t mask = uint8_t(0x80u >> (out_pos & 7));
      if ((in[in_pos >> 3] << (in_pos & 7)) & 0x80)
        out[out_pos >> 3] |= mask;
      else
        out[out_pos >> 3] &= uint8_t(~mask);
    }
    in_pos += row_bits - kept_bits;
  }
}

void png_reconstruct(Image* image, uint8_t* pixels, uint8_t* scanlines) {
  // The driver refuses pictures whose rows (rounded to whole bytes) pass
  // 2^32 - 1 bits or whose scanlines pass 2^32 - 1 bytes, so these fit.
  const uint32_t bpp = image_bits_per_pixel(image);
  const uint32_t filter_step = (bpp + 7) / 8;
  const uint32_t row_bits = image->width * bpp;
  const uint32_t row_bytes = uint32_t((uint64_t(row_bits) + 7) / 8);
  const size_t scanline_bytes = size_t(row_bytes) + 1;

  if (bpp >= 8 || row_bits % 8 == 0) {
    for (uint32_t y = 0; y < image->height; ++y) {
      uint8_t* out = pixels + size_t(y) * row_bytes;
      const uint8_t* in = scanlines + size_t(y) * scanline_bytes;
      const uint8_t* prev = y > 0 ? out - row_bytes : nullptr;
      if (!png_unfilter_row(image, out, in + 1, prev, filter_step, in[0], row_bytes)) return;
    }
    return;
  }

  // Row y's output starts y + 1 bytes before its input, so every input byte
  // is read before it is overwritten; the filter byte is taken first.
  for (uint32_t y = 0; y < image->height; ++y) {
    uint8_t* out = scanlines + size_t(y) * row_bytes;
    const uint8_t* in = scanlines + size_t(y) * scanline_bytes;
    const uint32_t filter_type = in[0];
    const uint8_t* prev = y > 0 ? out - row_bytes : nullptr;
    if (!png_unfilter_row(image, out, in + 1, prev, filter_step, filter_type, row_bytes)) return;
  }
  // The bits after the last pixel are zero.
  const uint64_t pixel_bytes = (uint64_t(image->height) * row_bits + 7) / 8;
  if (pixel_bytes > 0) pixels[pixel_bytes - 1] = 0;
  png_pack_rows(pixels, scanlines, row_bits, row_bytes * 8, image->height);
}
