// Unfilter loops for 4-byte pixels, a pixel as one 32-bit word: the left
// pixel stays in a register, and four byte-wise sums or averages are made
// at once with masks that keep carries inside each byte.
#include "png/unfilter_words.h"

#include <cstring>

namespace {

constexpr uint32_t kLow7 = 0x7F7F7F7F;   // the low 7 bits of every byte
constexpr uint32_t kHigh1 = 0x80808080;  // the high bit of every byte

// Each byte of a plus the same byte of b, modulo 256.
inline uint32_t add_bytes(uint32_t a, uint32_t b) { return ((a & kLow7) + (b & kLow7)) ^ ((a ^ b) & kHigh1); }

// Each byte of a and b halved from their full sum: the common bits plus half
// the differing ones.
inline uint32_t average_bytes(uint32_t a, uint32_t b) { return (a & b) + (((a ^ b) >> 1) & kLow7); }

// The byte order of the words does not matter: every operation is byte-wise.
inline uint32_t load_word(const uint8_t* bytes) {
  uint32_t word;
  std::memcpy(&word, bytes, 4);
  return word;
}

inline void store_word(uint8_t* bytes, uint32_t word) { std::memcpy(bytes, &word, 4); }

}  // namespace

// Each pixel's four bytes are read before they are written, and a pixel's
// output never reaches past its input, so in-place rows stay correct.
void unfilter_sub_words(uint8_t* out, const uint8_t* in, uint32_t row_bytes) {
  uint32_t left = 0;
  uint32_t i = 0;
  for (; i + 4 <= row_bytes; i += 4) {
    left = add_bytes(load_word(in + i), left);
    store_word(out + i, left);
  }
  for (; i < row_bytes; ++i) out[i] = uint8_t(in[i] + (i >= 4 ? out[i - 4] : 0));
}

void unfilter_average_words(uint8_t* out, const uint8_t* in, const uint8_t* prev, uint32_t row_bytes) {
  uint32_t left = 0;
  uint32_t i = 0;
  for (; i + 4 <= row_bytes; i += 4) {
    left = add_bytes(load_word(in + i), average_bytes(left, load_word(prev + i)));
    store_word(out + i, left);
  }
  for (; i < row_bytes; ++i)
    out[i] = uint8_t(in[i] + ((i >= 4 ? uint32_t(out[i - 4]) : 0) + prev[i]) / 2);
}
