// The picture loader: reads each of the seventeen files into a record, hands
// it to the decoder and keeps it in its slot when it decodes; a failure costs
// only that slot and one line on standard output. At start-up the renderers'
// tables are made with the pictures.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "png/image.h"
#include "png/image_fail.h"
#include "raycast/columns.h"
#include "shell/shell.h"
#include "sprites/sprites.h"

const char* const image_file_names[kImageSlots] = {
    "images/transparent.png", "images/orvane.png",   "images/plomet.png",
    "images/corvel.png",      "images/greetings.png", "images/windrake.png",
    "images/quarn.png",       "images/tazzle.png",    "images/you.png",
    "images/fish.png",        "images/fish2.png",     "images/octopus.png",
    "images/duck.png",        "images/donut.png",     "images/deutschprachig.png",
    "images/jubra23.png",     "images/jubra23orig.png",
};
const char* const music_file_name = "music/vondsorvane2.wav";

namespace {

// The loader's own failures, at sites of a range of their own.
void fail(Image* image, ImageError code, uint32_t line) {
  image_fail(image, code, kSitesLoader + line);
}

// Up to count bytes from the descriptor's position; fewer only at the end of
// the file or on a read error.
uint32_t read_bytes(int fd, uint8_t* out, uint32_t count) {
  uint32_t got = 0;
  while (got < count) {
    ssize_t n = read(fd, out + got, count - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += uint32_t(n);
  }
  return got;
}

void attach_source(Image* image, uint8_t* bytes, uint32_t size) {
  image->source = bytes;
  image->source_size = size;
  image->source_owned = 1;
}

// Only a regular file is read: a pipe, device, socket or folder costs its slot
// and never blocks. The signature and header come first, and a file they
// refuse is not read further; the decoder then fails it exactly as it would
// the whole file. A short read keeps only the bytes that arrived, so the
// decoder never sees uninitialised memory.
void read_source(Image* image, int fd) {
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
    return fail(image, IMAGE_ERR_FILE_OPEN, __LINE__);
  if (uint64_t(info.st_size) > UINT32_MAX) return fail(image, IMAGE_ERR_FILE_OPEN, __LINE__);
  const uint32_t size = uint32_t(info.st_size);
  uint8_t* head = static_cast<uint8_t*>(std::malloc(kImageHeaderBytes));
  if (!head) return fail(image, IMAGE_ERR_OUT_OF_MEMORY, __LINE__);
  attach_source(image, head, read_bytes(fd, head, kImageHeaderBytes));
  if (image_read_header(image) != IMAGE_OK || size <= image->source_size) return;
  uint8_t* whole = static_cast<uint8_t*>(std::realloc(head, size));
  if (!whole) return fail(image, IMAGE_ERR_OUT_OF_MEMORY, __LINE__);
  const uint32_t have = image->source_size;
  attach_source(image, whole, have + read_bytes(fd, whole + have, size - have));
}

}  // namespace

void read_image_file(Image* image, const char* name) {
  int fd = open(name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return fail(image, IMAGE_ERR_FILE_OPEN, __LINE__);
  read_source(image, fd);
  close(fd);
}

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

void prepare_show() {
  load_images();
  prepare_column_renderers();
  prepare_sprites();
}

void free_images() {
  for (Image*& image : image_table) {
    image_free(image);
    image = nullptr;
  }
}
