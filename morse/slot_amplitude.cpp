#include "slot_amplitude.h"

#include <algorithm>
#include <cmath>

#include "slot_likelihood.h"

namespace telvane::morse {
namespace {

constexpr double kKeyDownShare = 0.45;  // of the slots of a keyed stretch
constexpr double kLeastEnergy = 0.25;   // key-down energy beyond noise, at the least
constexpr int kIterations = 3;
constexpr std::ptrdiff_t kReach = 6;  // slots on each side
// Key-down slots' worth of weight the window's amplitude has in each slot's: a few key-down slots
// near it tell its own.
constexpr double kWindowWeight = 3.0;

}  // namespace

std::vector<double> LocalAmplitudes(std::span<const std::complex<double>> values,
                                    double amplitude) {
    const std::size_t count = values.size();
    const auto size = static_cast<std::ptrdiff_t>(count);
    std::vector<double> energy(count);
    for (std::size_t j = 0; j < count; ++j) {
        energy[j] = std::norm(values[j]);
    }
    // Running sums over the neighbourhood of each slot.
    const auto around = [&](const std::vector<double>& sums, std::ptrdiff_t k) {
        const auto from = static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, k - kReach));
        const auto to = static_cast<std::size_t>(std::min(size, k + kReach + 1));
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
        const auto [total, slots] = around(sums, k);
        local[static_cast<std::size_t>(k)] =
            std::sqrt(std::max((total / slots - 1.0) / kKeyDownShare, kLeastEnergy));
    }
    std::vector<double> chances(count + 1);
    std::vector<double> excess(count + 1);
    const double prior = std::log(kKeyDownShare / (1.0 - kKeyDownShare));
    for (int iteration = 0; iteration < kIterations; ++iteration) {
        for (std::size_t j = 0; j < count; ++j) {
            const double a = local[j];
            const double logOdds = LogBesselI0(2.0 * a * std::sqrt(energy[j])) - a * a + prior;
            const double p = 1.0 / (1.0 + std::exp(-std::clamp(logOdds, -50.0, 50.0)));
            chances[j + 1] = chances[j] + p;
            excess[j + 1] = excess[j] + p * (energy[j] - 1.0);
        }
        for (std::ptrdiff_t k = 0; k < size; ++k) {
            const double p = around(chances, k).first;
            const double e = around(excess, k).first;
            local[static_cast<std::size_t>(k)] = std::sqrt(std::max(
                (kWindowWeight * amplitude * amplitude + e) / (kWindowWeight + p), kLeastEnergy));
        }
    }
    return local;
}

}  // namespace telvane::morse
