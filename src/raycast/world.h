// The 50 x 50 world grid and the per-column ray caster that fills
// column_hits, one record per screen column, every frame.
#pragma once
#include <cstdint>

#include "common/framebuffer.h"

constexpr int kMapSize = 50;       // cells per side
constexpr float kCellSize = 64.0f; // world units per cell
constexpr float kNoHitDistance = 3.4028235e38f;

extern const int32_t world_map[kMapSize * kMapSize];

struct ColumnHit {
  float angle;     // radians, normalised into [0, 2 pi)
  float hit_x;     // world units
  float hit_y;
  float distance;  // Euclidean, kNoHitDistance when nothing was met
  uint8_t vertical;
  int32_t cell;
};

extern ColumnHit column_hits[kFrameWidth];

int32_t map_cell(float x, float y);
bool cell_is_open(float x, float y);
bool ray_faces_up(float a);
bool ray_faces_left(float a);
void cast_ray(int column, float angle);
void cast_all_rays();
