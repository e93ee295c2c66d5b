// The camera step on the virtual clock: pacing and elapsed time, the timeline
// windows and their gaps, the paths' first frames, collision, and the whole
// show's choreography with a hash of every frame's rays.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "common/numeric.h"
#include "common/timeline.h"
#include "platform/clock.h"
#include "raycast/camera.h"
#include "raycast/world.h"

namespace {

class CameraStep : public testing::Test {
 protected:
  void SetUp() override {
    camera_reset();
    clock_use_virtual(0, 0);
    clock_reset_stats();
  }
  void TearDown() override { clock_use_real(); }

  // One camera step starting at clock ms, elapsed_ms after the last one.
  void step_at(uint32_t ms, uint32_t elapsed_ms) {
    cam.last_frame_ticks = ms - elapsed_ms;
    clock_set(ms);
    update_camera();
  }

  Camera& cam = camera_record();
};

void expect_same_camera(const Camera& a, const Camera& b) {
  EXPECT_EQ(a.x, b.x);
  EXPECT_EQ(a.y, b.y);
  EXPECT_EQ(a.heading, b.heading);
  EXPECT_EQ(a.path_progress, b.path_progress);
  EXPECT_EQ(a.path1_pending, b.path1_pending);
  EXPECT_EQ(a.path2_pending, b.path2_pending);
  EXPECT_EQ(a.path3_pending, b.path3_pending);
  EXPECT_EQ(a.path4_pending, b.path4_pending);
}

}  // namespace

TEST_F(CameraStep, ValuesAtLoad) {
  EXPECT_EQ(cam.x, 600.0f);
  EXPECT_EQ(cam.y, 600.0f);
  EXPECT_EQ(cam.turn_dir, 0);
  EXPECT_EQ(cam.move_dir, 0);
  EXPECT_EQ(cam.heading, 6.2831855f);
  EXPECT_EQ(cam.move_speed, 45.0f);
  EXPECT_EQ(cam.turn_speed, 0.87266463f);
  EXPECT_EQ(cam.path_progress, 0.0f);
  EXPECT_TRUE(cam.path1_pending && cam.path2_pending && cam.path3_pending && cam.path4_pending);
  EXPECT_EQ(cam.last_frame_ticks, 0u);
}

TEST_F(CameraStep, PacingSleepsTheRestOf16Ms) {
  // T = 99.5 lies between windows, so only the general move acts: with
  // move_dir 1 along +x the camera moves 45 x dt, which shows dt.
  cam.heading = 0.0f;
  cam.move_dir = 1;

  step_at(19900, 5);
  ClockStats stats = clock_stats();
  EXPECT_EQ(stats.readings, 4u);
  EXPECT_EQ(stats.sleeps, 1u);
  EXPECT_EQ(stats.last_sleep_ms, 11u);
  EXPECT_EQ(cam.last_frame_ticks, 19911u);
  EXPECT_NEAR(cam.x, 600.72, 1e-4);

  clock_reset_stats();
  cam.x = 600.0f;
  step_at(19900, 16);
  EXPECT_EQ(clock_stats().readings, 4u);
  EXPECT_EQ(clock_stats().sleeps, 0u);
  EXPECT_EQ(cam.last_frame_ticks, 19900u);
  EXPECT_NEAR(cam.x, 600.72, 1e-4);

  cam.x = 600.0f;
  step_at(19900, 20);
  EXPECT_EQ(clock_stats().sleeps, 0u);
  EXPECT_NEAR(cam.x, 600.9, 1e-4);

  // No time at all since the last frame: a full 16 ms sleep.
  cam.x = 600.0f;
  step_at(19900, 0);
  EXPECT_EQ(clock_stats().sleeps, 1u);
  EXPECT_EQ(clock_stats().last_sleep_ms, 16u);
  EXPECT_NEAR(cam.x, 600.72, 1e-4);
}

TEST_F(CameraStep, PacingAcrossTheClockWrap) {
  step_at(3, 5);  // last_frame_ticks 0xFFFFFFFE
  EXPECT_EQ(clock_stats().last_sleep_ms, 11u);
  EXPECT_EQ(cam.last_frame_ticks, 14u);
  EXPECT_NEAR(cam.path_progress, 0.0018, 1e-10);  // dt = 0.016
}

TEST_F(CameraStep, FirstFrameMeasuresFromStartUp) {
  // At load last_frame_ticks is 0, so dt is the whole start-up.
  clock_set(3000);
  update_camera();
  EXPECT_EQ(clock_stats().sleeps, 0u);
  EXPECT_EQ(cam.path_progress, 0.3375f);  // 3 s x 3.75 x 0.03
}

TEST_F(CameraStep, TurnsAndNormalisesTheHeading) {
  step_at(19900, 16);
  EXPECT_EQ(cam.heading, normalize_angle(6.2831855f));  // about 1.75e-7
  cam.heading = -0.1f;
  step_at(19900, 16);
  EXPECT_NEAR(cam.heading, 6.1831853, 1e-6);
  cam.heading = 1.0f;
  cam.turn_dir = -1;
  step_at(19900, 16);
  EXPECT_EQ(cam.heading, 1.0f - 0.87266463f * 0.016f);
}

TEST_F(CameraStep, WindowGapsLeaveTheCameraStill) {
  cam.x = 321.5f;
  cam.y = 654.25f;
  cam.heading = 2.5f;
  cam.path_progress = 3.0f;
  const Camera before = cam;
  // T = 99, 99.5, 100, 255, 255.5, 256, 320, 530, 530.5, 531
  for (uint32_t ms : {19800u, 19900u, 20000u, 51000u, 51100u, 51200u, 64000u, 106000u, 106100u,
                      106200u}) {
    SCOPED_TRACE(testing::Message() << "ms " << ms);
    step_at(ms, 16);
    expect_same_camera(cam, before);
  }
}

TEST_F(CameraStep, EachWindowStartsItsPathOnce) {
  struct Start {
    uint32_t ms;  // first millisecond of the window
    bool Camera::*pending;
    float x, y, heading;
  };
  const Start starts[] = {
      {20001, &Camera::path1_pending, 100.0f, 400.0f, 4.712389f},
      {51201, &Camera::path2_pending, 700.0f, 300.0f, 4.712389f},
      {64001, &Camera::path3_pending, 1305.0f, 15.0f, 1.5707964f},
      {106201, &Camera::path4_pending, 100.0f, 1015.0f, 4.712389f},
  };
  for (const Start& start : starts) {
    SCOPED_TRACE(testing::Message() << "ms " << start.ms);
    cam.path_progress = 7.0f;
    step_at(start.ms, 16);  // p from 0 to 0.0019: a hair from the start point
    EXPECT_FALSE(cam.*start.pending);
    EXPECT_EQ(cam.heading, start.heading);
    EXPECT_NEAR(cam.x, start.x, 3e-4);
    EXPECT_NEAR(cam.y, start.y, 3e-4);
    EXPECT_EQ(cam.path_progress, 0.0019f);
  }
  // The intro path runs right up to T = 99 from wherever the camera is.
  camera_reset();
  step_at(19799, 16);
  EXPECT_NE(cam.y, 600.0f);
}

TEST_F(CameraStep, Path1FirstFrameAndLaterVisit) {
  step_at(20016, 16);  // T = 100.08, dt = 0.016
  EXPECT_FALSE(cam.path1_pending);
  EXPECT_EQ(cam.heading, 4.712389f);
  EXPECT_EQ(cam.path_progress, 0.0019f);
  EXPECT_EQ(cam.x, 100.000214f);  // 100 + 0.111 x 0.0019, to the nearest float
  EXPECT_EQ(cam.y, 400.0f);
  EXPECT_EQ(column_hits[800].cell, 5);  // the rays of the moved camera
  EXPECT_EQ(column_hits[800].hit_y, 128.0f);

  // Once started, the path goes on from wherever the camera is.
  cam.x = 200.0f;
  step_at(20032, 16);
  EXPECT_EQ(cam.path_progress, 0.0038f);
  EXPECT_EQ(cam.x, 200.000427f);
}

TEST_F(CameraStep, Path2HoldsItsPlace) {
  for (uint32_t ms = 51216; ms < 51216 + 100 * 16; ms += 16) step_at(ms, 16);
  EXPECT_EQ(cam.x, 700.0f);
  EXPECT_EQ(cam.y, 300.0f);
  EXPECT_EQ(cam.heading, 4.712389f);
  EXPECT_NEAR(cam.path_progress, 0.19, 1e-5);
  EXPECT_EQ(column_hits[800].cell, 9);  // the cells of value 9 in row 1

  // A path repeats the general move after its own motion: with move_dir 1
  // the camera goes 45 x 0.016 towards row 0 twice in the frame.
  cam.move_dir = 1;
  step_at(51216 + 100 * 16, 16);
  EXPECT_NEAR(cam.y, 298.56, 1e-4);
}

TEST_F(CameraStep, ProgressStartsAgainAtItsCap) {
  // Path 1 under way: a progress that passes 15 moves nothing, and the frame
  // after sets it back to 0.
  step_at(20016, 16);
  cam.path_progress = 14.999f;
  const float x = cam.x, y = cam.y;
  step_at(20032, 16);
  EXPECT_NEAR(cam.path_progress, 15.0009, 1e-5);
  EXPECT_EQ(cam.x, x);
  EXPECT_EQ(cam.y, y);
  step_at(20048, 16);
  EXPECT_EQ(cam.path_progress, 0.0f);
  EXPECT_EQ(cam.x, x);

  // The intro path's cap is 5; x moves only while the progress is below 0.1.
  camera_reset();
  cam.path_progress = 4.9999f;
  step_at(16, 16);
  EXPECT_NEAR(cam.path_progress, 5.0017, 1e-5);
  EXPECT_EQ(cam.x, 600.0f);
  EXPECT_NEAR(cam.y, 600.0 - 0.025 * 5.0017, 1e-4);
  step_at(32, 16);
  EXPECT_EQ(cam.path_progress, 0.0f);
}

TEST_F(CameraStep, Path3StartsInsideTheTopWallLookingDown) {
  step_at(64016, 16);  // T = 320.08
  EXPECT_EQ(cam.x, 1305.0f);
  EXPECT_NEAR(cam.y, 15.000266, 1e-5);
  EXPECT_EQ(cam.heading, 1.5707964f);
  EXPECT_EQ(map_cell(cam.x, cam.y), 1);
  for (int i = 0; i < kFrameWidth; ++i)
    ASSERT_FALSE(ray_faces_up(column_hits[i].angle)) << "column " << i;
  EXPECT_EQ(column_hits[800].cell, 16);
  EXPECT_EQ(column_hits[800].hit_y, 960.0f);
}

TEST_F(CameraStep, TryMoveTestsOnlyTheDestination) {
  cam.x = 3190.0f;
  cam.y = 2000.0f;
  cam.heading = 0.0f;
  try_move(10.0);  // x = 3200: inside the bounds but beyond the grid
  EXPECT_EQ(cam.x, 3190.0f);
  try_move(20.0);  // x > 3200
  EXPECT_EQ(cam.x, 3190.0f);
  try_move(5.0);
  EXPECT_EQ(cam.x, 3195.0f);
  EXPECT_EQ(cam.y, 2000.0f);

  cam.x = 2000.0f;
  cam.y = 10.0f;
  cam.heading = 4.712389f;
  try_move(20.0);  // y < 0
  EXPECT_EQ(cam.y, 10.0f);
  try_move(10.0);  // y about 0 (sin is not quite -1) is inside
  EXPECT_NEAR(cam.y, 0.0f, 1e-6);
  EXPECT_EQ(cam.x, 2000.0f);

  cam.x = 100.0f;
  cam.y = 100.0f;
  cam.heading = 3.1415927f;
  try_move(50.0);  // into row 1, column 0: value 1
  EXPECT_EQ(cam.x, 100.0f);
  EXPECT_EQ(cam.y, 100.0f);

  cam.x = 600.0f;
  cam.y = 600.0f;
  cam.heading = 0.0f;
  try_move(600.0);  // into column 18's wall
  EXPECT_EQ(cam.x, 600.0f);
  try_move(700.0);  // past columns 18 and 19 into the corridor
  EXPECT_EQ(cam.x, 1300.0f);
}

namespace {

// Where the camera stood when each window's path had ended.
struct ShowEnds {
  Camera intro, path1, path2, path3, path4;
  uint64_t hits_hash;
  int frames;
};

// FNV-1a over the 32-bit words of every field of every column record.
uint64_t hash_column_hits(uint64_t hash) {
  for (const ColumnHit& hit : column_hits) {
    uint32_t words[6];
    std::memcpy(&words[0], &hit.angle, 4);
    std::memcpy(&words[1], &hit.hit_x, 4);
    std::memcpy(&words[2], &hit.hit_y, 4);
    std::memcpy(&words[3], &hit.distance, 4);
    words[4] = hit.vertical;
    std::memcpy(&words[5], &hit.cell, 4);
    for (uint32_t w : words) hash = (hash ^ w) * 0x100000001b3ull;
  }
  return hash;
}

// The next retrace of a 60 Hz display, in whole milliseconds.
uint32_t next_retrace(uint32_t ms) {
  uint32_t k = ms * 3 / 50 + 1;
  return (k * 50 + 2) / 3;
}

// The show's frame loop as far as the camera is concerned: the camera step,
// the shell's clock reading, and during the intro the sequencer's stamp of
// last_frame_ticks. With vsync, presentation waits for the next 60 Hz
// retrace; without it frames follow each other as fast as the pacing lets.
ShowEnds run_show(bool vsync) {
  camera_reset();
  clock_use_virtual(0, 0);
  Camera& cam = camera_record();
  ShowEnds ends = {};
  ends.hits_hash = 0xcbf29ce484222325ull;
  float t = 0.0f;
  while (!(t > 630)) {
    update_camera();
    ends.hits_hash = hash_column_hits(ends.hits_hash);
    ++ends.frames;
    t = timeline_position(clock_ticks());
    if (t < 100) cam.last_frame_ticks = clock_ticks();
    if (t <= 100) ends.intro = cam;
    if (t <= 256) ends.path1 = cam;
    if (t <= 320) ends.path2 = cam;
    if (t <= 530) ends.path3 = cam;
    ends.path4 = cam;
    if (vsync) clock_set(next_retrace(clock_ticks()));
  }
  clock_use_real();
  return ends;
}

// Exact values for comparing builds (scripts/bitexact.sh).
void print_ends(const char* name, const ShowEnds& ends) {
  std::printf("bitexact: %s frames %d hash %016" PRIx64 "\n", name, ends.frames, ends.hits_hash);
  const Camera* cams[] = {&ends.intro, &ends.path1, &ends.path2, &ends.path3, &ends.path4};
  for (const Camera* c : cams)
    std::printf("bitexact: %s camera %a %a %a %a\n", name, c->x, c->y, c->heading,
                c->path_progress);
  std::fflush(stdout);
}

}  // namespace

// Reference positions from the same choreography worked in double
// precision; the float run stays within 0.01 of them.
TEST(Choreography, WholeShowAtThePacingRate) {
  ShowEnds ends = run_show(false);
  print_ends("paced", ends);
  EXPECT_EQ(ends.frames, 7876);  // one frame every 16 ms until t passes 630

  EXPECT_NEAR(ends.intro.x, 600.069, 0.01);
  EXPECT_NEAR(ends.intro.y, 565.488, 0.01);
  EXPECT_NEAR(ends.intro.heading, 3.5222, 1e-3);

  EXPECT_NEAR(ends.path1.x, 495.849, 0.01);
  EXPECT_NEAR(ends.path1.y, 407.132, 0.01);
  EXPECT_EQ(ends.path1.heading, 4.712389f);

  EXPECT_EQ(ends.path2.x, 700.0f);
  EXPECT_EQ(ends.path2.y, 300.0f);
  EXPECT_NEAR(ends.path2.path_progress, 1.5181, 1e-3);

  EXPECT_EQ(ends.path3.x, 1305.0f);
  EXPECT_NEAR(ends.path3.y, 931.104, 0.01);
  EXPECT_EQ(ends.path3.heading, 1.5707964f);

  EXPECT_NEAR(ends.path4.x, 290.892, 0.01);
  EXPECT_NEAR(ends.path4.y, 1017.914, 0.01);
  EXPECT_EQ(ends.path4.heading, 4.712389f);
}

// At 60 frames a second the paths end where the show is made for them to:
// the intro at about (600, 567), path 1 at about (480, 407), path 3 at
// about y = 894 and path 4 at about (283, 1018).
TEST(Choreography, WholeShowAt60Hz) {
  ShowEnds ends = run_show(true);
  print_ends("60hz", ends);
  EXPECT_EQ(ends.frames, 7562);
  EXPECT_NEAR(ends.intro.x, 600.068, 0.01);
  EXPECT_NEAR(ends.intro.y, 566.948, 0.01);
  EXPECT_NEAR(ends.intro.heading, 3.639, 1e-3);
  EXPECT_NEAR(ends.path1.x, 479.819, 0.01);
  EXPECT_NEAR(ends.path1.y, 406.844, 0.01);
  EXPECT_EQ(ends.path3.x, 1305.0f);
  EXPECT_NEAR(ends.path3.y, 894.46, 0.01);
  EXPECT_EQ(ends.path3.heading, 1.5707964f);
  EXPECT_NEAR(ends.path4.x, 283.429, 0.01);
  EXPECT_NEAR(ends.path4.y, 1017.8, 0.01);
}
