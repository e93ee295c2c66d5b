// The music file: opened as the pictures are (never blocking, regular files
// only) and its RIFF chunks walked to the format and the samples. What the
// live show can play here is what the offline renderer puts in its video.
#pragma once
#include <cstdint>

enum WavSamples { WAV_U8, WAV_S16, WAV_S32, WAV_F32 };

struct WavFile {
  int fd = -1;
  WavSamples samples = WAV_S16;
  int channels = 0;
  int rate = 0;              // frames per second
  uint32_t frame_bytes = 0;  // one sample of every channel
  int64_t data_start = 0;    // file offset of the first sample
  uint32_t data_bytes = 0;   // whole frames only, as far as the file holds them
};

// False, with nothing left open, when the file is missing, not a regular file
// or not plain PCM of 8, 16 or 32 bits or 32-bit float in a RIFF WAVE.
bool wav_open(const char* path, WavFile* wav);
void wav_close(WavFile* wav);
