// Helpers of the decoder's tests: PNG files assembled chunk by chunk (zlib
// compresses and checksums them), DEFLATE streams written bit by bit, and
// runs of the real decoder that keep what it left in the record.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "png/image.h"

using Bytes = std::vector<uint8_t>;

struct Header {
  uint32_t width = 1;
  uint32_t height = 1;
  uint8_t bit_depth = 8;
  uint8_t color_type = 6;
  uint8_t compression = 0;
  uint8_t filter = 0;
  uint8_t interlace = 0;
};

Bytes chunk(const char* type, const Bytes& data);
Bytes ihdr_chunk(const Header& header);
Bytes iend_chunk();
// Signature and IHDR, then the given chunks as they stand.
Bytes png_file(const Header& header, const std::vector<Bytes>& chunks);
// Signature, IHDR, one IDAT holding zlib_data, IEND.
Bytes png_with_stream(const Header& header, const Bytes& zlib_data);
Bytes concat(const std::vector<Bytes>& parts);

// zlib's own compression of raw bytes at a level 0-9.
Bytes zlib_compress(const Bytes& raw, int level = 6);
// A zlib stream around hand-written DEFLATE data: header 78 01, the data,
// and the Adler-32 of `uncompressed`.
Bytes zlib_wrap(const Bytes& deflate_data, const Bytes& uncompressed = {});

// Writes DEFLATE bits: plain values least significant bit first, Huffman
// codes most significant bit first.
struct BitWriter {
  Bytes bytes;
  uint32_t bit_count = 0;
  void bits(uint32_t value, uint32_t count);
  void code(uint32_t code, uint32_t length);
  // Codes of the fixed literal/length and distance alphabets.
  void fixed_symbol(uint32_t symbol);
  void fixed_distance(uint32_t symbol);
  void align();
};

// Bits per pixel of a (colour type, bit depth) pair.
uint32_t bits_per_pixel(uint8_t color_type, uint8_t bit_depth);
// Bytes of one unfiltered row.
uint32_t row_bytes_of(const Header& header);
// Raw scanlines: filter byte `filter` in front of each row of `rows`.
Bytes scanlines_of(const Header& header, const Bytes& rows, uint8_t filter = 0);
// Rows of row_bytes bytes packed at bit level, kept_bits of each row kept.
Bytes pack_bits(const Bytes& rows, uint32_t kept_bits, uint32_t row_bytes, uint32_t height);

// What a decode left in the record (copied before image_free).
struct Decoded {
  ImageError returned = IMAGE_OK;
  ImageError error = IMAGE_OK;
  uint32_t error_site = 0;
  ImageState state = IMAGE_STATE_FRESH;
  ImageFormat format = IMAGE_FMT_NONE;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t color_type = 0;
  uint32_t bit_depth = 0;
  bool has_pixels = false;
  uint32_t pixels_size = 0;
  Bytes pixels;
  bool source_attached = false;
};

// image_create, the bytes attached as an owned heap copy, image_decode,
// image_free.
Decoded decode(const Bytes& file);

// zlib_decompress on its own into a buffer of `capacity` bytes, 0xEE-filled
// first so that unwritten bytes show.
struct Inflated {
  ImageError error = IMAGE_OK;
  uint32_t error_site = 0;
  Bytes out;
};
Inflated inflate(const Bytes& zlib_data, uint32_t capacity);
