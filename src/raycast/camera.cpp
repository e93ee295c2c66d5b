// Placeholder camera: stands still.
#include "raycast/camera.h"

namespace {
Camera cam = {};
}

Camera& camera_record() { return cam; }
void camera_reset() { cam = {}; }
void update_camera() {}
void try_move(double) {}
