#include "grid_path.h"

#include <algorithm>
#include <cstdint>

namespace telvane::morse {
namespace {

// The running sum at `x` >= 0, along a straight line between its samples.
std::complex<double> At(std::span<const std::complex<double>> cumulative, double x) {
    const auto n = static_cast<std::int64_t>(x);
    const double fraction = x - static_cast<double>(n);
    if (n + 1 >= static_cast<std::int64_t>(cumulative.size())) {
        return cumulative.back();
    }
    const std::complex<double> low = cumulative[static_cast<std::size_t>(n)];
    return low + fraction * (cumulative[static_cast<std::size_t>(n) + 1] - low);
}

}  // namespace

GridPath FollowGrid(std::span<const std::complex<double>> cumulative, double period, int phases,
                    std::span<const float> weights, double changeCost, bool withPoints) {
    const double last = static_cast<double>(cumulative.size() - 1);
    const double shift = period / phases;
    const int slots = static_cast<int>((last - shift * (phases - 1)) / period);
    GridPath path;
    if (slots <= 0) {
        return path;
    }
    const auto width = static_cast<std::size_t>(phases);
    std::vector<double> score(width, 0.0);
    std::vector<double> offset(width);                // of each phase's grid from the start
    std::vector<std::complex<double>> before(width);  // the running sum where its slot began
    for (std::size_t j = 0; j < width; ++j) {
        offset[j] = shift * static_cast<double>(j);
        before[j] = At(cumulative, offset[j]);
    }
    // Each slot is taken in passes over the phases, most of which run two phases at a time: where
    // the slots end and which weight they take, what each caught (the lookups), and the path's
    // step. A window is a few thousand samples, so its indices fit in 32 bits.
    std::vector<double> end(width);
    std::vector<std::int32_t> middle(width);
    std::vector<double> energy(width);
    std::vector<double> weight(width);
    const double half = period / 2;
    const auto lastWeight = static_cast<std::int32_t>(weights.size() - 1);
    // For each slot and phase, the phase the path came from (only when the points are wanted).
    std::vector<std::uint8_t> back(withPoints ? width * static_cast<std::size_t>(slots) : 0);
    double best = 0;  // the best score so far, at the first phase that has it
    std::size_t bestPhase = 0;
    for (int k = 0; k < slots; ++k) {
        const double base = period * k;
        for (std::size_t j = 0; j < width; ++j) {
            const double start = offset[j] + base;
            end[j] = start + period;
            middle[j] = std::min(static_cast<std::int32_t>(start + half), lastWeight);
        }
        for (std::size_t j = 0; j < width; ++j) {
            const std::complex<double> after = At(cumulative, end[j]);
            energy[j] = std::norm(after - before[j]);
            before[j] = after;
            weight[j] = weights[static_cast<std::size_t>(middle[j])];
        }
        const double change = best - changeCost;
        if (withPoints) {
            std::uint8_t* came = back.data() + static_cast<std::size_t>(k) * width;
            for (std::size_t j = 0; j < width; ++j) {
                came[j] = static_cast<std::uint8_t>(score[j] >= change ? j : bestPhase);
            }
        }
        for (std::size_t j = 0; j < width; ++j) {
            const double excess = weight[j] * (energy[j] / period - 1.0);
            score[j] = (score[j] >= change ? score[j] : change) + excess;
        }
        const auto top = std::max_element(score.begin(), score.end());
        best = *top;
        bestPhase = static_cast<std::size_t>(top - score.begin());
    }
    path.capture = best;
    if (withPoints) {
        auto phase = bestPhase;
        path.points.resize(static_cast<std::size_t>(slots) + 1);
        for (int k = slots - 1; k >= 0; --k) {
            const double start = shift * static_cast<double>(phase) + period * k;
            path.points[static_cast<std::size_t>(k) + 1] = start + period;
            path.points[static_cast<std::size_t>(k)] = start;
            phase = back[static_cast<std::size_t>(k) * width + phase];
        }
    }
    return path;
}

}  // namespace telvane::morse
