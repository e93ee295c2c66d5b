// The show's pictures as the build draws them: each decodes with our own
// decoder to the size the show expects and matches libpng's reading, sprites
// are key or opaque, the set works the decoder's filters, block types and
// chunking, and the generator writes the same bytes on every run.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "png/image.h"

namespace {

enum Role { GLASS, WALL, SPRITE };

struct Expected {
  const char* name;
  uint32_t width, height;
  Role role;
};

// In the show's slot order.
constexpr Expected pictures[17] = {
    {"transparent.png", 64, 64, GLASS},    {"orvane.png", 64, 64, WALL},
    {"plomet.png", 64, 128, WALL},         {"corvel.png", 64, 64, WALL},
    {"greetings.png", 64, 128, WALL},      {"windrake.png", 64, 128, WALL},
    {"quarn.png", 64, 64, WALL},           {"tazzle.png", 64, 128, WALL},
    {"you.png", 64, 64, WALL},             {"fish.png", 64, 64, SPRITE},
    {"fish2.png", 96, 96, SPRITE},         {"octopus.png", 128, 128, SPRITE},
    {"duck.png", 96, 96, SPRITE},          {"donut.png", 64, 64, SPRITE},
    {"deutschprachig.png", 64, 128, WALL}, {"jubra23.png", 64, 128, WALL},
    {"jubra23orig.png", 64, 64, WALL},
};

constexpr uint32_t KEY = 0xFFFF00FFu;

std::vector<uint8_t> read_bytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

std::string picture_path(const Expected& picture) { return std::string(PICTURES_DIR) + "/" + picture.name; }

// Decodes with the system's own decoder; the caller frees the record.
Image* decode(const std::vector<uint8_t>& bytes) {
  Image* image = image_create();
  image->source = bytes.data();
  image->source_size = uint32_t(bytes.size());
  image->source_owned = 0;
  image_decode(image);
  return image;
}

std::vector<uint8_t> libpng_rgba(const std::vector<uint8_t>& bytes) {
  png_image reader{};
  reader.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&reader, bytes.data(), bytes.size())) return {};
  reader.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(reader));
  if (!png_image_finish_read(&reader, nullptr, pixels.data(), 0, nullptr)) return {};
  return pixels;
}

std::vector<uint32_t> words_of(const Image* image) {
  std::vector<uint32_t> words(image->pixels_size / 4);
  for (size_t i = 0; i < words.size(); ++i) {
    const uint8_t* p = image->pixels + 4 * i;
    words[i] = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  }
  return words;
}

uint32_t be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

struct Chunks {
  int idat_count = 0;
  std::vector<uint8_t> zlib_stream;
};

Chunks walk_chunks(const std::vector<uint8_t>& bytes) {
  Chunks chunks;
  for (size_t at = 8; at + 12 <= bytes.size();) {
    uint32_t length = be32(&bytes[at]);
    if (at + 12 + length > bytes.size()) break;
    if (std::string(reinterpret_cast<const char*>(&bytes[at + 4]), 4) == "IDAT") {
      ++chunks.idat_count;
      chunks.zlib_stream.insert(chunks.zlib_stream.end(), bytes.begin() + at + 8, bytes.begin() + at + 8 + length);
    }
    at += 12 + length;
  }
  return chunks;
}

TEST(Pictures, EveryPictureDecodesToItsSizeAndMatchesLibpng) {
  for (const Expected& picture : pictures) {
    SCOPED_TRACE(picture.name);
    std::vector<uint8_t> bytes = read_bytes(picture_path(picture));
    ASSERT_FALSE(bytes.empty()) << "missing " << picture_path(picture);
    Image* image = decode(bytes);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->error, IMAGE_OK) << "error site " << image->error_site;
    EXPECT_EQ(image->format, IMAGE_FMT_RGBA8);
    EXPECT_EQ(image->state, IMAGE_STATE_READY);
    EXPECT_EQ(image->width, picture.width);
    EXPECT_EQ(image->height, picture.height);
    ASSERT_EQ(image->pixels_size, picture.width * picture.height * 4);
    std::vector<uint8_t> reference = libpng_rgba(bytes);
    ASSERT_EQ(reference.size(), image->pixels_size);
    EXPECT_TRUE(std::equal(reference.begin(), reference.end(), image->pixels));
    image_free(image);
  }
}

TEST(Pictures, TransparencyKeepsToEachPicturesRole) {
  for (const Expected& picture : pictures) {
    SCOPED_TRACE(picture.name);
    std::vector<uint8_t> bytes = read_bytes(picture_path(picture));
    Image* image = decode(bytes);
    ASSERT_EQ(image->error, IMAGE_OK);
    std::vector<uint32_t> words = words_of(image);
    size_t keys = 0, opaque = 0, see_through = 0;
    for (uint32_t w : words) {
      keys += w == KEY;
      opaque += (w >> 24) == 0xFF;
      see_through += (w >> 24) <= 0xA0;
    }
    if (picture.role == SPRITE) {
      // the key or fully opaque, nothing between; the creature fills a fair part
      // and never touches the border, so samples past a row's end land on key
      EXPECT_EQ(opaque, words.size());
      EXPECT_GT(keys, words.size() / 4);
      EXPECT_GT(words.size() - keys, words.size() / 5);
      for (uint32_t y = 0; y < image->height; ++y) {
        EXPECT_EQ(words[y * image->width], KEY) << "row " << y;
        EXPECT_EQ(words[y * image->width + image->width - 1], KEY) << "row " << y;
      }
      for (uint32_t x = 0; x < image->width; ++x) {
        EXPECT_EQ(words[x], KEY) << "column " << x;
        EXPECT_EQ(words[(image->height - 1) * image->width + x], KEY) << "column " << x;
      }
    } else if (picture.role == GLASS) {
      EXPECT_GT(see_through, words.size() / 2);
      EXPECT_GT(opaque, 0u);
    } else {
      EXPECT_EQ(opaque, words.size());
      EXPECT_EQ(keys, 0u);
    }
    image_free(image);
  }
}

TEST(Pictures, SetWorksEveryFilterBlockTypeAndChunking) {
  std::set<int> filters, block_types;
  int most_idat = 0, fewest_idat = 1 << 30;
  for (const Expected& picture : pictures) {
    SCOPED_TRACE(picture.name);
    Chunks chunks = walk_chunks(read_bytes(picture_path(picture)));
    ASSERT_GT(chunks.zlib_stream.size(), 2u);
    most_idat = std::max(most_idat, chunks.idat_count);
    fewest_idat = std::min(fewest_idat, chunks.idat_count);
    block_types.insert(chunks.zlib_stream[2] >> 1 & 3);  // first block's type
    size_t row_bytes = 1 + picture.width * 4;
    std::vector<uint8_t> rows(row_bytes * picture.height);
    uLongf size = uLongf(rows.size());
    ASSERT_EQ(uncompress(rows.data(), &size, chunks.zlib_stream.data(), uLong(chunks.zlib_stream.size())), Z_OK);
    ASSERT_EQ(size, rows.size());
    for (uint32_t y = 0; y < picture.height; ++y) filters.insert(rows[y * row_bytes]);
  }
  EXPECT_EQ(filters, (std::set<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(block_types, (std::set<int>{0, 1, 2}));  // stored, fixed codes, dynamic codes
  EXPECT_EQ(fewest_idat, 1);
  EXPECT_GT(most_idat, 20);
}

TEST(Pictures, GeneratorWritesTheSameBytesEveryRun) {
  namespace fs = std::filesystem;
  fs::path base = fs::path(::testing::TempDir()) / ("pictures_test_" + std::to_string(getpid()));
  fs::remove_all(base);
  for (const char* run : {"first", "second"}) {
    fs::create_directories(base / run);
    std::string command = std::string("\"") + MAKE_PICTURES + "\" \"" + (base / run).string() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
  for (const Expected& picture : pictures) {
    SCOPED_TRACE(picture.name);
    std::vector<uint8_t> first = read_bytes((base / "first" / picture.name).string());
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first, read_bytes((base / "second" / picture.name).string()));
    EXPECT_EQ(first, read_bytes(picture_path(picture)));
  }
  fs::remove_all(base);
}

}  // namespace
