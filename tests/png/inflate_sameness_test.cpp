// The inflater's lookup tables against its node walk: the same bytes inflated
// both ways must end with the same status, error site, byte count and output
// buffer. Streams: zlib's own at every level, those streams damaged, random
// block bodies (which give odd trees), and the fuzz target's corpus.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

#include "png/inflate.h"
#include "png_kit.h"

namespace {

struct Outcome {
  ImageError error;
  uint32_t error_site;
  uint32_t written;
  Bytes out;
};

Outcome inflate_by(const Bytes& stream, uint32_t capacity, InflateReading reading) {
  Outcome o{IMAGE_OK, 0, 0, Bytes(capacity ? capacity : 1, 0xEE)};
  Image image{};
  zlib_decompress(&image, o.out.data(), capacity, stream.data(), uint32_t(stream.size()), o.written,
                  reading);
  o.error = image.error;
  o.error_site = image.error_site;
  return o;
}

// Returns whether the stream inflated without error (both ways alike).
bool expect_same(const Bytes& stream, uint32_t capacity, const std::string& what) {
  const Outcome walk = inflate_by(stream, capacity, INFLATE_NODE_WALK);
  const Outcome table = inflate_by(stream, capacity, INFLATE_LOOKUP_TABLES);
  EXPECT_EQ(walk.error, table.error) << what;
  EXPECT_EQ(walk.error_site, table.error_site) << what;
  EXPECT_EQ(walk.written, table.written) << what;
  EXPECT_TRUE(walk.out == table.out) << what;
  return walk.error == IMAGE_OK;
}

Bytes picture_like(std::mt19937& random, size_t size) {
  Bytes raw(size);
  for (size_t i = 0; i < size; ++i)
    raw[i] = i % 97 == 0 ? uint8_t(random() % 5) : uint8_t(raw[i > 4 ? i - 4 : 0] + random() % 9);
  return raw;
}

// Capacity prefix (little-endian) and DEFLATE data, as the fuzz target takes
// them; the zlib header goes in front.
Bytes fuzz_case_stream(const Bytes& fuzz_input, uint32_t& capacity) {
  capacity = fuzz_input[0] | uint32_t(fuzz_input[1]) << 8;
  return concat({{0x78, 0x01}, Bytes(fuzz_input.begin() + 2, fuzz_input.end())});
}

TEST(InflateSameness, ZlibStreamsAtEveryLevelWithEveryCapacity) {
  std::mt19937 random(11);
  const std::vector<Bytes> inputs = {picture_like(random, 70000), Bytes(5000, 'x'), Bytes{},
                                     Bytes{'a', 'b', 'c', 'a', 'b', 'c', 'a'}};
  for (const Bytes& raw : inputs)
    for (int level = 0; level <= 9; ++level) {
      const Bytes stream = zlib_compress(raw, level);
      const uint32_t size = uint32_t(raw.size());
      const std::string what = "level " + std::to_string(level) + " size " + std::to_string(size);
      EXPECT_TRUE(expect_same(stream, size, what));
      EXPECT_TRUE(expect_same(stream, size + 300, what + " +300"));
      if (size > 0) {
        EXPECT_FALSE(expect_same(stream, size - 1, what + " -1"));
      }
    }
}

TEST(InflateSameness, DamagedStreamsAndRandomBlockBodies) {
  std::mt19937 random(12);
  const Bytes raw = picture_like(random, 20000);
  for (int level : {1, 6, 9}) {
    const Bytes stream = zlib_compress(raw, level);
    for (int trial = 0; trial < 300; ++trial) {
      Bytes damaged = stream;
      const size_t at = 2 + random() % (damaged.size() - 2);
      damaged[at] ^= uint8_t(1u << (random() % 8));
      if (trial % 3 == 0) damaged.resize(2 + random() % (damaged.size() - 2));
      expect_same(damaged, uint32_t(raw.size()), "damaged at " + std::to_string(at));
    }
  }
  // Random bodies behind each block type's first bits: mostly odd trees
  // (incomplete or over-subscribed) and early failures.
  for (int trial = 0; trial < 3000; ++trial) {
    Bytes stream = {0x78, 0x01};
    const size_t length = 1 + random() % 400;
    for (size_t i = 0; i < length; ++i) stream.push_back(uint8_t(random()));
    stream[2] = uint8_t((stream[2] & ~7u) | (trial % 3 == 0 ? 3 : 5));
    expect_same(stream, random() % 3000, "random body " + std::to_string(trial));
  }
}

// The fuzz target's inputs (output capacity, then DEFLATE data), one for
// every way its corpus ends, success and each failure site, the smallest
// that gets there (from a dynamic block where one does): a 35-minute run
// found no difference between the two ways.
TEST(InflateSameness, FuzzCorpusOfEveryOutcome) {
  const char* const cases[] = {
      "471905c101010000008220b5ff9f0300000000aa2000db76fdff",
      "0f4b4c",
      "0de041",
      "0f00616263612d",
      "0900010a00f5ff",
      "0f00010100feff",
      "30180c0683c160f0ff",
      "8b0aedcacb09c0200000ffff145ea60fab9b577ac25e2960301801",
      "8bfb340000927f1d62fb0200f200b4d705eb37ffff60e0000c",
      "031963196366a6128c0c83fe2f05f7f424a0",
      "8b0aedcac10d80201044d156a60fab2180596214921d62fb36e1f1bff373749d2343e5697274cdea"
      "b9762a05716b95b41c5d6dd7eb90c96432994c2693c9e4fff207",
      "4719edcebb0a80301403d03cfeff9f5d141c5a74907adbe62c0140204087db31e62c81403220fb71"
      "d856",
      "8c0aed8ad98945310cc55a397da41a93059b90058e4dda7f83cb18ee9f24e4da318c0ad90dfe27a7"
      "fab941f0d9c2157ad6167596a46fee685167816bc7302a64b79453fddc20f86ce10a3deb37dbc215"
      "3a5c3b5ad45992865121bba59ceae706c192865121bba57cb35121bbc1b5e3543f37083e5bb842cf"
      "daa2ce9234be192dea2c70ed184685ec9672aa9f1b049f2d5ca167fd665bea2c70ed184685ec9672"
      "aa000000000000000000000000009f1b049f2d5ca167fd665bb842876b478b3a4bd2302a64b79453"
      "fddc20f8beb9e3543f37083e5beae706c1670b57e8595bd45992c67f9e7f",
      "24ffff",
      "8b0aedca040d8020",
      "ff6b1c40200026",
  };
  std::set<uint32_t> sites;
  for (const char* hex : cases) {
    Bytes input;
    for (size_t i = 0; hex[i] && hex[i + 1]; i += 2)
      input.push_back(uint8_t(std::stoi(std::string(hex + i, 2), nullptr, 16)));
    uint32_t capacity = 0;
    const Bytes stream = fuzz_case_stream(input, capacity);
    expect_same(stream, capacity, hex);
    sites.insert(inflate_by(stream, capacity, INFLATE_LOOKUP_TABLES).error_site);
  }
  EXPECT_EQ(sites.size(), std::size(cases));
}

}  // namespace
