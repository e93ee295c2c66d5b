// The 50 x 50 world grid and the per-column ray caster that fills
// column_hits, one record per screen column, every frame.
#pragma once
#include <cstdint>

#include "common/framebuffer.h"
#include "raycast/ray_fan.h"

constexpr int kMapSize = 50;        // cells per side
constexpr float kCellSize = 64.0f;  // world units per cell
constexpr float kWorldSize = 3200.0f;
constexpr float kNoHitDistance = 3.4028235e38f;

// Row-major, element row x 50 + column; 0 is open space.
extern const int32_t world_map[kMapSize * kMapSize];

struct ColumnHit {
  float angle;     // radians, normalised into [0, 2 pi)
  float hit_x;     // world units
  float hit_y;
  float distance;  // Euclidean, kNoHitDistance when nothing was met
  uint8_t vertical;  // 1: the hit lies on a line of constant x
  int32_t cell;      // world_map value met, 0 when none
};

extern ColumnHit column_hits[kFrameWidth];

// Both ends included; NaN is outside.
inline bool within_world(float v) { return v >= 0.0f && v <= kWorldSize; }

// The cell holding world point (x, y). Outside the grid (an index below 0 or
// above 49, such as a coordinate of exactly 3200) it is a wall of value 1.
int32_t map_cell(float x, float y);
bool cell_is_open(float x, float y);
bool ray_faces_up(float a);    // false exactly when 0 < a < pi
bool ray_faces_left(float a);  // true exactly when pi/2 <= a <= 3 pi/2
// The normalised angle, its tangent and facing, for any angle in radians.
RayDirection ray_direction(float angle);
// Casts from the camera's position and writes column_hits[column].
void cast_ray(int column, float angle);
// cast_ray for a screen column 0..1599 whose direction is worked out.
void cast_along(int column, const RayDirection& ray);
// One ray per screen column across the 60-degree view about the heading.
void cast_all_rays();
