// The 50 x 50 world grid and the ray caster that fills column_hits, one
// record per screen column, from the camera's position and heading every
// frame.
#include "raycast/world.h"

#include <cmath>

#include "common/numeric.h"
#include "common/workers.h"
#include "raycast/camera.h"

// Cell value by row (y cell) and column (x cell), row-major; 0 is open space,
// any other value a wall showing picture slot value - 1. Only rows 0-16 and
// columns 0-23 hold walls: a closed rectangle, 1536 x 1088 world units.
const int32_t world_map[kMapSize * kMapSize] = {
     1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,
     1, 5, 6, 7, 8, 9, 0, 0, 0, 0, 9, 9, 9, 9, 9, 0, 0, 0, 0, 0, 0, 0, 0, 1,  0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,
     1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1,15, 0,15, 0, 1,  0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,
     1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1,15, 0,15, 0, 1,  0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,
     1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1,15, 0,15, 0, 1,  0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,
     1, 0, 0, 0, 0, 2, 3, 4, 2, 0, 1, 1, 0, 0, 0, 0, 0, 0, 1,15, 0,15, 0, 1,  0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,
     1, 0, 0, 0, 0, 2, 0, 0, 0, 2, 0, 4, 3, 0, 0, 0, 0, 0, 1,15, 0,15, 0, 1,  0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,
     1, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1,15, 0,15, 0, 1,  0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,
     1, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1,15, 0,15, 0, 1,  0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,
     1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1,15, 0,15, 0, 1,  0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,
     1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1,15, 0,15, 0, 1,  0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,
     1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1,15, 0,15, 0, 1,  0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,
     1,15,17,17, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1,15, 0,15, 0, 1,  0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,
     1, 0, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1,15, 0,15, 0, 1,  0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,
     1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1,  0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,
     1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,15,16,15, 0, 1,  0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,
     1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,
};

ColumnHit column_hits[kFrameWidth] = {};

namespace {

// Beyond the grid (an index below 0 or above 49, as for a probe on the line
// at 3200 or one moved to -1) stands the same wall as the grid's border, so a
// walk that gets there stops and a move there is refused.
constexpr int32_t kOutsideCell = 1;

struct WallHit {
  float x;  // world units
  float y;
  int32_t cell;  // 0: the walk left the world without meeting a wall
};

// Exact for every float: 0.015625 is 1/64.
int32_t cell_index(float v) { return to_int32(std::floor(static_cast<double>(v * 0.015625f))); }

// cell_index for a probe the walk has kept within -1 .. 3200: there the floor
// is the truncation, less one below 0, and needs no range test.
inline int32_t probe_index(float v) {
  float q = v * 0.015625f;
  return to_int32_in_range(q) - (q < 0.0f ? 1 : 0);
}

// The map's cell at (column, row), or the wall beyond the grid.
inline int32_t grid_cell(int32_t column, int32_t row) {
  if (column < 0 || column >= kMapSize || row < 0 || row >= kMapSize) return kOutsideCell;
  return world_map[row * kMapSize + column];
}

// The grid line at or below v, in world units.
float grid_line_at_or_below(float v) {
  return static_cast<float>(kCellSize * std::floor(static_cast<double>(v) / kCellSize));
}

// Steps from line to line until the cell beyond the line (the probe, offset
// from the line point so it falls on the far side) is a wall or the line
// point leaves the world. The hit is written field by field: handed back in
// registers, its two floats were packed through memory, which stalled.
void walk_lines(float px, float py, float step_x, float step_y, float probe_dx, float probe_dy,
                WallHit& hit) {
  hit = {0.0f, 0.0f, 0};
  while (within_world(px) && within_world(py)) {
    int32_t cell = grid_cell(probe_index(px + probe_dx), probe_index(py + probe_dy));
    if (cell != 0) {
      hit = {px, py, cell};
      return;
    }
    px += step_x;
    py += step_y;
  }
}

// Walk over the lines of constant y (multiples of 64).
WallHit walk_horizontal_lines(float x, float y, double tan_a, bool up, bool left) {
  float hy = grid_line_at_or_below(y) + (up ? 0.0f : kCellSize);
  float hx = static_cast<float>(x + static_cast<double>(hy - y) / tan_a);
  float step_x = static_cast<float>(std::fabs(kCellSize / tan_a));
  WallHit hit;
  walk_lines(hx, hy, left ? -step_x : step_x, up ? -kCellSize : kCellSize, 0.0f,
             up ? -1.0f : 0.0f, hit);
  return hit;
}

// Walk over the lines of constant x (multiples of 64).
WallHit walk_vertical_lines(float x, float y, double tan_a, bool up, bool left) {
  float vx = grid_line_at_or_below(x) + (left ? 0.0f : kCellSize);
  float vy = static_cast<float>(y + tan_a * static_cast<double>(vx - x));
  float step_y = static_cast<float>(std::fabs(kCellSize * tan_a));
  WallHit hit;
  walk_lines(vx, vy, left ? -kCellSize : kCellSize, up ? -step_y : step_y, left ? -1.0f : 0.0f,
             0.0f, hit);
  return hit;
}

// Squares and sum in float, the root in double.
float hit_distance(const WallHit& hit, float x, float y) {
  if (hit.cell == 0) return kNoHitDistance;
  float dx = hit.x - x;
  float dy = hit.y - y;
  return static_cast<float>(std::sqrt(static_cast<double>(dx * dx + dy * dy)));
}

}  // namespace

int32_t map_cell(float x, float y) { return grid_cell(cell_index(x), cell_index(y)); }

bool cell_is_open(float x, float y) { return map_cell(x, y) == 0; }

bool ray_faces_up(float a) { return !(a > 0.0f && static_cast<double>(a) < kPi); }

bool ray_faces_left(float a) {
  double d = a;
  return d >= kHalfPi && d <= kThreeHalfPi;
}

RayDirection ray_direction(float angle) {
  float a = normalize_angle(angle);
  return {a, std::tan(static_cast<double>(a)), ray_faces_up(a), ray_faces_left(a)};
}

void cast_ray(int column, float angle) {
  if (column < 0 || column >= kFrameWidth) return;  // no such screen column
  cast_along(column, ray_direction(angle));
}

void cast_along(int column, const RayDirection& ray) {
  const Camera& cam = camera_record();
  WallHit horizontal = walk_horizontal_lines(cam.x, cam.y, ray.tangent, ray.up, ray.left);
  WallHit vertical = walk_vertical_lines(cam.x, cam.y, ray.tangent, ray.up, ray.left);
  float horizontal_distance = hit_distance(horizontal, cam.x, cam.y);
  float vertical_distance = hit_distance(vertical, cam.x, cam.y);
  // On a tie (a ray through a grid corner) the horizontal line wins.
  bool vertical_wins = horizontal_distance > vertical_distance;
  const WallHit& hit = vertical_wins ? vertical : horizontal;
  column_hits[column] = {ray.angle,
                         hit.x,
                         hit.y,
                         vertical_wins ? vertical_distance : horizontal_distance,
                         static_cast<uint8_t>(vertical_wins ? 1 : 0),
                         hit.cell};
}

namespace {

constexpr int kRayBlock = 64;  // columns a worker casts at a time

// index column 0..1599: atan((column - 800) / projection_distance), the
// column's angle off the heading in radians.
struct ColumnAngles {
  double offset[kFrameWidth];
};

ColumnAngles column_angles() {
  ColumnAngles angles;
  for (int i = 0; i < kFrameWidth; ++i)
    angles.offset[i] = std::atan((i - kFrameWidth / 2) / projection_distance);
  return angles;
}

}  // namespace

// Each column's ray depends on the camera alone, so the columns are shared
// among the worker pool. The rays' directions are worked out again only when
// the heading has changed since the last frame.
void cast_all_rays() {
  static const ColumnAngles angles = column_angles();
  bool turned = ray_fan_turns_to(camera_record().heading);
  workers_for(kFrameWidth, kRayBlock, [turned](int first, int end) {
    for (int i = first; i < end; ++i) {
      if (turned) ray_fan_refill(i, angles.offset[i]);
      cast_along(i, ray_fan_direction(i));
    }
  });
}
