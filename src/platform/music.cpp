// Music on SDL's own audio: the WAV's header is read once, then the device's
// callback reads the samples from the file as it plays, in the file's own
// format (SDL converts for the device). Seeking moves the read position under
// the device's lock.
#include "platform/music.h"

#include <SDL.h>
#include <unistd.h>

#include <cstring>

#include "platform/display.h"
#include "platform/wav_file.h"

namespace {

constexpr Uint16 kDeviceBufferFrames = 4096;

struct Track {
  WavFile wav;
  SDL_AudioDeviceID device = 0;
  Uint32 position = 0;  // bytes played into the data
};
Track track;

SDL_AudioFormat sdl_format(WavSamples samples) {
  switch (samples) {
    case WAV_U8: return AUDIO_U8;
    case WAV_S16: return AUDIO_S16LSB;
    case WAV_S32: return AUDIO_S32LSB;
    case WAV_F32: return AUDIO_F32LSB;
  }
  return AUDIO_S16LSB;
}

Uint8 silence_byte() { return track.wav.samples == WAV_U8 ? 0x80 : 0; }

// On the audio thread: the next samples from the file, silence past the end.
void SDLCALL feed(void*, Uint8* out, int length) {
  Uint32 wanted = static_cast<Uint32>(length);
  Uint32 left = track.wav.data_bytes - track.position;
  Uint32 count = wanted < left ? wanted : left;
  ssize_t got = count > 0 ? pread(track.wav.fd, out, count, track.wav.data_start + track.position) : 0;
  if (got < 0) got = 0;
  track.position += static_cast<Uint32>(got);
  if (Uint32(got) < wanted) std::memset(out + got, silence_byte(), wanted - Uint32(got));
}

void move_to(Uint32 ms) {
  Uint64 frame = Uint64(ms) * Uint64(track.wav.rate) / 1000;
  Uint64 byte = frame * track.wav.frame_bytes;
  track.position = byte < track.wav.data_bytes ? static_cast<Uint32>(byte) : track.wav.data_bytes;
}

void close_track() {
  if (track.device) SDL_CloseAudioDevice(track.device);
  wav_close(&track.wav);
  track = Track{};
}

}  // namespace

// A track already playing (a second show in one process) is closed first.
void music_start(const char* path, uint32_t from_ms) {
  close_track();
  if (!platform_has_audio()) return;
  if (!wav_open(path, &track.wav)) return;
  SDL_AudioSpec want = {};
  want.format = sdl_format(track.wav.samples);
  want.channels = static_cast<Uint8>(track.wav.channels);
  want.freq = track.wav.rate;
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
  Uint64 ms = Uint64(track.position / track.wav.frame_bytes) * 1000 / Uint64(track.wav.rate);
  SDL_UnlockAudioDevice(track.device);
  return static_cast<uint32_t>(ms);
}
