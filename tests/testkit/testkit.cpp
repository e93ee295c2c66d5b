// Shared test helpers (see testkit.h).
#include "testkit/testkit.h"

#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "common/framebuffer.h"
#include "common/simd_target.h"

ScopedFramebuffer::ScopedFramebuffer() : pixels(kFramePixelCount, kFrameClearColour) {
  frame_pixels = pixels.data();
}

ScopedFramebuffer::~ScopedFramebuffer() { frame_pixels = nullptr; }

namespace {

void append_bytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void no_flush(png_structp) {}

struct ReadCursor {
  const std::vector<uint8_t>* bytes;
  size_t pos;
};

void read_bytes(png_structp png, png_bytep data, png_size_t length) {
  auto* cursor = static_cast<ReadCursor*>(png_get_io_ptr(png));
  if (cursor->bytes->size() - cursor->pos < length) png_error(png, "read past the end");
  std::memcpy(data, cursor->bytes->data() + cursor->pos, length);
  cursor->pos += length;
}

void quiet_warning(png_structp, png_const_charp) {}

[[noreturn]] void jump_on_error(png_structp png, png_const_charp) { png_longjmp(png, 1); }

int filter_flag(int filter) {
  switch (filter) {
    case 0: return PNG_FILTER_NONE;
    case 1: return PNG_FILTER_SUB;
    case 2: return PNG_FILTER_UP;
    case 3: return PNG_FILTER_AVG;
    case 4: return PNG_FILTER_PAETH;
    default: return PNG_ALL_FILTERS;
  }
}

}  // namespace

std::vector<uint8_t> encode_png(uint32_t width, uint32_t height, const std::vector<uint8_t>& rows,
                                const PngOptions& options) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("libpng failed to encode the test picture");
  }
  png_set_write_fn(png, &out, append_bytes, no_flush);
  png_set_IHDR(png, info, width, height, options.bit_depth, options.color_type,
               options.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, filter_flag(options.filter));
  png_set_compression_level(png, options.compression_level);
  if (options.idat_size) png_set_compression_buffer_size(png, options.idat_size);
  png_write_info(png, info);
  size_t row_bytes = png_get_rowbytes(png, info);
  std::vector<png_bytep> pointers(height);
  for (uint32_t y = 0; y < height; ++y)
    pointers[y] = const_cast<png_bytep>(rows.data() + y * row_bytes);
  png_write_image(png, pointers.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::vector<uint8_t> encode_rgba_png(uint32_t width, uint32_t height,
                                     const std::vector<uint32_t>& words,
                                     const PngOptions& options) {
  std::vector<uint8_t> rows(words.size() * 4);
  std::memcpy(rows.data(), words.data(), rows.size());  // little-endian: R, G, B, A
  PngOptions rgba = options;
  rgba.color_type = 6;
  rgba.bit_depth = 8;
  return encode_png(width, height, rows, rgba);
}

namespace {

// Kept apart from its caller so that no local of the frame that calls setjmp
// changes between setjmp and a longjmp from libpng.
bool read_reference(png_structp png, png_infop info, ReadCursor& cursor,
                    ReferencePicture& picture, std::vector<png_bytep>& pointers) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_read_fn(png, &cursor, read_bytes);
  png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#ifdef PNG_IGNORE_ADLER32
  png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif
  png_read_info(png, info);
  if (png_get_interlace_type(png, info) != PNG_INTERLACE_NONE) png_error(png, "interlaced");
  picture.width = png_get_image_width(png, info);
  picture.height = png_get_image_height(png, info);
  picture.bit_depth = png_get_bit_depth(png, info);
  picture.color_type = png_get_color_type(png, info);
  picture.row_bytes = png_get_rowbytes(png, info);
  picture.rows.assign(picture.row_bytes * picture.height, 0);
  pointers.resize(picture.height);
  for (uint32_t y = 0; y < picture.height; ++y)
    pointers[y] = picture.rows.data() + y * picture.row_bytes;
  png_read_image(png, pointers.data());
  return true;
}

}  // namespace

bool decode_png_reference(const std::vector<uint8_t>& bytes, ReferencePicture& picture) {
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, jump_on_error, quiet_warning);
  png_infop info = png_create_info_struct(png);
  ReadCursor cursor{&bytes, 0};
  std::vector<png_bytep> pointers;
  bool ok = read_reference(png, info, cursor, picture, pointers);
  png_destroy_read_struct(&png, &info, nullptr);
  return ok;
}

void StdoutCapture::start() {
  std::fflush(stdout);
  char name[] = "/tmp/demo-stdout-XXXXXX";
  int fd = mkstemp(name);
  path = name;
  saved_fd = dup(STDOUT_FILENO);
  dup2(fd, STDOUT_FILENO);
  close(fd);
}

std::string StdoutCapture::stop() {
  std::fflush(stdout);
  dup2(saved_fd, STDOUT_FILENO);
  close(saved_fd);
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::remove(path.c_str());
  return text.str();
}

void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void save_frame_png(const std::string& path, const uint32_t* frame) {
  std::vector<uint8_t> rows(kFramePixelCount * 3);
  for (size_t i = 0; i < kFramePixelCount; ++i) {
    rows[i * 3 + 0] = uint8_t(frame[i]);
    rows[i * 3 + 1] = uint8_t(frame[i] >> 8);
    rows[i * 3 + 2] = uint8_t(frame[i] >> 16);
  }
  PngOptions rgb;
  rgb.color_type = 2;
  rgb.compression_level = 3;
  write_file(path, encode_png(kFrameWidth, kFrameHeight, rows, rgb));
}

EveryVectorTarget::EveryVectorTarget() {
  const char* available[kMostSimdTargets];
  names.assign(available, available + simd_targets_available(available));
}

EveryVectorTarget::~EveryVectorTarget() { simd_choose(names[0]); }
