// Damaged files: a fixed-seed run of a few thousand truncations, bit flips
// and chunk-length edits of valid PNGs. Every result must be one of the
// decoder's error codes with no pixel buffer left, or a success whose record
// is consistent.
//
// Comparison with libpng: libpng reads the same bytes with CRC and Adler-32
// checks off. The two decoders accept different sets of files (libpng checks
// more, e.g. IHDR's length, chunk order, a stream that ends short of the
// image or a missing IEND; ours refuses the formats and chunks outside its
// subset), so only when both succeed are the pixels compared, and then they
// must be equal byte for byte (libpng's rows packed at bit level where our
// layout packs them).
#include <gtest/gtest.h>

#include <random>

#include "png_kit.h"
#include "testkit/testkit.h"

namespace {

// Mutants whose header asks for more scanline bytes than this are not run:
// decoding megabytes of zeros thousands of times would only slow the suite
// (the size limits have their own tests).
constexpr uint64_t kMaxScanlineBytes = 1u << 20;

uint32_t read_u32(const Bytes& b, size_t at) {
  return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

bool too_large_to_run(const Bytes& file) {
  if (file.size() < 29) return false;
  const uint64_t bpp = bits_per_pixel(file[25], file[24]);
  const uint64_t row_bytes = (read_u32(file, 16) * bpp + 7) / 8;
  return read_u32(file, 20) * (1 + row_bytes) > kMaxScanlineBytes;
}

std::vector<Bytes> seed_files() {
  std::vector<Bytes> seeds;
  std::mt19937 random(5);
  auto random_rows = [&](size_t size) {
    Bytes rows(size);
    for (uint8_t& b : rows) b = uint8_t(random() % 7 * 37);  // compressible, not trivial
    return rows;
  };
  PngOptions rgba;
  seeds.push_back(encode_png(12, 7, random_rows(12 * 7 * 4), rgba));
  PngOptions rgb16;
  rgb16.color_type = 2;
  rgb16.bit_depth = 16;
  rgb16.filter = 4;
  rgb16.idat_size = 16;
  seeds.push_back(encode_png(5, 4, random_rows(5 * 4 * 6), rgb16));
  PngOptions grey1;
  grey1.color_type = 0;
  grey1.bit_depth = 1;
  grey1.compression_level = 9;
  seeds.push_back(encode_png(13, 5, random_rows(2 * 5), grey1));
  PngOptions grey_alpha;
  grey_alpha.color_type = 4;
  grey_alpha.compression_level = 0;
  seeds.push_back(encode_png(6, 6, random_rows(6 * 6 * 2), grey_alpha));
  PngOptions grey4;
  grey4.color_type = 0;
  grey4.bit_depth = 4;
  grey4.filter = 3;
  Bytes with_text = encode_png(7, 3, random_rows(4 * 3), grey4);
  const Bytes text = chunk("tEXt", {'k', 0, 'v'});
  with_text.insert(with_text.begin() + 33, text.begin(), text.end());
  seeds.push_back(with_text);
  PngOptions rgb;
  rgb.color_type = 2;
  rgb.compression_level = 1;
  seeds.push_back(encode_png(9, 9, random_rows(9 * 9 * 3), rgb));
  return seeds;
}

std::vector<size_t> chunk_offsets(const Bytes& file) {
  std::vector<size_t> offsets;
  for (size_t at = 8; at + 12 <= file.size(); at += 12 + read_u32(file, at)) offsets.push_back(at);
  return offsets;
}

Bytes mutate(const Bytes& seed, std::mt19937& random) {
  Bytes file = seed;
  switch (random() % 3) {
    case 0:
      file.resize(random() % file.size());
      break;
    case 1:
      for (uint32_t flips = 1 + random() % 4; flips > 0; --flips) {
        const size_t bit = random() % (file.size() * 8);
        file[bit / 8] ^= uint8_t(1u << (bit % 8));
      }
      break;
    default: {
      const std::vector<size_t> offsets = chunk_offsets(file);
      const size_t at = offsets[random() % offsets.size()];
      const uint32_t length = read_u32(file, at);
      const uint32_t choices[] = {0, length - 1, length + 1, length + 12, 0x7FFFFFFF,
                                  0x80000000, 0xFFFFFFFF, uint32_t(random()), uint32_t(random() % 64)};
      const uint32_t value = choices[random() % std::size(choices)];
      for (int i = 0; i < 4; ++i) file[at + i] = uint8_t(value >> (24 - 8 * i));
    }
  }
  return file;
}

TEST(Mutations, EveryResultIsAnErrorCodeOrPixelsLibpngAgreesWith) {
  const std::vector<Bytes> seeds = seed_files();
  std::mt19937 random(20240611);
  int decoded_count = 0, skipped = 0, both_succeeded = 0, ours_only = 0;
  for (int n = 0; n < 3600; ++n) {
    const Bytes file = mutate(seeds[n % seeds.size()], random);
    if (too_large_to_run(file)) {
      ++skipped;
      continue;
    }
    ++decoded_count;
    const Decoded d = decode(file);
    SCOPED_TRACE(testing::Message() << "mutant " << n);
    ASSERT_EQ(d.returned, d.error);
    ASSERT_TRUE(d.error == IMAGE_OK || d.error == IMAGE_ERR_OUT_OF_MEMORY ||
                (d.error >= IMAGE_ERR_SIGNATURE && d.error <= IMAGE_ERR_PIXEL_FORMAT))
        << d.error;
    if (d.error != IMAGE_OK) {
      ASSERT_FALSE(d.has_pixels);
      ASSERT_EQ(d.pixels_size, 0u);
      ASSERT_NE(d.state, IMAGE_STATE_READY);
      continue;
    }
    ASSERT_TRUE(d.has_pixels);
    ASSERT_EQ(d.state, IMAGE_STATE_READY);
    ASSERT_FALSE(d.source_attached);
    const uint32_t bpp = bits_per_pixel(uint8_t(d.color_type), uint8_t(d.bit_depth));
    ASSERT_EQ(d.pixels_size, (uint64_t(d.width) * d.height * bpp + 7) / 8);

    ReferencePicture reference;
    if (!decode_png_reference(file, reference)) {
      ++ours_only;
      continue;
    }
    ++both_succeeded;
    ASSERT_EQ(reference.width, d.width);
    ASSERT_EQ(reference.height, d.height);
    ASSERT_EQ(uint32_t(reference.color_type), d.color_type);
    ASSERT_EQ(uint32_t(reference.bit_depth), d.bit_depth);
    ASSERT_EQ(d.pixels, pack_bits(reference.rows, d.width * bpp, uint32_t(reference.row_bytes), d.height));
  }
  // The run must have exercised both kinds of outcome to mean anything.
  EXPECT_GT(decoded_count, 3000);
  EXPECT_GT(both_succeeded, 200);
  EXPECT_GT(ours_only, 30);
  RecordProperty("skipped", skipped);
}

}  // namespace
