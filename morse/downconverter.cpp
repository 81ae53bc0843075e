#include "downconverter.h"

#include "lanes.h"

#include <cmath>
#include <numbers>

namespace telvane::morse {
namespace {

constexpr double kHoldHz = 2.0;

}  // namespace

Downconverter::Downconverter(double workRate, int hop, std::int64_t position)
    : workRate_(workRate), hop_(hop), position_(position), rotation_(Rotation(mixerFrequency_)) {}

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

// The sum of `samples` turned by the mixer, which turns on with them. The phasor's real and
// imaginary parts share the vector lanes: (re, im) x (cr + i ci) is (re, im) cr + (im, re) (-ci,
// ci), the same products and sums as the complex product.
std::complex<float> Downconverter::Mix(std::span<const float> samples) {
    const Lanes turnReal = {rotation_.real(), rotation_.real()};
    const Lanes turnImag = {-rotation_.imag(), rotation_.imag()};
    Lanes phasor = LoadLanes(phasor_);
    Lanes sum = {0.0, 0.0};
    for (const float sample : samples) {
        sum += static_cast<double>(sample) * phasor;
        phasor = phasor * turnReal + Swapped(phasor) * turnImag;
    }
    phasor_ = std::complex<double>(phasor[0], phasor[1]);
    // Not std::abs: its overflow-safe hypot costs more than the whole turn of a hop here, and a
    // phasor kept near unit size never needs that care.
    phasor_ /= std::sqrt(std::norm(phasor_));
    return {static_cast<float>(sum[0]), static_cast<float>(sum[1])};
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
        const std::complex<float> sum = Mix(samples.subspan(used, static_cast<std::size_t>(hop_)));
        baseband.push_back(
            {sum, static_cast<float>(noise * hop_), static_cast<float>(mixerFrequency_)});
        used += static_cast<std::size_t>(hop_);
        position_ += hop_;
    }
    return used;
}

}  // namespace telvane::morse
