// Composes the intro's music and writes it as a FastTracker 2 module (XM):
// eight channels, 128 BPM, 16 patterns of 64 rows, two minutes before the
// song starts over. The instruments are synthesised here (kick, snare, two
// hi-hats, bass, a detuned-saw lead, a plucked arpeggio and two chord pads);
// the tune is written below as note strings, one token per eighth note.
//
//   module OUT.dt
//
// Form: intro (pads and arpeggio, then drums and bass), theme in A minor
// (Am F C G) twice, variation (Dm Am F E), a break without drums that
// builds back up, the theme again, and a last pattern that thins out into
// the intro so the restart is seamless.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "raster.h"

namespace {

// ----------------------------------------------------------------- samples

// Every sample is made at four times the tracker's base rate, with a relative
// note of +24, so note C-4 plays it at its own rate and sounds middle C.
constexpr double sample_rate = 8363.0 * 4;
constexpr int cycle = 128;  // samples per period of a tonal sample at C-4
constexpr double two_pi = 6.283185307179586;

// A small deterministic noise source (xorshift), in -1..1.
struct Noise {
  uint32_t state = 0x9e3779b9u;
  double next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state / 2147483647.5 - 1.0;
  }
};

struct Sample {
  std::vector<double> data;  // -1..1
  int loop_start = 0, loop_length = 0;
  int volume = 64, panning = 128;
};

// Scales a sample so that its peak is `peak`.
void normalise(Sample& sample, double peak) {
  double largest = 0;
  for (double v : sample.data) largest = std::max(largest, std::fabs(v));
  if (largest > 0)
    for (double& v : sample.data) v *= peak / largest;
}

Sample kick() {
  Sample s;
  const int length = int(sample_rate * 0.36);
  double phase = 0;
  Noise noise;
  for (int i = 0; i < length; ++i) {
    const double t = i / sample_rate;
    const double frequency = 46 + 140 * std::exp(-t / 0.028);
    phase += two_pi * frequency / sample_rate;
    const double body = std::sin(phase) * std::exp(-t / 0.16);
    const double click = noise.next() * 0.35 * std::exp(-t / 0.002);
    const double tail = std::min(1.0, (length - i) / (sample_rate * 0.01));  // no click at the end
    s.data.push_back(std::tanh(1.6 * (body + click)) * tail);
  }
  normalise(s, 0.95);
  return s;
}

Sample snare() {
  Sample s;
  const int length = int(sample_rate * 0.26);
  Noise noise;
  double previous = 0, filtered = 0;
  for (int i = 0; i < length; ++i) {
    const double t = i / sample_rate;
    const double tone = 0.55 * std::sin(two_pi * 186 * t) * std::exp(-t / 0.045) +
                        0.25 * std::sin(two_pi * 330 * t) * std::exp(-t / 0.03);
    const double n = noise.next();
    filtered = 0.6 * filtered + 0.4 * (n - previous);  // bright, not harsh
    previous = n;
    const double rattle = 0.9 * filtered * std::exp(-t / 0.085);
    const double tail = std::min(1.0, (length - i) / (sample_rate * 0.01));
    s.data.push_back((tone + rattle) * tail);
  }
  normalise(s, 0.9);
  return s;
}

Sample hat(double seconds, double decay) {
  Sample s;
  const int length = int(sample_rate * seconds);
  Noise noise;
  noise.state = 0x1234567u;
  double a = 0, b = 0;
  for (int i = 0; i < length; ++i) {
    const double t = i / sample_rate;
    const double n = noise.next();
    const double high = n - a - (a - b);  // second difference: only the top end
    b = a;
    a = n;
    const double tail = std::min(1.0, (length - i) / (sample_rate * 0.005));
    s.data.push_back(high * std::exp(-t / decay) * tail);
  }
  normalise(s, 0.7);
  s.panning = 160;
  return s;
}

// Band-limited sawtooth in -1..1 at `cycles` periods over `length` samples,
// harmonics up to `harmonics`, each rolled off by `rolloff` beyond the first.
double saw(double position, int harmonics, double rolloff) {
  double v = 0;
  for (int k = 1; k <= harmonics; ++k) v += std::sin(two_pi * k * position) / std::pow(k, rolloff);
  return v;
}

// A looped tonal sample made of whole periods, so its loop has no seam.
Sample looped(int length, double (*wave)(int i, int length)) {
  Sample s;
  for (int i = 0; i < length; ++i) s.data.push_back(wave(i, length));
  s.loop_start = 0;
  s.loop_length = length;
  normalise(s, 0.9);
  return s;
}

double bass_wave(int i, int) {
  const double p = double(i) / cycle;
  return 0.65 * saw(p, 24, 1.4) + 0.6 * std::sin(two_pi * p);
}

// Three saws, 63, 64 and 65 periods over the loop: a slow chorus beat.
double lead_wave(int i, int length) {
  const double u = double(i) / length;
  return saw(u * 64, 14, 1.0) + 0.7 * saw(u * 63, 14, 1.0) + 0.7 * saw(u * 65, 14, 1.0);
}

double arp_wave(int i, int) {
  // A pulse of one quarter duty, band-limited.
  const double p = double(i) / cycle;
  double v = 0;
  for (int k = 1; k <= 12; ++k) v += std::sin(k * two_pi / 4) / k * std::cos(two_pi * k * p);
  return v;
}

// A chord in just intonation: `ratios` over a loop of `base` root periods,
// each tone doubled by a copy one period longer across a 16-times loop.
double chord(int i, int length, const int* ratios, int base) {
  const double u = double(i) / length;  // loop = 16 × base root periods
  double v = 0;
  for (int n = 0; n < 3; ++n) {
    const double periods = 16.0 * ratios[n] * base / ratios[0];
    v += saw(u * periods, 8, 1.5) + saw(u * (periods + 1), 8, 1.5);
  }
  return v;
}

double major_wave(int i, int length) {
  static const int ratios[] = {4, 5, 6};
  return chord(i, length, ratios, 4);
}

double minor_wave(int i, int length) {
  static const int ratios[] = {10, 12, 15};
  return chord(i, length, ratios, 10);
}

// ------------------------------------------------------------- instruments

struct Envelope {
  std::vector<std::pair<int, int>> points;  // tick, level 0..64
  int sustain = -1;                         // point index, or none
};

struct Instrument {
  std::string name;
  Sample sample;
  bool tonal = false;  // tonal samples get the +24 relative note and fine tune
  Envelope envelope;
  int fadeout = 0;
  int vibrato_depth = 0, vibrato_rate = 0, vibrato_sweep = 0;
};

enum InstrumentNumber { KICK = 1, SNARE, CLOSED_HAT, OPEN_HAT, BASS, LEAD, ARP, MAJOR_PAD, MINOR_PAD };

std::vector<Instrument> make_instruments() {
  std::vector<Instrument> list;
  list.push_back({"kick", kick(), false, {}, 0, 0, 0, 0});
  list.push_back({"snare", snare(), false, {}, 0, 0, 0, 0});
  list.push_back({"closed hat", hat(0.07, 0.016), false, {}, 0, 0, 0, 0});
  list.push_back({"open hat", hat(0.32, 0.09), false, {}, 0, 0, 0, 0});
  list.push_back({"bass", looped(cycle, bass_wave), true, {{{0, 64}, {6, 44}, {30, 34}}, 2}, 2048, 0, 0, 0});
  list.push_back({"lead", looped(cycle * 64, lead_wave), true,
                  {{{0, 0}, {1, 64}, {10, 46}, {60, 40}}, 3}, 1024, 6, 12, 24});
  list.push_back({"arp", looped(cycle, arp_wave), true, {{{0, 64}, {3, 30}, {10, 10}, {24, 0}}, -1}, 4096, 0, 0, 0});
  list.push_back({"major pad", looped(cycle * 4 * 16, major_wave), true,
                  {{{0, 0}, {30, 44}, {60, 52}}, 2}, 256, 0, 0, 0});
  list.push_back({"minor pad", looped(cycle * 10 * 16, minor_wave), true,
                  {{{0, 0}, {30, 44}, {60, 52}}, 2}, 256, 0, 0, 0});
  list[BASS - 1].sample.volume = 56;
  list[LEAD - 1].sample.panning = 112;
  list[ARP - 1].sample.panning = 176;
  list[ARP - 1].sample.volume = 40;
  list[MAJOR_PAD - 1].sample.panning = list[MINOR_PAD - 1].sample.panning = 96;
  list[MAJOR_PAD - 1].sample.volume = list[MINOR_PAD - 1].sample.volume = 34;
  return list;
}

// ---------------------------------------------------------------- patterns

constexpr int channels = 8;
constexpr int rows = 64;
constexpr int key_off = 97;

enum Channel { KICKS, SNARES, HATS, BASSLINE, MELODY, ECHO, ARPEGGIO, PAD };

struct Cell {
  uint8_t note = 0, instrument = 0, volume = 0, effect = 0, parameter = 0;
};

struct Pattern {
  std::array<std::array<Cell, channels>, rows> cells{};

  // `volume` 0..64; a note of key_off releases the channel.
  void play(int row, int channel, int note, int instrument, int volume = -1) {
    Cell& c = cells[row][channel];
    c.note = uint8_t(note);
    c.instrument = note == key_off ? 0 : uint8_t(instrument);
    c.volume = volume < 0 ? 0 : uint8_t(0x10 + std::min(volume, 64));
  }
  void effect(int row, int channel, int type, int parameter) {
    cells[row][channel].effect = uint8_t(type);
    cells[row][channel].parameter = uint8_t(parameter);
  }
};

// Tracker note number of a name such as "A4", "G#5" or "Bb3" (C-0 is 1).
int note_number(const std::string& name) {
  static const int semitones[] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
  int semitone = semitones[name[0] - 'A'];
  size_t i = 1;
  if (name[i] == '#') ++semitone, ++i;
  if (name[i] == 'b') --semitone, ++i;
  return (name[i] - '0') * 12 + semitone + 1;
}

struct Chord {
  const char* root;  // bass note, octave 2
  bool major;
};

// The four bars of a pattern, one chord per bar.
using Progression = std::array<Chord, 4>;
const Progression theme_chords = {{{"A2", false}, {"F2", true}, {"C3", true}, {"G2", true}}};
const Progression variation_chords = {{{"D3", false}, {"A2", false}, {"F2", true}, {"E2", true}}};
const Progression break_chords = {{{"F2", true}, {"G2", true}, {"A2", false}, {"A2", false}}};

// Melodies: 32 tokens, one per eighth note (two rows). A note name starts a
// note, "." holds it, "-" releases it.
const char* const theme_call =
    "E5 . E5 D5 E5 . A5 .   G5 . F5 E5 F5 . C5 .   E5 . D5 C5 D5 . G4 .   B4 . C5 D5 B4 . . -";
const char* const theme_answer =
    "E5 . E5 D5 E5 . A5 .   C6 . B5 A5 G5 . F5 .   E5 . G5 . C6 . B5 A5   B5 . . . D5 . . -";
const char* const variation_call =
    "F5 . E5 D5 A4 . D5 .   E5 . . C5 A4 . . .   F5 . E5 F5 G5 . A5 .   G#5 . . . B5 . E5 -";
const char* const variation_answer =
    "A5 . G5 F5 E5 . D5 .   C5 . D5 E5 . . A4 .   C5 . D5 F5 A5 . G5 F5   E5 . . . G#4 . B4 -";

std::vector<std::string> tokens(const char* text) {
  std::vector<std::string> list;
  std::string word;
  for (const char* p = text;; ++p) {
    if (*p == ' ' || *p == 0) {
      if (!word.empty()) list.push_back(word);
      word.clear();
      if (*p == 0) break;
    } else {
      word += *p;
    }
  }
  return list;
}

// The lead sounds an octave below the written tune; the echo channel repeats
// it three rows later, softer and panned to the other side.
void melody(Pattern& p, const char* tune, int transpose, bool echo) {
  const std::vector<std::string> list = tokens(tune);
  for (size_t i = 0; i < list.size() && i < 32; ++i) {
    const std::string& token = list[i];
    if (token == ".") continue;
    const int row = int(i) * 2;
    const int note = token == "-" ? key_off : note_number(token) - 12 + transpose;
    p.play(row, MELODY, note, LEAD, 52);
    if (echo && row + 3 < rows) {
      p.play(row + 3, ECHO, note, LEAD, 20);
      p.effect(row + 3, ECHO, 0x8, 200);  // pan right
    }
  }
}

void drums(Pattern& p, bool kicks, bool snares, bool hats, bool fill) {
  for (int row = 0; row < rows; ++row) {
    const int beat_row = row % 16;
    if (kicks && row % 4 == 0) p.play(row, KICKS, note_number("C4"), KICK, 64);
    if (snares && (beat_row == 4 || beat_row == 12)) p.play(row, SNARES, note_number("C4"), SNARE, 56);
    if (hats) {
      if (beat_row == 14)
        p.play(row, HATS, note_number("C4"), OPEN_HAT, 30);
      else if (row % 2 == 0)
        p.play(row, HATS, note_number("C4"), CLOSED_HAT, row % 4 == 2 ? 40 : 24);
      else
        p.play(row, HATS, note_number("C4"), CLOSED_HAT, 12);
    }
  }
  if (fill) {
    // Snare run over the last beat, then a kick on the off-beat.
    for (int row = 56; row < 64; ++row) p.play(row, SNARES, note_number("C4"), SNARE, 30 + (row - 56) * 4);
    p.play(62, KICKS, note_number("C4"), KICK, 56);
  }
}

// Octave-jumping eighths on the chord's root.
void bassline(Pattern& p, const Progression& chords, bool pumping) {
  for (int bar = 0; bar < 4; ++bar) {
    const int root = note_number(chords[bar].root);
    if (!pumping) {
      p.play(bar * 16, BASSLINE, root, BASS, 44);
      continue;
    }
    for (int step = 0; step < 8; ++step) {
      const int row = bar * 16 + step * 2;
      p.play(row, BASSLINE, root + (step % 2 ? 12 : 0), BASS, step % 2 ? 40 : 52);
    }
  }
}

// Sixteenth arpeggio over the chord two octaves up: root, fifth, octave, third.
void arpeggio(Pattern& p, const Progression& chords, int volume) {
  for (int bar = 0; bar < 4; ++bar) {
    const int root = note_number(chords[bar].root) + 24;
    const int third = chords[bar].major ? 4 : 3;
    const int steps[] = {0, 7, 12, third, 7, 12, third + 12, 7};
    for (int step = 0; step < 16; ++step)
      p.play(bar * 16 + step, ARPEGGIO, root + steps[step % 8], ARP, volume - (step % 4 ? 10 : 0));
  }
}

void pads(Pattern& p, const Progression& chords) {
  for (int bar = 0; bar < 4; ++bar)
    p.play(bar * 16, PAD, note_number(chords[bar].root) + 12, chords[bar].major ? MAJOR_PAD : MINOR_PAD);
}

std::vector<Pattern> compose() {
  std::vector<Pattern> song;
  auto add = [&](const Progression& chords, const char* tune, bool kicks, bool snares, bool hats,
                 bool pumping_bass, bool fill, bool echo, int arp_volume) {
    Pattern p;
    drums(p, kicks, snares, hats, fill);
    bassline(p, chords, pumping_bass);
    if (tune) melody(p, tune, 0, echo);
    if (arp_volume > 0) arpeggio(p, chords, arp_volume);
    pads(p, chords);
    song.push_back(p);
  };
  // Intro: pads, arpeggio and hats, then kicks and bass come in.
  add(theme_chords, nullptr, false, false, true, false, false, false, 48);
  add(theme_chords, nullptr, true, false, true, true, true, false, 48);
  // Theme, twice: the second time with the echo.
  add(theme_chords, theme_call, true, true, true, true, false, false, 30);
  add(theme_chords, theme_answer, true, true, true, true, false, false, 30);
  add(theme_chords, theme_call, true, true, true, true, false, true, 30);
  add(theme_chords, theme_answer, true, true, true, true, true, true, 30);
  // Variation.
  add(variation_chords, variation_call, true, true, true, true, false, true, 34);
  add(variation_chords, variation_answer, true, true, true, true, false, true, 34);
  add(variation_chords, variation_call, true, true, true, true, false, true, 34);
  add(variation_chords, variation_answer, true, true, true, true, true, true, 34);
  // Break: no drums, long bass notes; then the kicks return and a fill.
  add(break_chords, nullptr, false, false, false, false, false, false, 52);
  add(break_chords, theme_call, true, false, true, false, true, true, 44);
  // Return of the theme.
  add(theme_chords, theme_call, true, true, true, true, false, true, 30);
  add(theme_chords, theme_answer, true, true, true, true, false, true, 30);
  add(theme_chords, theme_call, true, true, true, true, false, true, 30);
  // Last pattern: the answer without snares, hats thinning into the intro.
  add(theme_chords, theme_answer, true, false, true, true, false, true, 40);
  return song;
}

// ------------------------------------------------------------- XM writer

struct Writer {
  std::vector<uint8_t> bytes;
  void u8(int v) { bytes.push_back(uint8_t(v)); }
  void u16(int v) { u8(v & 0xff), u8((v >> 8) & 0xff); }
  void u32(uint32_t v) { u16(int(v & 0xffff)), u16(int(v >> 16)); }
  void text(const std::string& s, size_t length) {
    for (size_t i = 0; i < length; ++i) u8(i < s.size() ? s[i] : 0);
  }
};

constexpr int speed = 6, tempo = 128;

void write_header(Writer& w, int song_length, int pattern_count, int instrument_count) {
  w.text("Extended Module: ", 17);
  w.text("kob jointro", 20);
  w.u8(0x1a);
  w.text("intro module tool", 20);
  w.u16(0x0104);
  w.u32(276);  // header size from here on
  w.u16(song_length);
  w.u16(0);  // restart at the first position
  w.u16(channels);
  w.u16(pattern_count);
  w.u16(instrument_count);
  w.u16(1);  // linear frequency table
  w.u16(speed);
  w.u16(tempo);
  for (int i = 0; i < 256; ++i) w.u8(i < song_length ? i : 0);
}

void write_pattern(Writer& w, const Pattern& p) {
  w.u32(9);
  w.u8(0);
  w.u16(rows);
  w.u16(rows * channels * 5);  // unpacked: five bytes per cell
  for (const auto& row : p.cells)
    for (const Cell& c : row) w.u8(c.note), w.u8(c.instrument), w.u8(c.volume), w.u8(c.effect), w.u8(c.parameter);
}

void write_instrument(Writer& w, const Instrument& instrument) {
  w.u32(263);
  w.text(instrument.name, 22);
  w.u8(0);
  w.u16(1);   // one sample
  w.u32(40);  // sample header size
  for (int i = 0; i < 96; ++i) w.u8(0);  // every note plays sample 0
  const Envelope& e = instrument.envelope;
  for (int i = 0; i < 12; ++i) {
    const bool used = i < int(e.points.size());
    w.u16(used ? e.points[i].first : 0);
    w.u16(used ? e.points[i].second : 0);
  }
  for (int i = 0; i < 24; ++i) w.u16(0);  // no panning envelope
  w.u8(int(e.points.size()));
  w.u8(0);
  w.u8(std::max(e.sustain, 0));
  w.u8(0), w.u8(0);      // volume loop start and end
  w.u8(0), w.u8(0), w.u8(0);
  w.u8(e.points.empty() ? 0 : (1 | (e.sustain >= 0 ? 2 : 0)));
  w.u8(0);
  w.u8(0);  // vibrato: sine
  w.u8(instrument.vibrato_sweep);
  w.u8(instrument.vibrato_depth);
  w.u8(instrument.vibrato_rate);
  w.u16(instrument.fadeout);
  for (int i = 0; i < 22; ++i) w.u8(0);

  const Sample& s = instrument.sample;
  w.u32(uint32_t(s.data.size() * 2));  // 16-bit: lengths count bytes
  w.u32(uint32_t(s.loop_start * 2));
  w.u32(uint32_t(s.loop_length * 2));
  w.u8(s.volume);
  // A 128-sample period at 4 × 8363 Hz is 1.9 cents flat of middle C.
  w.u8(instrument.tonal ? 2 : 0);
  w.u8((s.loop_length > 0 ? 1 : 0) | 0x10);
  w.u8(s.panning);
  w.u8(24);  // relative note: C-4 plays the sample at its own rate
  w.u8(0);
  w.text(instrument.name, 22);
  // 16-bit samples are stored as differences from the previous sample.
  int previous = 0;
  for (double v : s.data) {
    const int value = int(std::lround(std::clamp(v, -1.0, 1.0) * 32767));
    w.u16((value - previous) & 0xffff);
    previous = value;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: module OUT.dt\n");
    return 2;
  }
  const std::vector<Pattern> song = compose();
  const std::vector<Instrument> instruments = make_instruments();
  Writer w;
  write_header(w, int(song.size()), int(song.size()), int(instruments.size()));
  for (const Pattern& p : song) write_pattern(w, p);
  for (const Instrument& instrument : instruments) write_instrument(w, instrument);
  if (!write_file(argv[1], w.bytes)) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
