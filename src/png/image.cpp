// The decoded-picture record and the decoding driver: signature and header,
// the two walks over the chunk list, and the two buffers of a decode: the
// compressed data, and the scanlines, which the inflater fills and the
// reconstruction turns into the pixels in place.
#include "png/image.h"

#include <cstdlib>
#include <cstring>

#include "png/image_fail.h"
#include "png/inflate.h"
#include "png/unfilter.h"

namespace {

constexpr uint8_t png_signature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
constexpr uint32_t kFirstChunk = 33;       // just after IHDR's CRC
constexpr uint32_t kChunkFrame = 12;       // length, type and CRC around a chunk's data
constexpr uint32_t kMaxChunkLength = 2147483647;
constexpr uint8_t kAncillaryBit = 0x20;    // in a chunk type's first byte
// Bytes a stream can inflate to per byte it holds: a copy writes at most 258
// bytes and takes at least two bits (its length and distance codes).
constexpr uint64_t kMaxInflation = 258 * 8 / 2;

struct FormatRow {
  uint32_t color_type;
  uint32_t bit_depth;
  ImageFormat format;
};
// Every accepted (colour type, bit depth) pair; any other is refused.
constexpr FormatRow format_table[12] = {
    {2, 8, IMAGE_FMT_RGB8},         {2, 16, IMAGE_FMT_RGB16},       {6, 8, IMAGE_FMT_RGBA8},
    {6, 16, IMAGE_FMT_RGBA16},      {0, 1, IMAGE_FMT_GREY1},        {0, 2, IMAGE_FMT_GREY2},
    {0, 4, IMAGE_FMT_GREY4},        {0, 8, IMAGE_FMT_GREY8},        {4, 1, IMAGE_FMT_GREY_ALPHA1},
    {4, 2, IMAGE_FMT_GREY_ALPHA2},  {4, 4, IMAGE_FMT_GREY_ALPHA4},  {4, 8, IMAGE_FMT_GREY_ALPHA8},
};

ImageError fail(Image* image, ImageError code, uint32_t line) {
  return image_fail(image, code, kSitesDriver + line);
}

uint32_t read_u32(const uint8_t* bytes) {
  return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
}

bool chunk_type_is(const uint8_t* type, const char* name) { return std::memcmp(type, name, 4) == 0; }

ImageFormat look_up_format(uint32_t color_type, uint32_t bit_depth) {
  for (const FormatRow& row : format_table)
    if (row.color_type == color_type && row.bit_depth == bit_depth) return row.format;
  return IMAGE_FMT_NONE;
}

// The chunks after IHDR, up to IEND or the end of the source. Sizes the
// compressed data into total; with compressed set, also gathers every IDAT's
// data there in file order.
ImageError walk_chunks(Image* image, uint8_t* compressed, uint32_t& total) {
  const uint8_t* source = image->source;
  const uint32_t size = image->source_size;
  total = 0;
  for (uint32_t offset = kFirstChunk; offset < size;) {
    if (size - offset < kChunkFrame) return fail(image, IMAGE_ERR_CORRUPT, __LINE__);
    const uint32_t length = read_u32(source + offset);
    if (length > kMaxChunkLength) return fail(image, IMAGE_ERR_CORRUPT, __LINE__);
    if (uint64_t(offset) + length + kChunkFrame > size)
      return fail(image, IMAGE_ERR_CORRUPT, __LINE__);
    const uint8_t* type = source + offset + 4;
    if (chunk_type_is(type, "IDAT")) {
      if (compressed) std::memcpy(compressed + total, type + 4, length);
      total += length;
    } else if (chunk_type_is(type, "IEND")) {
      return IMAGE_OK;
    } else if (!(type[0] & kAncillaryBit)) {
      return fail(image, IMAGE_ERR_CRITICAL_CHUNK, __LINE__);
    }
    offset += length + kChunkFrame;
  }
  return IMAGE_OK;
}

// The two buffer sizes of a decode, each refused when it does not fit in 32
// bits, and so is a row whose whole bytes hold more than 2^32 - 1 bits: the
// later steps count in 32 bits and must never get a buffer smaller than
// what they write.
ImageError decode_sizes(Image* image, uint32_t& scanline_size, uint32_t& pixel_size) {
  const uint64_t row_bits = uint64_t(image->width) * image_bits_per_pixel(image);
  const uint64_t row_bytes = (row_bits + 7) / 8;
  const uint64_t scanlines = uint64_t(image->height) * (1 + row_bytes);
  if (row_bytes * 8 > UINT32_MAX || scanlines > UINT32_MAX)
    return fail(image, IMAGE_ERR_OUT_OF_MEMORY, __LINE__);
  scanline_size = uint32_t(scanlines);
  pixel_size = uint32_t((uint64_t(image->height) * row_bits + 7) / 8);
  return IMAGE_OK;
}

// Every buffer is at least one byte, so that an empty one is still present.
uint8_t* allocate(uint32_t size) { return static_cast<uint8_t*>(std::malloc(size ? size : 1)); }

// The scanline buffer, whose bytes past the stream's end must read as zeros.
// One larger than the stream can ever fill comes zeroed (a large one as
// fresh pages, not written until the stream reaches them), so a header
// declaring far more than the file holds costs only what the stream writes;
// any other is cleared past the stream's end once inflated, which costs
// nothing when the stream fills it, as a whole picture's stream does.
uint8_t* allocate_scanlines(uint32_t size, uint32_t compressed_size, bool& zeroed) {
  zeroed = size > kMaxInflation * compressed_size;
  return zeroed ? static_cast<uint8_t*>(std::calloc(size, 1)) : allocate(size);
}

void release_source(Image* image) {
  if (image->source_owned) std::free(const_cast<uint8_t*>(image->source));
  image->source = nullptr;
  image->source_size = 0;
  image->source_owned = 0;
}

void release_pixels(Image* image) {
  std::free(image->pixels);
  image->pixels = nullptr;
  image->pixels_size = 0;
}

}  // namespace

Image* image_create() {
  Image* image = static_cast<Image*>(std::calloc(1, sizeof(Image)));
  if (!image) return nullptr;
  image->color_type = 6;
  image->bit_depth = 8;
  image->format = IMAGE_FMT_RGBA8;
  image->state = IMAGE_STATE_FRESH;
  return image;
}

ImageError image_read_header(Image* image) {
  if (image->error) return image->error;
  if (image->state != IMAGE_STATE_FRESH) return IMAGE_OK;
  const uint8_t* source = image->source;
  if (image->source_size < kImageHeaderBytes) return fail(image, IMAGE_ERR_SIGNATURE, __LINE__);
  if (std::memcmp(source, png_signature, 8) != 0) return fail(image, IMAGE_ERR_SIGNATURE, __LINE__);
  // The header is taken from fixed offsets; IHDR's length field is not read.
  if (!chunk_type_is(source + 12, "IHDR")) return fail(image, IMAGE_ERR_CORRUPT, __LINE__);
  image->width = read_u32(source + 16);
  image->height = read_u32(source + 20);
  image->bit_depth = source[24];
  image->color_type = source[25];
  image->format = look_up_format(image->color_type, image->bit_depth);
  if (image->format == IMAGE_FMT_NONE) return fail(image, IMAGE_ERR_PIXEL_FORMAT, __LINE__);
  if (source[26] != 0) return fail(image, IMAGE_ERR_CORRUPT, __LINE__);
  if (source[27] != 0) return fail(image, IMAGE_ERR_CORRUPT, __LINE__);
  if (source[28] != 0) return fail(image, IMAGE_ERR_INTERLACE, __LINE__);
  image->state = IMAGE_STATE_PARSED;
  return IMAGE_OK;
}

ImageError image_decode(Image* image) {
  if (image->error) return image->error;
  if (image_read_header(image)) return image->error;
  if (image->state != IMAGE_STATE_PARSED) return IMAGE_OK;
  release_pixels(image);

  uint32_t compressed_size = 0;
  if (walk_chunks(image, nullptr, compressed_size)) return image->error;
  uint32_t scanline_size = 0;
  uint32_t pixel_size = 0;
  if (decode_sizes(image, scanline_size, pixel_size)) return image->error;

  uint8_t* compressed = allocate(compressed_size);
  if (!compressed) return fail(image, IMAGE_ERR_OUT_OF_MEMORY, __LINE__);
  walk_chunks(image, compressed, compressed_size);
  bool zeroed = false;
  uint8_t* scanlines = allocate_scanlines(scanline_size, compressed_size, zeroed);
  if (!scanlines) {
    std::free(compressed);
    return fail(image, IMAGE_ERR_OUT_OF_MEMORY, __LINE__);
  }
  uint32_t inflated = 0;
  zlib_decompress(image, scanlines, scanline_size, compressed, compressed_size, inflated);
  std::free(compressed);
  if (image->error) {
    std::free(scanlines);
    return image->error;
  }
  // A stream may end short of the buffer; what it did not write reads as zeros.
  if (!zeroed) std::memset(scanlines + inflated, 0, scanline_size - inflated);

  // Unfiltered in place, so that a decode writes one picture-sized buffer,
  // not two: the pixels are the first pixel_size bytes of the scanlines.
  image->pixels = scanlines;
  image->pixels_size = pixel_size;
  png_reconstruct(image, scanlines, inflated);
  if (image->error)
    release_pixels(image);
  else
    image->state = IMAGE_STATE_READY;
  release_source(image);
  return image->error;
}

void image_free(Image* image) {
  if (!image) return;
  std::free(image->pixels);
  if (image->source_owned) std::free(const_cast<uint8_t*>(image->source));
  std::free(image);
}

uint32_t image_channels(const Image* image) {
  switch (image->color_type) {
    case 0: return 1;
    case 2: return 3;
    case 4: return 2;
    case 6: return 4;
    default: return 0;
  }
}

uint32_t image_bits_per_pixel(const Image* image) { return image_channels(image) * image->bit_depth; }
