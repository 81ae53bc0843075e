#include "speed_evidence.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace telvane::morse {
namespace {

// Speeds this close to the one followed are confused with it in a single window, up to a grid of
// two thirds or three halves of the dit, which catches runs of dahs nearly as well. Farther ones
// are the keying's multiples and fractions, which the grid search tells apart itself (a grid of
// half the dit catches all a dit's does, and its sum would win), or another station.
constexpr double kNearRange = 1.55;
constexpr double kSameSpeed = 0.025;  // relative: the followed speed's own neighbours
constexpr int kLeastWindows = 2;
// A tone that moved farther than this between two windows is another station's (the tracker left
// the beacon for it, or came back): the sums so far are not its keying's.
constexpr double kSameToneHz = 60;

}  // namespace

void SpeedEvidence::Add(std::span<const std::pair<double, double>> merits, double toneHz) {
    if (std::abs(toneHz - toneHz_) > kSameToneHz) {
        std::fill(sums_.begin(), sums_.end(), 0.0);
        windows_ = 0;
    }
    toneHz_ = toneHz;
    if (sums_.size() != merits.size()) {
        periods_.clear();
        std::transform(merits.begin(), merits.end(), std::back_inserter(periods_),
                       [](const auto& merit) { return merit.second; });
        sums_.assign(merits.size(), 0.0);
        windows_ = 0;
    }
    for (std::size_t k = 0; k < merits.size(); ++k) {
        sums_[k] += merits[k].first;
    }
    ++windows_;
}

std::size_t SpeedEvidence::Nearest(double period) const {
    const auto after = std::lower_bound(periods_.begin(), periods_.end(), period);
    if (after == periods_.end()) {
        return periods_.size() - 1;
    }
    if (after != periods_.begin() && period / *(after - 1) < *after / period) {
        return static_cast<std::size_t>(after - periods_.begin()) - 1;
    }
    return static_cast<std::size_t>(after - periods_.begin());
}

double SpeedEvidence::Better(double followed, double samples, double margin) const {
    if (windows_ < kLeastWindows || sums_.empty()) {
        return 0;
    }
    // The followed speed's sum at its best neighbouring period: it may lie between two.
    const std::size_t at = Nearest(followed);
    const std::size_t from = at > 0 ? at - 1 : 0;
    const std::size_t to = std::min(at + 2, sums_.size());
    const double own = *std::max_element(sums_.begin() + static_cast<long>(from),
                                         sums_.begin() + static_cast<long>(to));
    double best = 0;
    double bestSum = own;
    for (std::size_t k = 0; k < sums_.size(); ++k) {
        const double ratio = periods_[k] / followed;
        if (ratio > 1.0 / kNearRange && ratio < kNearRange && std::abs(ratio - 1.0) > kSameSpeed &&
            sums_[k] > bestSum) {
            bestSum = sums_[k];
            best = periods_[k];
        }
    }
    if (best == 0 ||
        bestSum - own <= margin * std::sqrt(static_cast<double>(windows_) * samples / best)) {
        return 0;
    }
    return best;
}

}  // namespace telvane::morse
