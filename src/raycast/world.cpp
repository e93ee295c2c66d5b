// Placeholder world: no rays are cast yet.
#include "raycast/world.h"

const int32_t world_map[kMapSize * kMapSize] = {};
ColumnHit column_hits[kFrameWidth] = {};

int32_t map_cell(float, float) { return 0; }
bool cell_is_open(float, float) { return true; }
bool ray_faces_up(float) { return true; }
bool ray_faces_left(float) { return false; }
void cast_ray(int, float) {}
void cast_all_rays() {}
