// make-pictures: draws the show's seventeen pictures and writes them as 8-bit
// RGBA PNG files with libpng, each with its own filter, compression and IDAT
// chunk size, so that loading the show works the whole decoder.
//   make-pictures OUTPUT_DIR [--preview PREVIEW_DIR] [--icon FILE]
// The preview writes every picture enlarged 8 times over a chequer, for looking at;
// the icon is the octopus sprite, its key colour made transparent, for the desktop.
#include <png.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "pictures.h"

namespace {

struct Encoding {
  int filters;      // PNG_FILTER_* mask offered to libpng for every row
  int level;        // zlib compression level 0-9
  int strategy;     // zlib strategy
  int window_bits;  // zlib window 9-15
  size_t idat_size; // bytes of compressed data per IDAT chunk
};

struct PictureFile {
  const char* name;
  Canvas (*draw)();
  Encoding encoding;
};

Canvas plate_orvane() { return draw_plate(0); }
Canvas plate_plomet() { return draw_plate(1); }
Canvas plate_corvel() { return draw_plate(2); }
Canvas plate_greetings() { return draw_plate(3); }
Canvas plate_windrake() { return draw_plate(4); }
Canvas plate_quarn() { return draw_plate(5); }
Canvas plate_tazzle() { return draw_plate(6); }
Canvas plate_you() { return draw_plate(7); }

// Slot order of the show. Across the set: every filter type alone and mixed,
// stored, fixed-code and dynamic-code deflate, small windows, and IDAT chunks
// from 100 bytes to the whole stream in one.
constexpr PictureFile picture_files[] = {
    {"transparent.png", draw_glass_wall, {PNG_FILTER_NONE, 9, Z_DEFAULT_STRATEGY, 15, 8192}},
    {"orvane.png", plate_orvane, {PNG_FILTER_SUB, 6, Z_DEFAULT_STRATEGY, 15, 1024}},
    {"plomet.png", plate_plomet, {PNG_FILTER_UP, 1, Z_DEFAULT_STRATEGY, 12, 256}},
    {"corvel.png", plate_corvel, {PNG_FILTER_AVG, 9, Z_FILTERED, 15, 4096}},
    {"greetings.png", plate_greetings, {PNG_FILTER_PAETH, 6, Z_DEFAULT_STRATEGY, 10, 700}},
    {"windrake.png", plate_windrake, {PNG_ALL_FILTERS, 9, Z_DEFAULT_STRATEGY, 15, 8192}},
    {"quarn.png", plate_quarn, {PNG_FILTER_NONE, 0, Z_DEFAULT_STRATEGY, 15, 2000}},
    {"tazzle.png", plate_tazzle, {PNG_FILTER_SUB | PNG_FILTER_UP, 3, Z_RLE, 15, 512}},
    {"you.png", plate_you, {PNG_FILTER_PAETH, 9, Z_HUFFMAN_ONLY, 15, 8192}},
    {"fish.png", draw_fish, {PNG_ALL_FILTERS, 6, Z_FIXED, 15, 333}},
    {"fish2.png", draw_fish2, {PNG_FILTER_UP, 9, Z_DEFAULT_STRATEGY, 9, 1500}},
    {"octopus.png", draw_octopus, {PNG_ALL_FILTERS, 9, Z_DEFAULT_STRATEGY, 15, 65536}},
    {"duck.png", draw_duck, {PNG_FILTER_AVG, 2, Z_FIXED, 11, 4096}},
    {"donut.png", draw_donut, {PNG_FILTER_SUB, 0, Z_DEFAULT_STRATEGY, 15, 777}},
    {"deutschprachig.png", draw_corridor_wall, {PNG_FILTER_NONE, 4, Z_RLE, 15, 1024}},
    {"jubra23.png", draw_logo, {PNG_ALL_FILTERS, 9, Z_DEFAULT_STRATEGY, 15, 8192}},
    {"jubra23orig.png", draw_logo_sketch, {PNG_FILTER_PAETH | PNG_FILTER_AVG, 5, Z_DEFAULT_STRATEGY, 13, 100}},
};

bool write_png(const std::string& path, const Canvas& canvas, const Encoding& encoding) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = png && info;
  if (ok && setjmp(png_jmpbuf(png))) ok = false;
  else if (ok) {
    png_init_io(png, file);
    png_set_IHDR(png, info, uint32_t(canvas.width), uint32_t(canvas.height), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, encoding.filters);
    png_set_compression_level(png, encoding.level);
    png_set_compression_strategy(png, encoding.strategy);
    png_set_compression_window_bits(png, encoding.window_bits);
    png_set_compression_buffer_size(png, encoding.idat_size);
    png_write_info(png, info);
    // canvas words are 0xAABBGGRR, so their bytes in memory are already R, G, B, A
    for (int y = 0; y < canvas.height; ++y)
      png_write_row(png, reinterpret_cast<png_const_bytep>(&canvas.pixels[size_t(y) * canvas.width]));
    png_write_end(png, nullptr);
  }
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0 && ok;
}

// The picture enlarged 8 times across and drawn square, as a wall face or a
// sprite shows it, blended over a grey chequer so that transparency shows.
Canvas preview_of(const Canvas& canvas) {
  constexpr int zoom = 8;
  int side = canvas.width * zoom;
  Canvas big = canvas_make(side, side, 0);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      uint32_t chequer = ((x / 32 + y / 32) & 1) ? rgba(90, 90, 90) : rgba(160, 160, 160);
      uint32_t p = canvas_get(canvas, x / zoom, y * canvas.height / side);
      uint32_t c = colour_mix(chequer, p | 0xFF000000u, alpha(p));
      big.pixels[size_t(y) * big.width + x] = c | 0xFF000000u;
    }
  return big;
}

Canvas icon() {
  Canvas canvas = draw_octopus();
  for (uint32_t& p : canvas.pixels)
    if (p == KEY) p = 0;
  return canvas;
}

}  // namespace

int main(int argc, char** argv) {
  const char* preview_dir = nullptr;
  const char* icon_file = nullptr;
  bool usage = argc < 2 || argc % 2 != 0;
  for (int i = 2; !usage && i < argc; i += 2) {
    if (std::strcmp(argv[i], "--preview") == 0) preview_dir = argv[i + 1];
    else if (std::strcmp(argv[i], "--icon") == 0) icon_file = argv[i + 1];
    else usage = true;
  }
  if (usage) {
    std::fprintf(stderr, "usage: make-pictures OUTPUT_DIR [--preview PREVIEW_DIR] [--icon FILE]\n");
    return 2;
  }
  std::string out = argv[1];
  constexpr Encoding preview_encoding = {PNG_FILTER_NONE, 1, Z_DEFAULT_STRATEGY, 15, 8192};
  constexpr Encoding icon_encoding = {PNG_ALL_FILTERS, 9, Z_DEFAULT_STRATEGY, 15, 8192};
  for (const PictureFile& file : picture_files) {
    Canvas canvas = file.draw();
    if (!write_png(out + "/" + file.name, canvas, file.encoding)) {
      std::fprintf(stderr, "make-pictures: cannot write %s/%s\n", out.c_str(), file.name);
      return 1;
    }
    if (preview_dir && !write_png(std::string(preview_dir) + "/" + file.name, preview_of(canvas), preview_encoding)) {
      std::fprintf(stderr, "make-pictures: cannot write preview %s/%s\n", preview_dir, file.name);
      return 1;
    }
  }
  if (icon_file && !write_png(icon_file, icon(), icon_encoding)) {
    std::fprintf(stderr, "make-pictures: cannot write the icon %s\n", icon_file);
    return 1;
  }
  return 0;
}
