#pragma once

// Moves the followed tone to 0 Hz and integrates it over short hops: a phase-continuous mixer and
// an integrate-and-dump of a few lines. Summing these baseband samples over a slot is the filter
// matched to a key-down slot, so nothing narrower is needed here.

#include <complex>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "tone_tracker.h"

namespace telvane::morse {

struct BasebandSample {
    std::complex<float> value;
    float noiseVariance = 0;  // of the value, from the tracker's noise floor
    float frequency = 0;      // of the tone it was mixed with, Hz
};

class Downconverter {
public:
    // Mixes from work-rate sample `position` on.
    Downconverter(double workRate, int hop, std::int64_t position = 0);

    int Hop() const { return hop_; }
    // The next work-rate sample Process() expects.
    std::int64_t Position() const { return position_; }
    void AddTone(const ToneFrame& frame);
    // Mixes work-rate samples from Position() on, as far as the tone is known; returns how many
    // were used (a whole number of hops).
    std::size_t Process(std::span<const float> samples, std::vector<BasebandSample>& baseband);

private:
    bool FrequencyAt(double sample, double& frequency, double& noise);
    // Sets the mixer to `hz` from the next hop on.
    void Tune(double hz);
    std::complex<float> Mix(std::span<const float> samples);

    double workRate_;
    int hop_;
    std::int64_t position_ = 0;
    std::complex<double> phasor_{1.0, 0.0};
    double mixerFrequency_ = 0;
    // The mixer's turn at mixerFrequency_ from a hop's first sample to each of its samples, and
    // over the whole hop: kept while the mixer holds still.
    std::vector<std::complex<double>> turns_;
    std::complex<double> hopTurn_;
    std::deque<ToneFrame> tones_;
};

}  // namespace telvane::morse
