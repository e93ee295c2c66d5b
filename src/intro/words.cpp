// The intro's two words, built from filled blocks only: "HELLO" from upright
// bars, and the italic "JUBRA" from series of blocks whose positions and sizes
// step linearly, so that each series merges into one thick slanted stroke.
#include "common/numeric.h"
#include "intro/intro.h"

namespace {

constexpr uint32_t kHelloColour = 0xFF357925;
constexpr uint32_t kJubraColour = 0xFF07C931;

// A block by its top-left pixel and its size in pixels.
struct Block {
  int x, y;
  int columns, rows;
};

void fill_block(const Block& block, uint32_t colour) {
  fill_rect(block.x, block.y, block.columns - 1, block.rows - 1, colour);
}

// Blocks 0 to 14 of "HELLO", in drawing order: the seven stems, then the bars.
constexpr Block hello_blocks[15] = {
    {400, 300, 26, 311},  {490, 300, 26, 311},  {560, 300, 26, 311},  {690, 300, 26, 311},
    {820, 300, 26, 311},  {940, 300, 26, 311},  {1040, 300, 26, 311}, {400, 450, 101, 51},
    {560, 300, 101, 51},  {560, 450, 101, 51},  {560, 560, 101, 51},  {690, 560, 101, 51},
    {820, 560, 101, 51},  {940, 560, 101, 51},  {940, 300, 101, 51},
};

// One block of a stroke at step i: fill_rect's x, y, w and h, each a start
// value plus a coefficient per unit of i, in pixels. The word leans 4 columns
// left for every 15 rows down; a stroke with zero coefficients is a fixed
// bar redrawn at every step.
struct StepBlock {
  double x, x_per_i;
  double y, y_per_i;
  double w, w_per_i;
  double h, h_per_i;
};

// Strokes 0 to 13, each drawn once per step for i = 3, 6, ..., 51.
constexpr StepBlock jubra_strokes[14] = {
    {797.55, -1.85, 17.1875, 6.9375, 37, 0, 29, 0},        // J stem
    {643.15, -0.6, 281.25, 2.25, 37, 0, 10, 0},            // J hook
    {622, 0, 384, 0, 98, 0, 40, 0},                        // J foot
    {874.55, -1.85, 17.1875, 6.9375, 37, 0, 31, 0},        // U left side
    {978.55, -1.85, 17.1875, 6.9375, 37, 0, 31, 0},        // U right side
    {783, 0, 384, 0, 118, 0, 40, 0},                       // U foot
    {1054, -2, 15.5, 7.5, 37, 0, 26, 0},                   // B stem
    {1143.35, -0.85, 40.4375, 3.1875, 37, 0, 19, 0},       // B upper bowl
    {1102.7, -0.85, 230.4375, 3.1875, 37, 0, 19, 0},       // B lower bowl
    {1233, -2, 15.5, 7.5, 37, 0, 26, 0},                   // R stem
    {1332.8, -1, 38.75, 3.75, 37, 0, 16, 0},               // R bowl
    {1217.4, 0.45, 255, 3, 38.5, 0.17, 16, 0},             // R leg, widening
    {1478.4, -3.45, 15.5, 7.5, 29.5, 0.4, 26, 0},         // A left leg, widening
    {1521.4, -1.6, 15.5, 7.5, 29.5, 0.4, 26, 0},         // A right leg, widening
};

// Bars 0 to 7 of "JUBRA" that close the letters' tops and rings.
constexpr Block jubra_bars[8] = {
    {737, 38, 93, 41},    // J top bar
    {1045, 38, 117, 41},  // B top bar
    {999, 212, 107, 39},  // B middle bar
    {952, 384, 123, 41},  // B bottom bar
    {1224, 38, 121, 41},  // R top bar
    {1173, 230, 121, 39}, // R middle bar
    {1463, 38, 81, 41},   // A top cap
    {1359, 276, 117, 39}, // A cross bar
};

void draw_step_block(const StepBlock& b, int i) {
  fill_rect(to_int32(b.x + b.x_per_i * i), to_int32(b.y + b.y_per_i * i),
            to_int32(b.w + b.w_per_i * i), to_int32(b.h + b.h_per_i * i), kJubraColour);
}

}  // namespace

void draw_hello_word() {
  for (const Block& block : hello_blocks) fill_block(block, kHelloColour);
}

void draw_slanted_word() {
  for (int k = 1; k <= 17; ++k)
    for (const StepBlock& stroke : jubra_strokes) draw_step_block(stroke, 3 * k);
  for (const Block& bar : jubra_bars) fill_block(bar, kJubraColour);
}
