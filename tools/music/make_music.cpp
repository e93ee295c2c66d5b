// make-music: synthesises the show's soundtrack and writes it as a 16-bit
// stereo PCM WAVE file at 44.1 kHz. Nothing depends on the clock or the
// system, so every run writes the same bytes.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <vector>

#include "song.h"
#include "synth.h"

namespace {

constexpr const char* kDefaultPath = "music/vondsorvane2.wav";
// Loudest sample after normalising, as a fraction of full scale (about -1 dBFS).
constexpr float kPeakLevel = 0.89f;
constexpr int kChannels = 2;
constexpr int kBytesPerSample = 2;

Mix render(const Score& score) {
  Mix mix = make_mix(kSongFrames);
  for (int track = 0; track < TRACK_COUNT; ++track)
    for (const Note& note : score[track]) render_note(static_cast<Track>(track), note, mix);
  add_effects(mix, 3 * kStepFrames);  // echoes a dotted eighth apart
  return mix;
}

// Raised-cosine fade from full level at the fade's start to silence at its end.
void fade_out(Mix& mix) {
  const double length = static_cast<double>(kFadeEndFrame - kFadeStartFrame);
  for (int64_t n = kFadeStartFrame; n < mix.frames; ++n) {
    double progress = std::min(1.0, static_cast<double>(n - kFadeStartFrame) / length);
    float gain = static_cast<float>(0.5 * (1.0 + std::cos(std::numbers::pi * progress)));
    if (n >= kFadeEndFrame) gain = 0.0f;
    mix.left[n] *= gain;
    mix.right[n] *= gain;
  }
}

// Interleaved 16-bit samples, scaled so the loudest one sits at kPeakLevel.
std::vector<int16_t> to_pcm(const Mix& mix) {
  float peak = 0.0f;
  for (int64_t n = 0; n < mix.frames; ++n) peak = std::max({peak, std::fabs(mix.left[n]), std::fabs(mix.right[n])});
  float scale = peak > 0.0f ? kPeakLevel * 32767.0f / peak : 0.0f;
  std::vector<int16_t> pcm(static_cast<size_t>(mix.frames) * kChannels);
  for (int64_t n = 0; n < mix.frames; ++n) {
    pcm[2 * n] = static_cast<int16_t>(std::lround(mix.left[n] * scale));
    pcm[2 * n + 1] = static_cast<int16_t>(std::lround(mix.right[n] * scale));
  }
  return pcm;
}

void put_le(std::vector<unsigned char>& bytes, uint32_t value, int size) {
  for (int i = 0; i < size; ++i) bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// RIFF header with one PCM "fmt " chunk and the "data" chunk, little-endian.
bool write_wav(const char* path, const std::vector<int16_t>& pcm) {
  const uint32_t data_size = static_cast<uint32_t>(pcm.size() * kBytesPerSample);
  std::vector<unsigned char> bytes;
  bytes.reserve(44 + data_size);
  bytes.insert(bytes.end(), {'R', 'I', 'F', 'F'});
  put_le(bytes, 36 + data_size, 4);
  bytes.insert(bytes.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  put_le(bytes, 16, 4);                                             // fmt chunk size
  put_le(bytes, 1, 2);                                              // PCM
  put_le(bytes, kChannels, 2);
  put_le(bytes, kSampleRate, 4);
  put_le(bytes, kSampleRate * kChannels * kBytesPerSample, 4);      // bytes a second
  put_le(bytes, kChannels * kBytesPerSample, 2);                    // bytes a frame
  put_le(bytes, 8 * kBytesPerSample, 2);                            // bits a sample
  bytes.insert(bytes.end(), {'d', 'a', 't', 'a'});
  put_le(bytes, data_size, 4);
  for (int16_t sample : pcm) put_le(bytes, static_cast<uint16_t>(sample), 2);

  std::error_code error;
  std::filesystem::path parent = std::filesystem::path(path).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent, error);
  FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace

// Usage: make-music [OUTPUT], by default music/vondsorvane2.wav in the current folder.
int main(int argc, char** argv) {
  const char* path = argc > 1 ? argv[1] : kDefaultPath;
  Mix mix = render(compose());
  fade_out(mix);
  if (!write_wav(path, to_pcm(mix))) {
    std::fprintf(stderr, "make-music: cannot write %s\n", path);
    return 1;
  }
  return 0;
}
