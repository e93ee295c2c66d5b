// The chunk walk (critical and ancillary chunks, split and separated IDATs,
// a missing IEND, chunks cut short or too long, bytes after IEND), the
// buffer sizes refused before allocating, and the two allocations of a
// successful decode.
#include <gtest/gtest.h>

#include <set>

#include "allocation_count.h"
#include "png_kit.h"

namespace {

struct Picture {
  Header header;
  Bytes rows;
  Bytes stream;
};

// A 5 x 3 RGB picture and its zlib stream.
Picture rgb_picture() {
  Picture p;
  p.header.width = 5;
  p.header.height = 3;
  p.header.color_type = 2;
  for (int i = 0; i < 45; ++i) p.rows.push_back(uint8_t(i * 7 + 1));
  p.stream = zlib_compress(scanlines_of(p.header, p.rows));
  return p;
}

Bytes part(const Bytes& bytes, size_t from, size_t to) {
  return Bytes(bytes.begin() + from, bytes.begin() + std::min(to, bytes.size()));
}

void expect_decodes(const Bytes& file, const Picture& p, const char* what) {
  const Decoded d = decode(file);
  EXPECT_EQ(d.error, IMAGE_OK) << what;
  EXPECT_EQ(d.pixels, p.rows) << what;
}

TEST(ChunkWalk, CriticalChunksOtherThanIdatAndIendAreRefused) {
  const Picture p = rgb_picture();
  const Bytes idat = chunk("IDAT", p.stream);
  // A truecolour picture may carry a suggested palette; this decoder refuses it.
  const Decoded plte = decode(png_file(p.header, {chunk("PLTE", {1, 2, 3}), idat, iend_chunk()}));
  EXPECT_EQ(plte.error, IMAGE_ERR_CRITICAL_CHUNK);
  EXPECT_EQ(plte.state, IMAGE_STATE_PARSED);
  EXPECT_TRUE(plte.source_attached);
  EXPECT_EQ(decode(png_file(p.header, {idat, ihdr_chunk(p.header), iend_chunk()})).error,
            IMAGE_ERR_CRITICAL_CHUNK);
  EXPECT_EQ(decode(png_file(p.header, {idat, chunk("ZZZZ", {}), iend_chunk()})).error,
            IMAGE_ERR_CRITICAL_CHUNK);
  // After IEND nothing is looked at.
  expect_decodes(png_file(p.header, {idat, iend_chunk(), chunk("PLTE", {1, 2, 3})}), p,
                 "PLTE after IEND");
}

TEST(ChunkWalk, AncillaryChunksAreSkipped) {
  const Picture p = rgb_picture();
  expect_decodes(png_file(p.header, {chunk("gAMA", {0, 0, 0xB1, 0x8F}),
                                     chunk("pHYs", {0, 0, 0x0B, 0x13, 0, 0, 0x0B, 0x13, 1}),
                                     chunk("tEXt", {'a', 0, 'b'}), chunk("IDAT", p.stream),
                                     chunk("zzzz", Bytes(300, 0x49)), iend_chunk()}),
                 p, "ancillary");
}

TEST(ChunkWalk, IdatsSplitAndSeparatedFormOneStream) {
  const Picture p = rgb_picture();
  std::vector<Bytes> chunks;
  for (size_t at = 0; at < p.stream.size(); at += 3) {
    chunks.push_back(chunk("IDAT", part(p.stream, at, at + 3)));
    chunks.push_back(chunk("IDAT", {}));
    if (at % 2 == 0) chunks.push_back(chunk("tIME", {7, 0xE7, 1, 2, 3, 4, 5}));
  }
  chunks.push_back(iend_chunk());
  chunks.push_back(chunk("IDAT", {0xFF, 0xFF, 0xFF}));  // after IEND: ignored
  expect_decodes(png_file(p.header, chunks), p, "split");
}

TEST(ChunkWalk, EndOfSourceAndBytesAfterIend) {
  const Picture p = rgb_picture();
  const Bytes idat = chunk("IDAT", p.stream);
  // No IEND: the walk ends where the last chunk ends.
  expect_decodes(png_file(p.header, {idat}), p, "no IEND");
  // Whatever follows IEND is never read, even a broken chunk.
  expect_decodes(png_file(p.header, {idat, iend_chunk(), {0, 0, 0}}), p, "after IEND");
  // Wrong CRCs everywhere and a wrong Adler-32 trailer do not matter. From
  // the end: IEND's CRC, type and length, IDAT's CRC, the Adler-32.
  Bytes bad_checks = png_file(p.header, {idat, iend_chunk()});
  const size_t end = bad_checks.size();
  for (size_t i = end - 20; i < end - 12; ++i) bad_checks[i] ^= 0x5A;
  for (size_t i = end - 4; i < end; ++i) bad_checks[i] ^= 0x5A;
  bad_checks[29] ^= 0xFF;  // IHDR's CRC
  expect_decodes(bad_checks, p, "bad checks");

  std::set<uint32_t> sites;
  const Bytes whole = png_file(p.header, {idat});
  // The last chunk cut short by one byte.
  const Decoded cut = decode(part(whole, 0, whole.size() - 1));
  EXPECT_EQ(cut.error, IMAGE_ERR_CORRUPT);
  sites.insert(cut.error_site);
  // Fewer than 12 bytes left for a chunk's frame.
  const Decoded stub = decode(concat({whole, {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0, 0, 0}}));
  EXPECT_EQ(stub.error, IMAGE_ERR_CORRUPT);
  sites.insert(stub.error_site);
  // A length above 2^31 - 1, and one that runs past the end.
  Bytes too_long = png_file(p.header, {idat, iend_chunk()});
  too_long[33] = 0x80;
  too_long[34] = too_long[35] = too_long[36] = 0;
  const Decoded over = decode(too_long);
  EXPECT_EQ(over.error, IMAGE_ERR_CORRUPT);
  sites.insert(over.error_site);
  too_long[33] = 0x7F;
  too_long[34] = too_long[35] = too_long[36] = 0xFF;
  const Decoded past = decode(too_long);
  EXPECT_EQ(past.error, IMAGE_ERR_CORRUPT);
  EXPECT_TRUE(past.source_attached);
  EXPECT_EQ(past.state, IMAGE_STATE_PARSED);
  EXPECT_EQ(past.error_site, cut.error_site);  // one test: the chunk runs past the end
  sites.insert(past.error_site);
  EXPECT_EQ(sites.size(), 3u);
}

TEST(ImageSizes, BuffersBeyondThirtyTwoBitsAreRefusedBeforeAllocating) {
  const Picture p = rgb_picture();
  struct Size {
    uint32_t width, height;
    uint8_t type, depth;
  };
  const Size refused[] = {
      {0x40000000, 0x40000000, 6, 8},  // scanlines 2^60 bytes
      {65536, 65536, 6, 8},            // 2^34 bytes, though width x height fits in 32 bits
      {0x0FFFFFFF, 1, 6, 16},          // a row of 2^34 bits, even one row
      {0x20000000, 0, 6, 8},           // height 0, yet a row of 2^32 bits
      {0xFFFFFFFF, 2, 0, 1},           // 2^32 - 1 bits a row, 2^32 bits in whole bytes
  };
  for (const Size& size : refused) {
    Header header = p.header;
    header.width = size.width;
    header.height = size.height;
    header.color_type = size.type;
    header.bit_depth = size.depth;
    const Bytes file = png_with_stream(header, p.stream);
    AllocationCount count;
    const Decoded d = decode(file);
    // decode() itself makes one allocation, the source copy.
    EXPECT_EQ(count.allocations(), 2u) << size.width << " x " << size.height;
    EXPECT_EQ(d.error, IMAGE_ERR_OUT_OF_MEMORY);
    EXPECT_EQ(d.state, IMAGE_STATE_PARSED);
    EXPECT_TRUE(d.source_attached);
    EXPECT_FALSE(d.has_pixels);
  }
}

TEST(ImageSizes, TwoAllocationsOnSuccessAndEmptyBuffersArePresent) {
  const Picture p = rgb_picture();
  const Bytes file = png_file(p.header, {chunk("tEXt", {'a', 0}), chunk("IDAT", part(p.stream, 0, 5)),
                                         chunk("IDAT", part(p.stream, 5, 1000)), iend_chunk()});
  Image* image = image_create();
  image->source = file.data();
  image->source_size = uint32_t(file.size());
  AllocationCount count;
  ASSERT_EQ(image_decode(image), IMAGE_OK);
  // Compressed data and scanlines; the pixels are unfiltered in place.
  EXPECT_EQ(count.allocations(), 2u);
  image_free(image);

  // Each of the two failing in turn. Every buffer made so far is released
  // (the leak check sees to that), the source stays, and each failure has its
  // own site.
  std::set<uint32_t> sites;
  for (uint32_t failing = 1; failing <= 2; ++failing) {
    image = image_create();
    image->source = file.data();
    image->source_size = uint32_t(file.size());
    AllocationCount failure;
    failure.fail_allocation(failing);
    EXPECT_EQ(image_decode(image), IMAGE_ERR_OUT_OF_MEMORY) << failing;
    EXPECT_EQ(failure.allocations(), failing);
    EXPECT_EQ(image->pixels, nullptr);
    EXPECT_EQ(image->pixels_size, 0u);
    EXPECT_EQ(image->source, file.data());
    EXPECT_EQ(image->state, IMAGE_STATE_PARSED);
    sites.insert(image->error_site);
    image_free(image);
  }
  EXPECT_EQ(sites.size(), 2u);

  // Height 0: nothing to reconstruct, a present empty pixel buffer.
  Header empty = p.header;
  empty.height = 0;
  const Decoded d = decode(png_with_stream(empty, zlib_compress({})));
  EXPECT_EQ(d.error, IMAGE_OK);
  EXPECT_EQ(d.state, IMAGE_STATE_READY);
  EXPECT_TRUE(d.has_pixels);
  EXPECT_EQ(d.pixels_size, 0u);
  // The same for a bit-packed format.
  empty.color_type = 0;
  empty.bit_depth = 1;
  const Decoded packed = decode(png_with_stream(empty, zlib_compress({})));
  EXPECT_EQ(packed.error, IMAGE_OK);
  EXPECT_TRUE(packed.has_pixels);
  EXPECT_EQ(packed.pixels_size, 0u);
}

}  // namespace
