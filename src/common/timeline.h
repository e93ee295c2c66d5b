// The show's timeline: its rate (5 units a second of the millisecond clock,
// computed in double and kept in float), the scene clock's rate (4 units a
// second), the five scenes' windows and the end. Every reader of these facts
// takes them from here.
#pragma once
#include <cmath>
#include <cstdint>

constexpr double kTimelineUnitsPerSecond = 5;
constexpr double kSceneClockUnitsPerSecond = 4;

inline float timeline_position(uint32_t ms) {
  return static_cast<float>(ms * (kTimelineUnitsPerSecond / 1000));
}
// The clock that the sprites and the column renderers of scenes 1 and 3 animate with.
inline float scene_clock(uint32_t ms) {
  return static_cast<float>(ms * (kSceneClockUnitsPerSecond / 1000));
}
// Milliseconds since start-up at timeline position t.
constexpr double timeline_ms(double t) { return t * (1000 / kTimelineUnitsPerSecond); }

// The show ends with the first frame whose timeline position passes this.
constexpr float kTimelineEnd = 630;
constexpr double kShowMs = timeline_ms(kTimelineEnd);  // 126 s

// A window of timeline positions with strict bounds: after < t < before.
struct TimelineWindow {
  float after;
  float before;
};
constexpr bool within_window(const TimelineWindow& window, float t) {
  return window.after < t && t < window.before;
}

// The scenes in show order, each drawing its picture and then its sprites
// within their windows; scene 2's picture runs on under scene 3's first 20
// units. The intro has no sprites.
enum SceneIndex { SCENE_INTRO, SCENE_1, SCENE_2, SCENE_3, SCENE_4, kSceneCount };
struct SceneTiming {
  const char* name;
  TimelineWindow picture;
  TimelineWindow sprites;
};
constexpr TimelineWindow kNoWindow = {0, 0};
constexpr SceneTiming kSceneTimings[kSceneCount] = {
    {"intro", {-INFINITY, 100}, kNoWindow},
    {"scene 1", {101, 255}, {151, 255}},
    {"scene 2", {255, 340}, {267, 320}},
    {"scene 3", {320, 530}, {320, 530}},
    {"scene 4", {530, INFINITY}, {530, INFINITY}},
};

// The scene a frame at t belongs to: the latest one whose picture has begun
// (the black gaps go with the scene before them).
constexpr SceneIndex scene_at(float t) {
  int scene = SCENE_INTRO;
  for (int i = SCENE_1; i < kSceneCount; ++i)
    if (kSceneTimings[i].picture.after < t) scene = i;
  return static_cast<SceneIndex>(scene);
}
