// PNG decoding speed against libpng and spng, and inflating alone against
// zlib and libdeflate, on a fixed set of picture classes that this program
// draws and encodes itself (plus the show's own pictures). Every round times
// each decoder on each class, side by side; the table shows medians of the
// per-round ratios, so that load from elsewhere on the machine cancels out;
// times are the thread's CPU time.
//   png_bench [ROUNDS=7] [IMAGES_DIR]
#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <png.h>
#include <spng.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "png/image.h"
#include "png/inflate.h"

namespace {

using Bytes = std::vector<uint8_t>;

// ---- Drawing the pictures ---------------------------------------------------

// Raw rows as the PNG stores them, before filtering.
struct Picture {
  uint32_t width;
  uint32_t height;
  int color_type;
  int bit_depth;
  Bytes rows;  // height rows of (width x bits per pixel + 7) / 8 bytes
};

uint32_t row_bytes(uint32_t width, int color_type, int bit_depth) {
  const uint32_t channels = color_type == 6 ? 4 : color_type == 2 ? 3 : color_type == 4 ? 2 : 1;
  return (width * channels * uint32_t(bit_depth) + 7) / 8;
}

uint8_t clamp_byte(double v) { return uint8_t(std::clamp(v, 0.0, 255.0)); }

// Smooth colour fields with a soft shape and sensor-like noise, so that the
// filters and the compressor see what a photograph gives them. Channel 0-2
// red, green, blue; 3 is opaque alpha.
double photo_sample(double u, double v, int channel, std::mt19937& random,
                    std::normal_distribution<double>& noise) {
  const double blob = std::exp(-((u - 0.6) * (u - 0.6) + (v - 0.4) * (v - 0.4)) * 18.0);
  const double sky = 1.0 - v;
  switch (channel) {
    case 0: return 90 + 120 * sky + 40 * std::sin(u * 9.0) + 60 * blob + noise(random);
    case 1: return 110 + 80 * sky + 30 * std::cos(v * 7.0 + u * 3.0) + 40 * blob + noise(random);
    case 2: return 140 + 90 * sky - 50 * blob + noise(random);
    default: return 255;
  }
}

Picture photo(uint32_t width, uint32_t height, int color_type) {
  const uint32_t channels = color_type == 6 ? 4 : 3;
  Picture p{width, height, color_type, 8, Bytes(size_t(width) * height * channels)};
  std::mt19937 random(42);
  std::normal_distribution<double> noise(0.0, 3.0);
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x)
      for (uint32_t c = 0; c < channels; ++c)
        p.rows[(size_t(y) * width + x) * channels + c] =
            clamp_byte(photo_sample(x / double(width), y / double(height), int(c), random, noise));
  return p;
}

// The photo's brightness at some bits per pixel: 4-bit quantised, 1-bit
// ordered-dithered.
Picture grey_photo(uint32_t width, uint32_t height, int bit_depth) {
  constexpr int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  const uint32_t stride = row_bytes(width, 0, bit_depth);
  Picture p{width, height, 0, bit_depth, Bytes(size_t(stride) * height)};
  std::mt19937 random(43);
  std::normal_distribution<double> noise(0.0, 3.0);
  const uint32_t levels = (1u << bit_depth) - 1;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const double u = x / double(width), v = y / double(height);
      double grey = 0;
      for (int c = 0; c < 3; ++c) grey += photo_sample(u, v, c, random, noise) / 3;
      const double scaled = std::clamp(grey / 255.0, 0.0, 1.0) * levels;
      const double threshold = (bayer[y % 4][x % 4] + 0.5) / 16.0;
      const uint32_t value = std::min<uint32_t>(levels, uint32_t(scaled + threshold - 0.5 + 0.5));
      const uint64_t bit = uint64_t(x) * bit_depth;
      p.rows[size_t(y) * stride + bit / 8] |= uint8_t(value << (8 - bit_depth - bit % 8));
    }
  }
  return p;
}

// A desktop: a gradient backdrop, overlapping windows with flat fills, title
// bars and lines of glyph-like blocks.
Picture screenshot(uint32_t width, uint32_t height) {
  Picture p{width, height, 6, 8, Bytes(size_t(width) * height * 4)};
  auto fill = [&](uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1, uint32_t rgb) {
    for (uint32_t y = y0; y < std::min(y1, height); ++y)
      for (uint32_t x = x0; x < std::min(x1, width); ++x) {
        uint8_t* px = &p.rows[(size_t(y) * width + x) * 4];
        px[0] = uint8_t(rgb >> 16), px[1] = uint8_t(rgb >> 8), px[2] = uint8_t(rgb), px[3] = 255;
      }
  };
  for (uint32_t y = 0; y < height; ++y) fill(0, y, width, y + 1, 0x203040 + (y * 64 / height) * 0x010101);
  std::mt19937 random(44);
  for (int w = 0; w < 9; ++w) {
    const uint32_t x0 = random() % (width - 300), y0 = random() % (height - 200);
    const uint32_t x1 = x0 + 300 + random() % 700, y1 = y0 + 200 + random() % 500;
    fill(x0, y0, x1, y1, 0xF0F0F0 - (random() % 4) * 0x101010);
    fill(x0, y0, x1, y0 + 28, 0x3060A0 + (random() % 3) * 0x100000);
    for (uint32_t line = y0 + 44; line + 12 < y1; line += 18)
      for (uint32_t x = x0 + 12; x + 10 < x1;) {
        const uint32_t glyph = 4 + random() % 7;
        if (random() % 6 == 0) {
          x += glyph + 6;
          continue;
        }
        fill(x, line + random() % 3, x + glyph, line + 12, 0x202020 + (random() % 2) * 0x600000);
        x += glyph + 2;
      }
  }
  return p;
}

// ---- Encoding with libpng ---------------------------------------------------

void append_bytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void no_flush(png_structp) {}

// filters: a PNG_FILTER_* mask, or 0 for libpng's own choice.
Bytes encode(const Picture& picture, int level, int filters) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) std::abort();
  png_set_write_fn(png, &out, append_bytes, no_flush);
  png_set_compression_level(png, level);
  if (filters) png_set_filter(png, 0, filters);
  png_set_IHDR(png, info, picture.width, picture.height, picture.bit_depth, picture.color_type,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const uint32_t stride = row_bytes(picture.width, picture.color_type, picture.bit_depth);
  for (uint32_t y = 0; y < picture.height; ++y)
    png_write_row(png, const_cast<png_bytep>(&picture.rows[size_t(y) * stride]));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

struct FileClass {
  std::string name;
  std::vector<Bytes> files;  // decoded one after the other as one sample
};

Bytes read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<FileClass> file_classes(const std::string& images_dir) {
  std::vector<FileClass> classes;
  const Picture rgba = photo(1024, 1024, 6);
  classes.push_back({"RGBA8 1024x1024 photo, level 6", {encode(rgba, 6, 0)}});
  classes.push_back({"RGBA8 1024x1024 photo, level 1", {encode(rgba, 1, 0)}});
  classes.push_back({"RGBA8 1024x1024 photo, level 9", {encode(rgba, 9, 0)}});
  classes.push_back({"RGBA8 1024x1024 photo, all Paeth", {encode(rgba, 6, PNG_FILTER_PAETH)}});
  classes.push_back({"RGBA8 4096x2048 photo", {encode(photo(4096, 2048, 6), 6, 0)}});
  classes.push_back({"RGB8 2048x2048 photo", {encode(photo(2048, 2048, 2), 6, 0)}});
  classes.push_back({"1-bit grey 2049x2048", {encode(grey_photo(2049, 2048, 1), 6, 0)}});
  classes.push_back({"4-bit grey 2048x2048", {encode(grey_photo(2048, 2048, 4), 6, 0)}});
  classes.push_back({"screenshot 1920x1080", {encode(screenshot(1920, 1080), 6, 0)}});
  FileClass show{"the show's 17 pictures", {}};
  for (const char* name : {"transparent", "orvane", "plomet", "corvel", "greetings", "windrake",
                           "quarn", "tazzle", "you", "fish", "fish2", "octopus", "duck", "donut",
                           "deutschprachig", "jubra23", "jubra23orig"}) {
    Bytes file = read_file(images_dir + "/" + name + ".png");
    if (file.empty()) {
      std::fprintf(stderr, "missing %s/%s.png: build the pictures target first\n",
                   images_dir.c_str(), name);
      std::exit(1);
    }
    show.files.push_back(std::move(file));
  }
  classes.push_back(std::move(show));
  return classes;
}

// ---- The decoders -----------------------------------------------------------

// A picture decoded into a heap buffer of its own, as a program loading a
// picture gets it; rows of `stride` bytes, or packed without gaps (ours).
struct Decoded {
  uint8_t* pixels;
  size_t size;
};

Decoded decode_ours(const Bytes& file) {
  Image* image = image_create();
  image->source = file.data();
  image->source_size = uint32_t(file.size());
  if (image_decode(image) != IMAGE_OK) std::abort();
  const Decoded d{image->pixels, image->pixels_size};
  image->pixels = nullptr;
  image_free(image);
  return d;
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

// Rows stay as the file has them (packed below 8 bits, no transformations).
Decoded decode_libpng(const Bytes& file) {
  MemoryReader reader{file.data(), 0};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) std::abort();
  png_set_read_fn(png, &reader, read_bytes);
  png_read_info(png, info);
  const uint32_t height = png_get_image_height(png, info);
  const size_t stride = png_get_rowbytes(png, info);
  uint8_t* pixels = static_cast<uint8_t*>(std::malloc(stride * height));
  png_bytep* rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
  for (uint32_t y = 0; y < height; ++y) rows[y] = pixels + y * stride;
  png_read_image(png, rows);
  png_destroy_read_struct(&png, &info, nullptr);
  std::free(rows);
  return {pixels, stride * height};
}

// spng's own sample layout of the file (SPNG_FMT_PNG): packed below 8 bits.
Decoded decode_spng(const Bytes& file) {
  spng_ctx* ctx = spng_ctx_new(0);
  spng_set_png_buffer(ctx, file.data(), file.size());
  size_t size = 0;
  if (spng_decoded_image_size(ctx, SPNG_FMT_PNG, &size)) std::abort();
  uint8_t* pixels = static_cast<uint8_t*>(std::malloc(size));
  if (spng_decode_image(ctx, pixels, size, SPNG_FMT_PNG, 0)) std::abort();
  spng_ctx_free(ctx);
  return {pixels, size};
}

uint32_t read_u32(const uint8_t* p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

// Our rows are packed without gaps; libpng's and spng's each start on a byte.
bool same_pixels(const Bytes& file, const Decoded& ours, const Decoded& theirs) {
  const uint32_t width = read_u32(&file[16]), height = read_u32(&file[20]);
  const uint64_t stride = height ? theirs.size / height : 0;
  const uint32_t channels = file[25] == 6 ? 4 : file[25] == 2 ? 3 : file[25] == 4 ? 2 : 1;
  const uint64_t bits = uint64_t(width) * channels * file[24];
  for (uint32_t y = 0; y < height; ++y)
    for (uint64_t i = 0; i < bits; ++i) {
      const uint64_t a = y * bits + i, b = y * stride * 8 + i;
      if (((ours.pixels[a / 8] >> (7 - a % 8)) ^ (theirs.pixels[b / 8] >> (7 - b % 8))) & 1) return false;
    }
  return true;
}

// ---- Inflating alone --------------------------------------------------------

// The zlib stream of a file's IDAT chunks and the size it inflates to.
struct Stream {
  Bytes data;
  uint32_t inflated_size;
};

Stream idat_stream(const Bytes& file) {
  Stream s{{}, 0};
  const uint32_t width = read_u32(&file[16]), height = read_u32(&file[20]);
  s.inflated_size = height * (1 + row_bytes(width, file[25], file[24]));
  for (size_t at = 33; at + 12 <= file.size();) {
    const uint32_t length = read_u32(&file[at]);
    if (std::memcmp(&file[at + 4], "IDAT", 4) == 0)
      s.data.insert(s.data.end(), file.begin() + at + 8, file.begin() + at + 8 + length);
    at += length + 12;
  }
  return s;
}

void inflate_ours(const Stream& s, uint8_t* out) {
  Image image{};
  uint32_t written = 0;
  zlib_decompress(&image, out, s.inflated_size, s.data.data(), uint32_t(s.data.size()), written);
  if (image.error || written != s.inflated_size) std::abort();
}

void inflate_zlib(const Stream& s, uint8_t* out) {
  uLongf size = s.inflated_size;
  if (uncompress(out, &size, s.data.data(), uLong(s.data.size())) != Z_OK) std::abort();
}

void inflate_libdeflate(const Stream& s, uint8_t* out) {
  static libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  size_t size = 0;
  if (libdeflate_zlib_decompress(d, s.data.data(), s.data.size(), out, s.inflated_size, &size) !=
      LIBDEFLATE_SUCCESS)
    std::abort();
}

// ---- Timing -----------------------------------------------------------------

// CPU time of this thread (user and system, page faults included), which
// time spent waiting for a core on a shared machine does not inflate.
double thread_seconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return double(now.tv_sec) + now.tv_nsec * 1e-9;
}

double seconds_of(const std::function<void()>& work, uint32_t repeats) {
  const double start = thread_seconds();
  for (uint32_t i = 0; i < repeats; ++i) work();
  return (thread_seconds() - start) / repeats;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// One row of a table: the class, then for each contender the work of one
// sample. Contender 0 is ours; the ratios are ours over each other one.
struct Row {
  std::string name;
  std::vector<std::function<void()>> work;
  uint32_t repeats = 1;
  std::vector<std::vector<double>> seconds;  // per contender, per round
};

// Repeats so that one sample of contender 1 lasts about 40 ms.
void calibrate(Row& row) {
  const double once = seconds_of(row.work[1], 1);
  row.repeats = uint32_t(std::clamp(0.04 / std::max(once, 1e-6), 1.0, 1000.0));
  row.seconds.assign(row.work.size(), {});
}

// Rounds in which every row times every contender once, the contenders'
// order rotating from round to round.
void run_rounds(std::vector<Row>& rows, uint32_t rounds) {
  for (uint32_t r = 0; r < rounds; ++r)
    for (Row& row : rows)
      for (size_t k = 0; k < row.work.size(); ++k) {
        const size_t c = (k + r) % row.work.size();
        row.seconds[c].push_back(seconds_of(row.work[c], row.repeats));
      }
}

void print_table(const char* title, const std::vector<Row>& rows,
                 const std::vector<std::string>& names) {
  std::printf("\n%s\n| class | %s ms |", title, names[0].c_str());
  for (size_t c = 1; c < names.size(); ++c) std::printf(" %s ms |", names[c].c_str());
  for (size_t c = 1; c < names.size(); ++c) std::printf(" ours ÷ %s |", names[c].c_str());
  std::printf("\n|---|");
  for (size_t c = 1; c < 2 * names.size(); ++c) std::printf("---|");
  std::printf("\n");
  for (const Row& row : rows) {
    std::printf("| %s |", row.name.c_str());
    for (const std::vector<double>& s : row.seconds) std::printf(" %.2f |", median(s) * 1e3);
    for (size_t c = 1; c < row.seconds.size(); ++c) {
      std::vector<double> ratios;
      for (size_t r = 0; r < row.seconds[0].size(); ++r)
        ratios.push_back(row.seconds[0][r] / row.seconds[c][r]);
      std::printf(" %.2f |", median(ratios));
    }
    std::printf("\n");
  }
}

}  // namespace

int main(int argc, char** argv) {
  const uint32_t rounds = argc > 1 ? uint32_t(std::max(1, std::atoi(argv[1]))) : 7;
  const std::string images_dir = argc > 2 ? argv[2] : PICTURES_DIR;
  const std::vector<FileClass> classes = file_classes(images_dir);

  std::vector<Row> decode_rows;
  std::vector<Row> inflate_rows;
  std::vector<Stream> streams;
  streams.reserve(classes.size() * 17);
  std::vector<Bytes> outputs;
  outputs.reserve(classes.size() * 17);
  for (const FileClass& fc : classes) {
    size_t compressed = 0;
    for (const Bytes& file : fc.files) {
      const Decoded ours = decode_ours(file), libpng = decode_libpng(file), spng = decode_spng(file);
      const bool libpng_same = same_pixels(file, ours, libpng), spng_same = same_pixels(file, ours, spng);
      for (const Decoded& d : {ours, libpng, spng}) std::free(d.pixels);
      if (!libpng_same || !spng_same) {
        std::fprintf(stderr, "%s: pixels differ from %s's\n", fc.name.c_str(),
                     libpng_same ? "spng" : "libpng");
        return 1;
      }
      compressed += file.size();
    }
    const std::vector<Bytes>* files = &fc.files;
    auto each = [files](Decoded (*decode)(const Bytes&)) {
      return [files, decode] {
        for (const Bytes& file : *files) {
          const Decoded d = decode(file);
          benchmark::DoNotOptimize(d.pixels[d.size - 1]);
          std::free(d.pixels);
        }
      };
    };
    char name[128];
    std::snprintf(name, sizeof name, "%s (%zu KiB)", fc.name.c_str(), compressed / 1024);
    decode_rows.push_back({name, {each(decode_ours), each(decode_libpng), each(decode_spng)}, 1, {}});

    const size_t first = streams.size();
    for (const Bytes& file : fc.files) {
      streams.push_back(idat_stream(file));
      outputs.emplace_back(streams.back().inflated_size);
    }
    const size_t last = streams.size();
    Stream* s = streams.data();
    Bytes* o = outputs.data();
    auto each_stream = [s, o, first, last](void (*inflate)(const Stream&, uint8_t*)) {
      return [s, o, first, last, inflate] {
        for (size_t i = first; i < last; ++i) inflate(s[i], o[i].data());
      };
    };
    inflate_rows.push_back({fc.name, {each_stream(inflate_ours), each_stream(inflate_zlib),
                                      each_stream(inflate_libdeflate)}, 1, {}});
  }
  for (Row& row : decode_rows) calibrate(row);
  for (Row& row : inflate_rows) calibrate(row);
  run_rounds(decode_rows, rounds);
  run_rounds(inflate_rows, rounds);
  std::printf("PNG decoding, medians of %u interleaved rounds (ms of CPU time per file or batch)\n",
              rounds);
  print_table("Whole decode:", decode_rows, {"ours", "libpng", "spng"});
  print_table("Inflate only (the files' IDAT streams):", inflate_rows, {"ours", "zlib", "libdeflate"});
  return 0;
}
