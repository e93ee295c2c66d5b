// The soundtrack as the show gets it: a WAV file that SDL loads as 16-bit
// stereo at 44.1 kHz for at least 130 s, never at full scale, changing where
// the show changes, and written alike by every run of its generator.
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;

struct Track {
  SDL_AudioSpec wav_format;
  std::vector<int16_t> samples;  // interleaved left, right
};

Track load_track() {
  Track track{};
  Uint8* buffer = nullptr;
  Uint32 length = 0;
  if (SDL_LoadWAV(MUSIC_FILE, &track.wav_format, &buffer, &length) == nullptr) {
    ADD_FAILURE() << "SDL_LoadWAV: " << SDL_GetError();
    return track;
  }
  track.samples.resize(length / sizeof(int16_t));
  std::memcpy(track.samples.data(), buffer, track.samples.size() * sizeof(int16_t));
  SDL_FreeWAV(buffer);
  return track;
}

const Track& the_track() {
  static const Track track = load_track();
  return track;
}

struct Stretch {
  size_t begin, end;  // sample indices
};

Stretch stretch(const Track& track, double from, double to) {
  return Stretch{std::min(track.samples.size(), static_cast<size_t>(from * kRate) * kChannels),
                 std::min(track.samples.size(), static_cast<size_t>(to * kRate) * kChannels)};
}

// Root mean square of both channels from `from` to `to` seconds, in dB of full scale.
double level_db(const Track& track, double from, double to) {
  Stretch s = stretch(track, from, to);
  double sum = 0.0;
  for (size_t i = s.begin; i < s.end; ++i) sum += static_cast<double>(track.samples[i]) * track.samples[i];
  double mean = s.end > s.begin ? sum / static_cast<double>(s.end - s.begin) : 0.0;
  return 10.0 * std::log10(mean / (32768.0 * 32768.0) + 1e-12);
}

// Loudest sample from `from` to `to` seconds, in dB of full scale: the drums' hits.
double peak_db(const Track& track, double from, double to) {
  Stretch s = stretch(track, from, to);
  int peak = 0;
  for (size_t i = s.begin; i < s.end; ++i) peak = std::max(peak, std::abs(static_cast<int>(track.samples[i])));
  return 20.0 * std::log10(peak / 32768.0 + 1e-12);
}

std::vector<char> read_bytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(Music, LoadsWithSdlAsSixteenBitStereoAt44100ForAtLeast130Seconds) {
  const Track& track = the_track();
  EXPECT_EQ(track.wav_format.freq, kRate);
  EXPECT_EQ(track.wav_format.format, AUDIO_S16LSB);
  EXPECT_EQ(track.wav_format.channels, kChannels);
  EXPECT_GE(track.samples.size(), size_t{130} * kRate * kChannels);
  EXPECT_EQ(track.samples.size() % kChannels, 0u);
}

TEST(Music, PeakStaysBelowFullScaleYetUsesTheRange) {
  const Track& track = the_track();
  ASSERT_FALSE(track.samples.empty());
  int peak = 0;
  for (int16_t sample : track.samples) peak = std::max(peak, std::abs(static_cast<int>(sample)));
  EXPECT_LT(peak, 32767) << "the loudest sample reaches full scale";
  EXPECT_GT(peak, 16384) << "the track is normalised far below full scale";
}

TEST(Music, FollowsTheShowsCuesAndFadesOutAtTheEnd) {
  const Track& track = the_track();
  ASSERT_GE(track.samples.size(), size_t{130} * kRate * kChannels);
  // The intro words have no drums; the first fly-through at 8.4 s brings them.
  EXPECT_LT(peak_db(track, 7.4, 8.35), peak_db(track, 8.45, 9.4) - 4.0);
  // The corridor's end at 100 s drops the beat; scene 4 at 106 s brings it back.
  EXPECT_LT(peak_db(track, 100.05, 104.0), peak_db(track, 99.0, 99.95) - 4.0);
  EXPECT_GT(peak_db(track, 106.05, 107.0), peak_db(track, 100.05, 104.0) + 4.0);
  // The show ends at 126 s; the music has faded away by 130 s.
  EXPECT_LT(level_db(track, 129.0, 129.9), level_db(track, 122.0, 126.0) - 30.0);
  for (size_t i = size_t{130} * kRate * kChannels; i < track.samples.size(); ++i)
    ASSERT_EQ(track.samples[i], 0) << "sound after the fade at sample " << i;
}

TEST(Music, EveryRunOfTheGeneratorWritesTheSameBytes) {
  std::filesystem::path again =
      std::filesystem::temp_directory_path() / ("music_test_" + std::to_string(getpid()) + ".wav");
  std::string command = std::string("\"") + MAKE_MUSIC + "\" \"" + again.string() + "\"";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  std::vector<char> built = read_bytes(MUSIC_FILE);
  std::vector<char> rerun = read_bytes(again.string());
  std::filesystem::remove(again);
  ASSERT_FALSE(built.empty());
  EXPECT_TRUE(built == rerun) << "the generator wrote different bytes on another run";
}

}  // namespace
