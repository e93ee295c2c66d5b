// Scanline reconstruction: each filter type on its first and later rows,
// the Average and Paeth corner cases, filter steps of the wide formats, the
// bit-packed path with its in-place unfiltering, and failures.
#include <gtest/gtest.h>

#include <cstring>

#include "png/unfilter.h"
#include "png_kit.h"
#include "testkit/testkit.h"

namespace {

Bytes unfilter(uint32_t type, const Bytes& in, const Bytes* prev, uint32_t step) {
  Image image{};
  Bytes out(in.size(), 0xEE);
  EXPECT_TRUE(png_unfilter_row(&image, out.data(), in.data(), prev ? prev->data() : nullptr, step,
                               type, uint32_t(in.size())));
  EXPECT_EQ(image.error, IMAGE_OK);
  return out;
}

TEST(UnfilterRow, FirstRowHasZerosAbove) {
  const Bytes in = {10, 20, 30, 40, 250, 10};
  EXPECT_EQ(unfilter(0, in, nullptr, 2), in);
  EXPECT_EQ(unfilter(1, in, nullptr, 2), (Bytes{10, 20, 40, 60, 34, 70}));
  EXPECT_EQ(unfilter(2, in, nullptr, 2), in);  // Up copies
  // Average adds half the left byte: 30 + 5, 40 + 10, 250 + 17, 10 + 25.
  EXPECT_EQ(unfilter(3, in, nullptr, 2), (Bytes{10, 20, 35, 50, 11, 35}));
  // Paeth adds the left byte.
  EXPECT_EQ(unfilter(4, in, nullptr, 2), (Bytes{10, 20, 40, 60, 34, 70}));
}

TEST(UnfilterRow, LaterRows) {
  const Bytes prev = {100, 200, 50, 60};
  const Bytes in = {1, 2, 3, 4};
  EXPECT_EQ(unfilter(2, in, &prev, 1), (Bytes{101, 202, 53, 64}));
  // Average: 1 + 50, then 2 + (51 + 200) / 2, ...
  EXPECT_EQ(unfilter(3, in, &prev, 1), (Bytes{51, 127, 91, 79}));
  // Average of a left byte of 200 and an upper byte of 100 adds 150: the sum
  // 300 is halved before wrapping.
  const Bytes up = {0, 100};
  EXPECT_EQ(unfilter(3, Bytes{200, 0}, &up, 1), (Bytes{200, 150}));
  // Paeth on the first byte of a row adds the upper byte.
  EXPECT_EQ(unfilter(4, Bytes{5, 0}, &prev, 1)[0], 105);
}

TEST(UnfilterRow, PaethTies) {
  // The predictor from left a, upper b, upper-left c, shown with in = 0.
  // out[0] = (a - c) + c = a, then out[1] = Paeth(a, b, c).
  auto predictor = [&](uint8_t a, uint8_t b, uint8_t c) {
    const Bytes prev = {c, b};
    Image image{};
    Bytes out(2);
    const Bytes in = {uint8_t(a - c), 0};
    png_unfilter_row(&image, out.data(), in.data(), prev.data(), 1, 4, 2);
    return out[1];
  };
  EXPECT_EQ(predictor(10, 10, 10), 10);  // all equal: left
  EXPECT_EQ(predictor(4, 13, 10), 4);    // pa = pc = 3 < pb = 6: left before upper-left
  EXPECT_EQ(predictor(13, 4, 10), 4);    // pb = pc = 3 < pa = 6: upper before upper-left
  EXPECT_EQ(predictor(20, 30, 30), 20);  // pa = 0
  EXPECT_EQ(predictor(50, 60, 55), 55);  // p = 55 = c: upper-left alone nearest
}

TEST(UnfilterRow, WideFormatsStepByWholePixels) {
  // RGBA16: the pixel on the left is 8 bytes back; RGB16: 6 bytes.
  Bytes in(16);
  for (int i = 0; i < 16; ++i) in[i] = uint8_t(i + 1);
  Bytes expected = in;
  for (int i = 8; i < 16; ++i) expected[i] = uint8_t(in[i] + in[i - 8]);
  EXPECT_EQ(unfilter(1, in, nullptr, 8), expected);
  Bytes rgb(12);
  for (int i = 0; i < 12; ++i) rgb[i] = uint8_t(10 * i);
  expected = rgb;
  for (int i = 6; i < 12; ++i) expected[i] = uint8_t(rgb[i] + rgb[i - 6]);
  EXPECT_EQ(unfilter(1, rgb, nullptr, 6), expected);
}

TEST(UnfilterRow, FourBytePixelsAgreeWithTheDefinition) {
  // Sub and Average of 4-byte pixels go four bytes at a time; bytes chosen so
  // that sums wrap and averages of large bytes occur, and a row length that
  // is no multiple of 4. Also in place, the output 2 bytes before the input.
  Bytes in(39), prev(39);
  for (size_t i = 0; i < in.size(); ++i) {
    in[i] = uint8_t(i * 97 + 200);
    prev[i] = uint8_t(255 - i * 31);
  }
  Bytes sub(in.size()), average(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    const uint32_t left_sub = i >= 4 ? sub[i - 4] : 0, left_average = i >= 4 ? average[i - 4] : 0;
    sub[i] = uint8_t(in[i] + left_sub);
    average[i] = uint8_t(in[i] + (left_average + prev[i]) / 2);
  }
  EXPECT_EQ(unfilter(1, in, nullptr, 4), sub);
  EXPECT_EQ(unfilter(3, in, &prev, 4), average);
  Bytes shared = concat({{0, 0}, in});
  Image image{};
  ASSERT_TRUE(png_unfilter_row(&image, shared.data(), shared.data() + 2, prev.data(), 4, 3, 39));
  EXPECT_EQ(Bytes(shared.begin(), shared.begin() + 39), average);
}

TEST(UnfilterRow, UnknownFilterTypeLeavesTheRowUnwritten) {
  Image image{};
  const Bytes in = {1, 2, 3};
  Bytes out(3, 0xEE);
  EXPECT_FALSE(png_unfilter_row(&image, out.data(), in.data(), nullptr, 1, 5, 3));
  EXPECT_EQ(image.error, IMAGE_ERR_CORRUPT);
  EXPECT_EQ(out, Bytes(3, 0xEE));
}

// Every filter type on every row of an RGBA picture, written by libpng.
TEST(Reconstruct, RgbaRowsWithAllFiltersMatchTheRowsWritten) {
  const uint32_t width = 9;
  const uint32_t height = 10;
  std::vector<uint32_t> words(width * height);
  for (uint32_t i = 0; i < words.size(); ++i) words[i] = i * 0x9E3779B9u;
  for (int filter = 0; filter <= 4; ++filter) {
    PngOptions options;
    options.filter = filter;
    const Decoded d = decode(encode_rgba_png(width, height, words, options));
    ASSERT_EQ(d.error, IMAGE_OK) << filter;
    EXPECT_EQ(0, std::memcmp(d.pixels.data(), words.data(), d.pixels.size())) << filter;
  }
}

// Filter types varying by row over random bytes, any of which decode; the
// expected rows come from libpng's reconstruction of the same file.
TEST(Reconstruct, MixedFiltersAgreeWithLibpngInEveryFormat) {
  const uint8_t formats[][2] = {{2, 8}, {2, 16}, {6, 8}, {6, 16}, {0, 1},
                                {0, 2}, {0, 4},  {0, 8}, {4, 8}};
  uint32_t seed = 1;
  for (const auto& format : formats) {
    for (uint32_t width : {1u, 2u, 3u, 5u, 11u}) {
      Header header;
      header.width = width;
      header.height = 7;
      header.color_type = format[0];
      header.bit_depth = format[1];
      const uint32_t row_bytes = row_bytes_of(header);
      Bytes scanlines;
      for (uint32_t y = 0; y < header.height; ++y) {
        scanlines.push_back(uint8_t((y + width) % 5));
        for (uint32_t i = 0; i < row_bytes; ++i) scanlines.push_back(uint8_t((seed = seed * 1103515245u + 12345u) >> 16));
      }
      const Bytes file = png_with_stream(header, zlib_compress(scanlines));
      ReferencePicture reference;
      ASSERT_TRUE(decode_png_reference(file, reference));
      const uint32_t row_bits = width * bits_per_pixel(format[0], format[1]);
      const Bytes expected = pack_bits(reference.rows, row_bits, row_bytes, header.height);
      const Decoded d = decode(file);
      ASSERT_EQ(d.error, IMAGE_OK);
      EXPECT_EQ(d.pixels, expected) << int(format[0]) << "/" << int(format[1]) << " width " << width;
    }
  }
}

TEST(Reconstruct, OneBitThreeByTwoPacksIntoOneByte) {
  Header header;
  header.width = 3;
  header.height = 2;
  header.color_type = 0;
  header.bit_depth = 1;
  // Rows 101 and 011; the spare bits of each row are set and must be dropped.
  const Bytes scanlines = {0, 0xBF, 0, 0x7F};
  const Decoded d = decode(png_with_stream(header, zlib_compress(scanlines)));
  ASSERT_EQ(d.error, IMAGE_OK);
  EXPECT_EQ(d.format, IMAGE_FMT_GREY1);
  EXPECT_EQ(d.pixels, Bytes{0xAC});  // 101 011, then two zero bits

  // The same rows through Sub and Up, unfiltered in place before packing:
  // row 0 Sub with one byte is the byte itself; row 1 Up adds row 0.
  const Bytes filtered = {1, 0xA0, 2, uint8_t(0x60 - 0xA0)};
  const Decoded f = decode(png_with_stream(header, zlib_compress(filtered)));
  ASSERT_EQ(f.error, IMAGE_OK);
  EXPECT_EQ(f.pixels, Bytes{0xAC});
}

TEST(Reconstruct, BytesAlignedRowsOfSmallPixelsTakeTheDirectPath) {
  // 2-bit grey 4 wide: a row of exactly 8 bits. 4-bit grey with alpha: 8 bits a pixel.
  Header grey2;
  grey2.width = 4;
  grey2.height = 2;
  grey2.color_type = 0;
  grey2.bit_depth = 2;
  const Decoded a = decode(png_with_stream(grey2, zlib_compress({0, 0x1B, 2, 0x01})));
  ASSERT_EQ(a.error, IMAGE_OK);
  EXPECT_EQ(a.pixels, (Bytes{0x1B, 0x1C}));
  Header grey_alpha4 = grey2;
  grey_alpha4.color_type = 4;
  grey_alpha4.bit_depth = 4;
  grey_alpha4.width = 3;
  const Decoded b = decode(png_with_stream(grey_alpha4, zlib_compress({1, 0x10, 0x01, 0x01, 0, 1, 2, 3})));
  ASSERT_EQ(b.error, IMAGE_OK);
  EXPECT_EQ(b.format, IMAGE_FMT_GREY_ALPHA4);
  EXPECT_EQ(b.pixels, (Bytes{0x10, 0x11, 0x12, 1, 2, 3}));
}

TEST(Reconstruct, BadFilterTypeInRowThreeEndsWithNoPixels) {
  for (uint8_t depth : {8, 1}) {  // the direct path and the packed path
    Header header;
    header.width = 5;
    header.height = 5;
    header.color_type = 0;
    header.bit_depth = depth;
    Bytes scanlines = scanlines_of(header, Bytes(row_bytes_of(header) * 5, 0x55));
    scanlines[3 * (row_bytes_of(header) + 1)] = 5;
    const Decoded d = decode(png_with_stream(header, zlib_compress(scanlines)));
    EXPECT_EQ(d.error, IMAGE_ERR_CORRUPT) << int(depth);
    EXPECT_FALSE(d.has_pixels);
    EXPECT_EQ(d.pixels_size, 0u);
  }
}

TEST(Reconstruct, ShortStreamLeavesZeroScanlines) {
  // The stream holds only the first of three rows of a 2 x 3 grey picture;
  // the rest reads as zeros: filter None, zero pixels.
  Header header;
  header.width = 2;
  header.height = 3;
  header.color_type = 0;
  const Decoded d = decode(png_with_stream(header, zlib_compress({2, 7, 9})));
  ASSERT_EQ(d.error, IMAGE_OK);
  EXPECT_EQ(d.pixels, (Bytes{7, 9, 0, 0, 0, 0}));
  // Up on a later row sees the zeros too: row 1 Up over row 0, from a stream
  // ending inside row 1.
  const Decoded up = decode(png_with_stream(header, zlib_compress({0, 7, 9, 2, 1})));
  ASSERT_EQ(up.error, IMAGE_OK);
  EXPECT_EQ(up.pixels, (Bytes{7, 9, 8, 9, 0, 0}));
}

// Only the rows a short stream reached are reconstructed, and a scanline
// buffer larger than a stream can inflate to is taken zeroed rather than
// cleared. The picture must still be the one the stream padded with zeros
// gives, in every format (width 0 too), for a stream cut after any byte,
// before or after a bad filter byte, with the header declaring the six rows
// of data or over 1100 bytes of scanlines per byte of stream.
TEST(Reconstruct, ShortStreamDecodesAsIfPaddedWithZeros) {
  const uint8_t formats[][2] = {{2, 8}, {2, 16}, {6, 8}, {6, 16}, {0, 1}, {0, 2},
                                {0, 4}, {0, 8},  {4, 1}, {4, 2},  {4, 4}, {4, 8}};
  uint32_t seed = 7;
  for (const auto& format : formats) {
    for (uint32_t width : {0u, 1u, 3u, 5u, 11u}) {
      Header header;
      header.width = width;
      header.height = 6;
      header.color_type = format[0];
      header.bit_depth = format[1];
      const uint32_t row_bytes = row_bytes_of(header);
      Bytes scanlines;
      for (uint32_t y = 0; y < header.height; ++y) {
        scanlines.push_back(y == 4 && width == 5 ? 7 : uint8_t((y + width) % 5));
        for (uint32_t i = 0; i < row_bytes; ++i)
          scanlines.push_back(uint8_t((seed = seed * 1103515245u + 12345u) >> 16));
      }
      for (size_t cut = 0; cut < scanlines.size(); ++cut) {
        Bytes padded(scanlines.begin(), scanlines.begin() + cut);
        const Bytes stream = zlib_compress(padded);
        padded.resize(scanlines.size(), 0);
        const Decoded whole = decode(png_with_stream(header, zlib_compress(padded)));
        Header tall = header;
        tall.height = uint32_t(1100 * stream.size() / (row_bytes + 1));
        for (const Header& declared : {header, tall}) {
          const Decoded d = decode(png_with_stream(declared, stream));
          const std::string what = std::to_string(format[0]) + "/" + std::to_string(format[1]) +
                                   " width " + std::to_string(width) + " height " +
                                   std::to_string(declared.height) + " cut " + std::to_string(cut);
          EXPECT_EQ(d.error, whole.error) << what;
          EXPECT_EQ(d.error_site, whole.error_site) << what;
          // The six rows end with zero bits, and every later row is zero.
          Bytes expected = whole.pixels;
          if (whole.error == IMAGE_OK)
            expected.resize((uint64_t(declared.height) * width * bits_per_pixel(format[0], format[1]) + 7) / 8);
          EXPECT_EQ(d.pixels, expected) << what;
        }
      }
    }
  }
}

TEST(PackRows, KeepsOtherBitsAndSkipsSpareOnes) {
  const Bytes in = {0xFF, 0x00};  // two rows of 8 bits, 3 kept of each
  Bytes out = {0x55};
  png_pack_rows(out.data(), in.data(), 3, 8, 2);
  EXPECT_EQ(out, Bytes{0xE1});  // 111 000, then the last two bits of 0x55 as they were
}

}  // namespace
