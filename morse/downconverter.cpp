#include "downconverter.h"

#include "lanes.h"

#include <cmath>
#include <numbers>

namespace telvane::morse {
namespace {

constexpr double kHoldHz = 2.0;

}  // namespace

Downconverter::Downconverter(double workRate, int hop, std::int64_t position)
    : workRate_(workRate), hop_(hop), position_(position), turns_(static_cast<std::size_t>(hop)) {
    Tune(mixerFrequency_);
}

void Downconverter::Tune(double hz) {
    mixerFrequency_ = hz;
    // A tracked tone that drifts retunes the mixer every few hops: one turn is worked out, the
    // rest are its powers.
    const std::complex<double> turn = std::polar(1.0, -2.0 * std::numbers::pi * hz / workRate_);
    std::complex<double> next{1.0, 0.0};
    for (auto& sample : turns_) {
        sample = next;
        next *= turn;
    }
    hopTurn_ = next;
}

void Downconverter::AddTone(const ToneFrame& frame) {
    tones_.push_back(frame);
}

bool Downconverter::FrequencyAt(double sample, double& frequency, double& noise) {
    while (tones_.size() >= 2 && tones_[1].centreSample <= sample) {
        tones_.pop_front();
    }
    if (tones_.empty() || (tones_.size() < 2 && tones_.front().centreSample < sample)) {
        return false;
    }
    const ToneFrame& a = tones_.front();
    if (tones_.size() < 2 || sample <= a.centreSample) {
        frequency = a.frequency;
        noise = a.noiseVariance;
        return true;
    }
    const ToneFrame& b = tones_[1];
    const double t = (sample - a.centreSample) / (b.centreSample - a.centreSample);
    frequency = a.frequency + t * (b.frequency - a.frequency);
    noise = a.noiseVariance + t * (b.noiseVariance - a.noiseVariance);
    return true;
}

// The sum of a hop's `samples` turned by the mixer, which turns on with them: the samples turned
// from the hop's start, all at once, then by where the mixer stood there. No sample waits on the
// one before it, as it would with a phasor turned a sample at a time.
std::complex<float> Downconverter::Mix(std::span<const float> samples) {
    Lanes sum = {0.0, 0.0};
    for (std::size_t k = 0; k < samples.size(); ++k) {
        sum += static_cast<double>(samples[k]) * LoadLanes(turns_[k]);
    }
    const std::complex<double> mixed = phasor_ * std::complex<double>(sum[0], sum[1]);
    phasor_ *= hopTurn_;
    // Back to unit size: one turn moves it off by rounding alone, so a first-order step does
    // what a division by its magnitude would, without a square root and a division per hop.
    phasor_ *= 1.5 - 0.5 * std::norm(phasor_);
    return {static_cast<float>(mixed.real()), static_cast<float>(mixed.imag())};
}

std::size_t Downconverter::Process(std::span<const float> samples,
                                   std::vector<BasebandSample>& baseband) {
    std::size_t used = 0;
    while (used + static_cast<std::size_t>(hop_) <= samples.size()) {
        double frequency = 0;
        double noise = 0;
        if (!FrequencyAt(static_cast<double>(position_) + hop_ / 2.0, frequency, noise)) {
            break;
        }
        // Hold the mixer still while the tracked tone only wanders about it, so that the slots
        // of a steady tone add with their phase.
        if (std::abs(frequency - mixerFrequency_) > kHoldHz) {
            Tune(frequency);
        }
        const std::complex<float> sum = Mix(samples.subspan(used, static_cast<std::size_t>(hop_)));
        baseband.push_back(
            {sum, static_cast<float>(noise * hop_), static_cast<float>(mixerFrequency_)});
        used += static_cast<std::size_t>(hop_);
        position_ += hop_;
    }
    return used;
}

}  // namespace telvane::morse
