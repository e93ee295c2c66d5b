// The picture loader: reads each of the seventeen files into a record, hands
// it to the decoder and keeps it in its slot when it decodes; a failure costs
// only that slot and one line on standard output. At start-up the renderers'
// tables are made with the pictures.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/regular_file.h"
#include "platform/stop_signals.h"
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

constexpr uint32_t kReadPiece = 4u << 20;  // bytes read between looks at a stop request
// Room for the chunks beside the picture's data (text, colour profiles,
// thumbnails), in bytes.
constexpr uint64_t kOtherChunksBytes = 8u << 20;

// The loader's own failures, at sites of a range of their own.
void fail(Image* image, ImageError code, uint32_t line) {
  image_fail(image, code, kSitesLoader + line);
}

// Up to count bytes from the descriptor's position, a piece at a time; fewer
// only at the end of the file, on a read error or once a stop is asked for.
uint32_t read_bytes(int fd, uint8_t* out, uint32_t count) {
  uint32_t got = 0;
  while (got < count && !stop_signal()) {
    ssize_t n = read(fd, out + got, std::min(count - got, kReadPiece));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += uint32_t(n);
  }
  return got;
}

// The largest file a picture of the header's size and format can need: its
// scanlines in stored (uncompressed) deflate blocks, 5 bytes a block of 65535,
// with the zlib header and checksum; twice that, so that the data may come in
// chunks of as little as 12 bytes each (a chunk's own frame); and room for
// the other chunks.
uint64_t largest_file(const Image* image) {
  const uint64_t row_bytes = (uint64_t(image->width) * image_bits_per_pixel(image) + 7) / 8;
  const uint64_t scanlines = uint64_t(image->height) * (1 + row_bytes);
  const uint64_t stream = 2 + scanlines + 5 * std::max<uint64_t>(1, (scanlines + 65534) / 65535) + 4;
  return 2 * stream + kOtherChunksBytes;
}

void attach_source(Image* image, uint8_t* bytes, uint32_t size) {
  image->source = bytes;
  image->source_size = size;
  image->source_owned = 1;
}

// The signature and header come first, and a file they refuse is not read
// further; the decoder then fails it exactly as it would the whole file. A
// file larger than its picture can need is refused unread. A short read keeps
// only the bytes that arrived, so the decoder never sees uninitialised memory.
void read_source(Image* image, int fd, uint64_t file_size) {
  if (file_size > UINT32_MAX) return fail(image, IMAGE_ERR_FILE_OPEN, __LINE__);
  const uint32_t size = uint32_t(file_size);
  uint8_t* head = static_cast<uint8_t*>(std::malloc(kImageHeaderBytes));
  if (!head) return fail(image, IMAGE_ERR_OUT_OF_MEMORY, __LINE__);
  attach_source(image, head, read_bytes(fd, head, kImageHeaderBytes));
  if (image_read_header(image) != IMAGE_OK || size <= image->source_size) return;
  if (size > largest_file(image)) return fail(image, IMAGE_ERR_CORRUPT, __LINE__);
  uint8_t* whole = static_cast<uint8_t*>(std::realloc(head, size));
  if (!whole) return fail(image, IMAGE_ERR_OUT_OF_MEMORY, __LINE__);
  const uint32_t have = image->source_size;
  attach_source(image, whole, have + read_bytes(fd, whole + have, size - have));
  if (stop_signal()) fail(image, IMAGE_ERR_FILE_OPEN, __LINE__);
}

}  // namespace

// Only a regular file is read: a pipe, device, socket or folder costs its slot
// and never blocks.
void read_image_file(Image* image, const char* name) {
  uint64_t size = 0;
  const int fd = open_regular_file(name, &size);
  if (fd < 0) return fail(image, IMAGE_ERR_FILE_OPEN, __LINE__);
  read_source(image, fd, size);
  close(fd);
}

namespace {

void load_image(int slot) {
  const char* name = image_file_names[slot];
  Image* image = image_create();
  if (!image) {
    std::printf("Error loading loading texture %s \n", name);
    return;
  }
  read_image_file(image, name);
  image_decode(image);
  if (image->error == IMAGE_OK) {
    image_table[slot] = image;
    return;
  }
  // A file cut short by a stop request is no fault of the file.
  if (!stop_signal()) std::printf("Error decoding texture file %s \n", name);
  image_free(image);
}

// The start-up pieces done so far: the pictures in slot order, then the
// renderers' tables; back to none when the pictures are freed.
int pieces_prepared = 0;

}  // namespace

void load_images() {
  for (int slot = 0; slot < kImageSlots && !stop_signal(); ++slot) load_image(slot);
  std::fflush(stdout);
}

bool prepare_show_piece() {
  const int piece = pieces_prepared;
  if (piece > kImageSlots) return true;
  ++pieces_prepared;
  if (piece < kImageSlots) {
    if (!stop_signal()) load_image(piece);
    return false;
  }
  std::fflush(stdout);
  prepare_column_renderers();
  prepare_sprites();
  return true;
}

void prepare_show() {
  while (!prepare_show_piece()) {
  }
}

void free_images() {
  for (Image*& image : image_table) {
    image_free(image);
    image = nullptr;
  }
  pieces_prepared = 0;
}
