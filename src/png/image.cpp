// Placeholder decoder: records are created and freed, every decode fails.
#include "png/image.h"

#include <cstdlib>

Image* image_create() {
  Image* image = static_cast<Image*>(std::calloc(1, sizeof(Image)));
  if (!image) return nullptr;
  image->color_type = 6;
  image->bit_depth = 8;
  image->format = IMAGE_FMT_RGBA8;
  image->state = IMAGE_STATE_FRESH;
  return image;
}

ImageError image_read_header(Image* image) { return image->error; }

ImageError image_decode(Image* image) {
  if (image->error == IMAGE_OK) {
    image->error = IMAGE_ERR_SIGNATURE;
    image->error_site = __LINE__;
  }
  return image->error;
}

void image_free(Image* image) {
  if (!image) return;
  std::free(image->pixels);
  if (image->source_owned) std::free(const_cast<uint8_t*>(image->source));
  std::free(image);
}

uint32_t image_channels(const Image*) { return 0; }
uint32_t image_bits_per_pixel(const Image*) { return 0; }
