// The WAV header walk: every length read is held against what the file has,
// and the file is read with positioned reads only, so its offset stays at 0.
#include "platform/wav_file.h"

#include <unistd.h>

#include <cstring>

#include "platform/regular_file.h"

namespace {

uint32_t read_le(const uint8_t* bytes, int size) {
  uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | bytes[i];
  return value;
}

bool read_at(const WavFile& wav, int64_t offset, uint8_t* out, size_t count) {
  return pread(wav.fd, out, count, offset) == ssize_t(count);
}

// The "fmt " chunk: plain PCM of 8, 16 or 32 bits, or 32-bit float.
bool read_format(const uint8_t* fmt, WavFile* wav) {
  uint32_t tag = read_le(fmt, 2), channels = read_le(fmt + 2, 2), rate = read_le(fmt + 4, 4);
  uint32_t block = read_le(fmt + 12, 2), bits = read_le(fmt + 14, 2);
  if (channels < 1 || channels > 8 || rate < 1000 || rate > 384000) return false;
  if (tag == 1 && bits == 8) wav->samples = WAV_U8;
  else if (tag == 1 && bits == 16) wav->samples = WAV_S16;
  else if (tag == 1 && bits == 32) wav->samples = WAV_S32;
  else if (tag == 3 && bits == 32) wav->samples = WAV_F32;
  else return false;
  if (block != channels * bits / 8) return false;
  wav->channels = int(channels);
  wav->rate = int(rate);
  wav->frame_bytes = block;
  return true;
}

bool read_header(WavFile* wav, int64_t file_size) {
  uint8_t head[12];
  if (!read_at(*wav, 0, head, 12)) return false;
  if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) return false;
  bool have_format = false;
  for (int64_t offset = 12;;) {
    uint8_t chunk[8];
    if (!read_at(*wav, offset, chunk, 8)) return false;
    const uint32_t size = read_le(chunk + 4, 4);
    const int64_t start = offset + 8;
    if (std::memcmp(chunk, "data", 4) == 0) {
      if (!have_format) return false;
      const int64_t held = file_size - start;
      const uint32_t bytes = int64_t(size) < held ? size : uint32_t(held);
      wav->data_start = start;
      wav->data_bytes = bytes - bytes % wav->frame_bytes;
      return true;
    }
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      uint8_t fmt[16];
      if (size < 16 || !read_at(*wav, start, fmt, 16)) return false;
      have_format = read_format(fmt, wav);
      if (!have_format) return false;
    }
    offset = start + size + (size & 1);
  }
}

}  // namespace

bool wav_open(const char* path, WavFile* wav) {
  *wav = WavFile{};
  uint64_t size = 0;
  wav->fd = open_regular_file(path, &size);
  if (wav->fd < 0) return false;
  if (read_header(wav, int64_t(size))) return true;
  wav_close(wav);
  return false;
}

void wav_close(WavFile* wav) {
  if (wav->fd >= 0) close(wav->fd);
  *wav = WavFile{};
}
