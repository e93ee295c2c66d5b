// Step notation of the tune: patterns, drum lines and chord progressions are
// written as text and turned into step tables at compile time, so a typo in
// the score stops the build instead of playing a wrong note.
#pragma once

#include <cstdint>

constexpr int kMaxPatternSteps = 128;  // eight bars of sixteenth steps
constexpr int kMaxChords = 8;          // bars of one progression

enum StepKind : uint8_t {
  STEP_REST,  // silence from here on
  STEP_HOLD,  // the sounding note goes on
  STEP_NOTE,  // value: MIDI note number
  STEP_TONE,  // value: tone of the bar's chord, 0 to 2 its voicing, 3 up an octave
  STEP_ROOT,  // value: semitones above the chord root in the bass register
  STEP_HIT,   // value: drum strength 1 (soft) to 3 (loud)
};

struct Step {
  StepKind kind;
  int8_t value;
};

struct Pattern {
  Step steps[kMaxPatternSteps];
  int length;
};

struct Chord {
  int8_t root;  // pitch class, 0 = C
  bool minor;
};

struct Progression {
  Chord chords[kMaxChords];
  int count;
};

namespace notation_detail {

constexpr bool is_digit(char c) { return c >= '0' && c <= '9'; }
constexpr bool ends_token(char c) { return c == ' ' || c == '\0'; }

constexpr int read_number(const char*& p) {
  bool negative = *p == '-';
  if (negative) ++p;
  if (!is_digit(*p)) throw "a number is missing";
  int value = 0;
  while (is_digit(*p)) value = value * 10 + (*p++ - '0');
  return negative ? -value : value;
}

// Pitch class of a note letter with an optional sharp or flat after it.
constexpr int read_pitch_class(const char*& p) {
  constexpr int kLetterClass[7] = {9, 11, 0, 2, 4, 5, 7};  // A to G
  if (*p < 'A' || *p > 'G') throw "a note name must start with A to G";
  int pitch_class = kLetterClass[*p++ - 'A'];
  if (*p == '#') ++pitch_class, ++p;
  else if (*p == 'b') --pitch_class, ++p;
  return (pitch_class + 12) % 12;
}

constexpr Step read_step(const char*& p) {
  if (*p == '.') return ++p, Step{STEP_REST, 0};
  if (p[0] == '-' && p[1] == '-') return p += 2, Step{STEP_HOLD, 0};
  if (*p == 't') {
    ++p;
    int tone = read_number(p);
    if (tone < 0 || tone > 12) throw "chord tones run from t0 to t12";
    return Step{STEP_TONE, static_cast<int8_t>(tone)};
  }
  if (*p == 'r') {
    ++p;
    int offset = read_number(p);
    if (offset < -12 || offset > 24) throw "root offsets run from r-12 to r24";
    return Step{STEP_ROOT, static_cast<int8_t>(offset)};
  }
  int pitch_class = read_pitch_class(p);
  int octave = read_number(p);
  int note = 12 * (octave + 1) + pitch_class;
  if (note < 24 || note > 108) throw "notes run from C1 to C8";
  return Step{STEP_NOTE, static_cast<int8_t>(note)};
}

// A pattern fills whole half bars, which catches a step dropped or doubled.
constexpr void check_length(const Pattern& pattern) {
  if (pattern.length == 0 || pattern.length % 8 != 0) throw "a pattern fills whole half bars";
}

}  // namespace notation_detail

// Tokens separated by spaces: "." rest, "--" hold, a note such as "C#5",
// "t2" a chord tone, "r12" an offset from the root; "TOKEN*N" repeats it N times.
consteval Pattern pattern(const char* text) {
  using namespace notation_detail;
  Pattern result{};
  const char* p = text;
  for (;;) {
    while (*p == ' ') ++p;
    if (*p == '\0') break;
    Step step = read_step(p);
    int repeat = 1;
    if (*p == '*') ++p, repeat = read_number(p);
    if (!ends_token(*p)) throw "unexpected character after a step";
    if (repeat < 1 || result.length + repeat > kMaxPatternSteps) throw "pattern longer than eight bars";
    for (int i = 0; i < repeat; ++i) result.steps[result.length++] = step;
  }
  check_length(result);
  return result;
}

// One character a step: "." nothing, "o" soft, "x" medium, "X" loud; spaces
// only group the beats for the reader.
consteval Pattern hits(const char* text) {
  using namespace notation_detail;
  Pattern result{};
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == ' ') continue;
    if (result.length == kMaxPatternSteps) throw "drum line longer than eight bars";
    Step step{STEP_REST, 0};
    if (*p == 'o') step = Step{STEP_HIT, 1};
    else if (*p == 'x') step = Step{STEP_HIT, 2};
    else if (*p == 'X') step = Step{STEP_HIT, 3};
    else if (*p != '.') throw "drum steps are . o x X";
    result.steps[result.length++] = step;
  }
  check_length(result);
  return result;
}

// Chord names separated by spaces, one a bar: "C", "F#", "Am", "Bbm".
consteval Progression progression(const char* text) {
  using namespace notation_detail;
  Progression result{};
  const char* p = text;
  for (;;) {
    while (*p == ' ') ++p;
    if (*p == '\0') break;
    if (result.count == kMaxChords) throw "progression longer than eight bars";
    Chord chord{static_cast<int8_t>(read_pitch_class(p)), false};
    if (*p == 'm') chord.minor = true, ++p;
    if (!ends_token(*p)) throw "unexpected character in a chord name";
    result.chords[result.count++] = chord;
  }
  if (result.count == 0) throw "empty progression";
  return result;
}
