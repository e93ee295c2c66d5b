// Music on SDL's own audio: the WAV's header is read once, then the device's
// callback reads the samples from the file as it plays, in the file's own
// format (SDL converts for the device). Seeking moves the read position under
// the device's lock.
#include "platform/music.h"

#include <SDL.h>

#include <cstring>

#include "platform/display.h"

namespace {

constexpr Uint16 kDeviceBufferFrames = 4096;

struct Track {
  SDL_RWops* file = nullptr;
  SDL_AudioDeviceID device = 0;
  SDL_AudioSpec layout = {};   // the samples as stored
  Sint64 data_start = 0;       // file offset of the first sample
  Uint32 data_bytes = 0;       // whole frames only
  Uint32 position = 0;         // bytes played into the data
  Uint32 frame_bytes = 0;
};
Track track;

Uint32 read_le(const Uint8* bytes, int size) {
  Uint32 value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | bytes[i];
  return value;
}

// The "fmt " chunk: plain PCM of 8, 16 or 32 bits, or 32-bit float.
bool read_format(const Uint8* fmt) {
  Uint32 tag = read_le(fmt, 2), channels = read_le(fmt + 2, 2), rate = read_le(fmt + 4, 4);
  Uint32 block = read_le(fmt + 12, 2), bits = read_le(fmt + 14, 2);
  if (channels < 1 || channels > 8 || rate < 1000 || rate > 384000) return false;
  if (tag == 1 && bits == 8) track.layout.format = AUDIO_U8;
  else if (tag == 1 && bits == 16) track.layout.format = AUDIO_S16LSB;
  else if (tag == 1 && bits == 32) track.layout.format = AUDIO_S32LSB;
  else if (tag == 3 && bits == 32) track.layout.format = AUDIO_F32LSB;
  else return false;
  if (block != channels * bits / 8) return false;
  track.layout.channels = static_cast<Uint8>(channels);
  track.layout.freq = static_cast<int>(rate);
  track.frame_bytes = block;
  return true;
}

// Walks the RIFF chunks to the format and the samples; every length read is
// held against what the file has.
bool read_header() {
  Uint8 head[12];
  if (SDL_RWread(track.file, head, 1, 12) != 12) return false;
  if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) return false;
  Sint64 file_size = SDL_RWsize(track.file);
  bool have_format = false;
  for (;;) {
    Uint8 chunk[8];
    if (SDL_RWread(track.file, chunk, 1, 8) != 8) return false;
    Uint32 size = read_le(chunk + 4, 4);
    Sint64 start = SDL_RWtell(track.file);
    if (std::memcmp(chunk, "data", 4) == 0) {
      if (!have_format) return false;
      Sint64 held = file_size - start;
      Uint32 bytes = Sint64(size) < held ? size : static_cast<Uint32>(held);
      track.data_start = start;
      track.data_bytes = bytes - bytes % track.frame_bytes;
      return true;
    }
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      Uint8 fmt[16];
      if (size < 16 || SDL_RWread(track.file, fmt, 1, 16) != 16) return false;
      have_format = read_format(fmt);
      if (!have_format) return false;
    }
    if (SDL_RWseek(track.file, start + size + (size & 1), RW_SEEK_SET) < 0) return false;
  }
}

Uint8 silence_byte() { return track.layout.format == AUDIO_U8 ? 0x80 : 0; }

// On the audio thread: the next samples from the file, silence past the end.
void SDLCALL feed(void*, Uint8* out, int length) {
  Uint32 wanted = static_cast<Uint32>(length);
  Uint32 left = track.data_bytes - track.position;
  Uint32 got = 0;
  if (left > 0) got = static_cast<Uint32>(SDL_RWread(track.file, out, 1, wanted < left ? wanted : left));
  track.position += got;
  if (got < wanted) std::memset(out + got, silence_byte(), wanted - got);
}

void move_to(Uint32 ms) {
  Uint64 frame = Uint64(ms) * Uint64(track.layout.freq) / 1000;
  Uint64 byte = frame * track.frame_bytes;
  track.position = byte < track.data_bytes ? static_cast<Uint32>(byte) : track.data_bytes;
  SDL_RWseek(track.file, track.data_start + track.position, RW_SEEK_SET);
}

void close_track() {
  if (track.device) SDL_CloseAudioDevice(track.device);
  if (track.file) SDL_RWclose(track.file);
  track = Track{};
}

}  // namespace

// A track already playing (a second show in one process) is closed first.
void music_start(const char* path, uint32_t from_ms) {
  close_track();
  if (!platform_has_audio()) return;
  track.file = SDL_RWFromFile(path, "rb");
  if (!track.file || !read_header()) return close_track();
  SDL_AudioSpec want = track.layout;
  want.samples = kDeviceBufferFrames;
  want.callback = feed;
  track.device = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
  if (track.device == 0) return close_track();
  move_to(from_ms);
  SDL_PauseAudioDevice(track.device, 0);
}

void music_pause(bool paused) {
  if (track.device) SDL_PauseAudioDevice(track.device, paused ? 1 : 0);
}

void music_seek(uint32_t ms) {
  if (!track.device) return;
  SDL_LockAudioDevice(track.device);
  move_to(ms);
  SDL_UnlockAudioDevice(track.device);
}

uint32_t music_position_ms() {
  if (!track.device) return 0;
  SDL_LockAudioDevice(track.device);
  Uint64 ms = Uint64(track.position / track.frame_bytes) * 1000 / Uint64(track.layout.freq);
  SDL_UnlockAudioDevice(track.device);
  return static_cast<uint32_t>(ms);
}
