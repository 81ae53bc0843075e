#include "downconverter.h"

#include <cmath>
#include <numbers>

namespace telvane::morse {
namespace {

constexpr double kHoldHz = 2.0;

}  // namespace

Downconverter::Downconverter(double workRate, int hop)
    : workRate_(workRate), hop_(hop), rotation_(Rotation(mixerFrequency_)) {}

// The mixer's turn per work-rate sample at `hz`.
std::complex<double> Downconverter::Rotation(double hz) const {
    const double step = -2.0 * std::numbers::pi * hz / workRate_;
    return {std::cos(step), std::sin(step)};
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
            mixerFrequency_ = frequency;
            rotation_ = Rotation(mixerFrequency_);
        }
        const std::complex<double> rotation = rotation_;
        std::complex<double> phasor = phasor_;
        std::complex<double> sum;
        for (int n = 0; n < hop_; ++n) {
            sum += static_cast<double>(samples[used + static_cast<std::size_t>(n)]) * phasor;
            phasor *= rotation;
        }
        phasor_ = phasor / std::abs(phasor);
        baseband.push_back({std::complex<float>(sum), static_cast<float>(noise * hop_),
                            static_cast<float>(mixerFrequency_)});
        used += static_cast<std::size_t>(hop_);
        position_ += hop_;
    }
    return used;
}

}  // namespace telvane::morse
