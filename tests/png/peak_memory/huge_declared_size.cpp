// Pictures of 73 bytes whose headers declare 3.4 and 4.3 GB of RGBA pixels
// but whose streams hold one pixel: they must decode as ever (that pixel,
// zeros after it) at the cost of the memory the stream fills, not of the
// size declared. A program of its own, so that the peak resident memory it
// checks is these decodes' alone. Exit status 0 when every check holds.
#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "png/image.h"

namespace {

constexpr long kPeakLimitKiB = 50 * 1024;
constexpr uint8_t kPixel[4] = {10, 20, 30, 255};

using Bytes = std::vector<uint8_t>;

void put_u32(Bytes& bytes, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(uint8_t(value >> shift));
}

// The decoder reads no CRC and no Adler-32, so those are left 0.
void put_chunk(Bytes& bytes, const char* type, const Bytes& data) {
  put_u32(bytes, uint32_t(data.size()));
  bytes.insert(bytes.end(), type, type + 4);
  bytes.insert(bytes.end(), data.begin(), data.end());
  put_u32(bytes, 0);
}

// 8-bit RGBA; the stream is one stored block holding row 0's filter byte
// (Sub) and one pixel.
Bytes one_pixel_png(uint32_t width, uint32_t height) {
  Bytes file = {137, 80, 78, 71, 13, 10, 26, 10};
  Bytes header;
  put_u32(header, width);
  put_u32(header, height);
  header.insert(header.end(), {8, 6, 0, 0, 0});
  put_chunk(file, "IHDR", header);
  put_chunk(file, "IDAT", {0x78, 0x01, 0x01, 0x05, 0x00, 0xFA, 0xFF, 1, kPixel[0], kPixel[1],
                           kPixel[2], kPixel[3], 0, 0, 0, 0});
  put_chunk(file, "IEND", {});
  return file;
}

bool check(bool holds, const char* what, uint32_t width, uint32_t height) {
  if (!holds) std::fprintf(stderr, "%u x %u: %s\n", width, height, what);
  return holds;
}

// Row 0 is the pixel, repeated by the Sub filter; every later row is zero.
// Only a few bytes are looked at, so that the untouched pages stay so.
bool decodes_as_ever(uint32_t width, uint32_t height) {
  const Bytes file = one_pixel_png(width, height);
  Image* image = image_create();
  image->source = file.data();
  image->source_size = uint32_t(file.size());
  const ImageError error = image_decode(image);
  bool ok = check(error == IMAGE_OK && image->state == IMAGE_STATE_READY, "not decoded", width, height);
  const uint64_t row_bytes = uint64_t(width) * 4;
  ok = ok && check(image->pixels_size == row_bytes * height, "pixel buffer size", width, height);
  for (uint64_t at : {uint64_t(0), row_bytes - 4})
    for (int i = 0; ok && i < 4; ++i)
      ok = check(image->pixels[at + i] == kPixel[i], "row 0 is not the pixel", width, height);
  for (uint64_t at : {row_bytes, row_bytes * (height / 2), row_bytes * height - 1})
    ok = ok && check(image->pixels[at] == 0, "a row past the stream is not zero", width, height);
  image_free(image);
  return ok;
}

}  // namespace

int main() {
  bool ok = decodes_as_ever(1, 858993459);
  ok = decodes_as_ever(32767, 32767) && ok;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak resident memory %ld KiB\n", usage.ru_maxrss);
  ok = check(usage.ru_maxrss < kPeakLimitKiB, "peak resident memory above 50 MiB", 0, 0) && ok;
  return ok ? 0 : 1;
}
