// The image record, the signature and header checks in their order, the
// format table, and what image_decode leaves in the record on each path.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <set>

#include "allocation_count.h"
#include "png_kit.h"

namespace {

// A 2 x 2 RGBA picture whose stream is fine.
Bytes small_rgba() {
  Header header;
  header.width = 2;
  header.height = 2;
  Bytes rows(16);
  for (size_t i = 0; i < rows.size(); ++i) rows[i] = uint8_t(i * 13);
  return png_with_stream(header, zlib_compress(scanlines_of(header, rows)));
}

TEST(ImageRecord, CreatedValuesLayoutAndEnumerations) {
  Image* image = image_create();
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width, 0u);
  EXPECT_EQ(image->height, 0u);
  EXPECT_EQ(image->color_type, 6u);
  EXPECT_EQ(image->bit_depth, 8u);
  EXPECT_EQ(image->format, IMAGE_FMT_RGBA8);
  EXPECT_EQ(image->pixels, nullptr);
  EXPECT_EQ(image->pixels_size, 0u);
  EXPECT_EQ(image->error, IMAGE_OK);
  EXPECT_EQ(image->error_site, 0u);
  EXPECT_EQ(image->state, IMAGE_STATE_FRESH);
  EXPECT_EQ(image->source, nullptr);
  EXPECT_EQ(image->source_size, 0u);
  EXPECT_EQ(image->source_owned, 0);
  image_free(image);
  image_free(nullptr);
  AllocationCount full_heap;
  full_heap.fail_allocation(1);
  EXPECT_EQ(image_create(), nullptr);

  // Fields in their fixed order.
  const size_t offsets[] = {
      offsetof(Image, width),       offsetof(Image, height),      offsetof(Image, color_type),
      offsetof(Image, bit_depth),   offsetof(Image, format),      offsetof(Image, pixels),
      offsetof(Image, pixels_size), offsetof(Image, error),       offsetof(Image, error_site),
      offsetof(Image, state),       offsetof(Image, source),      offsetof(Image, source_size),
      offsetof(Image, source_owned)};
  for (size_t i = 1; i < std::size(offsets); ++i) EXPECT_LT(offsets[i - 1], offsets[i]) << i;

  EXPECT_EQ(int(IMAGE_ERR_OUT_OF_MEMORY), 1);
  EXPECT_EQ(int(IMAGE_ERR_FILE_OPEN), 2);
  EXPECT_EQ(int(IMAGE_ERR_SIGNATURE), 3);
  EXPECT_EQ(int(IMAGE_ERR_CORRUPT), 4);
  EXPECT_EQ(int(IMAGE_ERR_CRITICAL_CHUNK), 5);
  EXPECT_EQ(int(IMAGE_ERR_INTERLACE), 6);
  EXPECT_EQ(int(IMAGE_ERR_PIXEL_FORMAT), 7);
  EXPECT_EQ(int(IMAGE_FMT_GREY_ALPHA8), 12);
  EXPECT_EQ(int(IMAGE_STATE_READY), 0);
  EXPECT_EQ(int(IMAGE_STATE_PARSED), 1);
}

TEST(ImageRecord, ChannelsAndBitsPerPixelReadOnlyTypeAndDepth) {
  Image image{};
  const uint32_t channels[8] = {1, 0, 3, 0, 2, 0, 4, 0};
  for (uint32_t type = 0; type < 8; ++type) {
    image.color_type = type;
    image.bit_depth = 16;
    EXPECT_EQ(image_channels(&image), channels[type]) << type;
    EXPECT_EQ(image_bits_per_pixel(&image), channels[type] * 16) << type;
  }
  image.color_type = 4;
  image.bit_depth = 2;
  image.format = IMAGE_FMT_RGB16;  // not consulted
  EXPECT_EQ(image_bits_per_pixel(&image), 4u);
}

TEST(ImageHeader, SignatureAndLength) {
  const Bytes good = small_rgba();
  for (size_t size : {size_t(0), size_t(8), size_t(28)}) {
    const Decoded d = decode(Bytes(good.begin(), good.begin() + size));
    EXPECT_EQ(d.error, IMAGE_ERR_SIGNATURE) << size;
    EXPECT_EQ(d.returned, IMAGE_ERR_SIGNATURE);
    EXPECT_EQ(d.state, IMAGE_STATE_FRESH);
    EXPECT_EQ(d.width, 0u);
    EXPECT_TRUE(d.source_attached);
  }
  for (size_t i = 0; i < 8; ++i) {
    Bytes bad = good;
    bad[i] ^= 0x01;
    EXPECT_EQ(decode(bad).error, IMAGE_ERR_SIGNATURE) << i;
  }
  // 29 bytes: signature and header, no chunk after them, so no zlib header.
  const Decoded short_file = decode(Bytes(good.begin(), good.begin() + 29));
  EXPECT_EQ(short_file.error, IMAGE_ERR_CORRUPT);
  EXPECT_EQ(short_file.state, IMAGE_STATE_PARSED);
  EXPECT_EQ(short_file.width, 2u);
  EXPECT_FALSE(short_file.has_pixels);
  EXPECT_TRUE(short_file.source_attached);
  const Decoded too_short = decode(Bytes(good.begin(), good.begin() + 28));
  EXPECT_NE(short_file.error_site, too_short.error_site);
}

TEST(ImageHeader, ChecksInOrderEachWithItsOwnSite) {
  const Bytes good = small_rgba();
  std::set<uint32_t> sites;
  auto with = [&](std::initializer_list<std::pair<size_t, uint8_t>> edits) {
    Bytes file = good;
    for (auto [at, value] : edits) file[at] = value;
    Decoded d = decode(file);
    sites.insert(d.error_site);
    return d;
  };
  const Decoded not_ihdr = with({{12, 'i'}});
  EXPECT_EQ(not_ihdr.error, IMAGE_ERR_CORRUPT);
  EXPECT_EQ(not_ihdr.width, 0u);  // nothing read before the type test
  EXPECT_EQ(not_ihdr.color_type, 6u);

  const Decoded indexed = with({{25, 3}, {26, 1}, {28, 1}});
  EXPECT_EQ(indexed.error, IMAGE_ERR_PIXEL_FORMAT);
  EXPECT_EQ(indexed.format, IMAGE_FMT_NONE);
  EXPECT_EQ(indexed.width, 2u);
  EXPECT_EQ(indexed.color_type, 3u);
  EXPECT_EQ(indexed.state, IMAGE_STATE_FRESH);

  const Decoded compression = with({{26, 1}, {27, 1}, {28, 1}});
  EXPECT_EQ(compression.error, IMAGE_ERR_CORRUPT);
  EXPECT_EQ(compression.format, IMAGE_FMT_RGBA8);
  const Decoded filter = with({{27, 1}, {28, 1}});
  EXPECT_EQ(filter.error, IMAGE_ERR_CORRUPT);
  EXPECT_EQ(with({{28, 1}}).error, IMAGE_ERR_INTERLACE);
  EXPECT_EQ(with({{28, 2}}).error, IMAGE_ERR_INTERLACE);
  EXPECT_EQ(sites.size(), 5u);  // the interlace byte's two values share one check

  // The IHDR length field is not read, and the dimensions are not tested.
  const Decoded odd_length = with({{11, 99}});
  EXPECT_EQ(odd_length.error, IMAGE_OK);
}

TEST(ImageHeader, FormatTable) {
  struct Pair {
    uint8_t type, depth;
    ImageFormat format;
  };
  const Pair accepted[] = {
      {2, 8, IMAGE_FMT_RGB8},         {2, 16, IMAGE_FMT_RGB16},       {6, 8, IMAGE_FMT_RGBA8},
      {6, 16, IMAGE_FMT_RGBA16},      {0, 1, IMAGE_FMT_GREY1},        {0, 2, IMAGE_FMT_GREY2},
      {0, 4, IMAGE_FMT_GREY4},        {0, 8, IMAGE_FMT_GREY8},        {4, 1, IMAGE_FMT_GREY_ALPHA1},
      {4, 2, IMAGE_FMT_GREY_ALPHA2},  {4, 4, IMAGE_FMT_GREY_ALPHA4},  {4, 8, IMAGE_FMT_GREY_ALPHA8}};
  for (uint8_t type : {0, 1, 2, 3, 4, 5, 6, 7, 8, 255}) {
    for (uint8_t depth : {0, 1, 2, 3, 4, 8, 16, 32}) {
      Image* image = image_create();
      Bytes file = small_rgba();
      file[24] = depth;
      file[25] = type;
      image->source = file.data();
      image->source_size = uint32_t(file.size());
      const ImageError error = image_read_header(image);
      ImageFormat expected = IMAGE_FMT_NONE;
      for (const Pair& pair : accepted)
        if (pair.type == type && pair.depth == depth) expected = pair.format;
      EXPECT_EQ(image->format, expected) << int(type) << "/" << int(depth);
      EXPECT_EQ(error, expected == IMAGE_FMT_NONE ? IMAGE_ERR_PIXEL_FORMAT : IMAGE_OK);
      EXPECT_EQ(image->state, expected == IMAGE_FMT_NONE ? IMAGE_STATE_FRESH : IMAGE_STATE_PARSED);
      image_free(image);
    }
  }
}

TEST(ImageHeader, ReadHeaderRunsOnceAndNeverAfterAnError) {
  Bytes file = small_rgba();
  Image* image = image_create();
  image->source = file.data();
  image->source_size = uint32_t(file.size());
  EXPECT_EQ(image_read_header(image), IMAGE_OK);
  EXPECT_EQ(image->state, IMAGE_STATE_PARSED);
  EXPECT_EQ(image->width, 2u);
  image->width = 77;  // a second read leaves the record alone
  EXPECT_EQ(image_read_header(image), IMAGE_OK);
  EXPECT_EQ(image->width, 77u);
  image_free(image);

  image = image_create();
  image->source = file.data();
  image->source_size = uint32_t(file.size());
  image->error = IMAGE_ERR_OUT_OF_MEMORY;
  image->error_site = 5;
  EXPECT_EQ(image_read_header(image), IMAGE_ERR_OUT_OF_MEMORY);
  EXPECT_EQ(image->state, IMAGE_STATE_FRESH);
  EXPECT_EQ(image->width, 0u);
  EXPECT_EQ(image->error_site, 5u);
  image_free(image);
}

TEST(ImageDecode, LoaderFailurePassesThroughUnchanged) {
  Image* image = image_create();
  image->error = IMAGE_ERR_FILE_OPEN;
  image->error_site = 123;
  EXPECT_EQ(image_decode(image), IMAGE_ERR_FILE_OPEN);
  EXPECT_EQ(image->error_site, 123u);
  EXPECT_EQ(image->state, IMAGE_STATE_FRESH);
  EXPECT_EQ(image->pixels, nullptr);
  image_free(image);

  // A loader that read the file and then failed still hands over its buffer.
  image = image_create();
  uint8_t* bytes = static_cast<uint8_t*>(std::malloc(40));
  std::memset(bytes, 0, 40);
  image->source = bytes;
  image->source_size = 40;
  image->source_owned = 1;
  image->error = IMAGE_ERR_OUT_OF_MEMORY;
  image->error_site = 9;
  EXPECT_EQ(image_decode(image), IMAGE_ERR_OUT_OF_MEMORY);
  EXPECT_EQ(image->source, bytes);
  image_free(image);  // releases the source: the leak check sees no leak
}

TEST(ImageDecode, SuccessReleasesTheSourceAndASecondDecodeChangesNothing) {
  const Bytes file = small_rgba();
  Image* image = image_create();
  uint8_t* copy = static_cast<uint8_t*>(std::malloc(file.size()));
  std::memcpy(copy, file.data(), file.size());
  image->source = copy;
  image->source_size = uint32_t(file.size());
  image->source_owned = 1;
  ASSERT_EQ(image_decode(image), IMAGE_OK);
  EXPECT_EQ(image->state, IMAGE_STATE_READY);
  EXPECT_EQ(image->source, nullptr);
  EXPECT_EQ(image->source_size, 0u);
  EXPECT_EQ(image->source_owned, 0);
  EXPECT_EQ(image->pixels_size, 16u);
  EXPECT_EQ(image->pixels[5], 65);
  uint8_t* pixels = image->pixels;
  EXPECT_EQ(image_decode(image), IMAGE_OK);
  EXPECT_EQ(image->pixels, pixels);
  EXPECT_EQ(image->state, IMAGE_STATE_READY);
  image_free(image);

  // A caller-owned source is let go of but not released.
  Bytes borrowed = file;
  image = image_create();
  image->source = borrowed.data();
  image->source_size = uint32_t(borrowed.size());
  ASSERT_EQ(image_decode(image), IMAGE_OK);
  EXPECT_EQ(image->source, nullptr);
  image_free(image);
  EXPECT_EQ(borrowed, file);
}

TEST(ImageDecode, SourceStaysAfterEarlyFailuresAndGoesAfterReconstruction) {
  Header header;
  header.width = 2;
  header.height = 4;
  Bytes scanlines = scanlines_of(header, Bytes(32, 9));
  // Stream defect: the source stays attached.
  Bytes broken = zlib_compress(scanlines);
  broken[0] = 0x77;
  const Decoded stream_failure = decode(png_with_stream(header, broken));
  EXPECT_EQ(stream_failure.error, IMAGE_ERR_CORRUPT);
  EXPECT_TRUE(stream_failure.source_attached);
  EXPECT_EQ(stream_failure.state, IMAGE_STATE_PARSED);
  // Filter type 5 in row 3: the last step failed, the source is released
  // and no pixel buffer remains.
  scanlines[3 * 9] = 5;
  const Decoded filter_failure = decode(png_with_stream(header, zlib_compress(scanlines)));
  EXPECT_EQ(filter_failure.error, IMAGE_ERR_CORRUPT);
  EXPECT_FALSE(filter_failure.source_attached);
  EXPECT_FALSE(filter_failure.has_pixels);
  EXPECT_EQ(filter_failure.pixels_size, 0u);
  EXPECT_EQ(filter_failure.state, IMAGE_STATE_PARSED);
  EXPECT_NE(filter_failure.error_site, stream_failure.error_site);
}

}  // namespace
