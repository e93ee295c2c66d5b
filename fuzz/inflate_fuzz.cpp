// Fuzz target of the inflater's two ways of reading codes: the same bytes are
// inflated once walking the node arrays only and once through the lookup
// tables, and both must end with the same status, error site, byte count and
// output buffer. Input: two bytes of output capacity (little-endian), then
// the DEFLATE data, which goes behind a valid zlib header.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "png/inflate.h"

namespace {

void require(bool condition) {
  if (!condition) __builtin_trap();
}

struct Outcome {
  ImageError error;
  uint32_t error_site;
  uint32_t written;
};

// Exactly sized buffers, so that the address sanitizer sees a step past
// either end; the output starts as a pattern, so that unwritten bytes show.
Outcome inflate_with(const std::vector<uint8_t>& stream, uint8_t* out, uint32_t capacity,
                     InflateReading reading) {
  for (uint32_t i = 0; i < capacity; ++i) out[i] = uint8_t(i * 7 + 3);
  uint8_t* data = static_cast<uint8_t*>(std::malloc(stream.size()));
  require(data != nullptr);
  std::memcpy(data, stream.data(), stream.size());
  Image image{};
  Outcome outcome{};
  zlib_decompress(&image, out, capacity, data, uint32_t(stream.size()), outcome.written, reading);
  std::free(data);
  outcome.error = image.error;
  outcome.error_site = image.error_site;
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint32_t capacity = data[0] | uint32_t(data[1]) << 8;
  std::vector<uint8_t> stream = {0x78, 0x01};
  stream.insert(stream.end(), data + 2, data + size);
  uint8_t* walked = static_cast<uint8_t*>(std::malloc(capacity ? capacity : 1));
  uint8_t* looked_up = static_cast<uint8_t*>(std::malloc(capacity ? capacity : 1));
  require(walked && looked_up);
  const Outcome walk = inflate_with(stream, walked, capacity, INFLATE_NODE_WALK);
  const Outcome table = inflate_with(stream, looked_up, capacity, INFLATE_LOOKUP_TABLES);
  require(walk.error == table.error);
  require(walk.error_site == table.error_site);
  require(walk.written == table.written);
  require(std::memcmp(walked, looked_up, capacity) == 0);
  std::free(walked);
  std::free(looked_up);
  return 0;
}
