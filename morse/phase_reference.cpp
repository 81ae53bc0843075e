#include "phase_reference.h"

#include <algorithm>
#include <cmath>

#include "slot_likelihood.h"

namespace telvane::morse {
namespace {

constexpr int kReach = 12;              // slots on each side that tell the phase
constexpr double kKeyDownPrior = -0.2;  // log odds of a slot being key-down

}  // namespace

std::vector<std::complex<double>> PhaseReferences(std::span<const std::complex<double>> values,
                                                  double amplitude) {
    const std::size_t count = values.size();
    // Running sums of each slot weighted by its chance of being key-down, of those chances, and
    // of their squares.
    std::vector<std::complex<double>> weighted(count + 1);
    std::vector<double> chance(count + 1);
    std::vector<double> chanceSquared(count + 1);
    for (std::size_t j = 0; j < count; ++j) {
        const double logOdds = LogBesselI0(2.0 * amplitude * std::abs(values[j])) -
                               amplitude * amplitude + kKeyDownPrior;
        const double p = 1.0 / (1.0 + std::exp(-std::clamp(logOdds, -50.0, 50.0)));
        weighted[j + 1] = weighted[j] + p * values[j];
        chance[j + 1] = chance[j] + p;
        chanceSquared[j + 1] = chanceSquared[j] + p * p;
    }
    std::vector<std::complex<double>> references(count);
    const auto reach = static_cast<std::ptrdiff_t>(kReach);
    const auto size = static_cast<std::ptrdiff_t>(count);
    for (std::ptrdiff_t k = 0; k < size; ++k) {
        // Before the slot, and after the longest run that could start at it. Slots weighted by
        // their chance p of being key-down give the phase with concentration 2A (sum p / sum p^2)
        // times their sum: for slots surely key-down or surely not, 2A times the key-down sum.
        const auto beforeFrom = static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, k - reach));
        const auto beforeTo = static_cast<std::size_t>(k);
        const auto afterFrom = static_cast<std::size_t>(std::min(size, k + kLongestRun));
        const auto afterTo = static_cast<std::size_t>(std::min(size, k + kLongestRun + reach));
        const std::complex<double> sum =
            weighted[beforeTo] - weighted[beforeFrom] + weighted[afterTo] - weighted[afterFrom];
        const double p =
            chance[beforeTo] - chance[beforeFrom] + chance[afterTo] - chance[afterFrom];
        const double p2 = chanceSquared[beforeTo] - chanceSquared[beforeFrom] +
                          chanceSquared[afterTo] - chanceSquared[afterFrom];
        references[static_cast<std::size_t>(k)] =
            p2 > 0 ? 2.0 * amplitude * (p / p2) * sum : std::complex<double>();
    }
    return references;
}

}  // namespace telvane::morse
