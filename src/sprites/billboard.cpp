// Projection and drawing of one billboard: its height from the distance, its
// screen column from the direction, then every pixel whose column's wall lies
// farther than the sprite, taken from the picture by nearest neighbour.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "common/framebuffer.h"
#include "common/image_table.h"
#include "common/numeric.h"
#include "common/workers.h"
#include "png/image.h"
#include "raycast/camera.h"
#include "raycast/world.h"
#include "sprites/billboard_rows.h"
#include "sprites/sprites.h"

namespace {

constexpr uint32_t kTransparentKey = 0xFFFF00FF;  // opaque magenta
constexpr float kCentreColumn = 800;
constexpr float kCentreRow = 450;
constexpr float kScreenRows = 900;
constexpr int kFirstColumn = 1;  // column 0 and row 0 are never written
constexpr int kLastColumn = kFrameWidth - 1;
constexpr int kFirstRow = 1;

// The picture of a slot, or null when the slot is out of range, empty, or
// holds anything but 32-bit RGBA words.
const Image* sprite_picture(int32_t slot) {
  if (slot < 0 || slot >= kImageSlots) return nullptr;
  const Image* image = image_table[slot];
  if (!image || image->format != IMAGE_FMT_RGBA8 || !image->pixels) return nullptr;
  if (image->width == 0 || image->height == 0) return nullptr;
  return image;
}

float drawn_width(const Sprite& entry, BillboardWidth width, float size) {
  switch (width) {
    case WIDTH_STRETCHED: return static_cast<float>(double(size) * 2.25);
    case WIDTH_PULSING: return static_cast<float>(double(size) * 0.3 - double(entry.wobble) * 5.5);
    case WIDTH_PLAIN: break;
  }
  return size;
}

// Texture columns per screen column. The stretched width wobbles: a fast
// term whose phase runs with the clock times the picture's width, and a slow
// one near 0.25 that magnifies the picture about four times across.
float texture_scale(BillboardWidth width, float sprite_time, float drawn, uint32_t picture_width) {
  float w = static_cast<float>(picture_width);
  if (width != WIDTH_STRETCHED) return w / drawn;
  float e = sprite_time - 220;
  return static_cast<float>(std::sin(0.01 * double(e * w)) * 10 * 1.25 / double(drawn) +
                            std::cos(0.01 * double(e)) * 0.25);
}

// Where one billboard lands on screen, in pixels.
struct Projection {
  float size;   // height
  float half;
  float top, bottom;
  float width;  // drawn width
  float left, right;
};

Projection project(const Sprite& entry, const BillboardStyle& style) {
  const Camera& cam = camera_record();
  Projection p;
  float depth = static_cast<float>(std::cos(double(entry.angle)) * double(entry.distance));
  p.size = static_cast<float>(double(64.0f / depth) * projection_distance);
  p.half = p.size * 0.5f;
  p.top = std::max(0.0f, kCentreRow - p.half);
  p.bottom = std::min(kScreenRows, kCentreRow + p.half);
  float u = static_cast<float>(std::atan2(double(entry.y - cam.y), double(entry.x - cam.x)) -
                               double(cam.heading));
  float sx = static_cast<float>(std::tan(double(u)) * projection_distance);
  p.width = drawn_width(entry, style.width, p.size);
  p.left = (sx + kCentreColumn) - p.width * 0.5f;
  p.right = p.left + p.width;
  return p;
}

// The screen columns of one billboard, first .. end - 1 inside 1..1599, from
// the first to the last that passed the depth test, with the tint and the
// depth test's outcome of each; and those columns as runs of neighbours that
// show one texture column (the picture magnified), with the range of texture
// columns met.
struct DrawnColumns {
  int32_t first, end;
  uint32_t mask[kFrameWidth];
  uint32_t shown[kFrameWidth];  // 0xFFFFFFFF where the wall lies farther than the sprite, else 0
  int runs;                     // 1..1599
  int32_t run_texture_column[kFrameWidth];
  int32_t run_end[kFrameWidth];  // one past each run's last column; run 0 starts at first
  int32_t lowest, highest;
};

// Joins the texture columns of first .. end - 1 into runs.
void join_runs(const int32_t* texture_column, DrawnColumns& out) {
  out.runs = 0;
  out.lowest = INT32_MAX;
  out.highest = INT32_MIN;
  for (int32_t c = out.first; c < out.end; ++c) {
    int32_t tx = texture_column[c];
    if (c == out.first || tx != out.run_texture_column[out.runs - 1])
      out.run_texture_column[out.runs++] = tx;
    out.run_end[out.runs - 1] = c + 1;
    out.lowest = std::min(out.lowest, tx);
    out.highest = std::max(out.highest, tx);
  }
}

// The columns in 1..1599 that the unclipped walk from trunc(left) while
// c < right would visit, each with the texture column the unclipped walk
// gives it, narrowed to the first and last that the wall does not hide.
void collect_columns(const Projection& p, float distance, float kx, const uint32_t* masks,
                     DrawnColumns& out) {
  int32_t texture_column[kFrameWidth];
  out.first = kFrameWidth;
  out.end = 0;
  for (int32_t c = std::max(to_int32(p.left), kFirstColumn); c <= kLastColumn && float(c) < p.right;
       ++c) {
    bool shown = column_hits[c].distance > distance;
    texture_column[c] = to_int32((float(c) - p.left) * kx);
    out.mask[c] = masks ? masks[c] : 0u;
    out.shown[c] = shown ? ~0u : 0u;
    if (!shown) continue;
    out.first = std::min(out.first, c);
    out.end = c + 1;
  }
  join_runs(texture_column, out);
}

// One read of the picture per run. Checked rows skip samples outside the
// picture's buffer; a row whose whole span of texture columns lies inside
// needs no test.
template <bool Checked>
void sample_columns(const uint8_t* pixels, int64_t words, int64_t row_start,
                    const DrawnColumns& cols, SampledRow& row) {
  uint32_t run_word[kFrameWidth];
  for (int k = 0; k < cols.runs; ++k) {
    int64_t index = row_start + cols.run_texture_column[k];
    run_word[k] = kTransparentKey;
    if (!Checked || uint64_t(index) < uint64_t(words))
      std::memcpy(&run_word[k], pixels + index * 4, 4);
  }
  fill_runs(row.words, cols.first, cols.run_end, run_word, cols.runs);
  select_tint_and_plan(row.words, row.select, cols.mask, cols.shown, kTransparentKey, cols.first,
                       cols.end, row.stores);
}

// One billboard ready to draw: its picture, where it lands and the columns
// it shows in.
struct Billboard {
  const Image* picture;
  Projection p;
  DrawnColumns cols;
  float row_scale;  // picture rows per screen row
  int64_t words;    // 32-bit words in the picture's buffer
};

// The frame's billboards in drawing order, set up before their rows are
// shared among the worker pool.
struct BillboardList {
  int count;
  Billboard entries[kSpriteCount];
};
BillboardList billboards;
uint64_t drawings = 0;  // draw_billboards calls so far, naming each one's sampled rows

constexpr int kRowsPerBlock = 30;  // screen rows a worker draws at a time, 900 / 30 blocks

// A sample whose linear index falls outside the picture's buffer is not
// written; a billboard whose size or edges lie beyond the 32-bit range (a
// sprite almost at the eye) draws nothing.
bool prepare_billboard(const Sprite& entry, const BillboardStyle& style, Billboard& out) {
  out.picture = sprite_picture(entry.image);
  if (!out.picture) return false;
  out.p = project(entry, style);
  const Projection& p = out.p;
  if (!fits_int32(p.size) || !fits_int32(p.left) || !fits_int32(p.right)) return false;
  float kx = texture_scale(style.width, style.sprite_time, p.width, out.picture->width);
  collect_columns(p, entry.distance, kx, style.column_masks, out.cols);
  out.words = out.picture->pixels_size / 4;
  out.row_scale = float(out.picture->height) / p.size;
  return out.cols.first < out.cols.end;
}

// Picture row ty as the billboard shows it.
void sample_picture_row(const Billboard& b, int32_t ty, SampledRow& row) {
  int64_t row_start = int64_t(ty) * b.picture->width;
  if (row_start + b.cols.lowest >= 0 && row_start + b.cols.highest < b.words)
    sample_columns<false>(b.picture->pixels, b.words, row_start, b.cols, row);
  else
    sample_columns<true>(b.picture->pixels, b.words, row_start, b.cols, row);
}

// The billboard's screen rows first .. end - 1, along the rows. Neighbouring
// screen rows that show one picture row share its sampling, also across the
// blocks of rows that one thread draws.
void draw_billboard_rows(const Billboard& b, int k, uint64_t drawing, int32_t first, int32_t end) {
  const Projection& p = b.p;
  SampledRowSlot& slot = thread_sampled_row(k);
  for (int32_t r = std::max({to_int32(p.top), kFirstRow, first}); r < end && float(r) < p.bottom;
       ++r) {
    int32_t ty = to_int32(float(to_int32((float(r) + p.half) - kCentreRow)) * b.row_scale);
    if (slot.drawing != drawing || slot.ty != ty) sample_picture_row(b, ty, slot.row);
    slot.drawing = drawing;
    slot.ty = ty;
    store_row(frame_pixels + size_t(r) * kFrameWidth, slot.row.words, slot.row.select,
              slot.row.stores);
  }
}

}  // namespace

void prepare_sprites() { std::memset(&billboards, 0, sizeof billboards); }

// Rows are walked outside the columns so that the framebuffer is written
// along its rows; a billboard writes each pixel at most once, so the order
// leaves the same picture. Blocks of rows are shared among the worker pool,
// each drawing every billboard, farthest first, over its own rows.
void draw_billboards(const Sprite* list, int n, const BillboardStyle& style) {
  billboards.count = 0;
  for (int k = 0; k < n; ++k)
    if (prepare_billboard(list[k], style, billboards.entries[billboards.count])) ++billboards.count;
  if (billboards.count == 0) return;
  framebuffer_settle();
  uint64_t drawing = ++drawings;
  workers_for(kFrameHeight, kRowsPerBlock, [drawing](int first, int end) {
    for (int k = 0; k < billboards.count; ++k)
      draw_billboard_rows(billboards.entries[k], k, drawing, first, end);
  });
}
