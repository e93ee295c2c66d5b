// RGB to YUV 4:2:0 for the video: each pixel's luma, and chroma from the mean
// of each pair of neighbouring pixels, reduced to every other row by a cubic
// filter. The arithmetic, its truncations included, is that of ffmpeg's
// default conversion on x86, so the encoder gets the same bytes as when
// ffmpeg converted the RGB frames itself.
#include "yuv420.h"

#include <algorithm>
#include <vector>

#include "common/workers.h"

namespace {

constexpr int kChromaWidth = kFrameWidth / 2;
constexpr int kChromaHeight = kFrameHeight / 2;
constexpr int kRowsPerJob = 30;  // rows a worker converts at a time

// Weights of red, green and blue in 1/32768, scaled to the limited range:
// luma spans 219 steps (16..235), chroma 224 (16..240) around 128.
constexpr int kYr = 8414, kYg = 16519, kYb = 3208;
constexpr int kUr = -4865, kUg = -9528, kUb = 14392;
constexpr int kVr = 14392, kVg = -12061, kVb = -2332;

// Two rows of chroma to one: a cubic (Keys, a = -0.6) at half scale over the
// eight rows around the point between the pair, in 1/4096 (they sum to 4096).
// Index 0 is the row three above the pair's upper row; the weight of a row
// beyond the frame's edge goes to the edge row.
constexpr int kChromaRows = 8;
constexpr int kChromaTaps[kChromaRows] = {-58, -172, 492, 1786, 1786, 492, -172, -58};

inline int red(uint32_t pixel) { return pixel & 0xFF; }
inline int green(uint32_t pixel) { return (pixel >> 8) & 0xFF; }
inline int blue(uint32_t pixel) { return (pixel >> 16) & 0xFF; }

// Y in 1/64 steps first, then rounded to a whole step.
inline uint8_t luma(uint32_t pixel) {
  int y64 = (kYr * red(pixel) + kYg * green(pixel) + kYb * blue(pixel) + (16 << 15) + (1 << 8)) >> 9;
  return uint8_t((y64 + 32) >> 6);
}

void luma_row(const uint32_t* __restrict pixels, uint8_t* __restrict y) {
  for (int x = 0; x < kFrameWidth; ++x) y[x] = luma(pixels[x]);
}

// U and V of the mean of each pair of pixels, in 1/64 steps (16 x 64 to
// 240 x 64), for every row of the frame: written by the first pass, read by
// the second.
std::vector<int16_t> pair_u, pair_v;

void pair_chroma_row(const uint32_t* __restrict pixels, int16_t* __restrict u,
                     int16_t* __restrict v) {
  for (int i = 0; i < kChromaWidth; ++i) {
    const uint32_t a = pixels[2 * i], b = pixels[2 * i + 1];
    const int r = red(a) + red(b), g = green(a) + green(b), bl = blue(a) + blue(b);
    u[i] = int16_t((kUr * r + kUg * g + kUb * bl + (256 << 15) + (1 << 9)) >> 10);
    v[i] = int16_t((kVr * r + kVg * g + kVb * bl + (256 << 15) + (1 << 9)) >> 10);
  }
}

// The eight pair rows of chroma row c and their weights.
struct ChromaFilter {
  const int16_t* rows[kChromaRows];
  int16_t taps[kChromaRows];
};

ChromaFilter chroma_filter(const int16_t* plane, int c) {
  ChromaFilter f = {};
  const int first = 2 * c - 3;
  for (int k = 0; k < kChromaRows; ++k) {
    const int row = std::clamp(first + k, 0, kFrameHeight - 1);
    f.rows[k] = plane + size_t(row) * kChromaWidth;
    f.taps[row - first] = int16_t(f.taps[row - first] + kChromaTaps[k]);
  }
  return f;
}

// ffmpeg's vector code takes each row's share, weight x value in 1/128 steps
// / 65536, to whole 1/8 steps, truncating, and adds 7/8 before it truncates
// the sum to a whole step. In 16-bit arithmetic, as there, the compiler
// uses the same vector multiply.
void chroma_row_eighths(const ChromaFilter& f, uint8_t* __restrict out) {
  for (int i = 0; i < kChromaWidth; ++i) {
    int16_t eighths = 7;
#pragma GCC unroll 8
    for (int k = 0; k < kChromaRows; ++k)
      eighths = int16_t(eighths + ((f.taps[k] * int16_t(f.rows[k][i] * 2)) >> 16));
    out[i] = uint8_t(std::clamp(eighths >> 3, 0, 255));
  }
}

// Its last row comes from plain code, which rounds the exact sum.
void chroma_row_rounded(const ChromaFilter& f, uint8_t* __restrict out) {
  for (int i = 0; i < kChromaWidth; ++i) {
    int sum = 1 << 17;
#pragma GCC unroll 8
    for (int k = 0; k < kChromaRows; ++k) sum += f.taps[k] * f.rows[k][i];
    out[i] = uint8_t(std::clamp(sum >> 18, 0, 255));
  }
}

void chroma_row(const int16_t* plane, int c, uint8_t* out) {
  const ChromaFilter f = chroma_filter(plane, c);
  if (c == kChromaHeight - 1) chroma_row_rounded(f, out);
  else chroma_row_eighths(f, out);
}

// Luma and the pair chroma of rows first .. end - 1.
void convert_rows(const uint32_t* pixels, uint8_t* yuv, int first, int end) {
  for (int y = first; y < end; ++y) {
    const size_t row = size_t(y) * kFrameWidth;
    luma_row(pixels + row, yuv + row);
    pair_chroma_row(pixels + row, &pair_u[size_t(y) * kChromaWidth], &pair_v[size_t(y) * kChromaWidth]);
  }
}

void reduce_chroma_rows(uint8_t* yuv, int first, int end) {
  uint8_t* u_plane = yuv + kFramePixelCount;
  uint8_t* v_plane = u_plane + kFramePixelCount / 4;
  for (int c = first; c < end; ++c) {
    chroma_row(pair_u.data(), c, u_plane + size_t(c) * kChromaWidth);
    chroma_row(pair_v.data(), c, v_plane + size_t(c) * kChromaWidth);
  }
}

}  // namespace

void frame_to_yuv420(const uint32_t* pixels, uint8_t* yuv) {
  pair_u.resize(kFrameHeight * kChromaWidth);
  pair_v.resize(kFrameHeight * kChromaWidth);
  workers_for(kFrameHeight, kRowsPerJob, [=](int first, int end) { convert_rows(pixels, yuv, first, end); });
  workers_for(kChromaHeight, kRowsPerJob, [=](int first, int end) { reduce_chroma_rows(yuv, first, end); });
}
