// Helpers of the decoder's tests (see png_kit.h).
#include "png_kit.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <cstring>
#include <stdexcept>

#include "png/inflate.h"

namespace {

void put_u32(Bytes& out, uint32_t value) {
  out.push_back(uint8_t(value >> 24));
  out.push_back(uint8_t(value >> 16));
  out.push_back(uint8_t(value >> 8));
  out.push_back(uint8_t(value));
}

uint32_t reversed(uint32_t code, uint32_t length) {
  uint32_t out = 0;
  for (uint32_t i = 0; i < length; ++i) out |= ((code >> i) & 1u) << (length - 1 - i);
  return out;
}

}  // namespace

Bytes chunk(const char* type, const Bytes& data) {
  Bytes out;
  put_u32(out, uint32_t(data.size()));
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type), 4);
  crc = crc32(crc, data.data(), uInt(data.size()));
  put_u32(out, uint32_t(crc));
  return out;
}

Bytes ihdr_chunk(const Header& header) {
  Bytes data;
  put_u32(data, header.width);
  put_u32(data, header.height);
  data.push_back(header.bit_depth);
  data.push_back(header.color_type);
  data.push_back(header.compression);
  data.push_back(header.filter);
  data.push_back(header.interlace);
  return chunk("IHDR", data);
}

Bytes iend_chunk() { return chunk("IEND", {}); }

Bytes png_file(const Header& header, const std::vector<Bytes>& chunks) {
  Bytes out = {137, 80, 78, 71, 13, 10, 26, 10};
  Bytes ihdr = ihdr_chunk(header);
  out.insert(out.end(), ihdr.begin(), ihdr.end());
  for (const Bytes& c : chunks) out.insert(out.end(), c.begin(), c.end());
  return out;
}

Bytes png_with_stream(const Header& header, const Bytes& zlib_data) {
  return png_file(header, {chunk("IDAT", zlib_data), iend_chunk()});
}

Bytes concat(const std::vector<Bytes>& parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

Bytes zlib_compress(const Bytes& raw, int level) {
  uLongf size = compressBound(uLong(raw.size()));
  Bytes out(size);
  if (compress2(out.data(), &size, raw.data(), uLong(raw.size()), level) != Z_OK)
    throw std::runtime_error("zlib failed to compress the test data");
  out.resize(size);
  return out;
}

Bytes zlib_wrap(const Bytes& deflate_data, const Bytes& uncompressed) {
  Bytes out = {0x78, 0x01};
  out.insert(out.end(), deflate_data.begin(), deflate_data.end());
  put_u32(out, uint32_t(adler32(1, uncompressed.data(), uInt(uncompressed.size()))));
  return out;
}

void BitWriter::bits(uint32_t value, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i, ++bit_count) {
    if (bit_count % 8 == 0) bytes.push_back(0);
    bytes.back() |= uint8_t(((value >> i) & 1u) << (bit_count % 8));
  }
}

void BitWriter::code(uint32_t code, uint32_t length) { bits(reversed(code, length), length); }

void BitWriter::fixed_symbol(uint32_t symbol) {
  if (symbol < 144) code(0x30 + symbol, 8);
  else if (symbol < 256) code(0x190 + symbol - 144, 9);
  else if (symbol < 280) code(symbol - 256, 7);
  else code(0xC0 + symbol - 280, 8);
}

void BitWriter::fixed_distance(uint32_t symbol) { code(symbol, 5); }

void BitWriter::align() { bit_count = uint32_t(bytes.size()) * 8; }

uint32_t bits_per_pixel(uint8_t color_type, uint8_t bit_depth) {
  const uint32_t channels[7] = {1, 0, 3, 0, 2, 0, 4};
  return color_type < 7 ? channels[color_type] * bit_depth : 0;
}

uint32_t row_bytes_of(const Header& header) {
  return (header.width * bits_per_pixel(header.color_type, header.bit_depth) + 7) / 8;
}

Bytes scanlines_of(const Header& header, const Bytes& rows, uint8_t filter) {
  const uint32_t row_bytes = row_bytes_of(header);
  Bytes out;
  for (uint32_t y = 0; y < header.height; ++y) {
    out.push_back(filter);
    out.insert(out.end(), rows.begin() + y * row_bytes, rows.begin() + (y + 1) * row_bytes);
  }
  return out;
}

Bytes pack_bits(const Bytes& rows, uint32_t kept_bits, uint32_t row_bytes, uint32_t height) {
  Bytes out((uint64_t(kept_bits) * height + 7) / 8, 0);
  uint64_t to = 0;
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t i = 0; i < kept_bits; ++i, ++to) {
      const uint64_t from = uint64_t(y) * row_bytes * 8 + i;
      if (rows[from / 8] & (0x80 >> (from % 8))) out[to / 8] |= uint8_t(0x80 >> (to % 8));
    }
  return out;
}

Decoded decode(const Bytes& file) {
  Image* image = image_create();
  if (!image) throw std::runtime_error("image_create failed");
  uint8_t* copy = static_cast<uint8_t*>(std::malloc(file.empty() ? 1 : file.size()));
  if (!file.empty()) std::memcpy(copy, file.data(), file.size());
  image->source = copy;
  image->source_size = uint32_t(file.size());
  image->source_owned = 1;
  Decoded out;
  out.returned = image_decode(image);
  out.error = image->error;
  out.error_site = image->error_site;
  out.state = image->state;
  out.format = image->format;
  out.width = image->width;
  out.height = image->height;
  out.color_type = image->color_type;
  out.bit_depth = image->bit_depth;
  out.has_pixels = image->pixels != nullptr;
  out.pixels_size = image->pixels_size;
  if (image->pixels) out.pixels.assign(image->pixels, image->pixels + image->pixels_size);
  out.source_attached = image->source != nullptr;
  image_free(image);
  return out;
}

Inflated inflate(const Bytes& zlib_data, uint32_t capacity) {
  // Buffers of exactly the given sizes, so that the sanitizers see any access
  // past either end; a 0-byte output still gets a present buffer.
  std::unique_ptr<uint8_t[]> data(new uint8_t[zlib_data.size() + (zlib_data.empty() ? 1 : 0)]);
  std::copy(zlib_data.begin(), zlib_data.end(), data.get());
  std::unique_ptr<uint8_t[]> out(new uint8_t[capacity ? capacity : 1]);
  std::fill(out.get(), out.get() + capacity, uint8_t(0xEE));
  Image image{};
  uint32_t written = 0;
  zlib_decompress(&image, out.get(), capacity, data.get(), uint32_t(zlib_data.size()), written);
  Inflated result;
  result.error = image.error;
  result.error_site = image.error_site;
  result.out.assign(out.get(), out.get() + capacity);
  return result;
}
