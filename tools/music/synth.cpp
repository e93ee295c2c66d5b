// The instruments and the effects: drums struck from filtered noise and a
// gliding sine, tone voices from band-limited oscillators through a resonant
// filter, and the ping-pong delay and reverb that the sends feed.
#include "synth.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace {

constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kFrameSeconds = 1.0f / kSampleRate;
// Glides, vibrato and cutoffs are recomputed once every this many frames.
constexpr int kControlFrames = 16;
// A falling sound is cut after this many time constants (about -52 dB).
constexpr float kTailConstants = 6.0f;

enum FilterMode { FILTER_LOW, FILTER_BAND, FILTER_HIGH };

// Trapezoidal state-variable filter: stays stable while the cutoff moves.
struct Filter {
  float ic1, ic2;
  float a1, a2, a3, k;
};

void tune_filter(Filter& filter, float cutoff_hz, float resonance) {
  float cutoff = std::clamp(cutoff_hz, 20.0f, 0.45f * kSampleRate);
  float g = std::tan(kPi * cutoff / kSampleRate);
  filter.k = 2.0f - 2.0f * resonance;
  filter.a1 = 1.0f / (1.0f + g * (g + filter.k));
  filter.a2 = g * filter.a1;
  filter.a3 = g * filter.a2;
}

float run_filter(Filter& filter, float x, FilterMode mode) {
  float v3 = x - filter.ic2;
  float v1 = filter.a1 * filter.ic1 + filter.a2 * v3;
  float v2 = filter.ic2 + filter.a2 * filter.ic1 + filter.a3 * v3;
  filter.ic1 = 2.0f * v1 - filter.ic1;
  filter.ic2 = 2.0f * v2 - filter.ic2;
  if (mode == FILTER_LOW) return v2;
  if (mode == FILTER_BAND) return v1;
  return x - filter.k * v1 - v2;
}

// One cycle of sine in kSineSize steps, with two guard entries so that a
// phase of exactly 1 still reads inside; linear interpolation between entries
// is far cheaper than std::sin in the per-frame loops.
constexpr int kSineSize = 4096;

std::array<float, kSineSize + 2> make_sine_table() {
  std::array<float, kSineSize + 2> table{};
  for (int i = 0; i < kSineSize + 2; ++i) table[i] = static_cast<float>(std::sin(2.0 * std::numbers::pi * i / kSineSize));
  return table;
}

const std::array<float, kSineSize + 2> kSineTable = make_sine_table();

// Sine of a phase in cycles, 0 to 1.
float sine(float phase) {
  float position = phase * kSineSize;
  int index = static_cast<int>(position);
  float frac = position - static_cast<float>(index);
  return kSineTable[index] + frac * (kSineTable[index + 1] - kSineTable[index]);
}

// Soft clipping close to tanh (a Pade form), flat beyond +-3.
float soft_clip(float x) {
  x = std::clamp(x, -3.0f, 3.0f);
  return x * (27.0f + x * x) / (27.0f + 9.0f * x * x);
}

// Integer-seeded white noise in [-1, 1): the same note always hisses alike.
uint32_t noise_seed(int track, int index) {
  uint32_t seed = (0x9E3779B9u * static_cast<uint32_t>(index + 1)) ^ (0x85EBCA6Bu * static_cast<uint32_t>(track + 1));
  return seed != 0 ? seed : 1;
}

float next_noise(uint32_t& state) {
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return static_cast<float>(static_cast<int32_t>(state)) * (1.0f / 2147483648.0f);
}

// Per-frame factor of an exponential fall with the time constant in seconds.
float fall_per_frame(float seconds) { return std::exp(-kFrameSeconds / seconds); }

// Where one sounding source writes: the dry pair and the two mono sends.
struct Output {
  float* left;
  float* right;
  float* delay;
  float* reverb;
  float delay_gain, reverb_gain;
};

Output output_at(Mix& mix, int64_t start, float delay_gain, float reverb_gain) {
  return Output{mix.left.data() + start, mix.right.data() + start, mix.delay_send.data() + start,
                mix.reverb_send.data() + start, delay_gain, reverb_gain};
}

void put(const Output& out, int64_t i, float left, float right, float mono) {
  out.left[i] += left;
  out.right[i] += right;
  out.delay[i] += out.delay_gain * mono;
  out.reverb[i] += out.reverb_gain * mono;
}

// Equal-power gains of a source at `pan` (-1 left to 1 right).
struct Pan {
  float left, right;
};

Pan pan_gains(float pan, float gain) {
  float angle = (std::clamp(pan, -1.0f, 1.0f) + 1.0f) * kPi / 4.0f;
  return Pan{gain * std::cos(angle), gain * std::sin(angle)};
}

// Drums: filtered noise plus a sine body, both gliding over `sweep` seconds.
struct Hit {
  FilterMode mode;
  float cutoff_from, cutoff_to;     // Hz
  float resonance = 0;              // 0 to 0.95
  float tone_from = 0, tone_to = 0; // Hz of the sine body
  float sweep = 0;                  // s; a swell glides over its whole gate instead
  float noise = 0, tone = 0;        // levels of the two sources
  float decay = 0, tone_decay = 0;  // s, time constants of their fall
  float drive = 0;                  // soft clipping, 0 clean
  bool swell = false;               // rises over the held gate instead of falling
  float gain = 0, pan = 0, delay = 0, reverb = 0;
};

// Index TRACK_KICK to TRACK_RISER.
constexpr Hit kHits[] = {
    // kick: a thump falling from 150 to 46 Hz, a short click on top, driven a little
    {.mode = FILTER_LOW, .cutoff_from = 6000, .cutoff_to = 1500, .tone_from = 150, .tone_to = 46, .sweep = 0.07f,
     .noise = 0.35f, .tone = 1.0f, .decay = 0.012f, .tone_decay = 0.17f, .drive = 1.6f, .gain = 0.55f},
    // snare: a band of noise over a short 200 Hz body
    {.mode = FILTER_BAND, .cutoff_from = 3200, .cutoff_to = 1900, .resonance = 0.25f, .tone_from = 210,
     .tone_to = 170, .sweep = 0.05f, .noise = 0.9f, .tone = 0.5f, .decay = 0.11f, .tone_decay = 0.05f,
     .drive = 0.8f, .gain = 1.0f, .pan = 0.08f, .reverb = 0.30f},
    // closed hat
    {.mode = FILTER_HIGH, .cutoff_from = 8500, .cutoff_to = 7500, .resonance = 0.2f, .sweep = 0.02f, .noise = 1.0f,
     .decay = 0.028f, .gain = 0.60f, .pan = 0.3f, .reverb = 0.04f},
    // open hat
    {.mode = FILTER_HIGH, .cutoff_from = 7500, .cutoff_to = 6500, .resonance = 0.2f, .sweep = 0.10f, .noise = 1.0f,
     .decay = 0.16f, .gain = 0.40f, .pan = -0.3f, .reverb = 0.10f},
    // crash: bright noise ringing out over a few seconds
    {.mode = FILTER_HIGH, .cutoff_from = 6000, .cutoff_to = 3500, .resonance = 0.1f, .sweep = 0.8f, .noise = 1.0f,
     .decay = 0.7f, .gain = 0.22f, .pan = -0.15f, .reverb = 0.35f},
    // riser: a resonant band of noise sweeping up into the next section
    {.mode = FILTER_BAND, .cutoff_from = 300, .cutoff_to = 7000, .resonance = 0.6f, .noise = 1.0f, .swell = true,
     .gain = 0.30f, .delay = 0.25f, .reverb = 0.40f},
};
static_assert(std::size(kHits) == TRACK_BASS);

float glide(float from, float to, float progress) { return from * std::pow(to / from, progress); }

void render_hit(Track track, const Note& note, Mix& mix) {
  const Hit& hit = kHits[track];
  float length = kTailConstants * std::max(hit.decay, hit.tone_decay);
  int64_t frames = hit.swell ? note.gate : static_cast<int64_t>(length * kSampleRate);
  frames = std::min(frames, mix.frames - note.start);
  float sweep = hit.swell ? static_cast<float>(note.gate) * kFrameSeconds : hit.sweep;
  float gain = hit.gain * note.velocity;
  Pan pan = pan_gains(hit.pan, gain);
  Output out = output_at(mix, note.start, hit.delay, hit.reverb);
  uint32_t noise = noise_seed(track, note.index);
  Filter filter{};
  float noise_fall = hit.swell ? 1.0f : fall_per_frame(hit.decay);
  float tone_fall = hit.tone > 0.0f ? fall_per_frame(hit.tone_decay) : 0.0f;
  float drive_norm = hit.drive > 0.0f ? 1.0f / soft_clip(hit.drive) : 1.0f;
  float noise_level = hit.noise, tone_level = hit.tone, phase = 0.0f, phase_step = 0.0f;
  for (int64_t i = 0; i < frames; ++i) {
    if (i % kControlFrames == 0) {
      float progress = std::min(1.0f, static_cast<float>(i) * kFrameSeconds / sweep);
      tune_filter(filter, glide(hit.cutoff_from, hit.cutoff_to, progress), hit.resonance);
      if (hit.tone > 0.0f) phase_step = glide(hit.tone_from, hit.tone_to, progress) * kFrameSeconds;
    }
    float x = noise_level * run_filter(filter, next_noise(noise), hit.mode);
    if (hit.swell) {
      float rise = static_cast<float>(i) / static_cast<float>(frames);
      x *= rise * rise;
    }
    if (hit.tone > 0.0f) {
      x += tone_level * sine(phase);
      phase += phase_step;
      phase -= std::floor(phase);
    }
    if (hit.drive > 0.0f) x = soft_clip(hit.drive * x) * drive_norm;
    put(out, i, pan.left * x, pan.right * x, gain * x);
    noise_level *= noise_fall;
    tone_level *= tone_fall;
  }
}

enum Wave { WAVE_SAW, WAVE_PULSE, WAVE_FM };

// Tone voices: oscillator, low-pass filter with its own falling envelope,
// and an ADSR amplifier.
struct Voice {
  Wave wave;
  float shape = 0;     // pulse width (0 to 1), or the FM modulator's frequency ratio
  float fm_index = 0;  // FM depth at the onset, radians; falls with the filter envelope
  int unison;          // oscillators a note, spread in pitch and across the stereo field
  float detune = 0;    // cents between the outermost unison oscillators
  float attack, decay, sustain = 0, release;  // s, s, level, s
  float cutoff, env_cutoff = 0;  // Hz at rest and added at the onset
  float filter_decay;            // s, time constant of the cutoff's fall
  float resonance = 0;
  float vibrato = 0;   // semitones, fading in over the first 0.4 s
  float gain, pan = 0;
  float spread = 0;    // pan offset of the unison oscillators, or of every other note
  float delay = 0, reverb = 0;
};

constexpr int kMaxUnison = 2;

// Index TRACK_BASS to TRACK_BELL.
constexpr Voice kVoices[] = {
    // bass: two saws, a plucked resonant filter
    {.wave = WAVE_SAW, .unison = 2, .detune = 9, .attack = 0.003f, .decay = 0.20f, .sustain = 0.55f,
     .release = 0.05f, .cutoff = 160, .env_cutoff = 1500, .filter_decay = 0.10f, .resonance = 0.45f, .gain = 0.42f},
    // arpeggio: a thin pulse, a short pluck, notes alternating left and right
    {.wave = WAVE_PULSE, .shape = 0.25f, .unison = 1, .attack = 0.002f, .decay = 0.10f, .release = 0.06f,
     .cutoff = 700, .env_cutoff = 3800, .filter_decay = 0.07f, .resonance = 0.35f, .gain = 0.15f, .spread = 0.55f,
     .delay = 0.35f, .reverb = 0.12f},
    // pad: two detuned saws spread wide, a slow swell
    {.wave = WAVE_SAW, .unison = 2, .detune = 16, .attack = 0.40f, .decay = 1.2f, .sustain = 0.8f, .release = 0.45f,
     .cutoff = 1100, .env_cutoff = 700, .filter_decay = 1.0f, .resonance = 0.15f, .gain = 0.09f, .spread = 0.8f,
     .reverb = 0.45f},
    // lead: two square waves with vibrato
    {.wave = WAVE_PULSE, .shape = 0.5f, .unison = 2, .detune = 10, .attack = 0.008f, .decay = 0.35f, .sustain = 0.7f,
     .release = 0.12f, .cutoff = 1800, .env_cutoff = 3200, .filter_decay = 0.22f, .resonance = 0.3f,
     .vibrato = 0.18f, .gain = 0.16f, .pan = -0.05f, .spread = 0.25f, .delay = 0.30f, .reverb = 0.22f},
    // bell: two-operator FM with an inharmonic ratio
    {.wave = WAVE_FM, .shape = 3.5f, .fm_index = 2.2f, .unison = 1, .attack = 0.002f, .decay = 0.55f,
     .release = 0.35f, .cutoff = 14000, .filter_decay = 0.35f, .gain = 0.16f, .pan = 0.1f, .spread = 0.4f,
     .delay = 0.30f, .reverb = 0.40f},
};
static_assert(std::size(kVoices) == TRACK_COUNT - TRACK_BASS);
static_assert(std::ranges::all_of(kVoices, [](const Voice& v) { return v.unison >= 1 && v.unison <= kMaxUnison; }));

// Attack rises linearly, decay falls exponentially towards the sustain
// level, release falls exponentially from wherever the gate closed.
struct Envelope {
  int64_t attack, gate;
  float sustain, decay_fall, release_fall;
  float decay_left, level;
};

float step_envelope(Envelope& env, int64_t i) {
  if (i >= env.gate) {
    env.level *= env.release_fall;
  } else if (i < env.attack) {
    env.level = static_cast<float>(i) / static_cast<float>(env.attack);
  } else {
    env.level = env.sustain + (1.0f - env.sustain) * env.decay_left;
    env.decay_left *= env.decay_fall;
  }
  return env.level;
}

// Correction of a hard edge over the frame it falls in, which keeps the
// saw and pulse from aliasing (t: phase after the edge, dt: phase per frame).
float poly_blep(float t, float dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1.0f;
  }
  if (t > 1.0f - dt) {
    t = (t - 1.0f) / dt;
    return t * t + t + t + 1.0f;
  }
  return 0.0f;
}

struct Oscillator {
  float phase, mod_phase;  // cycles, 0 to 1
};

float oscillate(const Voice& voice, Oscillator& osc, float dt, float fm_depth) {
  float x;
  if (voice.wave == WAVE_SAW) {
    x = 2.0f * osc.phase - 1.0f - poly_blep(osc.phase, dt);
  } else if (voice.wave == WAVE_PULSE) {
    float falling = osc.phase - voice.shape;
    if (falling < 0.0f) falling += 1.0f;
    x = (osc.phase < voice.shape ? 1.0f : -1.0f) + poly_blep(osc.phase, dt) - poly_blep(falling, dt);
    x -= 2.0f * voice.shape - 1.0f;  // no offset for narrow pulses
  } else {
    float bent = osc.phase + fm_depth * sine(osc.mod_phase) / (2.0f * kPi);
    x = sine(bent - std::floor(bent));
    osc.mod_phase += dt * voice.shape;
    osc.mod_phase -= std::floor(osc.mod_phase);
  }
  osc.phase += dt;
  if (osc.phase >= 1.0f) osc.phase -= 1.0f;
  return x;
}

// One of a note's unison oscillators, with its own filter and place.
struct UnisonVoice {
  Oscillator osc;
  Filter filter;
  float cents, dt;
  Pan pan;
};

void render_voice(Track track, const Note& note, Mix& mix) {
  const Voice& voice = kVoices[track - TRACK_BASS];
  int64_t tail = static_cast<int64_t>(kTailConstants * voice.release * kSampleRate);
  int64_t frames = std::min(note.gate + tail, mix.frames - note.start);
  if (voice.sustain == 0.0f)  // silent once the decay has run out, held or not
    frames = std::min(frames, static_cast<int64_t>((voice.attack + kTailConstants * voice.decay) * kSampleRate));
  const float gain = voice.gain * note.velocity / std::sqrt(static_cast<float>(voice.unison));
  UnisonVoice unison[kMaxUnison] = {};
  for (int u = 0; u < voice.unison; ++u) {
    // -1 to 1 across the unison, or the side of this note in a single voice
    float position = voice.unison > 1 ? 2.0f * static_cast<float>(u) / static_cast<float>(voice.unison - 1) - 1.0f
                                      : (note.index % 2 != 0 ? 1.0f : -1.0f);
    unison[u].osc.phase = 0.37f * static_cast<float>(u);
    unison[u].cents = voice.unison > 1 ? position * voice.detune * 0.5f : 0.0f;
    unison[u].pan = pan_gains(voice.pan + voice.spread * position, gain);
  }
  Output out = output_at(mix, note.start, voice.delay, voice.reverb);
  Envelope env{std::max<int64_t>(1, static_cast<int64_t>(voice.attack * kSampleRate)), note.gate, voice.sustain,
               fall_per_frame(voice.decay), fall_per_frame(voice.release), 1.0f, 0.0f};
  const float vibrato_rate = 2.0f * kPi * 5.5f;  // radians a second
  float fm_depth = 0.0f;
  for (int64_t i = 0; i < frames; ++i) {
    if (i % kControlFrames == 0) {
      float t = static_cast<float>(i) * kFrameSeconds;
      float vibrato = voice.vibrato * std::min(1.0f, t / 0.4f) * std::sin(vibrato_rate * t);
      float opening = std::exp(-t / voice.filter_decay);
      float cutoff = (voice.cutoff + voice.env_cutoff * opening) * note.brightness;
      fm_depth = voice.fm_index * opening;
      for (int u = 0; u < voice.unison; ++u) {
        float semitones = note.pitch + unison[u].cents / 100.0f + vibrato - 69.0f;
        unison[u].dt = 440.0f * std::exp2(semitones / 12.0f) * kFrameSeconds;
        tune_filter(unison[u].filter, cutoff, voice.resonance);
      }
    }
    float level = step_envelope(env, i), left = 0.0f, right = 0.0f, mono = 0.0f;
    for (int u = 0; u < voice.unison; ++u) {
      UnisonVoice& v = unison[u];
      float x = level * run_filter(v.filter, oscillate(voice, v.osc, v.dt, fm_depth), FILTER_LOW);
      left += v.pan.left * x;
      right += v.pan.right * x;
      mono += gain * x;
    }
    put(out, i, left, right, mono);
  }
}

// Ping-pong delay: the send enters on the left, each repeat crosses to the
// other side a little darker, and the repeats also feed the reverb.
void add_delay(Mix& mix, int64_t delay_frames) {
  constexpr float kFeedback = 0.42f, kWet = 0.55f, kToReverb = 0.15f;
  std::vector<float> left_line(delay_frames), right_line(delay_frames);
  float darkened = 0.0f;
  for (int64_t n = 0; n < mix.frames; ++n) {
    int64_t pos = n % delay_frames;
    float left = left_line[pos], right = right_line[pos];
    darkened += 0.4f * (right - darkened);
    left_line[pos] = mix.delay_send[n] + kFeedback * darkened;
    right_line[pos] = kFeedback * left;
    mix.left[n] += kWet * left;
    mix.right[n] += kWet * right;
    mix.reverb_send[n] += kToReverb * (left + right);
  }
}

// Reverb: parallel damped combs into series all-passes, per channel; the
// right channel's lines are a little longer so the two sides decorrelate.
constexpr int kCombFrames[4] = {1116, 1277, 1422, 1617};  // frames at 44.1 kHz
constexpr int kAllpassFrames[2] = {556, 341};             // frames at 44.1 kHz
constexpr int kRightExtraFrames = 23;

struct Line {
  std::vector<float> samples;
  size_t pos;
  float damped;
};

float comb(Line& line, float x) {
  constexpr float kRoom = 0.84f, kDamp = 0.25f;
  float out = line.samples[line.pos];
  line.damped = out * (1.0f - kDamp) + line.damped * kDamp;
  line.samples[line.pos] = x + kRoom * line.damped;
  line.pos = line.pos + 1 == line.samples.size() ? 0 : line.pos + 1;
  return out;
}

float allpass(Line& line, float x) {
  float delayed = line.samples[line.pos];
  line.samples[line.pos] = x + 0.5f * delayed;
  line.pos = line.pos + 1 == line.samples.size() ? 0 : line.pos + 1;
  return delayed - x;
}

void reverb_channel(const std::vector<float>& send, std::vector<float>& out, int extra) {
  constexpr float kInput = 0.05f, kWet = 1.0f;
  Line combs[4], allpasses[2];
  for (int c = 0; c < 4; ++c) combs[c] = Line{std::vector<float>(kCombFrames[c] + extra), 0, 0.0f};
  for (int a = 0; a < 2; ++a) allpasses[a] = Line{std::vector<float>(kAllpassFrames[a] + extra), 0, 0.0f};
  for (size_t n = 0; n < send.size(); ++n) {
    float x = kInput * send[n], wet = 0.0f;
    for (Line& line : combs) wet += comb(line, x);
    for (Line& line : allpasses) wet = allpass(line, wet);
    out[n] += kWet * wet;
  }
}

}  // namespace

Mix make_mix(int64_t frames) {
  size_t size = static_cast<size_t>(frames);
  return Mix{frames, std::vector<float>(size), std::vector<float>(size), std::vector<float>(size),
             std::vector<float>(size)};
}

void render_note(Track track, const Note& note, Mix& mix) {
  if (note.start < 0 || note.start >= mix.frames) return;
  if (track < TRACK_BASS) render_hit(track, note, mix);
  else render_voice(track, note, mix);
}

void add_effects(Mix& mix, int64_t delay_frames) {
  add_delay(mix, delay_frames);
  reverb_channel(mix.reverb_send, mix.left, 0);
  reverb_channel(mix.reverb_send, mix.right, kRightExtraFrames);
}
