// Shared test helpers: a framebuffer of the test's own, PNG bytes written by
// libpng (the reference encoder), and capture of standard output.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Points frame_pixels at a buffer of this object's own for its lifetime.
struct ScopedFramebuffer {
  ScopedFramebuffer();
  ~ScopedFramebuffer();
  std::vector<uint32_t> pixels;
  uint32_t at(int x, int y) const { return pixels[size_t(y) * 1600 + x]; }
};

struct PngOptions {
  int color_type = 6;         // PNG colour type
  int bit_depth = 8;
  int filter = -1;            // one PNG filter type 0-4 for every row; -1: libpng's choice
  int compression_level = 6;  // 0-9
  size_t idat_size = 0;       // bytes per IDAT chunk; 0: libpng's default
  bool interlace = false;
};

// Encodes rows of samples (already in the PNG's own layout, height rows of
// packed bytes) with libpng.
std::vector<uint8_t> encode_png(uint32_t width, uint32_t height, const std::vector<uint8_t>& rows,
                                const PngOptions& options = {});

// An RGBA8 picture from 32-bit words 0xAABBGGRR, row by row.
std::vector<uint8_t> encode_rgba_png(uint32_t width, uint32_t height,
                                     const std::vector<uint32_t>& words,
                                     const PngOptions& options = {});

// A picture decoded by libpng with no transformation: rows in the file's own
// sample layout, row_bytes each, including the spare bits at the end of a row.
struct ReferencePicture {
  uint32_t width = 0;
  uint32_t height = 0;
  int bit_depth = 0;
  int color_type = 0;
  size_t row_bytes = 0;
  std::vector<uint8_t> rows;
};

// Decodes PNG bytes with libpng, CRCs and the Adler-32 checksum not checked;
// false when libpng refuses them. Interlaced pictures are refused too.
bool decode_png_reference(const std::vector<uint8_t>& bytes, ReferencePicture& picture);

// Captures what the process writes to standard output between start and stop.
struct StdoutCapture {
  void start();
  std::string stop();
  int saved_fd = -1;
  std::string path;
};

void write_file(const std::string& path, const std::vector<uint8_t>& bytes);

// Writes the 1600 x 900 frame as an opaque RGB PNG, for looking at a frame.
void save_frame_png(const std::string& path, const uint32_t* frame);

// Every vector target the processor runs, best first, for tests that draw
// with each in turn; the best is in use again when this goes.
struct EveryVectorTarget {
  EveryVectorTarget();
  ~EveryVectorTarget();
  std::vector<const char*> names;
};
