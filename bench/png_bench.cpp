// PNG decoding speed: a 1024 x 1024 RGBA8 photo-like picture, written by
// libpng at zlib's default level, decoded by our decoder and by libpng in
// the same run.
#include <benchmark/benchmark.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "png/image.h"

namespace {

constexpr uint32_t kSide = 1024;

void append_bytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void no_flush(png_structp) {}

// Smooth colour fields with soft shapes and sensor-like noise, so that the
// filters and the compressor see what a photograph gives them.
std::vector<uint8_t> photo_rows() {
  std::vector<uint8_t> rows(size_t(kSide) * kSide * 4);
  std::mt19937 random(42);
  std::normal_distribution<double> noise(0.0, 3.0);
  for (uint32_t y = 0; y < kSide; ++y) {
    for (uint32_t x = 0; x < kSide; ++x) {
      const double u = x / double(kSide), v = y / double(kSide);
      const double blob = std::exp(-((u - 0.6) * (u - 0.6) + (v - 0.4) * (v - 0.4)) * 18.0);
      const double sky = 1.0 - v;
      const double r = 90 + 120 * sky + 40 * std::sin(u * 9.0) + 60 * blob + noise(random);
      const double g = 110 + 80 * sky + 30 * std::cos(v * 7.0 + u * 3.0) + 40 * blob + noise(random);
      const double b = 140 + 90 * sky - 50 * blob + noise(random);
      uint8_t* p = &rows[(size_t(y) * kSide + x) * 4];
      p[0] = uint8_t(std::clamp(r, 0.0, 255.0));
      p[1] = uint8_t(std::clamp(g, 0.0, 255.0));
      p[2] = uint8_t(std::clamp(b, 0.0, 255.0));
      p[3] = 255;
    }
  }
  return rows;
}

std::vector<uint8_t> encode_photo() {
  const std::vector<uint8_t> rows = photo_rows();
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) std::abort();
  png_set_write_fn(png, &out, append_bytes, no_flush);
  png_set_IHDR(png, info, kSide, kSide, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (uint32_t y = 0; y < kSide; ++y)
    png_write_row(png, const_cast<png_bytep>(&rows[size_t(y) * kSide * 4]));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

const std::vector<uint8_t>& photo_file() {
  static const std::vector<uint8_t> file = encode_photo();
  return file;
}

struct MemoryReader {
  const uint8_t* bytes;
  size_t pos;
};

void read_bytes(png_structp png, png_bytep data, png_size_t length) {
  auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  std::memcpy(data, reader->bytes + reader->pos, length);
  reader->pos += length;
}

void BM_PngDecodeOurs(benchmark::State& state) {
  const std::vector<uint8_t>& file = photo_file();
  for (auto _ : state) {
    Image* image = image_create();
    image->source = file.data();
    image->source_size = uint32_t(file.size());
    if (image_decode(image) != IMAGE_OK) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(image->pixels[image->pixels_size - 1]);
    image_free(image);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kSide * kSide * 4);
  state.counters["file_bytes"] = double(file.size());
}

void BM_PngDecodeLibpng(benchmark::State& state) {
  const std::vector<uint8_t>& file = photo_file();
  std::vector<uint8_t> pixels(size_t(kSide) * kSide * 4);
  std::vector<png_bytep> rows(kSide);
  for (uint32_t y = 0; y < kSide; ++y) rows[y] = &pixels[size_t(y) * kSide * 4];
  for (auto _ : state) {
    MemoryReader reader{file.data(), 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) std::abort();
    png_set_read_fn(png, &reader, read_bytes);
    png_read_info(png, info);
    png_read_image(png, rows.data());
    png_destroy_read_struct(&png, &info, nullptr);
    benchmark::DoNotOptimize(pixels.back());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kSide * kSide * 4);
}

BENCHMARK(BM_PngDecodeOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngDecodeLibpng)->Unit(benchmark::kMillisecond);

}  // namespace
