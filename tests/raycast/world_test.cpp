// The world grid and the ray caster: cell lookup at and beyond the grid's
// edges, ray classification, and the hit records of known views.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "common/numeric.h"
#include "raycast/camera.h"
#include "raycast/world.h"

namespace {

void place_camera(float x, float y, float heading) {
  camera_reset();
  Camera& cam = camera_record();
  cam.x = x;
  cam.y = y;
  cam.heading = heading;
}

void expect_hit(int column, float hit_x, float hit_y, float distance, int vertical, int cell) {
  SCOPED_TRACE(testing::Message() << "column " << column);
  const ColumnHit& hit = column_hits[column];
  EXPECT_EQ(hit.hit_x, hit_x);
  EXPECT_EQ(hit.hit_y, hit_y);
  EXPECT_EQ(hit.distance, distance);
  EXPECT_EQ(hit.vertical, vertical);
  EXPECT_EQ(hit.cell, cell);
}

const float kNaN = std::numeric_limits<float>::quiet_NaN();

}  // namespace

TEST(WorldMap, CellsByRowAndColumn) {
  EXPECT_EQ(map_cell(0.0f, 0.0f), 1);
  EXPECT_EQ(map_cell(100.0f, 127.0f), 5);     // row 1, column 1
  EXPECT_EQ(map_cell(100.0f, 128.0f), 0);     // row 2
  EXPECT_EQ(map_cell(330.0f, 70.0f), 9);      // row 1, column 5
  EXPECT_EQ(map_cell(150.0f, 800.0f), 17);    // row 12, column 2: x picks the column
  EXPECT_EQ(map_cell(800.0f, 150.0f), 0);     // row 2, column 12
  EXPECT_EQ(map_cell(1305.0f, 975.0f), 16);   // row 15, column 20
  EXPECT_EQ(map_cell(1535.9f, 1087.9f), 1);   // last cell of the walled rectangle
  EXPECT_EQ(map_cell(1536.0f, 500.0f), 0);    // column 24
  EXPECT_EQ(map_cell(500.0f, 1088.0f), 0);    // row 17
  EXPECT_EQ(map_cell(3199.99f, 3199.99f), 0);  // row 49, column 49
  EXPECT_TRUE(cell_is_open(3199.0f, 2000.0f));
  EXPECT_FALSE(cell_is_open(1200.0f, 600.0f));
}

TEST(WorldMap, BeyondTheGridIsAWall) {
  EXPECT_EQ(map_cell(3200.0f, 500.0f), 1);  // column 50
  EXPECT_EQ(map_cell(500.0f, 3200.0f), 1);  // row 50
  EXPECT_EQ(map_cell(3200.0f, 3200.0f), 1);
  EXPECT_EQ(map_cell(-1.0f, 2000.0f), 1);   // a probe moved off the line at 0
  EXPECT_EQ(map_cell(2000.0f, -1.0f), 1);
  EXPECT_EQ(map_cell(-0.5f, 2000.0f), 1);   // floors to column -1
  EXPECT_EQ(map_cell(1e30f, 2000.0f), 1);
  EXPECT_EQ(map_cell(kNaN, 2000.0f), 1);
  EXPECT_FALSE(cell_is_open(3200.0f, 2000.0f));
  EXPECT_FALSE(cell_is_open(2000.0f, -1.0f));
}

TEST(RayCaster, FacingBoundaries) {
  EXPECT_TRUE(ray_faces_up(0.0f));
  EXPECT_FALSE(ray_faces_up(1e-7f));
  EXPECT_FALSE(ray_faces_up(3.1415925f));  // just below 3.14159265
  EXPECT_TRUE(ray_faces_up(3.1415927f));   // just above it
  EXPECT_TRUE(ray_faces_up(6.2831855f));

  EXPECT_FALSE(ray_faces_left(1.5707962f));
  EXPECT_TRUE(ray_faces_left(1.5707964f));  // above 1.570796325
  EXPECT_TRUE(ray_faces_left(4.7123885f));
  EXPECT_FALSE(ray_faces_left(4.712389f));  // above 4.7123889750000005
  EXPECT_FALSE(ray_faces_left(0.0f));
}

TEST(RayCaster, ViewFromTheStartLooksAlongX) {
  place_camera(600.0f, 600.0f, 6.2831855f);
  cast_all_rays();
  EXPECT_EQ(column_hits[800].angle, normalize_angle(6.2831855f));
  EXPECT_NEAR(column_hits[800].angle, 1.82e-7, 1e-9);
  expect_hit(800, 1152.0f, 600.0f, 552.0f, 1, 1);

  EXPECT_NEAR(column_hits[0].angle, 5.7596, 1e-4);
  EXPECT_EQ(column_hits[0].hit_x, 1152.0f);
  EXPECT_NEAR(column_hits[0].hit_y, 281.3, 0.1);
  EXPECT_NEAR(column_hits[0].distance, 637.4, 0.05);
  EXPECT_EQ(column_hits[0].vertical, 1);
  EXPECT_EQ(column_hits[0].cell, 1);

  EXPECT_NEAR(column_hits[1599].angle, 0.5231, 1e-4);
  EXPECT_EQ(column_hits[1599].hit_y, 960.0f);
  EXPECT_NEAR(column_hits[1599].hit_x, 1224.32, 0.01);
  EXPECT_EQ(column_hits[1599].vertical, 0);
  EXPECT_EQ(column_hits[1599].cell, 15);

  // Angles grow with the column, through the wrap at 2 pi in the middle.
  for (int i = 1; i < kFrameWidth; ++i) {
    if (i == 800) continue;
    EXPECT_GT(column_hits[i].angle, column_hits[i - 1].angle) << "column " << i;
  }
  EXPECT_LT(column_hits[800].angle, column_hits[799].angle);
}

TEST(RayCaster, ProbeLooksBeyondTheLine) {
  // Facing row 0 from (100, 400): the line at y = 128 is reported, but the
  // cell tested is the one above it (row 1, value 5), not row 2 below it.
  place_camera(100.0f, 400.0f, 4.712389f);
  cast_all_rays();
  expect_hit(800, 100.0f, 128.0f, 272.0f, 0, 5);
}

TEST(RayCaster, CornerTieGoesToTheHorizontalLine) {
  // Up and to the left at 45 degrees from (416, 416): both walks meet the
  // corner (384, 384), the horizontal line in front of value 3 (row 5,
  // column 6) and the vertical line in front of value 2 (row 6, column 5).
  place_camera(416.0f, 416.0f, 0.0f);
  ASSERT_EQ(map_cell(384.0f, 383.0f), 3);
  ASSERT_EQ(map_cell(383.0f, 384.0f), 2);
  cast_ray(7, 3.9269908f);
  expect_hit(7, 384.0f, 384.0f, static_cast<float>(std::sqrt(2048.0)), 0, 3);
}

TEST(RayCaster, AlongXOnlyTheVerticalWalkHits) {
  // a = 0: the horizontal walk starts at infinity and ends at once.
  place_camera(600.0f, 600.0f, 0.0f);
  cast_ray(3, 0.0f);
  EXPECT_EQ(column_hits[3].angle, 0.0f);
  expect_hit(3, 1152.0f, 600.0f, 552.0f, 1, 1);
}

TEST(RayCaster, StoresTheNormalisedAngle) {
  place_camera(600.0f, 600.0f, 0.0f);
  cast_ray(5, -0.1f);
  EXPECT_NEAR(column_hits[5].angle, 6.1831853, 1e-6);
  cast_ray(6, 7.0f);
  EXPECT_NEAR(column_hits[6].angle, 0.7168147, 1e-6);
  cast_ray(7, 6.2831853f);  // the upper end of the range
  EXPECT_EQ(column_hits[7].angle, normalize_angle(6.2831853f));
}

TEST(RayCaster, CameraInsideAWallSeesTheNearLines) {
  // (1305, 15) lies in row 0, column 20 (value 1). Looking left, slightly
  // down: the first vertical line, x = 1280, already borders row 0's wall.
  place_camera(1305.0f, 15.0f, 1.5707964f);
  cast_ray(0, 3.0f);
  EXPECT_EQ(column_hits[0].hit_x, 1280.0f);
  EXPECT_NEAR(column_hits[0].hit_y, 18.56, 0.01);
  EXPECT_NEAR(column_hits[0].distance, 25.25, 0.01);
  EXPECT_EQ(column_hits[0].vertical, 1);
  EXPECT_EQ(column_hits[0].cell, 1);

  // Looking up: the first horizontal line is y = 0 and its probe, moved to
  // -1, lies beyond the grid, which is a wall.
  cast_ray(1, 4.0f);
  EXPECT_NEAR(column_hits[1].hit_x, 1292.04, 0.01);
  EXPECT_EQ(column_hits[1].hit_y, 0.0f);
  EXPECT_NEAR(column_hits[1].distance, 19.82, 0.01);
  EXPECT_EQ(column_hits[1].vertical, 0);
  EXPECT_EQ(column_hits[1].cell, 1);

  // Looking down the corridor of column 20 to the cell of value 16.
  cast_all_rays();
  expect_hit(800, 1305.0f, 960.0f, 945.0f, 0, 16);
}

TEST(RayCaster, WalksStopAtTheGridEdges) {
  // In the open part of the grid the walks reach the lines at 3200 and 0;
  // the cells beyond them (index 50 and -1) are walls, never read from the map.
  place_camera(3000.0f, 3190.0f, 0.0f);
  cast_ray(0, 0.0f);
  expect_hit(0, 3200.0f, 3190.0f, 200.0f, 1, 1);
  cast_ray(1, 1.5707964f);
  expect_hit(1, 3000.0f, 3200.0f, 10.0f, 0, 1);

  place_camera(30.0f, 2000.0f, 0.0f);
  cast_ray(2, 3.1415927f);
  expect_hit(2, 0.0f, 2000.0f, 30.0f, 1, 1);
  place_camera(2000.0f, 30.0f, 0.0f);
  cast_ray(3, 4.712389f);
  expect_hit(3, 2000.0f, 0.0f, 30.0f, 0, 1);
}

TEST(RayCaster, OnlyScreenColumnsAreWritten) {
  // Outside 0-1599 nothing is written (the sanitizer build sees any stray write).
  place_camera(600.0f, 600.0f, 0.0f);
  column_hits[0] = {};
  column_hits[kFrameWidth - 1] = {};
  cast_ray(-1, 0.0f);
  cast_ray(kFrameWidth, 0.0f);
  expect_hit(0, 0.0f, 0.0f, 0.0f, 0, 0);
  expect_hit(kFrameWidth - 1, 0.0f, 0.0f, 0.0f, 0, 0);
}

TEST(RayCaster, OutsideTheWorldNothingIsMet) {
  place_camera(3300.0f, 3300.0f, 0.0f);
  cast_ray(9, 0.0f);
  expect_hit(9, 0.0f, 0.0f, kNoHitDistance, 0, 0);
  place_camera(kNaN, 600.0f, 0.0f);
  cast_ray(10, 1.0f);
  expect_hit(10, 0.0f, 0.0f, kNoHitDistance, 0, 0);
}

TEST(RayCaster, AllRaysMatchRaysCastOneByOne) {
  // cast_all_rays keeps the rays' directions while the heading stays and
  // looks up probe cells its own way; every record must still be what
  // cast_ray gives, bit for bit, through repeated, changed and signed-zero
  // headings and with walks that reach the grid's edges.
  struct View {
    float x, y, heading;
  };
  const View views[] = {{700.0f, 300.0f, 4.712389f},  {700.0f, 300.0f, 4.712389f},
                        {3000.0f, 3190.0f, 4.712389f}, {3000.0f, 3190.0f, 1.5707964f},
                        {30.0f, 2000.0f, -0.0f},       {30.0f, 2000.0f, 0.0f},
                        {1305.0f, 15.0f, 3.0f},        {700.0f, 300.0f, 4.712389f}};
  for (const View& view : views) {
    place_camera(view.x, view.y, view.heading);
    cast_all_rays();
    for (int i = 0; i < kFrameWidth; ++i) {
      ColumnHit all = column_hits[i];
      cast_ray(i, static_cast<float>(std::atan((i - kFrameWidth / 2) / projection_distance) +
                                     double(view.heading)));
      SCOPED_TRACE(testing::Message() << "heading " << view.heading << " column " << i);
      EXPECT_EQ(std::signbit(all.angle), std::signbit(column_hits[i].angle));
      EXPECT_EQ(all.angle, column_hits[i].angle);
      expect_hit(i, all.hit_x, all.hit_y, all.distance, all.vertical, all.cell);
    }
  }
}

TEST(RayCaster, TurnCosinesFollowTheTurn) {
  const float turns[] = {0.25f, 0.25f, -0.0f, 0.0f, -0.5f, 6.0f, kNaN, kNaN, 0.25f};
  for (float turn : turns) {
    double cosine = ray_fan_turn_cosine(5, turn);
    if (std::isnan(turn))
      EXPECT_TRUE(std::isnan(cosine));
    else
      EXPECT_EQ(cosine, std::cos(double(turn))) << turn;
  }
}
