// Every sound of the game, synthesised: 16-bit PCM, 44100 Hz, mono.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

constexpr int kSampleRate = 44100;

struct NamedSound {
  QString name;  // the accessor's name; the file is name + ".wav"
  std::vector<int16_t> samples;
};

// The five sounds in the order of their accessors.
std::vector<NamedSound> SynthesiseSounds();

// A RIFF WAVE file of the samples.
QByteArray WaveFile(const std::vector<int16_t>& samples);

// Peak and loudness (RMS of the loudest 50 ms) as fractions of full scale.
struct Level {
  double peak = 0;
  double loudness = 0;
};
Level Measure(const std::vector<int16_t>& samples);
