#include "grid_path.h"

#include "lanes.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace telvane::morse {
namespace {

// The running sum at `n` + `fraction`, clear of its end.
Lanes Between(std::span<const std::complex<double>> cumulative, std::int64_t n, double fraction) {
    const auto at = static_cast<std::size_t>(n);
    const Lanes low = LoadLanes(cumulative[at]);
    return low + fraction * (LoadLanes(cumulative[at + 1]) - low);
}

// The running sum at `x` >= 0, along a straight line between its samples.
Lanes At(std::span<const std::complex<double>> cumulative, double x) {
    const auto n = static_cast<std::int64_t>(x);
    if (n + 1 >= static_cast<std::int64_t>(cumulative.size())) {
        return LoadLanes(cumulative.back());
    }
    return Between(cumulative, n, x - static_cast<double>(n));
}

double Norm(Lanes z) {
    const Lanes squares = z * z;
    return squares[0] + squares[1];
}

// The search's state for two neighbouring phases, held in the two lanes.
struct PhasePair {
    Lanes offset;   // of each grid from the start
    Lanes score;    // of the path there
    Lanes index;    // the two phases' numbers
    Lanes before0;  // the running sum where each one's slot began
    Lanes before1;
};

struct Search {
    std::span<const std::complex<double>> cumulative;
    std::span<const float> weights;
    double period = 0;
    double changeCost = 0;
    int slots = 0;
    double last = 0;        // the running sum's last index
    double lastOffset = 0;  // the largest of the phases' offsets
    bool odd = false;       // the last pair's second phase is not one of the grid's
};

double WeightAt(const Search& search, double middle) {
    const auto last = static_cast<std::int32_t>(search.weights.size() - 1);
    return static_cast<double>(
        search
            .weights[static_cast<std::size_t>(std::min(static_cast<std::int32_t>(middle), last))]);
}

// The path through the grid's phases, two phases at a time: their lookups, the energies' scaling
// and the path's steps share the vector lanes, and each lane keeps its own first best phase. With
// `kBack`, the phase each step came from goes to `back`. Returns the best score and its phase.
template <bool kBack>
std::pair<double, std::size_t> Follow(const Search& search, std::vector<PhasePair>& pairs,
                                      std::uint8_t* back) {
    constexpr double kNever = -std::numeric_limits<double>::infinity();
    const double period = search.period;
    const double half = period / 2;
    // A slot's energy per sample by multiplying: a division every step holds the path up.
    const double perSample = 1.0 / period;
    double best = 0;  // the best score so far, at the first phase that has it
    std::size_t bestPhase = 0;
    for (int k = 0; k < search.slots; ++k) {
        const double base = period * k;
        // Every lookup of this slot is clear of the running sum's end.
        const bool inside = base + period + search.lastOffset + 1 < search.last;
        const Lanes change = Lanes{1, 1} * (best - search.changeCost);
        Lanes top = Lanes{1, 1} * kNever;
        Lanes topPhase = {0, 0};
        const auto step = [&](PhasePair& pair, Lanes change) {
            const Lanes start = pair.offset + base;
            Lanes after0;
            Lanes after1;
            if (inside) {
                const Lanes end = start + period;
                const Index n = __builtin_convertvector(end, Index);
                const Lanes fraction = end - __builtin_convertvector(n, Lanes);
                after0 = Between(search.cumulative, n[0], fraction[0]);
                after1 = Between(search.cumulative, n[1], fraction[1]);
            } else {
                after0 = At(search.cumulative, start[0] + period);
                after1 = At(search.cumulative, start[1] + period);
            }
            const Lanes energy = {Norm(after0 - pair.before0), Norm(after1 - pair.before1)};
            pair.before0 = after0;
            pair.before1 = after1;
            const Lanes weight = {WeightAt(search, start[0] + half),
                                  WeightAt(search, start[1] + half)};
            const Lanes excess = weight * (energy * perSample - 1.0);
            const auto stay = pair.score >= change;
            if constexpr (kBack) {
                for (int lane = 0; lane < 2; ++lane) {
                    *back++ = static_cast<std::uint8_t>(
                        stay[lane] != 0 ? static_cast<std::size_t>(pair.index[lane]) : bestPhase);
                }
            }
            pair.score = (stay ? pair.score : change) + excess;
            const auto better = pair.score > top;
            top = better ? pair.score : top;
            topPhase = better ? pair.index : topPhase;
        };
        for (std::size_t p = 0; p + 1 < pairs.size(); ++p) {
            step(pairs[p], change);
        }
        // A phase that is not the grid's stays where no path reaches it.
        step(pairs.back(), search.odd ? Lanes{change[0], kNever} : change);
        // The first phase with the best score: the better lane, or the lower phase of a tie.
        const int lane = static_cast<int>(top[1] > top[0]) |
                         static_cast<int>(top[1] == top[0] && topPhase[1] < topPhase[0]);
        best = top[lane];
        bestPhase = static_cast<std::size_t>(topPhase[lane]);
    }
    return {best, bestPhase};
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
    // An odd phase count gets one phase more, that no path can take.
    const auto pairCount = static_cast<std::size_t>(phases + 1) / 2;
    std::vector<PhasePair> pairs(pairCount);
    for (std::size_t p = 0; p < pairCount; ++p) {
        PhasePair& pair = pairs[p];
        pair.index = Lanes{static_cast<double>(2 * p), static_cast<double>(2 * p + 1)};
        pair.offset = shift * pair.index;
        pair.score = Lanes{0, 2 * p + 1 < static_cast<std::size_t>(phases)
                                  ? 0
                                  : -std::numeric_limits<double>::infinity()};
        pair.before0 = At(cumulative, pair.offset[0]);
        pair.before1 = At(cumulative, pair.offset[1]);
    }
    const Search search{
        cumulative,     weights, period, changeCost, slots, last, pairs.back().offset[1],
        phases % 2 == 1};
    const std::size_t width = 2 * pairCount;
    // For each slot and phase, the phase the path came from (only when the points are wanted).
    std::vector<std::uint8_t> back(withPoints ? width * static_cast<std::size_t>(slots) : 0);
    const auto [best, bestPhase] = withPoints ? Follow<true>(search, pairs, back.data())
                                              : Follow<false>(search, pairs, nullptr);
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
