// The column renderers on hand-made column hits and a small picture whose
// pixels name their own column and row, so a wrong texture row or column shows.
#include "raycast/columns.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "common/framebuffer.h"
#include "common/image_table.h"
#include "common/numeric.h"
#include "common/simd_target.h"
#include "common/workers.h"
#include "platform/clock.h"
#include "png/image.h"
#include "raycast/camera.h"
#include "raycast/pattern_rows.h"
#include "raycast/pattern_tables.h"
#include "raycast/patterns.h"
#include "raycast/world.h"
#include "testkit/testkit.h"

namespace {

constexpr int kPictureWidth = 64;
constexpr int kPictureHeight = 32;
constexpr float kFacingRowZero = 4.712389f;

// Pixel (x, y) of the test picture: alpha E7, blue A5, green y, red x.
constexpr uint32_t picture_pixel(int x, int y) {
  return 0xE7A50000u | uint32_t(y) << 8 | uint32_t(x);
}

// A 64 x 32 RGBA picture put into one slot of image_table for the test's
// lifetime; a tint tells pictures apart (each pixel exclusive-ored with it).
struct TestPicture {
  explicit TestPicture(int slot_index, ImageFormat format = IMAGE_FMT_RGBA8, uint32_t tint = 0)
      : slot(slot_index) {
    bytes.resize(kPictureWidth * kPictureHeight * 4);
    for (int y = 0; y < kPictureHeight; ++y)
      for (int x = 0; x < kPictureWidth; ++x) {
        uint32_t p = picture_pixel(x, y) ^ tint;
        std::memcpy(&bytes[(y * kPictureWidth + x) * 4], &p, 4);
      }
    image = {};
    image.width = kPictureWidth;
    image.height = kPictureHeight;
    image.color_type = 6;
    image.bit_depth = 8;
    image.format = format;
    image.pixels = bytes.data();
    image.pixels_size = uint32_t(bytes.size());
    image_table[slot] = &image;
  }
  ~TestPicture() { image_table[slot] = nullptr; }
  int slot;
  std::vector<uint8_t> bytes;
  Image image;
};

// Every column sees nothing but column 800, which holds the worked example:
// camera at (100, 400) facing row 0, a horizontal hit on the cell of value 5
// at (100, 128), 272 units away.
class Columns : public ::testing::Test {
 protected:
  void SetUp() override {
    camera_reset();
    camera_record().x = 100;
    camera_record().y = 400;
    camera_record().heading = kFacingRowZero;
    for (int i = 0; i < kFrameWidth; ++i) column_hits[i] = no_hit(i);
    column_hits[800] = {kFacingRowZero, 100, 128, 272, 0, 5};
    clock_use_virtual(0);
    clock_reset_stats();
  }
  void TearDown() override {
    clock_use_real();
    camera_reset();
    for (ColumnHit& hit : column_hits) hit = {};
  }
  static ColumnHit no_hit(int column) {
    float angle = normalize_angle(
        static_cast<float>(std::atan((column - 800) / projection_distance) + kFacingRowZero));
    return {angle, 0, 0, kNoHitDistance, 0, 0};
  }
  uint32_t at(int x, int y) const { return frame.at(x, y); }
  ScopedFramebuffer frame;
};

TEST_F(Columns, WorkedExampleColumnWithRippleFloor) {
  TestPicture picture(4);
  draw_columns_intro1();
  // Wall rows 286 to 612 of texture column 36 (100 mod 64), the whole
  // picture height stretched over 326.033 rows.
  EXPECT_EQ(at(800, 285), 0xFFAF0030u);
  EXPECT_EQ(at(800, 286), picture_pixel(36, 0));
  EXPECT_EQ(at(800, 449), picture_pixel(36, 15));
  EXPECT_EQ(at(800, 612), picture_pixel(36, 31));
  EXPECT_EQ(at(800, 613), 0x023FAD96u);
  // Columns without a wall split at the centre row.
  EXPECT_EQ(at(0, 449), 0xFFAF0030u);
  EXPECT_EQ(at(0, 450), 0xFDC053EAu);
  EXPECT_EQ(at(0, 0), 0xFFAF0030u);
  EXPECT_EQ(at(1599, 899),
            uint32_t(to_int32(std::tan(2.0) * 100 - std::atan(1599 & 899) * 40)) ^ 0xFDC05371u);
  EXPECT_EQ(clock_stats().readings, 0u);
}

TEST_F(Columns, MissingOrForeignPictureLeavesWallRowsUnwritten) {
  {
    draw_columns_intro1();
    for (int k = 286; k < 613; ++k) ASSERT_EQ(at(800, k), kFrameClearColour) << k;
    EXPECT_EQ(at(800, 285), 0xFFAF0030u);
    EXPECT_EQ(at(800, 613), 0x023FAD96u);
  }
  TestPicture grey(4, IMAGE_FMT_GREY8);
  frame.pixels.assign(kFramePixelCount, kFrameClearColour);
  draw_columns_scene4();
  for (int k = 286; k < 613; ++k) ASSERT_EQ(at(800, k), kFrameClearColour) << k;
  EXPECT_EQ(at(800, 285), 0xFFAF0030u);
}

TEST_F(Columns, WallsPastTheFrameShowTheMiddleOfThePicture) {
  TestPicture picture(4);
  column_hits[800].distance = 32;                                   // 2771 rows high
  column_hits[801] = {column_hits[801].angle, 101, 128, 0, 0, 5};   // the eye on the face
  column_hits[802] = {column_hits[802].angle, 102, 128, -5, 0, 5};  // a negative height
  draw_columns_scene4();
  EXPECT_EQ(at(800, 0), picture_pixel(36, 10));
  EXPECT_EQ(at(800, 450), picture_pixel(36, 15));
  EXPECT_EQ(at(800, 899), picture_pixel(36, 21));
  // An infinite height: every row of the column is wall, from the
  // picture's first row.
  EXPECT_EQ(at(801, 0), picture_pixel(37, 0));
  EXPECT_EQ(at(801, 899), picture_pixel(37, 0));
  // A negative height draws no wall: sky and floor meet at the centre.
  EXPECT_EQ(at(802, 449), 0xFFAF0030u);
  EXPECT_EQ(at(802, 450),
            uint32_t(to_int32(std::tan(2.0) * 100 - std::atan(802 & 112) * 40)) ^ 0xFDC05371u);
}

TEST_F(Columns, BreathingWallsReadTheClockPerColumnAndSwayOutOfThePicture) {
  TestPicture picture(4);
  // Column 0 (band 0) at 0 ms sways by -5: texture column -5 runs into the
  // previous picture row, and before the first one it clamps to pixel 0.
  column_hits[0] = {column_hits[0].angle, 0, 0, 272, 1, 5};
  // Column 75 (band 3) at 708 ms sways by +4.99..: 63 becomes 67, into the
  // next row, and past the last one it clamps to the last pixel.
  column_hits[75] = {column_hits[75].angle, 0, 63, 272, 1, 5};
  draw_columns_intro2();
  EXPECT_EQ(clock_stats().readings, 1600u);
  // 567.82 x 64 / 272 = 133.6 rows: 383 to 515.
  EXPECT_EQ(at(0, 382), 0xFFAF0030u);
  EXPECT_EQ(at(0, 383), picture_pixel(0, 0));
  EXPECT_EQ(at(0, 388), picture_pixel(0, 0));
  EXPECT_EQ(at(0, 389), picture_pixel(59, 0));
  EXPECT_EQ(at(0, 515), picture_pixel(59, 30));
  clock_use_virtual(708);
  frame.pixels.assign(kFramePixelCount, kFrameClearColour);
  draw_columns_intro2();
  EXPECT_EQ(at(75, 355), 0xFFAF0030u);
  EXPECT_EQ(at(75, 542), picture_pixel(63, 31));
  EXPECT_EQ(at(75, 538), picture_pixel(3, 31));
  EXPECT_EQ(at(75, 543),
            uint32_t(to_int32(std::tan(1.0) * 100 - std::atan(75 & 543) * 40)) ^ 0xFDC05371u);
}

TEST_F(Columns, SceneOneOpensWithoutWallsAndChangesAtItsThresholds) {
  TestPicture picture(4);
  // r = 100: tangent sky over the sine floor, no wall.
  clock_use_virtual(25000);
  draw_columns_scene1();
  EXPECT_EQ(clock_stats().readings, 1u);
  EXPECT_EQ(at(800, 613), 0x023B0656u);
  std::vector<uint32_t> with_picture = frame.pixels;
  image_table[4] = nullptr;
  frame.pixels.assign(kFramePixelCount, kFrameClearColour);
  draw_columns_scene1();
  EXPECT_EQ(frame.pixels, with_picture);
  image_table[4] = &picture.image;
  // The tangent sky's row k lands on row 2k - ((k / 2) & (i / 2)), leaving
  // some rows black: at column 0 only the even rows.
  EXPECT_EQ(at(0, 447), kFrameClearColour);
  EXPECT_EQ(at(0, 448), uint32_t(to_int32(2 * std::tan(double(100.0f / 150.0f) +
                                                       std::sin(0.1) * (112 * 20.0 / 25)))) ^
                            0xCAAFF9AAu);
  EXPECT_EQ(at(0, 449), kFrameClearColour);
  // r = 117 exactly: nothing at all.
  clock_use_virtual(29250);
  frame.pixels.assign(kFramePixelCount, kFrameClearColour);
  draw_columns_scene1();
  for (uint32_t p : frame.pixels) ASSERT_EQ(p, kFrameClearColour);
  // r = 112 exactly: walls not yet, nothing above them, the sine floor below.
  clock_use_virtual(28000);
  frame.pixels.assign(kFramePixelCount, kFrameClearColour);
  draw_columns_scene1();
  for (int k = 0; k < 450; ++k) ASSERT_EQ(at(0, k), kFrameClearColour) << k;
  EXPECT_NE(at(0, 450), kFrameClearColour);
}

TEST_F(Columns, SceneOneWallsBandedFloorAndDarkenedCloseWalls) {
  TestPicture picture(4);
  // A wall 5 units away is nearer than its ray's angle (radians): darkened.
  column_hits[801] = {6.0f, 101, 128, 5, 0, 5};
  camera_record().heading = 6.0f;
  for (int i = 0; i < kFrameWidth; ++i)
    if (i != 800 && i != 801) column_hits[i].angle = 6.0f;
  column_hits[800].angle = 6.0f;
  clock_use_virtual(30000);  // r = 120
  draw_columns_scene1();
  EXPECT_EQ(at(800, 286), picture_pixel(36, 0));
  EXPECT_EQ(at(800, 611), picture_pixel(36, 31));
  // 0xE7A5 0F 25 halved per colour byte, alpha kept.
  EXPECT_EQ(at(801, 0), 0xE7520712u);
  EXPECT_EQ(at(801, 450), 0xE7520712u);
  EXPECT_EQ(at(801, 899), 0xE7520812u);
  // Below the wall (row 613 on) the banded floor skips rows 4n + 2 and
  // 4n + 3; row 613 (4n + 1) gets the value of row 615.
  for (int j = 613; j < 900; ++j) {
    bool skipped = (j & 2) != 0;
    ASSERT_EQ(at(800, j) == kFrameClearColour, skipped) << j;
  }
  EXPECT_EQ(at(800, 613),
            uint32_t(to_int32(std::tan(2.0) * 100 - 5 * ((2 * 615) & 800))) & 0xFDC05371u);
  // Floor row 614 lands on the last wall row.
  EXPECT_EQ(at(800, 612),
            uint32_t(to_int32(std::tan(2.0) * 100 - 5 * ((2 * 614) & 800))) & 0xFDC05371u);
  // Without a wall the floor starts at row 450 = 4 x 112 + 2, and its first
  // two rows land on the sky's rows 448 and 449.
  EXPECT_EQ(at(0, 448),
            uint32_t(to_int32(std::tan(1.0) * 100 - 5 * ((2 * 450) & 0))) & 0xFDC05371u);
  EXPECT_EQ(at(0, 450), kFrameClearColour);
  // The sine sky, from row 0.
  float d = (120.0f / 200.0f) * float(2 * 10) + 1.0f;
  float u = 1.0f - float(5 * 7) / d;
  uint32_t wave = uint32_t(std::abs(to_int32(50.0 * std::sin(double(u)))));
  EXPECT_EQ(at(7, 10), wave + 4 * (10 & 7));
  EXPECT_EQ(at(7, 60),
            (uint32_t(std::abs(to_int32(
                 50.0 * std::sin(double(1.0f - 35.0f / ((120.0f / 200.0f) * 120.0f + 1.0f)))))) +
             4 * (60 & 7)) ^
                0xFDC4F371u);
}

TEST_F(Columns, SceneTwoSlidesHorizontalFacesWithTheClock) {
  TestPicture picture(4);
  column_hits[800].hit_x = 600;
  column_hits[700] = {column_hits[700].angle, 0, 100, 272, 1, 5};
  clock_use_virtual(65000);
  draw_columns_scene2();
  // One reading per horizontal column: every column but 700.
  EXPECT_EQ(clock_stats().readings, 1599u);
  // 600 - 650 = -50: runs into the previous picture row at column 14, and
  // before the first row clamps to pixel 0.
  EXPECT_EQ(at(800, 286), picture_pixel(0, 0));
  EXPECT_EQ(at(800, 449), picture_pixel(14, 14));
  EXPECT_EQ(at(800, 612), picture_pixel(14, 30));
  EXPECT_EQ(at(700, 449), picture_pixel(36, 15));
  EXPECT_EQ(at(800, 285), 0xCAAFF9AAu);
  EXPECT_EQ(at(800, 613), 0xFDC4F371u);
  EXPECT_EQ(at(0, 0), 0xCAAFF9AAu);
  EXPECT_EQ(at(0, 899), 0xFDC4F371u);
}

// Walls in every column, of every height from a sliver to past the frame
// (the eye on the face of some), sliding out of the picture on both sides,
// with some columns short of a picture, some on a second picture and some
// darkened: the blocks' fast paths, with every vector target, against the plain
// per-pixel rule, in scene 2 (solid fills) and scene 1 (dark walls).
TEST_F(Columns, WallsInEveryColumnEqualThePlainRule) {
  constexpr uint32_t kSecondTint = 0x00300000u;
  TestPicture picture(4), second(6, IMAGE_FMT_RGBA8, kSecondTint);
  for (int i = 0; i < kFrameWidth; ++i) {
    float distance = float(3 + (i * 37) % 700) * (i % 97 == 0 ? 0.01f : i % 401 == 0 ? 0 : 1);
    int32_t cell = i % 53 == 0 ? 3 : i % 29 == 0 ? 7 : 5;
    column_hits[i] = {6.0f, float(i % 200), float(i % 91), distance, uint8_t(i % 3 == 0), cell};
  }
  camera_record().heading = 6.0f;
  auto expect_plain_walls = [&](uint32_t ms, bool dark, int rows_short) {
    for (int i = 0; i < kFrameWidth; ++i) {
      const ColumnHit& h = column_hits[i];
      float ratio = 64.0f / static_cast<float>(std::cos(double(h.angle - 6.0f)) * h.distance);
      float height = static_cast<float>(double(ratio) * projection_distance);
      float half = height * 0.5f;
      int top = 450.0f - half > 0 ? to_int32(450.0f - half) : 0;
      int bottom = half + 450.0f < 900.0f ? to_int32(half + 450.0f) : 900;
      int32_t column = h.vertical ? to_int32(h.hit_y) % 64
                       : dark     ? to_int32(h.hit_x) % 64
                                  : to_int32(double(h.hit_x) - 0.01 * ms) % 64;
      float scale = float(kPictureHeight) / height;
      for (int k = top; k < bottom - rows_short; ++k) {
        int64_t index = column + int64_t(kPictureWidth) *
                                     to_int32(float(to_int32(float(k) + half - 450.0f)) * scale);
        index = std::clamp<int64_t>(index, 0, kPictureWidth * kPictureHeight - 1);
        uint32_t p = picture_pixel(int(index % kPictureWidth), int(index / kPictureWidth));
        if (h.cell == 7) p ^= kSecondTint;
        if (dark && h.angle > h.distance) p = (p & 0xFF000000u) | ((p >> 1) & 0x007F7F7Fu);
        if (h.cell == 3) p = kFrameClearColour;
        ASSERT_EQ(at(i, k), p) << "column " << i << ", row " << k;
      }
      if (dark) continue;
      if (top > 0) {
        ASSERT_EQ(at(i, top - 1), 0xCAAFF9AAu) << i;
      }
      if (bottom < 900) {
        ASSERT_EQ(at(i, bottom), 0xFDC4F371u) << i;
      }
    }
  };
  EveryVectorTarget targets;
  for (const char* target : targets.names) {
    SCOPED_TRACE(target);
    simd_choose(target);
    frame.pixels.assign(kFramePixelCount, kFrameClearColour);
    clock_use_virtual(65000);
    draw_columns_scene2();
    expect_plain_walls(65000, false, 0);
    frame.pixels.assign(kFramePixelCount, kFrameClearColour);
    clock_use_virtual(30000);  // r = 120: dark walls; the banded floor takes two wall rows
    draw_columns_scene1();
    expect_plain_walls(30000, true, 2);
  }
}

TEST_F(Columns, SceneThreeTextureColumnsByTime) {
  TestPicture picture(4);
  column_hits[700] = {column_hits[700].angle, 0, 100, 272, 1, 5};
  auto frame_at = [&](uint32_t ms) {
    clock_use_virtual(ms);
    clock_reset_stats();
    frame.pixels.assign(kFramePixelCount, kFrameClearColour);
    draw_columns_scene3();
  };
  // r exactly 340 and exactly 400: the plain column, one clock reading.
  for (uint32_t ms : {85000u, 100000u}) {
    frame_at(ms);
    EXPECT_EQ(clock_stats().readings, 1u);
    EXPECT_EQ(at(800, 449), picture_pixel(36, 15));
    EXPECT_EQ(at(700, 449), picture_pixel(36, 15));
  }
  // r = 360: 0.15 cos(128) + 100 - 90 = 9.896, read per horizontal column.
  frame_at(90000);
  EXPECT_EQ(clock_stats().readings, 1u + 1599u);
  EXPECT_EQ(at(800, 449), picture_pixel(9, 15));
  EXPECT_EQ(at(700, 449), picture_pixel(36, 15));
  // r = 401: 1.875 sin(128) + 100 + 401 = 502.35, column 502 mod 64 = 54.
  frame_at(100250);
  EXPECT_EQ(clock_stats().readings, 1u);
  EXPECT_EQ(at(800, 449), picture_pixel(54, 15));
  EXPECT_EQ(at(700, 449), picture_pixel(36, 15));
  EXPECT_EQ(at(800, 285), 0xCAAFF9AAu);
  EXPECT_EQ(at(800, 613), 0xFDC4F371u);
}

TEST_F(Columns, SceneFourQuarterRippleFloor) {
  TestPicture picture(4);
  draw_columns_scene4();
  EXPECT_EQ(at(800, 449), picture_pixel(36, 15));
  EXPECT_EQ(at(801, 700),
            uint32_t(to_int32(std::tan(2.0) * 100 - std::atan(801 & 175) * 40)) ^ 0xFDC05371u);
  EXPECT_EQ(at(0, 0), 0xFFAF0030u);
}

// The patterns evaluated pixel by pixel the way their formulas read, with the
// library's tan, atan and sin, to hold the fast patterns to, one column at a
// time down the frame.
namespace direct {

uint32_t* pixel(uint32_t* column, int row) { return column + size_t(row) * kFrameWidth; }

int32_t ripple(int i, int j, int m) {
  return to_int32(std::tan(double(i / (j + 1) + 1)) * 100.0 - std::atan(double(m)) * 40.0);
}

void ripple_floor(uint32_t* c, int i, int first, int end, float) {
  for (int j = first; j < end; ++j) *pixel(c, j) = uint32_t(ripple(i, j, i & j)) ^ 0xFDC05371u;
}

void quarter_ripple_floor(uint32_t* c, int i, int first, int end, float) {
  for (int j = first; j < end; ++j)
    *pixel(c, j) = uint32_t(ripple(i, j, i & (j / 4))) ^ 0xFDC05371u;
}

void banded_floor(uint32_t* c, int i, int first, int end, float) {
  for (int j = first; j < end; ++j) {
    int32_t v = to_int32(std::tan(double(i / (j + 1) + 1)) * 100.0 - 5.0 * ((2 * j) & i));
    *pixel(c, j & 0xDFC053FD) = uint32_t(v) & 0xFDC05371u;
  }
}

uint32_t sine(float d, int row, int i) {
  float u = 1.0f - float(5 * i) / d;
  // |INT32_MIN| taken in 64 bits: 2^31, which the pixel keeps modulo 2^32
  int64_t wave = to_int32(50.0 * std::sin(double(u)));
  return uint32_t(std::abs(wave)) + 4 * uint32_t(row & i);
}

void sine_floor(uint32_t* c, int i, int first, int end, float r) {
  for (int j = first; j < end; ++j)
    *pixel(c, j) = sine(float(2 * j) * (r / 200.0f) + 1.0f, j, i) ^ (uint32_t(j) + 0x23B0C8Fu);
}

void sine_sky(uint32_t* c, int i, int first, int end, float r) {
  for (int k = first; k < end; ++k)
    *pixel(c, k) =
        sine((r / 200.0f) * float(2 * k) + 1.0f, k, i) ^ (uint32_t(k / 50) * 0xFDC4F371u);
}

int32_t tangent(float r, int k, int i) {
  return to_int32(2.0 * std::tan(double(r / 150.0f) +
                                 std::sin(0.001 * r) * ((0.5 * k - 0.1 * i) * 20.0 / 25.0)));
}

void tangent_sky(uint32_t* c, int i, int first, int end, float r) {
  for (int k = first; k < end; ++k)
    *pixel(c, 2 * k - ((k / 2) & (i / 2))) = uint32_t(tangent(r, k, i)) ^ 0xCAAFF9AAu;
}

void masked_tangent_sky(uint32_t* c, int i, int first, int end, float r) {
  for (int k = first; k < end; ++k)
    *pixel(c, 2 * k - ((k / 2) & (i / 2))) = uint32_t(tangent(r, k, i)) & 0xFAAAF900u;
}

}  // namespace direct

struct PatternCase {
  const char* name;
  BlockPattern fast;
  void (*direct)(uint32_t*, int, int, int, float);
  bool sky;
  std::vector<float> r;
};

// Whole frames of every pattern: all rows of every column, and then ranges
// that vary from column to column the way walls cut them (and floors that
// stop short of the last row, each of the four rows of a band). The sine
// patterns also at a negative clock, whose divisors pass through 0 and give
// arguments beyond the fast sine's limit; with every vector target.
TEST(Patterns, EqualTheirFormulasPixelForPixel) {
  const PatternCase cases[] = {
      {"ripple floor", fill_ripple_floor, direct::ripple_floor, false, {0}},
      {"quarter ripple floor", fill_quarter_ripple_floor, direct::quarter_ripple_floor, false, {0}},
      {"banded floor", fill_banded_floor, direct::banded_floor, false, {120}},
      {"sine floor", fill_sine_floor, direct::sine_floor, false, {80.8f, 100, 116.996f, -50}},
      {"sine sky", fill_sine_sky, direct::sine_sky, true, {117.004f, 160, 203.996f, -50}},
      {"tangent sky", fill_tangent_sky, direct::tangent_sky, true, {80.8f, 96, 111.996f}},
      {"masked tangent sky",
       fill_masked_tangent_sky,
       direct::masked_tangent_sky,
       true,
       {112.004f, 114.4f, 116.996f}},
  };
  std::vector<uint32_t> fast(kFramePixelCount), expected(kFramePixelCount);
  EveryVectorTarget targets;
  for (const char* target : targets.names)
    for (const PatternCase& c : cases)
      for (float r : c.r)
        for (bool varied : {false, true}) {
          simd_choose(target);
          PatternFrame frame = pattern_frame(r);
          fast.assign(kFramePixelCount, kFrameClearColour);
          expected.assign(kFramePixelCount, kFrameClearColour);
          for (int block = 0; block < kFrameWidth; block += kBlockColumns) {
            BlockSpans spans;
            spans.first_column = block;
            for (int lane = 0; lane < kBlockColumns; ++lane) {
              int i = block + lane, &first = spans.first[lane], &end = spans.end[lane];
              first = c.sky ? 0 : varied ? (i * 7919) % 901 : 0;
              end = c.sky ? (varied ? (i * 104729) % 451 : 450) : (varied ? 900 - i % 8 : 900);
              c.direct(expected.data() + i, i, first, end, r);
            }
            c.fast(fast.data() + block, kFrameWidth, spans, frame);
          }
          size_t mismatch = 0;
          while (mismatch < kFramePixelCount && fast[mismatch] == expected[mismatch]) ++mismatch;
          ASSERT_EQ(mismatch, kFramePixelCount)
              << c.name << " at r = " << r << (varied ? ", varied rows" : "")
              << ", " << target << ": pixel ("
              << mismatch % kFrameWidth << ", " << mismatch / kFrameWidth << ") is " << std::hex
              << fast[mismatch] << ", formula gives " << expected[mismatch];
        }
}

// The fast sine reads most values by cell: every float of 80 turns at the
// sine patterns' far end (-8000 .. -7500), and every sixteenth float of
// -40 .. -32, truncate as the library's sine does.
TEST(Patterns, FastSineEqualsTheLibrary) {
  prepare_pattern_tables();
  auto check = [](float from, float to, int stride) {
    for (float u = from; u < to;) {
      ASSERT_EQ(fifty_sine(u), to_int32(50.0 * std::sin(double(u)))) << "u = " << u;
      for (int s = 0; s < stride; ++s) u = std::nextafter(u, to);
    }
  };
  check(-8000.0f, -7500.0f, 1);
  check(-40.0f, -32.0f, 16);
}

// Both divisions by a row's reciprocal, the 64-bit one and the one of 32-bit
// lanes, give i / (j + 1) for every column i and row j.
TEST(Patterns, ReciprocalsDivideEveryColumnByEveryRow) {
  prepare_pattern_tables();
  for (int j = 0; j < kFrameHeight; ++j) {
    uint32_t m = row_reciprocal(j);
    for (int i = 0; i < kFrameWidth; ++i) {
      ASSERT_EQ(column_over_row(i, j), i / (j + 1)) << i << " / " << j + 1;
      ASSERT_EQ((uint32_t(i) * m) >> kRowReciprocalBits, uint32_t(i / (j + 1)))
          << i << " / " << j + 1;
    }
  }
}

// The sine rows of the frame's last block with every float divisor from 1
// to 1.0625, with every vector target: each lane's argument sweeps its share of the far
// end (-7994 .. -7450), where the polynomial reduces by pi the most.
TEST(Patterns, SineRowsEqualTheLibraryOverEveryDivisor) {
  BlockSpans spans;
  spans.first_column = kFrameWidth - kBlockColumns;
  std::fill(spans.first, spans.first + kBlockColumns, 0);
  std::fill(spans.end, spans.end + kBlockColumns, kFrameHeight);
  const std::vector<uint32_t> keys(kFrameHeight, 0);
  std::vector<uint32_t> rows(kBlockColumns * kFrameHeight);
  EveryVectorTarget targets;
  for (const char* target : targets.names) {
    simd_choose(target);
    PatternFrame frame = pattern_frame(0);
    for (float d = 1.0f; d < 1.0625f;) {
      for (float& depth : frame.sine_depth) {
        depth = d;
        d = std::nextafter(d, 2.0f);
      }
      sine_wave_rows(rows.data(), kBlockColumns, spans, frame, keys.data());
      for (int row = 0; row < kFrameHeight; ++row)
        for (int c = 0; c < kBlockColumns; ++c)
          ASSERT_EQ(rows[size_t(row * kBlockColumns + c)],
                    direct::sine(frame.sine_depth[row], row, spans.first_column + c))
              << "divisor " << frame.sine_depth[row] << ", column " << c
              << ", " << target;
    }
  }
}

}  // namespace

namespace {

// The rays and every column renderer give the same frame on one thread and
// on three, and with every vector target, with the clock advancing on every
// reading so that the per-column readings of intro 2 and scenes 2 and 3 show
// their order.
TEST(ColumnThreads, FramesAndReadingsDoNotDependOnTheThreadCountOrVectorWidth) {
  TestPicture pictures[] = {TestPicture(0), TestPicture(4), TestPicture(8), TestPicture(14)};
  ScopedFramebuffer frame;
  struct Run {
    void (*draw)();
    uint32_t ms;
    float x, y, heading;
  };
  const Run runs[] = {
      {draw_columns_intro1, 12000, 600, 587, 5.27f},
      {draw_columns_intro2, 18000, 600, 571.5f, 4.0f},
      {draw_columns_scene1, 24000, 106.6f, 400, kFacingRowZero},
      {draw_columns_scene1, 40000, 100.5f, 400, kFacingRowZero},
      {draw_columns_scene2, 60000, 700, 300, kFacingRowZero},
      {draw_columns_scene3, 90000, 1305, 366, 1.5707964f},
      {draw_columns_scene4, 116000, 147, 1015.7f, kFacingRowZero},
  };
  // the best target on one thread and on three, then each other one on one
  EveryVectorTarget targets;
  const size_t drawings = targets.names.size() + 1;
  for (const Run& run : runs) {
    std::vector<std::vector<uint32_t>> frames(drawings);
    std::vector<std::vector<ColumnHit>> hits(drawings);
    std::vector<uint32_t> readings(drawings);
    for (size_t k = 0; k < drawings; ++k) {
      workers_set_threads(k == 1 ? 3 : 1);
      simd_choose(targets.names[k < 2 ? 0 : k - 1]);
      camera_reset();
      camera_record().x = run.x;
      camera_record().y = run.y;
      camera_record().heading = run.heading;
      cast_all_rays();
      hits[k].assign(column_hits, column_hits + kFrameWidth);
      clock_use_virtual(run.ms, 1);
      clock_reset_stats();
      frame.pixels.assign(kFramePixelCount, kFrameClearColour);
      run.draw();
      readings[k] = clock_stats().readings;
      frames[k] = frame.pixels;
    }
    for (int i = 0; i < kFrameWidth; ++i) {
      const ColumnHit &a = hits[0][size_t(i)], &b = hits[1][size_t(i)];
      ASSERT_TRUE(a.angle == b.angle && a.hit_x == b.hit_x && a.hit_y == b.hit_y &&
                  a.distance == b.distance && a.vertical == b.vertical && a.cell == b.cell)
          << run.ms << ", column " << i;
    }
    EXPECT_EQ(readings[0], readings[1]) << run.ms;
    for (size_t k = 1; k < drawings; ++k)
      EXPECT_TRUE(frames[0] == frames[k]) << run.ms << ", " << targets.names[k < 2 ? 0 : k - 1];
  }
  workers_set_threads(0);
  clock_use_real();
  camera_reset();
}

}  // namespace
