// Music on SDL's own audio: the default output opened at 44100 Hz, the WAV
// loaded whole, converted to the device's format when it differs, and queued
// in one piece; the device then plays it on its own thread.
#include "platform/music.h"

#include <SDL.h>

#include "platform/display.h"

namespace {

constexpr int kMusicRate = 44100;
constexpr Uint16 kDeviceBufferFrames = 4096;

SDL_AudioDeviceID open_output(SDL_AudioSpec* have) {
  SDL_AudioSpec want = {};
  want.freq = kMusicRate;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = kDeviceBufferFrames;
  return SDL_OpenAudioDevice(nullptr, 0, &want, have, SDL_AUDIO_ALLOW_ANY_CHANGE);
}

// Converts the whole track and queues it; false when SDL cannot convert.
bool queue_converted(SDL_AudioDeviceID device, const SDL_AudioSpec& from, const SDL_AudioSpec& to,
                     const Uint8* data, Uint32 length) {
  if (from.format == to.format && from.channels == to.channels && from.freq == to.freq)
    return SDL_QueueAudio(device, data, length) == 0;
  SDL_AudioStream* stream =
      SDL_NewAudioStream(from.format, from.channels, from.freq, to.format, to.channels, to.freq);
  if (!stream) return false;
  bool ok = SDL_AudioStreamPut(stream, data, static_cast<int>(length)) == 0 &&
            SDL_AudioStreamFlush(stream) == 0;
  Uint8 chunk[65536];
  while (ok) {
    int got = SDL_AudioStreamGet(stream, chunk, sizeof chunk);
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    ok = SDL_QueueAudio(device, chunk, static_cast<Uint32>(got)) == 0;
  }
  SDL_FreeAudioStream(stream);
  return ok;
}

}  // namespace

void music_start(const char* path) {
  if (!platform_has_audio()) return;
  SDL_AudioSpec have = {};
  SDL_AudioDeviceID device = open_output(&have);
  if (device == 0) return;
  SDL_AudioSpec wav_spec = {};
  Uint8* data = nullptr;
  Uint32 length = 0;
  if (!SDL_LoadWAV(path, &wav_spec, &data, &length)) {
    SDL_CloseAudioDevice(device);
    return;
  }
  bool queued = queue_converted(device, wav_spec, have, data, length);
  SDL_FreeWAV(data);
  if (queued)
    SDL_PauseAudioDevice(device, 0);
  else
    SDL_CloseAudioDevice(device);
}
