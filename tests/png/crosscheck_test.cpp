// The decoder against libpng: pictures written by libpng (or, for the formats
// libpng will not write, assembled here with zlib) in every accepted format,
// filter type and compression level decode to exactly the rows written, and
// to libpng's own unfiltered rows.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "png_kit.h"
#include "testkit/testkit.h"

namespace {

struct Format {
  uint8_t color_type;
  uint8_t bit_depth;
  ImageFormat format;
};

// The formats libpng writes; greyscale with alpha below 8 bits is ours alone.
constexpr Format libpng_formats[] = {
    {2, 8, IMAGE_FMT_RGB8},  {2, 16, IMAGE_FMT_RGB16}, {6, 8, IMAGE_FMT_RGBA8},
    {6, 16, IMAGE_FMT_RGBA16}, {0, 1, IMAGE_FMT_GREY1},  {0, 2, IMAGE_FMT_GREY2},
    {0, 4, IMAGE_FMT_GREY4}, {0, 8, IMAGE_FMT_GREY8},  {4, 8, IMAGE_FMT_GREY_ALPHA8},
};

Bytes random_rows(std::mt19937& random, uint32_t size) {
  Bytes rows(size);
  for (uint8_t& b : rows) b = uint8_t(random());
  return rows;
}

// Spare bits at the end of each row are left zero, as libpng writes them.
void clear_spare_bits(Bytes& rows, const Header& header) {
  const uint32_t row_bits = header.width * bits_per_pixel(header.color_type, header.bit_depth);
  const uint32_t row_bytes = row_bytes_of(header);
  if (row_bits % 8 == 0) return;
  for (uint32_t y = 0; y < header.height; ++y)
    rows[y * row_bytes + row_bytes - 1] &= uint8_t(0xFF00 >> (row_bits % 8));
}

// Our pixel buffer for rows of the file's layout.
Bytes expected_pixels(const Bytes& rows, const Header& header) {
  const uint32_t row_bits = header.width * bits_per_pixel(header.color_type, header.bit_depth);
  if (row_bits % 8 == 0) return rows;
  return pack_bits(rows, row_bits, row_bytes_of(header), header.height);
}

TEST(CrossCheck, EveryLibpngFormatFilterLevelAndWidth) {
  std::mt19937 random(1234);
  // 203 pixels: packed rows long enough to be moved eight bytes at a time.
  const uint32_t widths[] = {1, 3, 5, 7, 16, 33, 203};
  int case_number = 0;
  for (const Format& format : libpng_formats) {
    for (uint32_t width : widths) {
      for (int filter = -1; filter <= 4; ++filter, ++case_number) {
        Header header;
        header.width = width;
        header.height = 1 + case_number % 5;
        header.color_type = format.color_type;
        header.bit_depth = format.bit_depth;
        Bytes rows = random_rows(random, row_bytes_of(header) * header.height);
        clear_spare_bits(rows, header);
        PngOptions options;
        options.color_type = format.color_type;
        options.bit_depth = format.bit_depth;
        options.filter = filter;
        options.compression_level = case_number % 10;
        options.idat_size = case_number % 3 == 0 ? 7 : 0;  // many small IDAT chunks
        const Bytes file = encode_png(width, header.height, rows, options);
        SCOPED_TRACE(testing::Message() << "type " << int(format.color_type) << " depth "
                                        << int(format.bit_depth) << " width " << width
                                        << " filter " << filter << " level "
                                        << options.compression_level);

        ReferencePicture reference;
        ASSERT_TRUE(decode_png_reference(file, reference));
        ASSERT_EQ(reference.rows, rows);

        const Decoded decoded = decode(file);
        ASSERT_EQ(decoded.error, IMAGE_OK);
        EXPECT_EQ(decoded.state, IMAGE_STATE_READY);
        EXPECT_EQ(decoded.format, format.format);
        EXPECT_EQ(decoded.width, width);
        EXPECT_EQ(decoded.height, header.height);
        EXPECT_EQ(decoded.pixels, expected_pixels(rows, header));
        EXPECT_EQ(decoded.pixels_size,
                  (header.height * width * bits_per_pixel(format.color_type, format.bit_depth) + 7) / 8);
      }
    }
  }
}

TEST(CrossCheck, RgbaPhotoAtEveryLevelInOneAndManyIdats) {
  const uint32_t width = 61;
  const uint32_t height = 23;
  std::vector<uint32_t> words(width * height);
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x)
      words[y * width + x] = 0xFF000000u | (x * 4) << 16 | (y * 11) << 8 | ((x * y) & 0xFF);
  for (int level = 0; level <= 9; ++level) {
    for (size_t idat_size : {size_t(0), size_t(64)}) {
      PngOptions options;
      options.compression_level = level;
      options.idat_size = idat_size;
      const Decoded decoded = decode(encode_rgba_png(width, height, words, options));
      ASSERT_EQ(decoded.error, IMAGE_OK) << "level " << level;
      ASSERT_EQ(decoded.pixels_size, width * height * 4);
      // Read as little-endian words, the pixels are the 0xAABBGGRR values.
      std::vector<uint32_t> got(width * height);
      std::memcpy(got.data(), decoded.pixels.data(), decoded.pixels_size);
      EXPECT_EQ(got, words) << "level " << level << " idat " << idat_size;
    }
  }
}

// libpng does not write greyscale with alpha below 8 bits; zlib compresses
// rows filtered here with Sub (the left byte, whatever the pixel size).
TEST(CrossCheck, GreyAlphaBelowEightBits) {
  std::mt19937 random(99);
  const Format formats[] = {{4, 1, IMAGE_FMT_GREY_ALPHA1},
                            {4, 2, IMAGE_FMT_GREY_ALPHA2},
                            {4, 4, IMAGE_FMT_GREY_ALPHA4}};
  for (const Format& format : formats) {
    for (uint32_t width : {1u, 3u, 4u, 9u}) {
      for (uint8_t filter : {0, 1}) {
        Header header;
        header.width = width;
        header.height = 3;
        header.color_type = format.color_type;
        header.bit_depth = format.bit_depth;
        Bytes rows = random_rows(random, row_bytes_of(header) * header.height);
        Bytes scanlines = scanlines_of(header, rows, filter);
        const uint32_t row_bytes = row_bytes_of(header);
        if (filter == 1)
          for (uint32_t y = 0; y < header.height; ++y)
            for (uint32_t i = row_bytes - 1; i >= 1; --i)
              scanlines[y * (row_bytes + 1) + 1 + i] -= scanlines[y * (row_bytes + 1) + i];
        const Decoded decoded = decode(png_with_stream(header, zlib_compress(scanlines)));
        SCOPED_TRACE(testing::Message() << "depth " << int(format.bit_depth) << " width "
                                        << width << " filter " << int(filter));
        ASSERT_EQ(decoded.error, IMAGE_OK);
        EXPECT_EQ(decoded.format, format.format);
        // Spare bits of each row are skipped; the bits after the last pixel are zero.
        EXPECT_EQ(decoded.pixels, expected_pixels(rows, header));
      }
    }
  }
}

TEST(CrossCheck, RefusedFormats) {
  for (uint8_t depth : {1, 2, 4, 8}) {
    Header indexed;
    indexed.color_type = 3;
    indexed.bit_depth = depth;
    const Decoded decoded =
        decode(png_file(indexed, {chunk("PLTE", {0, 0, 0}), chunk("IDAT", zlib_compress({0, 0})),
                                  iend_chunk()}));
    EXPECT_EQ(decoded.error, IMAGE_ERR_PIXEL_FORMAT) << int(depth);
    EXPECT_EQ(decoded.format, IMAGE_FMT_NONE);
  }
  for (uint8_t type : {0, 4}) {
    Header sixteen;
    sixteen.color_type = type;
    sixteen.bit_depth = 16;
    PngOptions options;
    options.color_type = type;
    options.bit_depth = 16;
    const Decoded decoded = decode(encode_png(1, 1, Bytes(type == 0 ? 2 : 4, 7), options));
    EXPECT_EQ(decoded.error, IMAGE_ERR_PIXEL_FORMAT) << int(type);
    EXPECT_EQ(decoded.format, IMAGE_FMT_NONE);
  }
  PngOptions interlaced;
  interlaced.interlace = true;
  const Decoded decoded = decode(encode_rgba_png(9, 9, std::vector<uint32_t>(81, 0xFF00FF00u), interlaced));
  EXPECT_EQ(decoded.error, IMAGE_ERR_INTERLACE);
  EXPECT_EQ(decoded.format, IMAGE_FMT_RGBA8);
  EXPECT_FALSE(decoded.has_pixels);
}

}  // namespace
