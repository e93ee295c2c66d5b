// The sprite renderers on a framebuffer of the test's own: selection, sorting,
// the depth test against column_hits, the transparent key, the clipping to
// columns and rows 1 and up, and each scene's own variant. Pictures are small
// RGBA8 records built by hand in slots 9 to 13; the camera, the wall
// distances and the clock are set by each test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>
#include <vector>

#include "common/framebuffer.h"
#include "common/image_table.h"
#include "common/numeric.h"
#include "common/timeline.h"
#include "common/simd_target.h"
#include "common/workers.h"
#include "platform/clock.h"
#include "png/image.h"
#include "raycast/camera.h"
#include "raycast/world.h"
#include "sprites/sprites.h"
#include "testkit/testkit.h"

namespace {

constexpr uint32_t kUnwritten = 0x12345678;
constexpr uint32_t kKey = 0xFFFF00FF;
constexpr int kFirstSlot = 9;

struct TestPicture {
  std::vector<uint32_t> words;
  Image image = {};
};

class Sprites : public testing::Test {
 protected:
  void SetUp() override {
    sprites_reset();
    fb.pixels.assign(kFramePixelCount, kUnwritten);
    for (ColumnHit& hit : column_hits) hit = {0, 0, 0, kNoHitDistance, 0, 0};
    Camera& cam = camera_record();
    cam.x = 1000;
    cam.y = 1000;
    cam.heading = 0;  // looking along +x
    clock_use_virtual(0, 0);
    for (int slot = kFirstSlot; slot < kFirstSlot + 5; ++slot) set_uniform(slot, 1, 1, 0xFF000000u + slot);
  }
  void TearDown() override {
    for (int slot = kFirstSlot; slot < kFirstSlot + 5; ++slot) image_table[slot] = nullptr;
    sprites_reset();
    camera_reset();
    clock_use_real();
  }

  void set_picture(int slot, uint32_t width, uint32_t height, std::vector<uint32_t> words) {
    TestPicture& p = pictures[slot - kFirstSlot];
    p.words = std::move(words);
    p.image = {};
    p.image.width = width;
    p.image.height = height;
    p.image.color_type = 6;
    p.image.bit_depth = 8;
    p.image.format = IMAGE_FMT_RGBA8;
    p.image.pixels = reinterpret_cast<uint8_t*>(p.words.data());
    p.image.pixels_size = uint32_t(p.words.size() * 4);
    image_table[slot] = &p.image;
  }
  void set_uniform(int slot, uint32_t width, uint32_t height, uint32_t word) {
    set_picture(slot, width, height, std::vector<uint32_t>(size_t(width) * height, word));
  }

  // Puts sprite k at (x, y) and every other sprite behind the camera, which
  // looks along +x.
  void place_only(int k, float x, float y) {
    Sprite* table = sprite_table();
    for (int i = 0; i < kSpriteCount; ++i) {
      table[i].x = camera_record().x - 500;
      table[i].y = camera_record().y;
    }
    table[k].x = x;
    table[k].y = y;
  }

  int count_written() const {
    int n = 0;
    for (uint32_t p : fb.pixels) n += p != kUnwritten;
    return n;
  }

  ScopedFramebuffer fb;
  TestPicture pictures[5];
};

Sprite record_at(float distance, int32_t image) {
  Sprite s = {};
  s.distance = distance;
  s.image = image;
  return s;
}

TEST(SortFarToNear, ExchangesOnlyStrictlyFartherEntries) {
  Sprite list[3] = {record_at(5, 'P'), record_at(5, 'Q'), record_at(7, 'R')};
  sort_far_to_near(list, 3);
  EXPECT_EQ(list[0].image, 'R');
  EXPECT_EQ(list[1].image, 'Q');
  EXPECT_EQ(list[2].image, 'P');

  // Equal distances keep no stable order: A, B at 1 and C at 2 end as C, B, A.
  Sprite more[4] = {record_at(1, 'A'), record_at(1, 'B'), record_at(2, 'C'), record_at(0.5f, 'D')};
  sort_far_to_near(more, 4);
  EXPECT_EQ(more[0].image, 'C');
  EXPECT_EQ(more[1].image, 'B');
  EXPECT_EQ(more[2].image, 'A');
  EXPECT_EQ(more[3].image, 'D');

  Sprite pair[2] = {record_at(1, 'A'), record_at(1, 'B')};
  sort_far_to_near(pair, 2);
  EXPECT_EQ(pair[0].image, 'A');

  Sprite one[1] = {record_at(3, 'X')};
  sort_far_to_near(one, 1);
  sort_far_to_near(one, 0);
  EXPECT_EQ(one[0].image, 'X');
}

TEST_F(Sprites, NothingInTheConeDrawsNothing) {
  camera_record().heading = 3.0f;  // every sprite lies far off this heading
  Sprite* table = sprite_table();
  for (int i = 0; i < kSpriteCount; ++i) table[i] = {1000.0f + 10 * i, 1000, 0, 0, 1, 9, 0};
  draw_sprites_scene4();
  EXPECT_EQ(count_written(), 0);
  for (int i = 0; i < kSpriteCount; ++i) EXPECT_EQ(table[i].visible, 0) << i;
}

TEST_F(Sprites, CollectsTheConeWithDistancesAndAngles) {
  Sprite* table = sprite_table();
  place_only(4, 1200, 1000);
  table[5].x = 1300;  // about 41.3 degrees off the heading: inside the cone
  table[5].y = 1000 + 300 * std::tan(0.7205f);
  table[6].x = 1300;  // about 41.6 degrees: outside
  table[6].y = 1000 - 300 * std::tan(0.7265f);
  table[6].distance = 77;
  Sprite list[kSpriteCount];
  int n = collect_visible_sprites(list);
  ASSERT_EQ(n, 2);
  EXPECT_EQ(list[0].image, 13);
  EXPECT_EQ(list[0].distance, 200.0f);
  EXPECT_EQ(list[0].angle, 0.0f);
  EXPECT_EQ(table[4].visible, 1);
  EXPECT_EQ(table[5].visible, 1);
  EXPECT_NEAR(table[5].angle, 0.7205f, 1e-4);
  EXPECT_EQ(table[6].visible, 0);
  EXPECT_EQ(table[6].distance, 77.0f);  // kept from before
  EXPECT_EQ(table[0].visible, 0);
}

TEST_F(Sprites, SamplesByNearestNeighbourAndSkipsTheKey) {
  // Four by four words; the key, a key-like word with another alpha, and a
  // fully transparent word among them.
  std::vector<uint32_t> words(16);
  for (uint32_t i = 0; i < 16; ++i) words[i] = 0xFF000000u | (i * 0x010203u);
  words[5] = kKey;
  words[6] = 0x7FFF00FF;
  words[9] = 0x00112233;
  set_picture(13, 4, 4, words);
  place_only(4, 1200, 1000);  // straight ahead at distance 200: 443.4 pixels tall
  draw_sprites_scene1();

  // Columns 578 to 1021 and rows 228 to 671; the key's texel stays unwritten.
  int texel_pixels = 0;
  std::set<uint32_t> seen;
  for (int y = 0; y < kFrameHeight; ++y)
    for (int x = 0; x < kFrameWidth; ++x) {
      uint32_t p = fb.at(x, y);
      if (p == kUnwritten) continue;
      EXPECT_TRUE(x >= 578 && x <= 1021 && y >= 228 && y <= 671) << x << "," << y;
      seen.insert(p);
      ++texel_pixels;
    }
  EXPECT_EQ(seen.size(), 15u);
  EXPECT_EQ(seen.count(kKey), 0u);
  EXPECT_EQ(seen.count(0x7FFF00FFu), 1u);
  EXPECT_EQ(seen.count(0x00112233u), 1u);
  EXPECT_LT(texel_pixels, 444 * 444);
  EXPECT_GT(texel_pixels, 444 * 444 * 14 / 16);
  EXPECT_EQ(fb.at(578, 228), words[0]);
  EXPECT_EQ(fb.at(600, 250), words[0]);
  EXPECT_EQ(fb.at(1000, 650), words[15]);
  EXPECT_EQ(fb.at(1021, 671), words[15]);
  EXPECT_EQ(fb.at(700, 350), kUnwritten);   // texel (1, 1), the key
  EXPECT_EQ(fb.at(820, 350), 0x7FFF00FFu);  // texel (2, 1)
}

TEST_F(Sprites, WallsAtTheSpritesDistanceOrNearerHideIt) {
  set_uniform(13, 4, 4, 0xFF0000AA);
  place_only(4, 1200, 1000);  // distance exactly 200
  column_hits[700].distance = 200;
  column_hits[701].distance = std::nextafter(200.0f, 1e9f);
  column_hits[702].distance = 199;
  // 703 met no wall
  draw_sprites_scene1();
  for (int y = 228; y <= 671; ++y) {
    EXPECT_EQ(fb.at(700, y), kUnwritten) << y;
    EXPECT_EQ(fb.at(701, y), 0xFF0000AAu) << y;
    EXPECT_EQ(fb.at(702, y), kUnwritten) << y;
    EXPECT_EQ(fb.at(703, y), 0xFF0000AAu) << y;
  }
  EXPECT_EQ(count_written(), 444 * 442);
}

TEST_F(Sprites, NeverWritesColumnZeroOrRowZero) {
  set_uniform(13, 2, 2, 0xFF00AA00);
  place_only(4, 1010, 1000);  // 10 units ahead: about 8,900 pixels tall
  draw_sprites_scene4();
  EXPECT_EQ(count_written(), 1599 * 899);
  for (int y = 0; y < kFrameHeight; ++y) EXPECT_EQ(fb.at(0, y), kUnwritten);
  for (int x = 0; x < kFrameWidth; ++x) EXPECT_EQ(fb.at(x, 0), kUnwritten);
  EXPECT_EQ(fb.at(1, 1), 0xFF00AA00u);
  EXPECT_EQ(fb.at(1599, 899), 0xFF00AA00u);
}

TEST_F(Sprites, ColumnsClippedAtTheLeftEdgeKeepTheirTextureColumns) {
  // Four texture columns of distinct words; the sprite's left edge lies at
  // column -209.6, so column 1 is already in its second texture column.
  set_picture(13, 4, 1, {0xFF0000A0, 0xFF0000A1, 0xFF0000A2, 0xFF0000A3});
  camera_record().heading = 0.5f;
  place_only(4, 1200, 1000);
  draw_sprites_scene1();
  EXPECT_EQ(fb.at(0, 450), kUnwritten);
  EXPECT_EQ(fb.at(1, 450), 0xFF0000A1u);
  EXPECT_EQ(fb.at(43, 450), 0xFF0000A1u);
  EXPECT_EQ(fb.at(44, 450), 0xFF0000A2u);
  EXPECT_EQ(fb.at(169, 450), 0xFF0000A2u);
  EXPECT_EQ(fb.at(170, 450), 0xFF0000A3u);
  EXPECT_EQ(fb.at(295, 450), 0xFF0000A3u);
  EXPECT_EQ(fb.at(296, 450), kUnwritten);
}

TEST_F(Sprites, SpritesAlmostAtTheEyeCostNothing) {
  set_uniform(13, 2, 2, 0xFF00AA00);
  // 1000 plus one step of a float: about 1.45e9 pixels tall, still within
  // 32 bits; the loops are limited to the screen, which it fills.
  place_only(4, std::nextafter(1000.0f, 2000.0f), 1000);
  draw_sprites_scene1();
  EXPECT_EQ(count_written(), 1599 * 899);

  // Nearer than that the size leaves the 32-bit range, and at the eye it is
  // infinite: neither draws anything.
  fb.pixels.assign(kFramePixelCount, kUnwritten);
  camera_record().x = 10;
  place_only(4, std::nextafter(10.0f, 20.0f), 1000);
  draw_sprites_scene1();
  place_only(4, 10, 1000);
  draw_sprites_scene4();
  EXPECT_EQ(count_written(), 0);
}

TEST_F(Sprites, NearerSpritesOverwriteFartherOnes) {
  set_uniform(9, 2, 2, 0xFF0000F0);
  set_uniform(10, 2, 2, 0xFFF00000);
  place_only(0, 1300, 1000);
  sprite_table()[1].x = 1200;
  sprite_table()[1].y = 1000;
  draw_sprites_scene4();
  EXPECT_EQ(fb.at(800, 450), 0xFFF00000u);  // the nearer, sprite 1
  EXPECT_EQ(fb.at(800, 300), 0xFFF00000u);

  fb.pixels.assign(kFramePixelCount, kUnwritten);
  std::swap(sprite_table()[0].x, sprite_table()[1].x);  // now sprite 0 is nearer
  draw_sprites_scene4();
  EXPECT_EQ(fb.at(800, 450), 0xFF0000F0u);
}

TEST_F(Sprites, MissingOrNonRgbaPicturesAreSkipped) {
  set_uniform(9, 2, 2, 0xFF0000F0);
  place_only(0, 1300, 1000);
  sprite_table()[4].x = 1200;  // a donut in front of the fish
  sprite_table()[4].y = 1000;
  image_table[13] = nullptr;
  draw_sprites_scene1();
  EXPECT_EQ(fb.at(800, 450), 0xFF0000F0u);
  EXPECT_EQ(sprite_table()[4].visible, 1);

  fb.pixels.assign(kFramePixelCount, kUnwritten);
  set_uniform(13, 2, 2, 0xFFF00000);
  pictures[13 - kFirstSlot].image.format = IMAGE_FMT_RGB8;
  draw_sprites_scene4();
  EXPECT_EQ(fb.at(800, 450), 0xFF0000F0u);

  fb.pixels.assign(kFramePixelCount, kUnwritten);
  sprite_table()[0].image = 17;  // no such slot
  image_table[13] = nullptr;
  draw_sprites_scene4();
  EXPECT_EQ(count_written(), 0);
}

TEST_F(Sprites, SamplesOutsideThePictureAreNotWritten) {
  // Scene 2 magnifies about four times across a width of 2.25 sizes, so the
  // texture column runs far past the 4-word rows and then past the buffer.
  set_uniform(13, 4, 4, 0xFF0000AA);
  place_only(4, 1200, 1000);
  clock_use_virtual(56000, 0);  // sprite time 224: words unchanged
  draw_sprites_scene2();
  int written = count_written();
  EXPECT_GT(written, 0);
  EXPECT_LT(written, 444 * 444 / 2);
  EXPECT_EQ(fb.at(800, 450), kUnwritten);
}

TEST_F(Sprites, SceneOneLatchesTheSecondFishPastTime135) {
  Sprite* table = sprite_table();
  clock_use_virtual(33749, 0);  // sprite time 134.996
  draw_sprites_scene1();
  EXPECT_FALSE(sprite_fish_latch());
  EXPECT_EQ(table[1].x, 1272.0f);
  EXPECT_EQ(table[1].y, 137.0f);
  EXPECT_LT(table[0].x, 311.0f);
  clock_use_virtual(33750, 0);  // exactly 135
  draw_sprites_scene1();
  EXPECT_FALSE(sprite_fish_latch());
  EXPECT_EQ(table[1].x, 1272.0f);

  sprites_reset();
  clock_use_virtual(33751, 0);  // 135.004
  draw_sprites_scene1();
  EXPECT_TRUE(sprite_fish_latch());
  EXPECT_EQ(table[0].x, 310.9122619628906f);
  EXPECT_EQ(table[0].y, 139.6643829345703f);
  EXPECT_EQ(table[1].x, 100.39356994628906f);
  EXPECT_EQ(table[1].y, 167.42193603515625f);

  float x = table[1].x, y = table[1].y;
  clock_use_virtual(33767, 0);
  draw_sprites_scene1();
  EXPECT_NE(table[1].x, x);
  EXPECT_NEAR(table[1].x, x, 1.0);
  EXPECT_NEAR(table[1].y, y, 1.0);

  // Scene 4 draws them where scene 1 left them.
  x = table[1].x;
  float x0 = table[0].x;
  draw_sprites_scene4();
  EXPECT_EQ(table[1].x, x);
  EXPECT_EQ(table[0].x, x0);
}

TEST_F(Sprites, SceneTwoTintsColumnBandsPastTime225) {
  // A sprite off to the left, covering columns 1 to 601 and rows 197 to 703.
  set_uniform(13, 300, 4, 0x00123456);
  place_only(4, 1175, 903);
  clock_use_virtual(57500, 0);  // sprite time 230
  draw_sprites_scene2();
  EXPECT_EQ(fb.at(0, 450), kUnwritten);
  EXPECT_EQ(fb.at(10, 450), 0x00123456u);   // band 0 unchanged
  EXPECT_EQ(fb.at(25, 450), 0x80123456u);   // band 1: bit 31
  EXPECT_EQ(fb.at(45, 450), 0x7F9BBEDFu);   // band 2: 0x7F998AC9 | word
  EXPECT_EQ(fb.at(45, 300), 0x7F9BBEDFu);

  fb.pixels.assign(kFramePixelCount, kUnwritten);
  clock_use_virtual(56000, 0);  // 224: words unchanged
  draw_sprites_scene2();
  EXPECT_EQ(fb.at(25, 450), 0x00123456u);
  EXPECT_EQ(fb.at(45, 450), 0x00123456u);

  fb.pixels.assign(kFramePixelCount, kUnwritten);
  sprite_table()[4].visible = 0;
  clock_use_virtual(56250, 0);  // exactly 225: collected, but nothing written
  draw_sprites_scene2();
  EXPECT_EQ(count_written(), 0);
  EXPECT_EQ(sprite_table()[4].visible, 1);
}

TEST_F(Sprites, SceneThreeWidthsPulseWithEachSpritesOwnPhase) {
  // Two donuts at one distance, mirrored about the heading; their y differ.
  set_uniform(13, 8, 8, 0xFF00C0C0);
  Sprite* table = sprite_table();
  place_only(4, 1200, 950);
  table[5].x = 1200;
  table[5].y = 1050;
  clock_use_virtual(100000, 0);  // sprite time 400
  draw_sprites_scene3();
  EXPECT_EQ(table[4].distance, table[5].distance);
  int first = -1, last = -1, count_left = 0, count_right = 0;
  for (int x = 0; x < kFrameWidth; ++x) {
    if (fb.at(x, 450) == kUnwritten) continue;
    (x < 800 ? count_left : count_right)++;
    if (first < 0) first = x;
    last = x;
  }
  EXPECT_EQ(count_left, 109);  // columns 399 to 507
  EXPECT_EQ(count_right, 128); // columns 1082 to 1209
  EXPECT_EQ(first, 399);
  EXPECT_EQ(last, 1209);
  EXPECT_EQ(table[4].wobble, 0.0f);  // the table itself never wobbles
}

}  // namespace

namespace {

// Every scene renderer draws the same frame on one thread and on three: the
// row of donuts seen down the corridor, overlapping, partly behind walls.
TEST_F(Sprites, FramesDoNotDependOnTheThreadCount) {
  for (int slot = kFirstSlot; slot < kFirstSlot + 5; ++slot) {
    std::vector<uint32_t> words(32 * 32);
    for (uint32_t i = 0; i < words.size(); ++i) words[i] = i % 7 == 0 ? kKey : 0xFF000000u + i * slot;
    set_picture(slot, 32, 32, words);
  }
  for (int c = 0; c < kFrameWidth; ++c) column_hits[c].distance = c % 200 < 50 ? 150.0f : kNoHitDistance;
  void (*const renderers[])() = {draw_sprites_scene1, draw_sprites_scene2, draw_sprites_scene3,
                                 draw_sprites_scene4};
  for (auto draw : renderers) {
    std::vector<uint32_t> frames[2];
    for (int k = 0; k < 2; ++k) {
      workers_set_threads(k == 0 ? 1 : 3);
      sprites_reset();
      camera_record().x = 1305;
      camera_record().y = 15;
      camera_record().heading = 1.5707964f;
      clock_use_virtual(57500, 0);  // sprite time 230: scene 2 tints its bands
      fb.pixels.assign(kFramePixelCount, kUnwritten);
      draw();
      frames[k] = fb.pixels;
    }
    EXPECT_GT(count_written(), 10000);
    EXPECT_TRUE(frames[0] == frames[1]);
  }
  workers_set_threads(0);
}

}  // namespace

namespace {

// One visible sprite drawn by the plain rule, column by column and row by
// row with every test per pixel: plain (scene 4) or stretched (scene 2, its
// bands past sprite time 225).
void draw_by_the_rule(const Sprite& s, bool stretched, float t, const Image& picture,
                      std::vector<uint32_t>& frame) {
  const Camera& cam = camera_record();
  float depth = static_cast<float>(std::cos(double(s.angle)) * double(s.distance));
  float size = static_cast<float>(double(64.0f / depth) * projection_distance);
  float half = size * 0.5f;
  float top = std::max(0.0f, 450 - half), bottom = std::min(900.0f, 450 + half);
  float u = static_cast<float>(std::atan2(double(s.y - cam.y), double(s.x - cam.x)) -
                               double(cam.heading));
  float sx = static_cast<float>(std::tan(double(u)) * projection_distance);
  float wd = stretched ? static_cast<float>(double(size) * 2.25) : size;
  float left = (sx + 800) - wd * 0.5f, right = left + wd;
  float w = float(picture.width), e = t - 220;
  float kx = stretched
                 ? static_cast<float>(std::sin(0.01 * double(e * w)) * 10 * 1.25 / double(wd) +
                                      std::cos(0.01 * double(e)) * 0.25)
                 : w / wd;
  const uint32_t* words = reinterpret_cast<const uint32_t*>(picture.pixels);
  for (int32_t c = std::max(to_int32(left), 1); c <= 1599 && float(c) < right; ++c) {
    int32_t tx = to_int32((float(c) - left) * kx);
    uint32_t mask = 0;
    if (stretched && t > 225 && c >= 20)
      mask = uint32_t(
          to_int32(double(0xFF3315A9u / uint32_t(c / 20)) - 20 * std::cos(0.1 * double(e))));
    for (int32_t r = to_int32(top); float(r) < bottom; ++r) {
      if (r < 1 || r > 899 || !(column_hits[c].distance > s.distance)) continue;
      int32_t ty =
          to_int32(float(to_int32((float(r) + half) - 450)) * (float(picture.height) / size));
      int64_t index = int64_t(ty) * picture.width + tx;
      if (index < 0 || index >= int64_t(picture.pixels_size / 4) || words[index] == kKey) continue;
      frame[size_t(r) * kFrameWidth + c] = mask | words[index];
    }
  }
}

// Random pictures with the key scattered and in whole rows, sprites from
// almost at the eye to far off centre, and walls hiding stretches of columns:
// the renderers leave the frame the plain rule leaves.
TEST_F(Sprites, RowWiseDrawingMatchesThePlainRule) {
  std::mt19937 random(13);
  EveryVectorTarget targets;
  int drawn_rounds = 0;
  for (int round = 0; round < 150; ++round) {
    uint32_t w = 1 + random() % 24, h = 1 + random() % 24;
    std::vector<uint32_t> words(size_t(w) * h);
    for (uint32_t& word : words) word = random() % 3 == 0 ? kKey : uint32_t(random());
    for (uint32_t y = 0; y < h; ++y)
      if (random() % 4 == 0) std::fill_n(words.begin() + y * w, w, kKey);
    set_picture(13, w, h, words);
    float distance = 2 + float(random() % 60000) / 100,
          direction = float(int(random() % 1400) - 700) / 1000;
    place_only(4, 1000 + distance * std::cos(direction), 1000 + distance * std::sin(direction));
    for (int c = 0; c < kFrameWidth;) {
      float wall = random() % 2 ? kNoHitDistance : float(random() % 700);
      for (int end = std::min(kFrameWidth, c + 1 + int(random() % 300)); c < end; ++c)
        column_hits[c].distance = wall;
    }
    bool stretched = random() % 2;
    uint32_t ms = random() % 2 ? 57500 : 56000;  // sprite time 230 (bands) or 224
    clock_use_virtual(ms, 0);
    fb.pixels.assign(kFramePixelCount, kUnwritten);
    std::vector<uint32_t> expected = fb.pixels;
    Sprite visible[kSpriteCount];
    if (collect_visible_sprites(visible) == 1)
      draw_by_the_rule(visible[0], stretched, scene_clock(ms), pictures[4].image, expected);
    for (const char* target : targets.names) {
      simd_choose(target);
      fb.pixels.assign(kFramePixelCount, kUnwritten);
      stretched ? draw_sprites_scene2() : draw_sprites_scene4();
      size_t differ = 0;
      for (size_t i = 0; i < expected.size(); ++i) differ += expected[i] != fb.pixels[i];
      EXPECT_EQ(differ, 0u) << "round " << round << ", " << w << "x" << h << " at " << distance
                            << ", " << target;
    }
    drawn_rounds += count_written() > 0;
  }
  EXPECT_GT(drawn_rounds, 75);
}

}  // namespace
