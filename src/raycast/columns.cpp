// The column pipeline shared by the six renderers: wall height, its rows on
// screen, the texture column, the wall's picture and its rows, then the fills
// above and below. Each renderer is a set of rules that varies the small parts.
#include "raycast/columns.h"

#include <cmath>
#include <cstring>

#include "common/framebuffer.h"
#include "common/image_table.h"
#include "common/numeric.h"
#include "common/timeline.h"
#include "platform/clock.h"
#include "png/image.h"
#include "raycast/camera.h"
#include "raycast/patterns.h"
#include "raycast/world.h"

namespace {

constexpr float kCentreRow = 450.0f;
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

// Everything a renderer varies in the pipeline.
struct ColumnRules {
  WallSlice (*slice)(const ColumnHit& hit, int column, float heading, const PatternFrame& frame);
  bool draw_walls;
  bool darken_close_walls;
  ColumnPattern fill_above;  // none: the rows above keep what they had
  ColumnPattern fill_below;
};

// 64 units of wall at the perpendicular distance; the cosine of the ray's
// turn from the heading removes the fish-eye bending.
float corrected_wall_height(const ColumnHit& hit, float heading) {
  float turn = hit.angle - heading;
  float perpendicular = static_cast<float>(std::cos(double(turn)) * double(hit.distance));
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

// Alpha kept, each colour byte halved and rounded down.
inline uint32_t darken(uint32_t p) { return (p & 0xFF000000u) | ((p >> 1) & 0x007F7F7Fu); }

// Screen row k's row of the picture: the distance in pixels from the
// unclipped top of the wall, stretched by scale (picture rows per pixel).
// Never decreasing in k while both conversions stay in range.
template <int32_t (*truncate)(double)>
inline int32_t texture_row(int k, float half, float scale) {
  int32_t offset = truncate(float(k) + half - kCentreRow);
  return truncate(float(offset) * scale);
}

// Writes the picture's pixel index(k) to each wall row k from first to
// end - 1, darkened or not.
template <typename Index>
void copy_wall_rows(uint32_t* column_pixels, int first, int end, const uint8_t* pixels, bool dark,
                    Index index) {
  for (int k = first; k < end; ++k) {
    uint32_t p;
    std::memcpy(&p, pixels + index(k) * 4, 4);
    column_pixels[size_t(k) * kFrameWidth] = dark ? darken(p) : p;
  }
}

// Wall rows whose picture rows are worked out together, a block the compiler
// can turn into vector instructions.
constexpr int kRowBlock = 8;

// The whole picture height is stretched over the unclipped wall, so a wall
// clipped by the frame shows the matching middle part. Texture columns
// outside the picture run into the neighbouring picture row; the linear
// index is clamped to the pixel buffer, so the first and last rows never read
// outside it. The index never decreases down the column: when the first and
// last rows convert in range and their indices lie inside the buffer, so do
// every row's, and the rows are copied without range tests or clamp.
void draw_wall_rows(uint32_t* column_pixels, const WallSpan& span, int32_t texture_column,
                    const Image& image, bool dark) {
  const uint8_t* pixels = image.pixels;
  int64_t width = image.width;
  int64_t last = int64_t(image.pixels_size / 4) - 1;
  float half = span.half;
  float scale = float(image.height) / span.height;
  auto index = [=](int k) {
    return texture_column + width * texture_row<to_int32>(k, half, scale);
  };
  int end = span.bottom - 1;
  bool in_range = to_int32(float(span.top) + half - kCentreRow) != INT32_MIN &&
                  to_int32(float(end) + half - kCentreRow) != INT32_MIN &&
                  texture_row<to_int32>(span.top, half, scale) != INT32_MIN &&
                  texture_row<to_int32>(end, half, scale) != INT32_MIN;
  if (!in_range || index(span.top) < 0 || index(end) > last) {
    copy_wall_rows(column_pixels, span.top, span.bottom, pixels, dark, [=](int k) {
      int64_t i = index(k);
      return i < 0 ? 0 : i > last ? last : i;
    });
    return;
  }
  int k = span.top;
  for (; k + kRowBlock <= span.bottom; k += kRowBlock) {
    int32_t rows[kRowBlock];
    for (int l = 0; l < kRowBlock; ++l)
      rows[l] = texture_row<to_int32_in_range>(k + l, half, scale);
    copy_wall_rows(column_pixels, k, k + kRowBlock, pixels, dark,
                   [&](int row) { return texture_column + width * rows[row - k]; });
  }
  copy_wall_rows(column_pixels, k, span.bottom, pixels, dark, [=](int row) {
    return texture_column + width * texture_row<to_int32_in_range>(row, half, scale);
  });
}

void draw_columns(const ColumnRules& rules, float r) {
  PatternFrame frame = pattern_frame(r);
  float heading = camera_record().heading;
  for (int i = 0; i < kFrameWidth; ++i) {
    const ColumnHit& hit = column_hits[i];
    WallSlice slice = rules.slice(hit, i, heading, frame);
    WallSpan span = wall_span(slice.height);
    uint32_t* column_pixels = frame_pixels + i;
    if (rules.draw_walls && span.top < span.bottom) {
      if (const Image* image = wall_image(hit.cell)) {
        bool dark = rules.darken_close_walls && hit.angle > hit.distance;
        draw_wall_rows(column_pixels, span, slice.texture_column, *image, dark);
      }
    }
    if (rules.fill_above) rules.fill_above(column_pixels, i, 0, span.top, frame);
    if (rules.fill_below) rules.fill_below(column_pixels, i, span.bottom, kFrameHeight, frame);
  }
}

float read_scene_clock() { return scene_clock(clock_ticks()); }

WallSlice plain_slice(const ColumnHit& hit, int, float heading, const PatternFrame&) {
  return {corrected_wall_height(hit, heading), plain_texture_column(hit)};
}

// The wall breathes column band by column band (25 columns a band) without
// the cosine correction, and vertical faces sway by up to 5 texture columns.
WallSlice breathing_slice(const ColumnHit& hit, int column, float, const PatternFrame&) {
  float s = float(clock_ticks()) * 0.001f;
  int b = column / 25;
  float reach =
      static_cast<float>(400.0 / std::tan(kSixthPi) - 125.0 * std::cos(double(float(b) + s)));
  WallSlice slice;
  slice.height = reach * (64.0f / hit.distance);
  slice.texture_column = plain_texture_column(hit);
  if (hit.vertical)
    slice.texture_column =
        to_int32(double(slice.texture_column) - 5.0 * std::cos(0.2 * double(s) + double(b)));
  return slice;
}

// Horizontal faces slide 10 texture columns a second.
WallSlice sliding_slice(const ColumnHit& hit, int, float heading, const PatternFrame&) {
  WallSlice slice = {corrected_wall_height(hit, heading), plain_texture_column(hit)};
  if (!hit.vertical)
    slice.texture_column =
        to_int32(double(hit.hit_x) - 0.01 * double(clock_ticks())) % kTextureTile;
  return slice;
}

// Horizontal faces first ripple slowly while sliding, then swing with r; at
// r of exactly 340 or 400 they keep the plain column.
WallSlice rippling_slice(const ColumnHit& hit, int, float heading, const PatternFrame& frame) {
  WallSlice slice = {corrected_wall_height(hit, heading), plain_texture_column(hit)};
  if (hit.vertical) return slice;
  if (frame.r > 340.0f && frame.r < 400.0f) {
    double ms = double(clock_ticks());
    slice.texture_column =
        to_int32(0.15 * std::cos(double(hit.hit_y)) + double(hit.hit_x) - 0.001 * ms) %
        kTextureTile;
  } else if (frame.r > 400.0f) {
    slice.texture_column =
        to_int32(1.875 * std::sin(double(hit.hit_y)) + double(hit.hit_x) + double(frame.r)) %
        kTextureTile;
  }
  return slice;
}

}  // namespace

void draw_columns_intro1() {
  draw_columns({plain_slice, true, false, fill_solid<kViolet>, fill_ripple_floor}, 0);
}

void draw_columns_intro2() {
  draw_columns({breathing_slice, true, false, fill_solid<kViolet>, fill_ripple_floor}, 0);
}

// Opens with the tangent skies over the sine floor and no walls; at r = 117
// the walls, the sine sky and the banded floor appear. At exactly 117 nothing
// is drawn, at exactly 112 nothing above the walls.
void draw_columns_scene1() {
  float r = read_scene_clock();
  if (r == 117.0f) return;
  ColumnRules rules = {plain_slice, r > 117.0f, true, nullptr, nullptr};
  if (r < 112.0f)
    rules.fill_above = fill_tangent_sky;
  else if (r > 112.0f && r < 117.0f)
    rules.fill_above = fill_masked_tangent_sky;
  else if (r > 117.0f)
    rules.fill_above = fill_sine_sky;
  rules.fill_below = r < 117.0f ? fill_sine_floor : fill_banded_floor;
  draw_columns(rules, r);
}

void draw_columns_scene2() {
  draw_columns({sliding_slice, true, false, fill_solid<kSeaGlass>, fill_solid<kMint>}, 0);
}

void draw_columns_scene3() {
  draw_columns({rippling_slice, true, false, fill_solid<kSeaGlass>, fill_solid<kMint>},
               read_scene_clock());
}

void draw_columns_scene4() {
  draw_columns({plain_slice, true, false, fill_solid<kViolet>, fill_quarter_ripple_floor}, 0);
}
