// The column pipeline shared by the six renderers: wall height, its rows on
// screen, the texture column, the wall's picture and its rows, then the fills
// above and below. Each renderer is a set of rules that varies the small parts.
// Blocks of 16 columns are shared among the worker pool and drawn straight
// into the frame: walls and solid fills along its rows (block_rows), then the
// generated patterns a block at a time.
#include "raycast/columns.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/framebuffer.h"
#include "common/image_table.h"
#include "common/numeric.h"
#include "common/timeline.h"
#include "common/workers.h"
#include "platform/clock.h"
#include "png/image.h"
#include "raycast/block_rows.h"
#include "raycast/camera.h"
#include "raycast/pattern_tables.h"
#include "raycast/patterns.h"
#include "raycast/world.h"

namespace {

constexpr int kTextureTile = 64;  // world units, and texture columns, per wall face

constexpr uint32_t kViolet = 0xFFAF0030;
constexpr uint32_t kSeaGlass = 0xCAAFF9AA;
constexpr uint32_t kMint = 0xFDC4F371;

// What a renderer decides for one column: the wall's height in pixels and
// the column of its picture.
struct WallSlice {
  float height;
  int32_t texture_column;
};

// Where the wall lies on screen: rows top .. bottom - 1, with top in 0..450
// and bottom in 450..900. half is half the unclipped height.
struct WallSpan {
  float height;
  float half;
  int top;
  int bottom;
};

// A fill above or below the walls: a solid colour, drawn along the rows, or a
// generated pattern; not drawn: the rows keep what they had.
struct Fill {
  bool drawn;
  bool covers_its_rows;  // false: some of its rows keep what they had
  uint32_t colour;
  BlockPattern pattern;  // null: the colour
};

constexpr Fill kNoFill = {false, false, 0, nullptr};
constexpr Fill solid(uint32_t colour) { return {true, true, colour, nullptr}; }
constexpr Fill pattern(BlockPattern fill) { return {true, true, 0, fill}; }
constexpr Fill partial_pattern(BlockPattern fill) { return {true, false, 0, fill}; }

// Everything a renderer varies in the pipeline. A renderer whose clock
// reading depends on the column says which columns read it; those readings
// are taken in column order before the columns are drawn.
struct ColumnRules {
  WallSlice (*slice)(const ColumnHit& hit, int column, float heading, const PatternFrame& frame,
                     uint32_t ms);
  bool (*reads_clock)(const ColumnHit& hit, const PatternFrame& frame);  // null: no column
  bool draw_walls;
  bool darken_close_walls;
  Fill fill_above;
  Fill fill_below;
};

// One column's set-up: where its wall lies, and the picture and its column
// when wall rows are drawn (null: the wall rows keep what they had).
struct ColumnPlan {
  WallSpan span;
  int32_t texture_column;
  const Image* image;
  bool dark;
  bool along_rows;  // the wall's picture indices fit the block's 32-bit lanes
  bool clamped;     // and some of them lie outside the pixel buffer
};

// 64 units of wall at the perpendicular distance; the cosine of the ray's
// turn from the heading removes the fish-eye bending.
float corrected_wall_height(const ColumnHit& hit, int column, float heading) {
  float turn = hit.angle - heading;
  double cosine = ray_fan_turn_cosine(column, turn);  // cos(turn), remembered per column
  float perpendicular = static_cast<float>(cosine * double(hit.distance));
  float ratio = 64.0f / perpendicular;
  return static_cast<float>(double(ratio) * projection_distance);
}

// The wall's rows, clipped to the frame. A height that is not positive (or
// not a number) draws no wall; an infinite one (the eye on the wall's face)
// fills the whole column.
WallSpan wall_span(float height) {
  WallSpan span;
  span.height = height;
  span.half = height * 0.5f;
  if (!(span.half > 0.0f)) span.half = 0.0f;
  float top = kCentreRow - span.half;
  float bottom = span.half + kCentreRow;
  span.top = top > 0.0f ? to_int32(top) : 0;
  span.bottom = bottom < float(kFrameHeight) ? to_int32(bottom) : kFrameHeight;
  return span;
}

// The coordinate along the wall, truncated, modulo the tile (negative
// coordinates keep their sign).
int32_t plain_texture_column(const ColumnHit& hit) {
  float along = hit.vertical ? hit.hit_y : hit.hit_x;
  return to_int32(along) % kTextureTile;
}

// Cell value v shows slot v - 1. A missing picture, or one whose pixels are
// not 32-bit RGBA words, gives no picture.
const Image* wall_image(int32_t cell) {
  if (cell < 1 || cell > kImageSlots) return nullptr;
  const Image* image = image_table[cell - 1];
  if (!image || image->format != IMAGE_FMT_RGBA8 || !image->pixels || image->pixels_size < 4)
    return nullptr;
  return image;
}

// Screen row k's row of the picture: the distance in pixels from the
// unclipped top of the wall, stretched by scale (picture rows per pixel).
// Never decreasing in k while both conversions stay in range.
inline int32_t texture_row(int k, float half, float scale) {
  int32_t offset = to_int32(float(k) + half - kCentreRow);
  return to_int32(float(offset) * scale);
}

// The wall's picture as the rows of one column sample it.
struct WallTexture {
  const uint8_t* pixels;
  int64_t width;
  int64_t last;  // the last 32-bit word of the pixel buffer
  int32_t column;
  float half;
  float scale;
};

WallTexture wall_texture(const ColumnPlan& plan) {
  const Image& image = *plan.image;
  return {image.pixels,        image.width,    int64_t(image.pixels_size / 4) - 1,
          plan.texture_column, plan.span.half, float(image.height) / plan.span.height};
}

// The linear index of the picture word that wall row k shows.
inline int64_t wall_index(const WallTexture& t, int k) {
  return int64_t(t.column) + t.width * int64_t(texture_row(k, t.half, t.scale));
}

// The index never decreases down the column: when the first and last rows
// convert in range and their indices fit 32 bits, so do every row's, and the
// rows can be drawn along the block's rows.
bool wall_rows_fit(const WallSpan& span, const WallTexture& t) {
  int end = span.bottom - 1;
  return to_int32(float(span.top) + t.half - kCentreRow) != INT32_MIN &&
         to_int32(float(end) + t.half - kCentreRow) != INT32_MIN &&
         texture_row(span.top, t.half, t.scale) != INT32_MIN &&
         texture_row(end, t.half, t.scale) != INT32_MIN && wall_index(t, span.top) >= INT32_MIN &&
         wall_index(t, end) <= INT32_MAX;
}

// The whole picture height is stretched over the unclipped wall, so a wall
// clipped by the frame shows the matching middle part. Texture columns
// outside the picture run into the neighbouring picture row; the linear
// index is clamped to the pixel buffer, so the first and last rows never read
// outside it. Drawn down the frame's column: only walls whose rows do not fit
// the block's 32-bit lanes (the eye on a wall's face) come here.
void draw_clamped_wall_rows(uint32_t* out, const ColumnPlan& plan, const WallTexture& t) {
  for (int k = plan.span.top; k < plan.span.bottom; ++k) {
    uint32_t p;
    std::memcpy(&p, t.pixels + std::clamp<int64_t>(wall_index(t, k), 0, t.last) * 4, 4);
    out[size_t(k) * kFrameWidth] = plan.dark ? darken(p) : p;
  }
}

// Written field by field into the block: a plan put together elsewhere and
// copied in whole costs more than working it out.
void plan_column(const ColumnRules& rules, const PatternFrame& frame, float heading, int i,
                 uint32_t ms, ColumnPlan& plan) {
  const ColumnHit& hit = column_hits[i];
  WallSlice slice = rules.slice(hit, i, heading, frame, ms);
  plan.span = wall_span(slice.height);
  plan.texture_column = slice.texture_column;
  plan.image = nullptr;
  plan.dark = false;
  plan.along_rows = false;
  plan.clamped = false;
  if (!rules.draw_walls || plan.span.top >= plan.span.bottom) return;
  plan.image = wall_image(hit.cell);
  plan.dark = rules.darken_close_walls && hit.angle > hit.distance;
  if (!plan.image) return;
  WallTexture t = wall_texture(plan);
  plan.along_rows = wall_rows_fit(plan.span, t);
  plan.clamped = plan.along_rows && (wall_index(t, plan.span.top) < 0 ||
                                     wall_index(t, plan.span.bottom - 1) > t.last);
}

// Rows first .. end - 1 of a block's columns.
struct RowRange {
  int first = kFrameHeight;
  int end = 0;
  void include(int from, int to) {
    if (from >= to) return;
    first = std::min(first, from);
    end = std::max(end, to);
  }
};

// The rows of the column that may keep the pixel they had: those of a stage
// that is not drawn or does not cover its own rows. A row some pattern
// reaches outside its own rows is still drawn by its own stage.
void include_kept_rows(const ColumnRules& rules, const ColumnPlan& plan, RowRange& kept) {
  if (!rules.fill_above.covers_its_rows) kept.include(0, plan.span.top);
  if (!plan.image) kept.include(plan.span.top, plan.span.bottom);
  if (!rules.fill_below.covers_its_rows) kept.include(plan.span.bottom, kFrameHeight);
}

// One block of columns, drawn straight into the frame: out is its first
// column's pixel on row 0, a row being kFrameWidth pixels on.
struct Block {
  int first;  // screen column of lane 0
  uint32_t* out;
  ColumnPlan plans[kBlockColumns];
  RowRange kept;  // rows where some column may keep the pixel it had
};

Block plan_block(const ColumnRules& rules, const PatternFrame& frame, float heading,
                 const uint32_t* readings, int first) {
  Block block;
  block.first = first;
  block.out = frame_pixels + first;
  for (int c = 0; c < kBlockColumns; ++c) {
    plan_column(rules, frame, heading, first + c, readings[first + c], block.plans[c]);
    include_kept_rows(rules, block.plans[c], block.kept);
  }
  return block;
}

void draw_walls_down_columns(const Block& block) {
  for (int c = 0; c < kBlockColumns; ++c) {
    const ColumnPlan& plan = block.plans[c];
    if (plan.image && !plan.along_rows)
      draw_clamped_wall_rows(block.out + c, plan, wall_texture(plan));
  }
}

// Column c as the row pass draws it: its wall when asked for and its indices
// fit 32 bits. Written in place, as the plans are.
void block_lane(const Block& block, int c, bool walls, BlockLane& lane) {
  const ColumnPlan& plan = block.plans[c];
  lane = {};
  lane.top = plan.span.top;
  lane.bottom = plan.span.bottom;
  if (!walls || !plan.along_rows) return;
  WallTexture t = wall_texture(plan);
  lane.wall = true;
  lane.pixels = t.pixels;
  lane.last = int32_t(t.last);
  lane.column = plan.texture_column;
  lane.width = int32_t(t.width);
  lane.half = t.half;
  lane.scale = t.scale;
  lane.dark = plan.dark;
  lane.clamped = plan.clamped;
}

RowFill row_fill(const Fill& fill) { return {fill.drawn && !fill.pattern, fill.colour}; }

// Walls (when asked for) and solid fills, along the block's rows in one pass.
void draw_rows(const Block& block, bool walls, const Fill& above, const Fill& below) {
  BlockLane lanes[kBlockColumns];
  for (int c = 0; c < kBlockColumns; ++c) block_lane(block, c, walls, lanes[c]);
  draw_block_rows(block.out, kFrameWidth, lanes, row_fill(above), row_fill(below));
}

// A generated fill over each column's rows 0 .. top - 1 (above), or
// bottom .. 899 (below).
void draw_pattern(const Fill& fill, bool above, const Block& block, const PatternFrame& frame) {
  if (!fill.pattern) return;
  BlockSpans spans;
  spans.first_column = block.first;
  for (int c = 0; c < kBlockColumns; ++c) {
    const WallSpan& span = block.plans[c].span;
    spans.first[c] = above ? 0 : span.bottom;
    spans.end[c] = above ? span.top : kFrameHeight;
  }
  fill.pattern(block.out, kFrameWidth, spans, frame);
}

// The columns first .. first + 15: set up, then wall rows (when drawn), the
// rows above, the rows below, which for each column is the order a pattern
// that reaches outside its rows expects. The walls and solid fills go along
// the rows first (the few walls too near for 32-bit indices down their
// columns), then the patterns; patterns above reach down into the rows
// below, so a solid fill below them comes last. Rows that may
// keep their pixels start from the frame's (black while a clear waits).
void draw_column_block(const ColumnRules& rules, const PatternFrame& frame, float heading,
                       const uint32_t* readings, int first) {
  Block block = plan_block(rules, frame, heading, readings, first);
  framebuffer_settle_area(first, kBlockColumns, block.kept.first, block.kept.end);
  bool below_waits =
      rules.fill_above.pattern && rules.fill_below.drawn && !rules.fill_below.pattern;
  draw_walls_down_columns(block);
  draw_rows(block, true, rules.fill_above, below_waits ? kNoFill : rules.fill_below);
  draw_pattern(rules.fill_above, true, block, frame);
  if (below_waits) draw_rows(block, false, kNoFill, rules.fill_below);
  draw_pattern(rules.fill_below, false, block, frame);
}

void draw_columns(const ColumnRules& rules, float r) {
  PatternFrame frame = pattern_frame(r);
  float heading = camera_record().heading;
  uint32_t readings[kFrameWidth] = {};
  if (rules.reads_clock)
    for (int i = 0; i < kFrameWidth; ++i)
      if (rules.reads_clock(column_hits[i], frame)) readings[i] = clock_ticks();
  workers_for(kFrameWidth, kBlockColumns,
              [&](int first, int) { draw_column_block(rules, frame, heading, readings, first); });
  framebuffer_all_drawn();
}

float read_scene_clock() { return scene_clock(clock_ticks()); }

WallSlice plain_slice(const ColumnHit& hit, int column, float heading, const PatternFrame&,
                      uint32_t) {
  return {corrected_wall_height(hit, column, heading), plain_texture_column(hit)};
}

// The wall breathes column band by column band (25 columns a band) without
// the cosine correction, and vertical faces sway by up to 5 texture columns.
// Every column reads the clock.
bool every_column(const ColumnHit&, const PatternFrame&) { return true; }

WallSlice breathing_slice(const ColumnHit& hit, int column, float, const PatternFrame&,
                          uint32_t ms) {
  float s = float(ms) * 0.001f;
  int b = column / 25;
  // 400 / tan(pi / 6) is exactly half the projection distance: halving the
  // dividend of a correctly rounded division only shifts the exponent.
  float reach =
      static_cast<float>(0.5 * projection_distance - 125.0 * std::cos(double(float(b) + s)));
  WallSlice slice;
  slice.height = reach * (64.0f / hit.distance);
  slice.texture_column = plain_texture_column(hit);
  if (hit.vertical)
    slice.texture_column =
        to_int32(double(slice.texture_column) - 5.0 * std::cos(0.2 * double(s) + double(b)));
  return slice;
}

// Horizontal faces slide 10 texture columns a second; they read the clock.
bool horizontal_face(const ColumnHit& hit, const PatternFrame&) { return !hit.vertical; }

WallSlice sliding_slice(const ColumnHit& hit, int column, float heading, const PatternFrame&,
                        uint32_t ms) {
  WallSlice slice = {corrected_wall_height(hit, column, heading), plain_texture_column(hit)};
  if (!hit.vertical)
    slice.texture_column = to_int32(double(hit.hit_x) - 0.01 * double(ms)) % kTextureTile;
  return slice;
}

// Horizontal faces first ripple slowly while sliding, reading the clock,
// then swing with r; at r of exactly 340 or 400 they keep the plain column.
bool rippling_face(const ColumnHit& hit, const PatternFrame& frame) {
  return !hit.vertical && frame.r > 340.0f && frame.r < 400.0f;
}

WallSlice rippling_slice(const ColumnHit& hit, int column, float heading,
                         const PatternFrame& frame, uint32_t ms) {
  WallSlice slice = {corrected_wall_height(hit, column, heading), plain_texture_column(hit)};
  if (rippling_face(hit, frame))
    slice.texture_column =
        to_int32(0.15 * std::cos(double(hit.hit_y)) + double(hit.hit_x) - 0.001 * double(ms)) %
        kTextureTile;
  else if (!hit.vertical && frame.r > 400.0f)
    slice.texture_column =
        to_int32(1.875 * std::sin(double(hit.hit_y)) + double(hit.hit_x) + double(frame.r)) %
        kTextureTile;
  return slice;
}

}  // namespace

// The calling thread's tangent memo is written here too (zero is its empty
// state), so the first frame of a tangent sky does not take its first-use
// faults.
void prepare_column_renderers() {
  prepare_pattern_tables();
  std::memset(&tangent_memo, 0, sizeof tangent_memo);
}

void draw_columns_intro1() {
  draw_columns({plain_slice, nullptr, true, false, solid(kViolet), pattern(fill_ripple_floor)}, 0);
}

void draw_columns_intro2() {
  draw_columns(
      {breathing_slice, every_column, true, false, solid(kViolet), pattern(fill_ripple_floor)}, 0);
}

// Opens with the tangent skies over the sine floor and no walls; at r = 117
// the walls, the sine sky and the banded floor appear. At exactly 117 nothing
// is drawn, at exactly 112 nothing above the walls. The tangent skies and the
// banded floor leave some of their rows as they were.
void draw_columns_scene1() {
  float r = read_scene_clock();
  if (r == 117.0f) return;
  ColumnRules rules = {plain_slice, nullptr, r > 117.0f, true, kNoFill, kNoFill};
  if (r < 112.0f)
    rules.fill_above = partial_pattern(fill_tangent_sky);
  else if (r > 112.0f && r < 117.0f)
    rules.fill_above = partial_pattern(fill_masked_tangent_sky);
  else if (r > 117.0f)
    rules.fill_above = pattern(fill_sine_sky);
  rules.fill_below = r < 117.0f ? pattern(fill_sine_floor) : partial_pattern(fill_banded_floor);
  draw_columns(rules, r);
}

void draw_columns_scene2() {
  draw_columns({sliding_slice, horizontal_face, true, false, solid(kSeaGlass), solid(kMint)}, 0);
}

void draw_columns_scene3() {
  draw_columns({rippling_slice, rippling_face, true, false, solid(kSeaGlass), solid(kMint)},
               read_scene_clock());
}

void draw_columns_scene4() {
  draw_columns(
      {plain_slice, nullptr, true, false, solid(kViolet), pattern(fill_quarter_ripple_floor)}, 0);
}
