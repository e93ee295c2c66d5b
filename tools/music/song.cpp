// The tune: chord progressions, step patterns and the section table that
// lines the music up with the show, and the composer that turns them into
// the notes of every track.
#include "song.h"

#include <algorithm>

#include "notation.h"

namespace {

constexpr int kBarSteps = 16;

// Chords, one a bar, looping through their section.
constexpr Progression kHome = progression("C G Am F");
constexpr Progression kBuild = progression("Am F G");
constexpr Progression kTurn = progression("Am F C G");
constexpr Progression kCorridor = progression("F G Em Am");
constexpr Progression kLogo = progression("F G A A");  // A leads into the finale a tone up
constexpr Progression kLast = progression("C");

constexpr Pattern kKickSoft = hits("x... .... x... ....");
constexpr Pattern kKickFour = hits("X... X... X... X...");
constexpr Pattern kKickBuild = hits("X... X... X... X... X... X... X... X... X... X.x. X.x. XxXx");
constexpr Pattern kKickHalf = hits("X... .... ..X. ....");
constexpr Pattern kKickDrive = hits("X... X... X... X.x.");
// Four bars, longer than the last row: one hit under the closing chord.
constexpr Pattern kKickOnce = hits("X... .... .... .... .... .... .... .... .... .... .... .... .... .... .... ....");
constexpr Pattern kSnareBack = hits(".... X... .... X... .... X... .... X..o");
constexpr Pattern kSnareHalf = hits(".... .... X... ....");
constexpr Pattern kSnareFill = hits("o.o. o.o. x.x. xxXX");
constexpr Pattern kHatOffbeat = hits("..o. ..o. ..o. ..o.");
constexpr Pattern kHatSixteenths = hits("xoxo xoxo xoxo xoxo");
constexpr Pattern kHatGroove = hits("xo.o xo.o xo.o xo.o");
constexpr Pattern kHatHalf = hits("x.o. x.o. x.o. x.oo");
constexpr Pattern kOpenOffbeat = hits("..x. ..x. ..x. ..x.");

constexpr Pattern kBassLong = pattern("r0 --*5 r0 --*3 r12 --*3 r7 --");
constexpr Pattern kBassGroove = pattern("r0 . r12 . r0 r0 r12 . r0 . r12 . r0 r0 r12 r7");
constexpr Pattern kBassHalf = pattern("r0 --*5 r0 --*3 r7 -- r12 --*3");
constexpr Pattern kBassDrive = pattern("r0 . r0 r12 r0 . r0 r12 r0 . r0 r12 r0 . r12 r7");
constexpr Pattern kBassHold = pattern("r0 --*15");
constexpr Pattern kBassLast = pattern("r0 --*63");  // held through the last row

constexpr Pattern kArpEighths = pattern("t0 . t1 . t2 . t3 . t4 . t3 . t2 . t1 .");
constexpr Pattern kArpSixteenths = pattern("t0 t1 t2 t3 t4 t3 t2 t1");

constexpr Pattern kBellIntro = pattern("t0 --*2 t1 --*2 t2 -- t3 --*2 t2 --*2 t1 --");
constexpr Pattern kBellSparkle = pattern("t0 t1 t2 t3 t4 t5 t6 t5 t4 t3 t2 t1 t2 t3 t4 t5");
constexpr Pattern kBellLast = pattern("t0 t1 t2 t3 t4 t5 t6 --*57");  // once up, then ringing

// The theme, over C G Am F twice.
constexpr Pattern kLeadTheme = pattern(
    "E5 --*2 G5 --*2 C6 -- B5 -- C6 -- G5 --*3 "
    "D5 --*2 G5 --*2 B5 -- A5 -- B5 -- D6 -- B5 -- "
    "C6 --*2 A5 --*2 E5 -- A5 -- B5 -- C6 -- E6 -- "
    "D6 --*2 C6 --*2 A5 -- F5 --*3 G5 -- A5 -- "
    "G5 --*2 E5 --*2 G5 -- C6 --*3 D6 -- E6 -- "
    "D6 --*2 B5 --*2 G5 -- D6 --*3 B5 -- G5 -- "
    "A5 --*2 C6 --*2 E6 -- D6 -- C6 -- B5 -- A5 -- "
    "A5 --*2 C6 --*2 F6 -- E6 --*3 D6 --*3");
// The turn, over Am F C G, in long notes.
constexpr Pattern kLeadTurn = pattern(
    "E5 --*5 D5 -- C5 --*3 D5 -- E5 -- "
    "F5 --*5 E5 -- C5 --*3 A4 --*3 "
    "G5 --*5 E5 -- C6 --*3 B5 -- G5 -- "
    "D5 --*7 B4 --*3 D5 --*3");
// The corridor's hook, over F G Em Am twice.
constexpr Pattern kLeadCorridor = pattern(
    "C6 --*2 A5 --*2 C6 --*3 D6 -- C6 -- A5 -- "
    "B5 --*2 G5 --*2 B5 --*3 D6 -- B5 -- G5 -- "
    "G5 --*2 E5 --*2 G5 -- B5 --*3 G5 -- B5 -- "
    "C6 --*3 B5 --*3 A5 --*3 E5 --*3 "
    "C6 --*2 A5 --*2 C6 --*3 F6 -- E6 -- C6 -- "
    "D6 --*2 B5 --*2 D6 --*3 G6 -- F6 -- D6 -- "
    "E6 --*2 B5 --*2 G5 -- E6 --*3 D6 -- B5 -- "
    "C6 --*11 .*4");

static_assert(kLeadTheme.length == 8 * kBarSteps && kLeadTurn.length == 4 * kBarSteps &&
              kLeadCorridor.length == 8 * kBarSteps);

// One row of the arrangement: from start_ms until the next row's start, the
// listed parts loop their patterns from the row's own first step.
struct Section {
  int start_ms;
  const Progression* chords;
  int transpose = 0;  // semitones
  bool pad = false;
  const Pattern* kick = nullptr;
  const Pattern* snare = nullptr;
  const Pattern* hat = nullptr;
  const Pattern* open_hat = nullptr;
  const Pattern* bass = nullptr;
  const Pattern* arp = nullptr;
  const Pattern* lead = nullptr;
  const Pattern* bell = nullptr;
  const Pattern* fill = nullptr;  // takes the snare's place in the last bar
  int riser_steps = 0;            // noise swell into the next row
  bool crash = false;
  float bright_from = 1.0f, bright_to = 1.0f;  // filter opening over the row
};

constexpr Section kSections[] = {
    // before the intro words: a swell into the first chord
    {.start_ms = 0, .chords = &kHome, .riser_steps = 8},
    // the intro words: pads and bells
    {.start_ms = 1000, .chords = &kHome, .pad = true, .bell = &kBellIntro, .bright_from = 0.35f, .bright_to = 0.6f},
    // first fly-through: a soft kick, bass, a slow arpeggio and hats join
    {.start_ms = 8400, .chords = &kHome, .pad = true, .kick = &kKickSoft, .hat = &kHatOffbeat, .bass = &kBassLong,
     .arp = &kArpEighths, .crash = true, .bright_from = 0.6f, .bright_to = 0.85f},
    // second fly-through: the build, kick and filter rising into scene 1
    {.start_ms = 15400, .chords = &kBuild, .pad = true, .kick = &kKickBuild, .hat = &kHatSixteenths, .bass = &kBassLong,
     .arp = &kArpSixteenths, .fill = &kSnareFill, .riser_steps = 32, .bright_from = 0.4f, .bright_to = 1.2f},
    // scene 1: the groove
    {.start_ms = 20200, .chords = &kHome, .pad = true, .kick = &kKickFour, .snare = &kSnareBack, .hat = &kHatGroove,
     .bass = &kBassGroove, .arp = &kArpSixteenths, .crash = true, .bright_from = 0.8f, .bright_to = 0.9f},
    // the walls: the theme
    {.start_ms = 29250, .chords = &kHome, .pad = true, .kick = &kKickFour, .snare = &kSnareBack, .hat = &kHatGroove,
     .open_hat = &kOpenOffbeat, .bass = &kBassGroove, .arp = &kArpSixteenths, .lead = &kLeadTheme, .crash = true},
    // scene 2: half time, the turn
    {.start_ms = 51000, .chords = &kTurn, .pad = true, .kick = &kKickHalf, .snare = &kSnareHalf, .hat = &kHatHalf,
     .bass = &kBassHalf, .lead = &kLeadTurn, .bell = &kBellIntro, .fill = &kSnareFill, .riser_steps = 16,
     .crash = true, .bright_from = 0.7f, .bright_to = 0.9f},
    // scene 3, the corridor: driving bass, the filter opening
    {.start_ms = 64000, .chords = &kCorridor, .kick = &kKickDrive, .hat = &kHatSixteenths, .bass = &kBassDrive,
     .arp = &kArpSixteenths, .crash = true, .bright_from = 0.3f, .bright_to = 1.0f},
    // deeper in the corridor: the hook
    {.start_ms = 78400, .chords = &kCorridor, .pad = true, .kick = &kKickDrive, .snare = &kSnareBack,
     .hat = &kHatGroove, .open_hat = &kOpenOffbeat, .bass = &kBassDrive, .arp = &kArpSixteenths,
     .lead = &kLeadCorridor, .fill = &kSnareFill, .riser_steps = 32, .crash = true},
    // the corridor's end, the logo: no beat, pads and bells
    {.start_ms = 100000, .chords = &kLogo, .pad = true, .bass = &kBassHold, .bell = &kBellSparkle,
     .fill = &kSnareFill, .riser_steps = 24, .crash = true, .bright_from = 1.2f, .bright_to = 1.2f},
    // scene 4: the theme again, a tone higher, everything playing
    {.start_ms = 106000, .chords = &kHome, .transpose = 2, .pad = true, .kick = &kKickFour, .snare = &kSnareBack,
     .hat = &kHatGroove, .open_hat = &kOpenOffbeat, .bass = &kBassGroove, .arp = &kArpSixteenths,
     .lead = &kLeadTheme, .bell = &kBellIntro, .crash = true, .bright_from = 1.0f, .bright_to = 1.1f},
    // the end: the last chord rings out under the fade
    {.start_ms = 126000, .chords = &kLast, .transpose = 2, .pad = true, .kick = &kKickOnce, .bass = &kBassLast,
     .bell = &kBellLast, .crash = true},
};

// Tracks that play a pattern of pitches; chord tones sit `tone_shift`
// semitones above the pad's voicing.
struct LinePart {
  Track track;
  const Pattern* Section::*pattern;
  int tone_shift;
};

constexpr LinePart kLineParts[] = {
    {TRACK_BASS, &Section::bass, 0},
    {TRACK_ARP, &Section::arp, 12},
    {TRACK_LEAD, &Section::lead, 0},
    {TRACK_BELL, &Section::bell, 12},
};

struct DrumPart {
  Track track;
  const Pattern* Section::*pattern;
  bool takes_fill;
};

constexpr DrumPart kDrumParts[] = {
    {TRACK_KICK, &Section::kick, false},
    {TRACK_SNARE, &Section::snare, true},
    {TRACK_HAT, &Section::hat, false},
    {TRACK_OPEN_HAT, &Section::open_hat, false},
};

// Velocity of drum strength 0 (none) to 3 (loud).
constexpr float kHitVelocity[4] = {0.0f, 0.45f, 0.7f, 1.0f};

// Frames of one row: its first frame, the next row's first frame, and the
// steps that start inside it (the last one may be cut short).
struct Span {
  int64_t begin, end;
  int steps;
};

int64_t frame_at_ms(int ms) { return int64_t{ms} * kSampleRate / 1000; }

Span span_of(int row) {
  constexpr int kRows = static_cast<int>(std::size(kSections));
  int64_t begin = frame_at_ms(kSections[row].start_ms);
  int64_t end = row + 1 < kRows ? frame_at_ms(kSections[row + 1].start_ms) : kSongFrames;
  return Span{begin, end, static_cast<int>((end - begin + kStepFrames - 1) / kStepFrames)};
}

Chord chord_of_bar(const Section& section, int bar) {
  Chord chord = section.chords->chords[bar % section.chords->count];
  chord.root = static_cast<int8_t>((chord.root + section.transpose + 12) % 12);
  return chord;
}

// Folds a pitch class into the twelve notes from `lowest` up.
int fold(int pitch_class, int lowest) { return lowest + ((pitch_class - lowest) % 12 + 12) % 12; }

// The chord's three tones folded into G3 to F#4, lowest first: neighbouring
// chords then move by small steps.
std::array<int, 3> voicing(Chord chord) {
  constexpr int kLowest = 55;  // G3
  std::array<int, 3> tones = {fold(chord.root, kLowest), fold(chord.root + (chord.minor ? 3 : 4), kLowest),
                              fold(chord.root + 7, kLowest)};
  std::sort(tones.begin(), tones.end());
  return tones;
}

float step_pitch(Step step, Chord chord, int transpose, int tone_shift) {
  constexpr int kBassLowest = 36;  // C2
  if (step.kind == STEP_NOTE) return static_cast<float>(step.value + transpose);
  if (step.kind == STEP_TONE)
    return static_cast<float>(voicing(chord)[step.value % 3] + 12 * (step.value / 3) + tone_shift);
  return static_cast<float>(fold(chord.root, kBassLowest) + step.value);
}

float brightness_at(const Section& section, const Span& span, int64_t frame) {
  float progress = static_cast<float>(frame - span.begin) / static_cast<float>(span.end - span.begin);
  return section.bright_from + (section.bright_to - section.bright_from) * progress;
}

void add_note(Score& score, Track track, int64_t start, int64_t gate, float pitch, float velocity, float brightness) {
  std::vector<Note>& notes = score[track];
  notes.push_back(Note{start, gate, pitch, velocity, brightness, static_cast<int>(notes.size())});
}

int64_t step_frame(const Span& span, int step) { return span.begin + step * kStepFrames; }

// A note lasts from its step through the holds after it, to the next note,
// rest or the row's end.
void play_line(const LinePart& part, const Section& section, const Span& span, Score& score) {
  const Pattern* pattern = section.*part.pattern;
  if (pattern == nullptr) return;
  int64_t open_start = -1;
  float open_pitch = 0.0f;
  auto close_at = [&](int64_t end) {
    if (open_start >= 0)
      add_note(score, part.track, open_start, end - open_start, open_pitch, 1.0f,
               brightness_at(section, span, open_start));
    open_start = -1;
  };
  for (int step = 0; step < span.steps; ++step) {
    Step s = pattern->steps[step % pattern->length];
    if (s.kind == STEP_HOLD) continue;
    close_at(step_frame(span, step));
    if (s.kind == STEP_REST) continue;
    open_start = step_frame(span, step);
    open_pitch = step_pitch(s, chord_of_bar(section, step / kBarSteps), section.transpose, part.tone_shift);
  }
  close_at(span.end);
}

void play_drums(const DrumPart& part, const Section& section, const Span& span, Score& score) {
  const Pattern* pattern = section.*part.pattern;
  const Pattern* fill = part.takes_fill ? section.fill : nullptr;
  int fill_from = span.steps - kBarSteps;
  for (int step = 0; step < span.steps; ++step) {
    Step s{STEP_REST, 0};
    if (fill != nullptr && step >= fill_from) s = fill->steps[(step - fill_from) % fill->length];
    else if (pattern != nullptr) s = pattern->steps[step % pattern->length];
    if (s.kind == STEP_HIT)
      add_note(score, part.track, step_frame(span, step), kStepFrames, 0.0f, kHitVelocity[s.value], 1.0f);
  }
}

// One pad note a chord tone, held while the chord stays the same.
void play_pad(const Section& section, const Span& span, Score& score) {
  if (!section.pad) return;
  int bars = (span.steps + kBarSteps - 1) / kBarSteps;
  for (int bar = 0; bar < bars;) {
    Chord chord = chord_of_bar(section, bar);
    int next = bar + 1;
    while (next < bars && chord_of_bar(section, next).root == chord.root &&
           chord_of_bar(section, next).minor == chord.minor)
      ++next;
    int64_t start = step_frame(span, bar * kBarSteps);
    int64_t end = std::min(span.end, step_frame(span, next * kBarSteps));
    for (int tone : voicing(chord))
      add_note(score, TRACK_PAD, start, end - start, static_cast<float>(tone), 1.0f,
               brightness_at(section, span, start));
    bar = next;
  }
}

void play_accents(const Section& section, const Span& span, Score& score) {
  if (section.crash) add_note(score, TRACK_CRASH, span.begin, kStepFrames, 0.0f, 1.0f, 1.0f);
  if (section.riser_steps > 0) {
    int64_t start = std::max(span.begin, span.end - section.riser_steps * kStepFrames);
    add_note(score, TRACK_RISER, start, span.end - start, 0.0f, 1.0f, 1.0f);
  }
}

}  // namespace

Score compose() {
  Score score;
  for (int row = 0; row < static_cast<int>(std::size(kSections)); ++row) {
    const Section& section = kSections[row];
    Span span = span_of(row);
    play_pad(section, span, score);
    for (const LinePart& part : kLineParts) play_line(part, section, span, score);
    for (const DrumPart& part : kDrumParts) play_drums(part, section, span, score);
    play_accents(section, span, score);
  }
  return score;
}
