// Sprite pictures: fish, a second fish, an octopus, a duck and a donut as
// crisp pixel art. Everything that is not the creature is the transparent
// key; every other pixel is opaque, so the show draws no half-transparency.
#include <algorithm>
#include <cmath>

#include "pictures.h"

namespace {

// Four tones of one material, darkest first, and the line along its rim.
struct Palette {
  uint32_t tone[4];
  uint32_t edge;
};

constexpr uint32_t INK = rgba(24, 18, 36);  // ring around every sprite and the darkest details
constexpr uint32_t WHITE = rgba(255, 255, 255);

constexpr Palette ORANGE = {{rgba(176, 58, 10), rgba(232, 102, 18), rgba(255, 150, 36), rgba(255, 204, 120)},
                            rgba(110, 34, 8)};
constexpr Palette SNOW = {{rgba(160, 166, 196), rgba(210, 214, 232), rgba(240, 242, 250), WHITE}, INK};
constexpr Palette BLUE = {{rgba(20, 50, 150), rgba(36, 90, 210), rgba(70, 140, 245), rgba(160, 210, 255)},
                          rgba(10, 24, 80)};
constexpr Palette LEMON = {{rgba(200, 140, 0), rgba(245, 190, 10), rgba(255, 226, 60), rgba(255, 250, 170)},
                           rgba(140, 86, 0)};
constexpr Palette BEAK = {{rgba(190, 70, 0), rgba(240, 110, 10), rgba(255, 150, 40), rgba(255, 200, 120)},
                          rgba(120, 40, 0)};
constexpr Palette VIOLET = {{rgba(84, 28, 110), rgba(136, 50, 160), rgba(188, 92, 204), rgba(236, 164, 244)},
                            rgba(50, 12, 70)};
constexpr Palette PLUM = {{rgba(60, 20, 84), rgba(100, 36, 124), rgba(142, 66, 164), rgba(186, 120, 206)},
                          rgba(36, 8, 52)};
constexpr Palette DOUGH = {{rgba(150, 84, 30), rgba(200, 124, 50), rgba(232, 168, 84), rgba(250, 212, 140)},
                           rgba(96, 48, 16)};
constexpr Palette ICING = {{rgba(200, 60, 120), rgba(240, 100, 160), rgba(255, 150, 200), rgba(255, 214, 236)},
                           rgba(140, 30, 80)};
constexpr Palette WATER = {{rgba(120, 190, 230), rgba(170, 220, 245), rgba(210, 240, 255), WHITE},
                           rgba(40, 110, 170)};

// Light comes from the upper left and towards the viewer.
constexpr double LIGHT_X = -0.48, LIGHT_Y = -0.64, LIGHT_Z = 0.6;

// Tone 0-3 of a round surface whose normal has the screen parts nx, ny.
int round_tone(double nx, double ny) {
  double nz = std::sqrt(std::max(0.0, 1.0 - nx * nx - ny * ny));
  double light = nx * LIGHT_X + ny * LIGHT_Y + nz * LIGHT_Z;
  return light > 0.78 ? 3 : light > 0.42 ? 2 : light > 0.02 ? 1 : 0;
}

// Paints every pixel whose centre is inside the shape; pixels on the shape's
// rim get the edge colour when one is given (non-zero).
template <typename Inside, typename Colour>
void paint(Canvas& canvas, Inside inside, Colour colour, uint32_t edge) {
  for (int y = 0; y < canvas.height; ++y)
    for (int x = 0; x < canvas.width; ++x) {
      double px = x + 0.5, py = y + 0.5;
      if (!inside(px, py)) continue;
      bool rim = !inside(px - 1, py) || !inside(px + 1, py) || !inside(px, py - 1) || !inside(px, py + 1);
      canvas_put(canvas, x, y, rim && edge ? edge : colour(px, py));
    }
}

bool in_ellipse(double x, double y, double cx, double cy, double rx, double ry) {
  double u = (x - cx) / rx, v = (y - cy) / ry;
  return u * u + v * v <= 1.0;
}

void paint_ball(Canvas& canvas, double cx, double cy, double rx, double ry, const Palette& palette) {
  paint(
      canvas, [=](double x, double y) { return in_ellipse(x, y, cx, cy, rx, ry); },
      [=](double x, double y) { return palette.tone[round_tone((x - cx) / rx, (y - cy) / ry)]; },
      palette.edge);
}

void paint_flat_ellipse(Canvas& canvas, double cx, double cy, double rx, double ry, uint32_t colour) {
  paint(canvas, [=](double x, double y) { return in_ellipse(x, y, cx, cy, rx, ry); },
        [=](double, double) { return colour; }, 0);
}

struct Point {
  double x, y;
};

bool in_polygon(double x, double y, const Point* points, int count) {
  bool inside = false;
  for (int i = 0, j = count - 1; i < count; j = i++) {
    const Point& a = points[i];
    const Point& b = points[j];
    if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) inside = !inside;
  }
  return inside;
}

// A fin: a polygon striped with rays fanning out from its root.
template <int N>
void paint_fin(Canvas& canvas, const Point (&points)[N], Point root, const Palette& palette) {
  paint(
      canvas, [&](double x, double y) { return in_polygon(x, y, points, N); },
      [&](double x, double y) {
        double angle = std::atan2(y - root.y, x - root.x);
        return palette.tone[int(std::floor(angle * 9.0)) & 1 ? 1 : 2];
      },
      palette.edge);
}

// An eye looking along (look_x, look_y): white, a dark pupil and a glint.
void paint_eye(Canvas& canvas, double cx, double cy, double r, double look_x, double look_y) {
  paint(canvas, [=](double x, double y) { return in_ellipse(x, y, cx, cy, r, r * 1.1); },
        [=](double, double y) { return y > cy + r * 0.5 ? SNOW.tone[1] : WHITE; }, INK);
  double px = cx + look_x * r * 0.35, py = cy + look_y * r * 0.35;
  paint_flat_ellipse(canvas, px, py, r * 0.6, r * 0.66, INK);
  paint_flat_ellipse(canvas, px - r * 0.25, py - r * 0.3, std::max(0.8, r * 0.2), std::max(0.8, r * 0.2), WHITE);
}

// A water bubble: a pale ring with a glint.
void paint_bubble(Canvas& canvas, double cx, double cy, double r) {
  paint(canvas, [=](double x, double y) { return in_ellipse(x, y, cx, cy, r, r); },
        [=](double x, double y) {
          double u = (x - cx) / r, v = (y - cy) / r;
          if (u < -0.1 && v < -0.1 && u * u + v * v < 0.45 && u * u + v * v > 0.15) return WHITE;
          return WATER.tone[1];
        },
        WATER.edge);
}

// Rings every sprite with a dark line just outside its pixels.
void outline_sprite(Canvas& canvas) {
  Canvas before = canvas;
  for (int y = 0; y < canvas.height; ++y)
    for (int x = 0; x < canvas.width; ++x) {
      if (canvas_get(before, x, y) != KEY) continue;
      auto solid = [&](int nx, int ny) {
        return canvas_inside(before, nx, ny) && canvas_get(before, nx, ny) != KEY;
      };
      if (solid(x - 1, y) || solid(x + 1, y) || solid(x, y - 1) || solid(x, y + 1)) canvas_put(canvas, x, y, INK);
    }
}

}  // namespace

// A clownfish swimming right, with two bubbles.
Canvas draw_fish() {
  Canvas canvas = canvas_make(64, 64, KEY);
  constexpr double cx = 32, cy = 34, rx = 20, ry = 12.5;
  constexpr Point tail[] = {{16, 34}, {3, 20}, {7, 34}, {3, 48}};
  constexpr Point dorsal[] = {{20, 25}, {26, 17}, {36, 15}, {45, 24}};
  constexpr Point belly[] = {{28, 44}, {34, 52}, {40, 45}};
  paint_fin(canvas, tail, {16, 34}, ORANGE);
  paint_fin(canvas, dorsal, {32, 30}, ORANGE);
  paint_fin(canvas, belly, {34, 40}, ORANGE);
  paint_ball(canvas, cx, cy, rx, ry, ORANGE);
  // three white bands edged in black, bowed like the body
  constexpr double bands[3][2] = {{42.0, 3.0}, {29.0, 3.2}, {17.5, 2.2}};  // centre column, half width
  for (const auto& band : bands) {
    double centre = band[0], half = band[1];
    auto bow = [=](double y) { return centre - 0.03 * (y - cy) * (y - cy); };
    paint(
        canvas,
        [=](double x, double y) {
          return in_ellipse(x, y, cx, cy, rx - 0.6, ry - 0.6) && std::fabs(x - bow(y)) < half + 1.0;
        },
        [=](double x, double y) {
          if (std::fabs(x - bow(y)) >= half) return INK;
          return SNOW.tone[std::max(1, round_tone((x - cx) / rx, (y - cy) / ry))];
        },
        0);
  }
  constexpr Point side_fin[] = {{34, 37}, {29, 43}, {33, 45}, {39, 40}};
  paint_fin(canvas, side_fin, {36, 38}, ORANGE);
  paint_eye(canvas, 45.5, 30, 3.6, 1, 0);
  canvas_put(canvas, 50, 37, ORANGE.edge);
  canvas_put(canvas, 51, 37, ORANGE.edge);
  paint_bubble(canvas, 57, 15, 3.4);
  paint_bubble(canvas, 59.5, 6.5, 2.2);
  outline_sprite(canvas);
  return canvas;
}

// A blue tang: a tall oval body with a dark swoosh, a yellow tail and fins
// edged in black.
Canvas draw_fish2() {
  Canvas canvas = canvas_make(96, 96, KEY);
  constexpr double cx = 48, cy = 48, rx = 30, ry = 22;
  constexpr Point tail[] = {{22, 48}, {5, 28}, {12, 48}, {5, 68}};
  constexpr Point dorsal[] = {{24, 40}, {28, 30}, {40, 22}, {54, 20}, {66, 24}, {72, 32}};
  constexpr Point anal[] = {{26, 56}, {32, 68}, {44, 75}, {58, 73}, {68, 62}};
  paint_fin(canvas, tail, {22, 48}, LEMON);
  paint_fin(canvas, dorsal, {48, 44}, BLUE);
  paint_fin(canvas, anal, {48, 52}, BLUE);
  paint_ball(canvas, cx, cy, rx, ry, BLUE);
  // the swoosh: inside one oval but outside a second, tucked inside the first
  paint(
      canvas,
      [=](double x, double y) {
        return in_ellipse(x, y, cx, cy, rx - 1, ry - 1) && in_ellipse(x, y, 46, 44, 26, 13) &&
               !in_ellipse(x, y, 54, 40, 24, 8.5);
      },
      [](double, double) { return rgba(14, 18, 50); }, 0);
  constexpr Point spine[] = {{21, 47}, {27, 44}, {30, 48}, {27, 51}};
  paint(canvas, [&](double x, double y) { return in_polygon(x, y, spine, 4); },
        [](double, double) { return LEMON.tone[2]; }, LEMON.edge);
  constexpr Point side_fin[] = {{54, 50}, {44, 56}, {46, 61}, {58, 55}};
  paint_fin(canvas, side_fin, {55, 52}, LEMON);
  paint_eye(canvas, 66, 42, 5.2, 1, -0.2);
  paint_flat_ellipse(canvas, 77.5, 51, 2, 1.4, BLUE.edge);
  paint_bubble(canvas, 86, 22, 4);
  paint_bubble(canvas, 90, 10, 2.6);
  outline_sprite(canvas);
  return canvas;
}

namespace {

// One tentacle: a tube from start along a curve that bends by curl radians
// over its length, thinning towards the tip, with a row of suckers.
void paint_tentacle(Canvas& canvas, Point start, double heading, double curl, double length,
                    double width, const Palette& palette) {
  constexpr int samples = 64;
  Point centre[samples + 1];
  double radius[samples + 1];
  Point p = start;
  for (int i = 0; i <= samples; ++i) {
    double t = double(i) / samples;
    centre[i] = p;
    radius[i] = width * (1.0 - 0.78 * t);
    double a = heading + curl * t * t;
    p = {p.x + std::cos(a) * length / samples, p.y + std::sin(a) * length / samples};
  }
  auto nearest = [&](double x, double y, double& depth) {
    int best = -1;
    depth = 2.0;
    for (int i = 0; i <= samples; ++i) {
      double d = std::hypot(x - centre[i].x, y - centre[i].y) / radius[i];
      if (d < depth) depth = d, best = i;
    }
    return best;
  };
  paint(
      canvas, [&](double x, double y) { double d; return nearest(x, y, d) >= 0 && d <= 1.0; },
      [&](double x, double y) {
        double d;
        int i = nearest(x, y, d);
        double nx = (x - centre[i].x) / radius[i], ny = (y - centre[i].y) / radius[i];
        return palette.tone[round_tone(nx, ny)];
      },
      palette.edge);
  // suckers on the side the tentacle curls towards
  double side = curl > 0 ? 1.0 : -1.0;
  for (int i = 8; i < samples - 6; i += 7) {
    double a = heading + curl * (double(i) / samples) * (double(i) / samples);
    double sx = centre[i].x - std::sin(a) * side * radius[i] * 0.55;
    double sy = centre[i].y + std::cos(a) * side * radius[i] * 0.55;
    double r = std::max(1.0, radius[i] * 0.32);
    paint(canvas, [=](double x, double y) { return in_ellipse(x, y, sx, sy, r, r); },
          [](double, double) { return rgba(255, 200, 230); }, palette.edge);
  }
}

}  // namespace

// A friendly octopus: a round head with big eyes over eight curling arms.
Canvas draw_octopus() {
  Canvas canvas = canvas_make(128, 128, KEY);
  constexpr double cx = 64, cy = 44, rx = 33, ry = 31;
  // back arms, in the head's shadow
  paint_tentacle(canvas, {50, 66}, 1.9, 1.6, 50, 8, PLUM);
  paint_tentacle(canvas, {78, 66}, 1.24, -1.6, 50, 8, PLUM);
  paint_tentacle(canvas, {40, 62}, 2.5, 1.4, 38, 8, PLUM);
  paint_tentacle(canvas, {88, 62}, 0.64, -1.4, 38, 8, PLUM);
  paint_ball(canvas, cx, cy, rx, ry, VIOLET);
  // freckles on the crown
  constexpr Point spots[] = {{50, 24}, {60, 18}, {74, 22}, {82, 32}, {44, 34}, {70, 30}};
  for (const Point& s : spots)
    paint(canvas, [=](double x, double y) { return in_ellipse(x, y, s.x, s.y, 2.6, 2.2); },
          [](double, double) { return VIOLET.tone[1]; }, 0);
  // front arms, over the head's lower rim
  paint_tentacle(canvas, {34, 62}, 2.2, -2.4, 48, 9, VIOLET);
  paint_tentacle(canvas, {94, 62}, 0.94, 2.4, 48, 9, VIOLET);
  paint_tentacle(canvas, {54, 70}, 1.72, -2.8, 50, 9, VIOLET);
  paint_tentacle(canvas, {74, 70}, 1.42, 2.8, 50, 9, VIOLET);
  paint_eye(canvas, 52, 46, 8, 0.4, 0.3);
  paint_eye(canvas, 77, 46, 8, 0.4, 0.3);
  paint_flat_ellipse(canvas, 44, 58, 4.5, 2.4, rgba(255, 130, 190));
  paint_flat_ellipse(canvas, 86, 58, 4.5, 2.4, rgba(255, 130, 190));
  // a small smile between the cheeks
  paint(canvas,
        [](double x, double y) {
          return in_ellipse(x, y, 65, 57, 5, 4) && !in_ellipse(x, y, 65, 55.5, 5, 4);
        },
        [](double, double) { return VIOLET.edge; }, 0);
  outline_sprite(canvas);
  return canvas;
}

// A yellow rubber duck facing right.
Canvas draw_duck() {
  Canvas canvas = canvas_make(96, 96, KEY);
  constexpr Point tail[] = {{18, 62}, {8, 38}, {14, 40}, {30, 54}};
  paint(canvas, [&](double x, double y) { return in_polygon(x, y, tail, 4); },
        [](double x, double y) { return LEMON.tone[(x + y) < 60 ? 3 : 2]; }, LEMON.edge);
  paint_ball(canvas, 44, 64, 35, 21, LEMON);
  paint_ball(canvas, 62, 34, 18, 18, LEMON);
  // beak: upper and lower bill, the lower in shade
  paint_ball(canvas, 82, 44, 9, 3.6, BEAK);
  paint_ball(canvas, 83, 39.5, 10, 4.2, BEAK);
  paint_eye(canvas, 69, 28, 3.6, 0.6, -0.2);
  // wing folded on the side, its feathers in steps
  paint(
      canvas,
      [](double x, double y) {
        return in_ellipse(x, y, 40, 62, 18, 10.5) || (x < 28 && x > 17 && y > 56 - (28 - x) * 0.9 && y < 66);
      },
      [](double x, double y) {
        int step = int((x - 17) / 6);
        return LEMON.tone[(y < 58 + step * 0.5) ? 2 : 1];
      },
      LEMON.edge);
  paint_flat_ellipse(canvas, 64, 40, 3.8, 2.4, rgba(255, 170, 120));
  outline_sprite(canvas);
  return canvas;
}

// A pink-iced ring donut with sprinkles, seen from above at a slant.
Canvas draw_donut() {
  Canvas canvas = canvas_make(64, 64, KEY);
  constexpr double cx = 32, cy = 33, rx = 29, ry = 21, hole_rx = 9, hole_ry = 6;
  // position across the ring, 0 at the hole's rim and 1 at the outer rim
  auto across = [=](double x, double y) {
    double u = (x - cx) / rx, v = (y - cy) / ry;
    double rho = std::sqrt(u * u + v * v);
    double inner = hole_rx / rx;
    return (rho - inner) / (1.0 - inner);
  };
  auto in_ring = [=](double x, double y) {
    return in_ellipse(x, y, cx, cy, rx, ry) && !in_ellipse(x, y, cx, cy - 1, hole_rx, hole_ry);
  };
  // tube shading: the normal turns from the hole through the top to the outside
  auto ring_tone = [=](double x, double y, const Palette& palette) {
    double s = across(x, y) * 2.0 - 1.0;
    double u = (x - cx) / rx, v = (y - cy) / ry;
    double len = std::max(1e-6, std::sqrt(u * u + v * v));
    double nx = u / len * s * 0.9, ny = v / len * s * 0.9 - 0.35 * std::sqrt(std::max(0.0, 1 - s * s));
    return palette.tone[round_tone(nx, ny)];
  };
  paint(canvas, in_ring, [=](double x, double y) { return ring_tone(x, y, DOUGH); }, DOUGH.edge);
  // icing over the top, its outer edge dripping
  auto in_icing = [=](double x, double y) {
    double angle = std::atan2(y - cy, x - cx);
    double drip = 0.1 * std::sin(angle * 7.0 + 0.5) + 0.05 * std::sin(angle * 13.0);
    return in_ring(x, y) && across(x, y) < 0.78 + drip && across(x, y) > 0.05;
  };
  paint(canvas, in_icing, [=](double x, double y) { return ring_tone(x, y, ICING); }, ICING.edge);
  // sprinkles: short bars in five colours, scattered over the icing
  constexpr uint32_t sprinkles[5] = {rgba(255, 255, 255), rgba(80, 200, 255), rgba(255, 230, 60),
                                     rgba(120, 230, 110), rgba(170, 90, 255)};
  for (uint32_t i = 0; i < 90; ++i) {
    int x = int(hash3(i, 1, 13) % 64), y = int(hash3(i, 2, 13) % 64);
    bool flat = hash3(i, 3, 13) & 1;
    int x2 = x + (flat ? 1 : 0), y2 = y + (flat ? 0 : 1);
    if (!in_icing(x + 0.5, y + 0.5) || !in_icing(x2 + 0.5, y2 + 0.5)) continue;
    if (!in_icing(x - 0.5, y + 0.5) || !in_icing(x2 + 1.5, y2 + 0.5)) continue;
    uint32_t colour = sprinkles[hash3(i, 4, 13) % 5];
    canvas_put(canvas, x, y, colour);
    canvas_put(canvas, x2, y2, colour);
  }
  outline_sprite(canvas);
  return canvas;
}
