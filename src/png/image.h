// The decoded-picture record and the PNG decoder's entry points. A record is
// created, given the file's bytes as its source, decoded, and freed; every
// failure is reported only through the record's error and error_site.
#pragma once
#include <cstdint>

enum ImageError : uint32_t {
  IMAGE_OK = 0,
  IMAGE_ERR_OUT_OF_MEMORY = 1,
  IMAGE_ERR_FILE_OPEN = 2,
  IMAGE_ERR_SIGNATURE = 3,
  IMAGE_ERR_CORRUPT = 4,
  IMAGE_ERR_CRITICAL_CHUNK = 5,
  IMAGE_ERR_INTERLACE = 6,
  IMAGE_ERR_PIXEL_FORMAT = 7,
};

enum ImageFormat : uint32_t {
  IMAGE_FMT_NONE = 0,
  IMAGE_FMT_RGB8 = 1,
  IMAGE_FMT_RGB16 = 2,
  IMAGE_FMT_RGBA8 = 3,
  IMAGE_FMT_RGBA16 = 4,
  IMAGE_FMT_GREY1 = 5,
  IMAGE_FMT_GREY2 = 6,
  IMAGE_FMT_GREY4 = 7,
  IMAGE_FMT_GREY8 = 8,
  IMAGE_FMT_GREY_ALPHA1 = 9,
  IMAGE_FMT_GREY_ALPHA2 = 10,
  IMAGE_FMT_GREY_ALPHA4 = 11,
  IMAGE_FMT_GREY_ALPHA8 = 12,
};

enum ImageState : uint32_t {
  IMAGE_STATE_READY = 0,
  IMAGE_STATE_PARSED = 1,
  IMAGE_STATE_FRESH = 2,
};

struct Image {
  uint32_t width;
  uint32_t height;
  uint32_t color_type;
  uint32_t bit_depth;
  ImageFormat format;
  uint8_t* pixels;
  uint32_t pixels_size;
  ImageError error;
  uint32_t error_site;
  ImageState state;
  const uint8_t* source;
  uint32_t source_size;
  uint8_t source_owned;
};

// The signature and header: all that image_read_header looks at.
constexpr uint32_t kImageHeaderBytes = 29;

Image* image_create();
ImageError image_read_header(Image* image);
ImageError image_decode(Image* image);
void image_free(Image* image);
uint32_t image_channels(const Image* image);
uint32_t image_bits_per_pixel(const Image* image);
