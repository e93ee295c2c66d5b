// The demo shell: start-up, picture loading, the frame loop with its scene
// table, and shut-down.
#pragma once
#include "common/image_table.h"
#include "common/timeline.h"

extern const char* const image_file_names[kImageSlots];
extern const char* const music_file_name;

using SceneRenderer = void (*)();
constexpr int kMaxSceneRenderers = 2 * kSceneCount;  // a picture and sprites each

// The renderers whose windows contain t, in the order they are called.
int scene_renderers_at(float t, SceneRenderer out[kMaxSceneRenderers]);
void dispatch_scenes(float t);

void load_images();
// One file into the record's source, or the reason it cannot be read.
void read_image_file(Image* image, const char* name);
void free_images();

// One frame's drawing: camera step, clock reading, clear, scene dispatch.
// Returns the frame's timeline position.
float draw_frame();

int demo_main();
