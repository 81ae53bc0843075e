#include "slot_amplitude.h"

#include <algorithm>
#include <cmath>

#include "slot_likelihood.h"

namespace telvane::morse {
namespace {

constexpr double kKeyDownShare = 0.45;  // of the slots of a keyed stretch
constexpr double kLeastEnergy = 0.25;   // key-down energy beyond noise, at the least
constexpr int kIterations = 3;

// How the amplitude around a slot is found, on a steady channel and on a fading one.
struct Tracking {
    std::ptrdiff_t reach;  // slots on each side
    // Key-down slots' worth of weight the window's amplitude has in each slot's.
    double windowWeight;
    // Key-down slots' worth a slot's amplitude is drawn from at the least: the reach grows until
    // the slots within it hold that many.
    double leastSupport;
    // The share of key-down slots taken to have faded anywhere below the amplitude around them
    // (up to kFadeCeiling times the window's energy).
    double fadedShare;
    // The deepest fade followed, as a share of the window's amplitude: a slot faded further tells
    // too little to copy, and noise between transmissions must not read as faint keying.
    double deepest;
};
// Steady: a few key-down slots near a slot tell its amplitude, the window's steadies it.
constexpr Tracking kSteady{6, 3.0, 0.0, 0.0, 0.0};
// Fading: the window's amplitude tells next to nothing about a fade (its small weight only keeps
// the amplitude defined where no slot is key-down); the key-down slots nearest each slot tell it,
// down to a tenth of the window's.
constexpr Tracking kFading{3, 0.001, 1.5, 0.5, 0.1};
// The key-down energies' spread over the window beyond their spread from one key-down slot to the
// next, over their mean squared, above which the window is taken to fade.
constexpr double kFadingSpread = 0.1;
constexpr int kLeastKeyDown = 8;  // slots to tell a fading window by
// Key-down energy over noise below which a window is not told as fading: noise alone spreads a
// faint tone's slots as much as a fade would.
constexpr double kLeastFadingEnergy = 25.0;

// Log odds of a slot of `energy` being key-down at about `local`, or faded anywhere below it.
double KeyDownLogOdds(double energy, double local, double window, double fadedShare) {
    return KeyDownLogRatio(std::sqrt(energy), local, fadedShare, kFadeCeiling * window * window);
}

// Whether the key-down slots' energies spread over the window far more than from one key-down slot
// to the next: a fade changes the tone's strength slowly, where noise changes it from slot to
// slot.
bool EnergiesFade(const std::vector<double>& energy, double amplitude) {
    double sum = 0;
    double squares = 0;
    double steps = 0;
    int keyDown = 0;
    double last = -1;
    for (const double e : energy) {
        if (KeyDownLogOdds(e, amplitude, amplitude, kFading.fadedShare) <= 0) {
            continue;
        }
        sum += e;
        squares += e * e;
        if (last >= 0) {
            steps += (e - last) * (e - last);
        }
        last = e;
        ++keyDown;
    }
    if (keyDown < kLeastKeyDown || amplitude * amplitude < kLeastFadingEnergy) {
        return false;
    }
    const double mean = sum / keyDown;
    const double spread = squares / keyDown - mean * mean;
    const double stepSpread = steps / (2.0 * (keyDown - 1));
    const double beyondNoise = std::max(mean - 1.0, kLeastEnergy);
    const double ratio = (spread - stepSpread) / (beyondNoise * beyondNoise);
    return ratio > kFadingSpread;
}

}  // namespace

std::vector<double> LocalAmplitudes(std::span<const std::complex<double>> values, double amplitude,
                                    bool fading) {
    const std::size_t count = values.size();
    const auto size = static_cast<std::ptrdiff_t>(count);
    std::vector<double> energy(count);
    for (std::size_t j = 0; j < count; ++j) {
        energy[j] = std::norm(values[j]);
    }
    const Tracking& tracking = fading ? kFading : kSteady;
    // Running sums over the neighbourhood of each slot.
    const auto around = [&](const std::vector<double>& sums, std::ptrdiff_t k,
                            std::ptrdiff_t reach) {
        const auto from = static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, k - reach));
        const auto to = static_cast<std::size_t>(std::min(size, k + reach + 1));
        return std::make_pair(sums[to] - sums[from], static_cast<double>(to - from));
    };
    // First from the mean energy near each slot, keyed at the usual share; then the chance of
    // each slot being key-down, at the amplitude near it, weighs its energy.
    std::vector<double> sums(count + 1);
    for (std::size_t j = 0; j < count; ++j) {
        sums[j + 1] = sums[j] + energy[j];
    }
    std::vector<double> local(count);
    for (std::ptrdiff_t k = 0; k < size; ++k) {
        const auto [total, slots] = around(sums, k, tracking.reach);
        local[static_cast<std::size_t>(k)] =
            std::sqrt(std::max((total / slots - 1.0) / kKeyDownShare, kLeastEnergy));
    }
    std::vector<double> chances(count + 1);
    std::vector<double> excess(count + 1);
    const double prior = std::log(kKeyDownShare / (1.0 - kKeyDownShare));
    for (int iteration = 0; iteration < kIterations; ++iteration) {
        for (std::size_t j = 0; j < count; ++j) {
            const double logOdds =
                KeyDownLogOdds(energy[j], local[j], amplitude, tracking.fadedShare) + prior;
            const double p = 1.0 / (1.0 + std::exp(-std::clamp(logOdds, -50.0, 50.0)));
            chances[j + 1] = chances[j] + p;
            excess[j + 1] = excess[j] + p * (energy[j] - 1.0);
        }
        for (std::ptrdiff_t k = 0; k < size; ++k) {
            std::ptrdiff_t reach = tracking.reach;
            while (around(chances, k, reach).first < tracking.leastSupport && reach < size) {
                ++reach;
            }
            const double p = around(chances, k, reach).first;
            const double e = around(excess, k, reach).first;
            local[static_cast<std::size_t>(k)] = std::sqrt(std::max(
                (tracking.windowWeight * amplitude * amplitude + e) / (tracking.windowWeight + p),
                std::max(kLeastEnergy,
                         tracking.deepest * tracking.deepest * amplitude * amplitude)));
        }
    }
    return local;
}

bool Fades(std::span<const std::complex<double>> values, double amplitude) {
    std::vector<double> energy(values.size());
    std::transform(values.begin(), values.end(), energy.begin(),
                   [](std::complex<double> value) { return std::norm(value); });
    return EnergiesFade(energy, amplitude);
}

}  // namespace telvane::morse
