// The synthesizer's side of the music generator: the tracks it can play, the
// notes the composer hands it, and the full-length buses it mixes into.
#pragma once

#include <cstdint>
#include <vector>

constexpr int kSampleRate = 44100;

enum Track {
  TRACK_KICK,
  TRACK_SNARE,
  TRACK_HAT,
  TRACK_OPEN_HAT,
  TRACK_CRASH,
  TRACK_RISER,
  TRACK_BASS,
  TRACK_ARP,
  TRACK_PAD,
  TRACK_LEAD,
  TRACK_BELL,
  TRACK_COUNT
};

struct Note {
  int64_t start;     // first frame
  int64_t gate;      // frames the key is held
  float pitch;       // MIDI note number; the drums ignore it
  float velocity;    // 0 to 1
  float brightness;  // scales the filter cutoff; 1 is the instrument's own
  int index;         // count of the note in its track: seeds noise, alternates sides
};

// Frames of the whole tune. The sends are mono and feed the delay and the
// reverb, which add their stereo returns to the dry pair.
struct Mix {
  int64_t frames;
  std::vector<float> left, right;
  std::vector<float> delay_send, reverb_send;
};

Mix make_mix(int64_t frames);
void render_note(Track track, const Note& note, Mix& mix);
void add_effects(Mix& mix, int64_t delay_frames);
