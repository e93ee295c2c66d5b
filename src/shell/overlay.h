// The viewer's overlay: show time, scene, frame time and frame rate, drawn
// into a copy of the window's picture for the screen alone, never into
// frame_pixels nor into the picture the next frame is blended over.
#pragma once
#include <cstdint>

struct OverlayFacts {
  float t;          // timeline position of the frame shown
  double frame_ms;  // the frame's work, pacing sleep left out
  double fps;       // frames presented per second
  bool paused;
};

// picture: a whole 1600 x 900 frame; the overlay covers its top left corner.
void draw_overlay(uint32_t* picture, const OverlayFacts& facts);
