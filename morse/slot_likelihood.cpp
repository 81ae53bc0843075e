#include "slot_likelihood.h"

#include <algorithm>
#include <cmath>

namespace telvane::morse {

double LogBesselI0(double x) {
    // Polynomial approximations of Abramowitz and Stegun, 9.8.1 and 9.8.2 (error below 2e-7).
    if (x < 3.75) {
        const double t = (x / 3.75) * (x / 3.75);
        return std::log(
            1.0 + t * (3.5156229 +
                       t * (3.0899424 +
                            t * (1.2067492 + t * (0.2659732 + t * (0.0360768 + t * 0.0045813))))));
    }
    const double t = 3.75 / x;
    const double series =
        0.39894228 +
        t * (0.01328592 +
             t * (0.00225319 +
                  t * (-0.00157565 +
                       t * (0.00916281 +
                            t * (-0.02057706 +
                                 t * (0.02635537 + t * (-0.01647633 + t * 0.00392377)))))));
    return x - 0.5 * std::log(x) + std::log(series);
}

double KeyDownLogRatio(double magnitude, double amplitude, double fadedShare, double ceiling) {
    const double steady = LogBesselI0(2.0 * amplitude * magnitude) - amplitude * amplitude;
    if (fadedShare <= 0) {
        return steady;
    }
    // The ratio averaged over key-down energies spread evenly up to the ceiling (the tail beyond
    // it is negligible against the steady term there).
    const double faded =
        std::log(fadedShare) + magnitude * magnitude - std::log(std::max(ceiling, 1.0));
    const double kept = std::log(1.0 - fadedShare) + steady;
    const double most = std::max(kept, faded);
    return most + std::log1p(std::exp(std::min(kept, faded) - most));
}

namespace {

// Of the key-down slots of a fading window, the share taken to have faded anywhere below the
// amplitude around them (up to kFadeCeiling times its energy).
constexpr double kFadedShare = 0.2;

double KeyDownSlot(const Slot& slot) {
    const double amplitude = slot.amplitude;
    const double magnitude = std::abs(slot.value);
    return slot.fading ? KeyDownLogRatio(magnitude, amplitude, kFadedShare,
                                         kFadeCeiling * amplitude * amplitude)
                       : KeyDownLogRatio(magnitude, amplitude);
}

}  // namespace

double RunLikelihood(std::span<const Slot> run) {
    std::complex<double> sum;
    double amplitude = 0;
    double apart = 0;
    for (const Slot& slot : run) {
        sum += std::complex<double>(slot.value);
        amplitude += slot.amplitude;
        apart += KeyDownSlot(slot);
    }
    const auto length = static_cast<double>(run.size());
    amplitude /= length;
    const std::complex<double> prior(run.front().reference);
    const double together = LogBesselI0(std::abs(prior + 2.0 * amplitude * sum)) -
                            LogBesselI0(std::abs(prior)) - length * amplitude * amplitude;
    return std::max(together, apart);
}

}  // namespace telvane::morse
