// The picture loader: reads each of the seventeen files into a record, hands
// it to the decoder and keeps it in its slot when it decodes; a failure costs
// only that slot and one line on standard output.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "png/image.h"
#include "shell/shell.h"

namespace {

// The loader's own failures, each with the line of its check as the site.
void fail_read(Image* image, ImageError code, uint32_t site) {
  image->error = code;
  image->error_site = site;
}

// Reads the whole file into the record's source. A short read keeps only the
// bytes that arrived, so the decoder never sees uninitialised memory.
void read_image_file(Image* image, const char* name) {
  FILE* file = std::fopen(name, "rb");
  if (!file) return fail_read(image, IMAGE_ERR_FILE_OPEN, __LINE__);
  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  std::rewind(file);
  if (size < 0 || static_cast<unsigned long>(size) > UINT32_MAX) {
    std::fclose(file);
    return fail_read(image, IMAGE_ERR_FILE_OPEN, __LINE__);
  }
  uint8_t* buffer = static_cast<uint8_t*>(std::malloc(size > 0 ? size_t(size) : 1));
  if (!buffer) {
    std::fclose(file);
    return fail_read(image, IMAGE_ERR_OUT_OF_MEMORY, __LINE__);
  }
  size_t got = std::fread(buffer, 1, size_t(size), file);
  std::fclose(file);
  image->source = buffer;
  image->source_size = static_cast<uint32_t>(got);
  image->source_owned = 1;
}

}  // namespace

void load_images() {
  for (int slot = 0; slot < kImageSlots; ++slot) {
    const char* name = image_file_names[slot];
    Image* image = image_create();
    if (!image) {
      std::printf("Error loading loading texture %s \n", name);
      continue;
    }
    read_image_file(image, name);
    image_decode(image);
    if (image->error == IMAGE_OK) {
      image_table[slot] = image;
    } else {
      std::printf("Error decoding texture file %s \n", name);
      image_free(image);
    }
  }
  std::fflush(stdout);
}

void free_images() {
  for (Image*& image : image_table) {
    image_free(image);
    image = nullptr;
  }
}
