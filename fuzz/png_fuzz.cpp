// Fuzz target of the PNG decoder: any byte sequence goes through
// image_create, attachment as an owned source, image_decode and image_free,
// and the record must come out consistent.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "png/image.h"

namespace {

// The show's pictures are small; a header asking for more scanline bytes than
// this would only make the run slow, so such inputs stop here. Sizes beyond
// 32 bits still go through, as the decoder refuses them before allocating.
constexpr uint64_t kMaxScanlineBytes = 8u << 20;

uint32_t read_u32(const uint8_t* bytes) {
  return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
}

bool too_large_to_run(const uint8_t* data, size_t size) {
  if (size < 29) return false;
  const uint64_t channels[7] = {1, 0, 3, 0, 2, 0, 4};
  const uint64_t bpp = data[25] < 7 ? channels[data[25]] * data[24] : 0;
  const uint64_t row_bytes = (read_u32(data + 16) * bpp + 7) / 8;
  const uint64_t scanlines = read_u32(data + 20) * (1 + row_bytes);
  const bool refused = row_bytes * 8 > UINT32_MAX || scanlines > UINT32_MAX;
  return !refused && scanlines > kMaxScanlineBytes;
}

// Pixel bytes are read into here, so that every one of them is looked at.
volatile uint8_t pixel_sink;

void require(bool condition) {
  if (!condition) __builtin_trap();
}

void check_record(const Image* image, ImageError returned) {
  require(returned == image->error);
  require(image->error == IMAGE_OK || image->error == IMAGE_ERR_OUT_OF_MEMORY ||
          (image->error >= IMAGE_ERR_SIGNATURE && image->error <= IMAGE_ERR_PIXEL_FORMAT));
  require((image->error != IMAGE_OK) == (image->pixels == nullptr));
  if (image->error != IMAGE_OK) {
    require(image->pixels_size == 0);
    require(image->state != IMAGE_STATE_READY);
    require(image->error_site != 0);
    return;
  }
  require(image->state == IMAGE_STATE_READY);
  require(image->format != IMAGE_FMT_NONE);
  const uint64_t bits =
      uint64_t(image->width) * image->height * image_bits_per_pixel(image);
  require(image->pixels_size == (bits + 7) / 8);
  require(image->source == nullptr && image->source_size == 0 && image->source_owned == 0);
  // Every byte of the pixel buffer must be there and written: the address
  // sanitizer checks each read, and a memory sanitizer build the branch.
  uint8_t all = 0;
  for (uint32_t i = 0; i < image->pixels_size; ++i) all |= image->pixels[i];
  if (all) pixel_sink = all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > UINT32_MAX || too_large_to_run(data, size)) return 0;
  Image* image = image_create();
  require(image != nullptr);
  uint8_t* source = static_cast<uint8_t*>(std::malloc(size ? size : 1));
  require(source != nullptr);
  if (size) std::memcpy(source, data, size);
  image->source = source;
  image->source_size = uint32_t(size);
  image->source_owned = 1;
  const ImageError returned = image_decode(image);
  check_record(image, returned);
  // A second decode changes nothing.
  const uint8_t* pixels = image->pixels;
  const uint32_t site = image->error_site;
  require(image_decode(image) == returned && image->pixels == pixels && image->error_site == site);
  image_free(image);
  return 0;
}
