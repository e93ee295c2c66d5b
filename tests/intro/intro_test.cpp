// The intro: its two primitives, the two words, the square with its outline,
// and the sequencer's timetable, on a framebuffer of the test's own and the
// virtual clock.
#include <gtest/gtest.h>

#include <climits>

#include "common/framebuffer.h"
#include "intro/intro.h"
#include "platform/clock.h"
#include "raycast/camera.h"
#include "testkit/testkit.h"

namespace {

constexpr uint32_t kBlack = 0xFF000000;
constexpr uint32_t kHelloGreen = 0xFF357925;
constexpr uint32_t kJubraGreen = 0xFF07C931;
constexpr uint32_t kSquareYellow = 0xFF50D0DF;
constexpr uint32_t kLineGreen = 0xFF359434;

struct Box {
  int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
  int count = 0;
};

Box box_of(const ScopedFramebuffer& fb, uint32_t colour) {
  Box b;
  for (int y = 0; y < kFrameHeight; ++y)
    for (int x = 0; x < kFrameWidth; ++x)
      if (fb.at(x, y) == colour) {
        b.left = std::min(b.left, x);
        b.right = std::max(b.right, x);
        b.top = std::min(b.top, y);
        b.bottom = std::max(b.bottom, y);
        ++b.count;
      }
  return b;
}

int count_not(const ScopedFramebuffer& fb, uint32_t colour) {
  int n = 0;
  for (uint32_t p : fb.pixels) n += p != colour;
  return n;
}

class Intro : public testing::Test {
 protected:
  void TearDown() override {
    clock_use_real();
    camera_reset();
  }
  // Draws one intro frame at the given clock reading, time standing still.
  void draw_at(uint32_t ms) {
    clock_use_virtual(ms, 0);
    draw_intro();
  }
  ScopedFramebuffer fb;
};

TEST_F(Intro, FillRectCoversBothBoundsAndNothingForNegativeSizes) {
  fill_rect(10, 20, 0, 0, 0x11);
  EXPECT_EQ(fb.at(10, 20), 0x11u);
  EXPECT_EQ(count_not(fb, kBlack), 1);

  fill_rect(100, 200, 3, 2, 0x22);
  Box b = box_of(fb, 0x22);
  EXPECT_EQ(b.count, 12);
  EXPECT_EQ(b.left, 100);
  EXPECT_EQ(b.right, 103);
  EXPECT_EQ(b.top, 200);
  EXPECT_EQ(b.bottom, 202);

  fill_rect(300, 300, -1, 5, 0x33);
  fill_rect(300, 300, 5, -1, 0x33);
  fill_rect(300, 300, -7, -7, 0x33);
  EXPECT_EQ(box_of(fb, 0x33).count, 0);
}

TEST_F(Intro, FillRectKeepsToTheFrame) {
  fill_rect(1598, 898, 5, 5, 0x44);
  EXPECT_EQ(box_of(fb, 0x44).count, 4);
  fill_rect(-3, -2, 4, 3, 0x55);
  EXPECT_EQ(box_of(fb, 0x55).count, 4);
  fill_rect(INT_MAX - 1, INT_MAX - 1, INT_MAX, INT_MAX, 0x66);
  fill_rect(INT_MIN, INT_MIN, 1, 1, 0x66);
  EXPECT_EQ(box_of(fb, 0x66).count, 0);
  EXPECT_EQ(count_not(fb, kBlack), 8);
}

TEST_F(Intro, LineStepsExcludeTheEndPoint) {
  draw_line(0, 0, 3, 7);
  const int expected[7][2] = {{0, 0}, {0, 1}, {1, 2}, {1, 3}, {2, 4}, {2, 5}, {3, 6}};
  for (const auto& p : expected) EXPECT_EQ(fb.at(p[0], p[1]), kLineGreen) << p[0] << "," << p[1];
  EXPECT_EQ(count_not(fb, kBlack), 7);
  EXPECT_EQ(fb.at(3, 7), kBlack);

  draw_line(500, 500, 500, 500);
  EXPECT_EQ(count_not(fb, kBlack), 7);
}

TEST_F(Intro, LineRoundsHalfwayAwayFromZero) {
  // Rows k / 2 for columns k = 0 to 9 round to 0, 1, 1, 2, 2, 3, 3, 4, 4, 5
  // (to even they would give 0, 0, 1, 2, 2, 2, 3, 4, 4, 4).
  draw_line(100, 0, 110, 5);
  const int rows[10] = {0, 1, 1, 2, 2, 3, 3, 4, 4, 5};
  for (int k = 0; k < 10; ++k) EXPECT_EQ(fb.at(100 + k, rows[k]), kLineGreen) << k;
  EXPECT_EQ(count_not(fb, kBlack), 10);

  // Leftwards and upwards: rows 52, 51.5, 51, 50.5 round to 52, 52, 51, 51.
  draw_line(204, 52, 200, 50);
  EXPECT_EQ(fb.at(204, 52), kLineGreen);
  EXPECT_EQ(fb.at(203, 52), kLineGreen);
  EXPECT_EQ(fb.at(202, 51), kLineGreen);
  EXPECT_EQ(fb.at(201, 51), kLineGreen);
  EXPECT_EQ(count_not(fb, kBlack), 14);
}

TEST_F(Intro, LineKeepsToTheFrame) {
  draw_line(-5, 10, 5, 10);
  EXPECT_EQ(box_of(fb, kLineGreen).count, 5);
  EXPECT_EQ(box_of(fb, kLineGreen).left, 0);
  draw_line(1595, 800, 1700, 800);
  EXPECT_EQ(box_of(fb, kLineGreen).count, 10);
  draw_line(-100, 1000, 1700, -100);
  EXPECT_GT(count_not(fb, kBlack), 10);
  EXPECT_EQ(fb.at(0, 0), kBlack);
}

TEST_F(Intro, OutlineSidesAndTheUnlitCorner) {
  draw_line(995, 30, 1060, 30);
  EXPECT_EQ(box_of(fb, kLineGreen).count, 65);
  fb.pixels.assign(kFramePixelCount, kBlack);
  draw_line(1060, 30, 1060, 92);
  EXPECT_EQ(box_of(fb, kLineGreen).count, 62);
  fb.pixels.assign(kFramePixelCount, kBlack);
  draw_line(995, 92, 1060, 92);
  EXPECT_EQ(box_of(fb, kLineGreen).count, 65);
  fb.pixels.assign(kFramePixelCount, kBlack);
  draw_line(995, 92, 995, 30);
  Box left = box_of(fb, kLineGreen);
  EXPECT_EQ(left.count, 62);
  EXPECT_EQ(left.top, 31);
  EXPECT_EQ(left.bottom, 92);

  // The whole outline, alone with the square after the words are gone.
  fb.pixels.assign(kFramePixelCount, kBlack);
  draw_at(7600);  // t' = 38
  Box outline = box_of(fb, kLineGreen);
  EXPECT_EQ(outline.count, 65 + 62 + 65 + 62 - 1);  // (995, 92) is drawn twice
  EXPECT_EQ(fb.at(1060, 92), kBlack);
  EXPECT_EQ(fb.at(995, 30), kLineGreen);
  EXPECT_EQ(fb.at(1060, 30), kLineGreen);
  EXPECT_EQ(fb.at(995, 92), kLineGreen);
  EXPECT_EQ(fb.at(1059, 92), kLineGreen);
  EXPECT_EQ(fb.at(1060, 91), kLineGreen);
  EXPECT_EQ(box_of(fb, kHelloGreen).count + box_of(fb, kJubraGreen).count, 0);
}

TEST_F(Intro, PulsingSquare) {
  draw_at(4401);  // t' = 22.005
  Box early = box_of(fb, kSquareYellow);
  EXPECT_EQ(early.left, 1008);
  EXPECT_EQ(early.right, 1052);
  EXPECT_EQ(early.top, 44);
  EXPECT_EQ(early.bottom, 84);
  EXPECT_EQ(early.count, 45 * 41);

  fb.pixels.assign(kFramePixelCount, kBlack);
  draw_at(7000);  // t' = 35
  Box late = box_of(fb, kSquareYellow);
  EXPECT_EQ(late.left, 1008);
  EXPECT_EQ(late.right, 1052);
  EXPECT_EQ(late.top, 44);
  EXPECT_EQ(late.bottom, 86);
  EXPECT_EQ(late.count, 45 * 43);
}

TEST_F(Intro, HelloWordBlocks) {
  draw_hello_word();
  Box word = box_of(fb, kHelloGreen);
  EXPECT_EQ(word.left, 400);
  EXPECT_EQ(word.right, 1065);
  EXPECT_EQ(word.top, 300);
  EXPECT_EQ(word.bottom, 610);
  EXPECT_EQ(word.count, 86539);  // 97,810 writes, some of them overlapping
  EXPECT_EQ(count_not(fb, kBlack), word.count);
  EXPECT_EQ(fb.at(426, 400), kBlack);   // right of the H's left stem
  EXPECT_EQ(fb.at(425, 400), kHelloGreen);
  EXPECT_EQ(fb.at(1039, 400), kBlack);  // inside the O
}

TEST_F(Intro, SlantedWordStaysInItsBox) {
  draw_slanted_word();
  Box word = box_of(fb, kJubraGreen);
  EXPECT_EQ(count_not(fb, kBlack), word.count);
  EXPECT_GE(word.left, 606);
  EXPECT_LE(word.right, 1566);
  EXPECT_EQ(word.top, 38);
  EXPECT_EQ(word.bottom, 424);
  EXPECT_GT(word.count, 60000);
  // It leans: its first lit column on the top row lies right of the one on
  // the bottom row.
  int top_first = 0, bottom_first = 0;
  while (fb.at(top_first, 38) == kBlack) ++top_first;
  while (fb.at(bottom_first, 424) == kBlack) ++bottom_first;
  EXPECT_GT(top_first, bottom_first + 60);
}

TEST_F(Intro, SequencerTimetable) {
  draw_at(1000);  // t' = 5: nothing yet
  EXPECT_EQ(count_not(fb, kBlack), 0);

  draw_at(2400);  // t' = 12: the first word alone
  Box hello = box_of(fb, kHelloGreen);
  EXPECT_EQ(hello.count, 86539);
  EXPECT_EQ(count_not(fb, kBlack), hello.count);

  draw_at(2401);  // just past 12: the second word over the top of the first
  Box jubra = box_of(fb, kJubraGreen);
  EXPECT_GT(jubra.count, 0);
  EXPECT_LT(box_of(fb, kHelloGreen).count, hello.count);
  EXPECT_EQ(box_of(fb, kSquareYellow).count, 0);
  EXPECT_EQ(box_of(fb, kLineGreen).count, 0);

  fb.pixels.assign(kFramePixelCount, kBlack);
  draw_at(5100);  // t' = 25.5: the square and the top side only
  EXPECT_EQ(box_of(fb, kLineGreen).count, 65);
  EXPECT_GT(box_of(fb, kSquareYellow).count, 0);

  fb.pixels.assign(kFramePixelCount, kBlack);
  draw_at(15400);  // t' = 77: between the two fly-throughs, black
  EXPECT_EQ(count_not(fb, kBlack), 0);
}

TEST_F(Intro, WritesTheCameraPacingTimestampFromItsFirstReading) {
  camera_record().last_frame_ticks = 5;
  clock_use_virtual(1000, 7);
  clock_reset_stats();
  draw_intro();
  EXPECT_EQ(camera_record().last_frame_ticks, 1000u);
  EXPECT_EQ(clock_stats().readings, 2u);
}

}  // namespace
