#include "beacon_pairing.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace telvane::morse {
namespace {

// Longer than a copy can come out after its end: a beacon broken off waits 20 s for its next
// lines before it is handed out.
constexpr double kSettleSeconds = 30.0;

bool Overlap(const CopiedBeacon& a, const CopiedBeacon& b) {
    return a.startSeconds < b.endSeconds && b.startSeconds < a.endSeconds;
}

}  // namespace

void BeaconPairing::Add(CopiedBeacon beacon) {
    const auto same = std::find_if(waiting_.begin(), waiting_.end(),
                                   [&](const CopiedBeacon& w) { return Overlap(w, beacon); });
    if (same == waiting_.end()) {
        waiting_.push_back(std::move(beacon));
    } else if (beacon.confidence > same->confidence) {
        *same = std::move(beacon);
    }
}

void BeaconPairing::Heard(int tone, double seconds) {
    double& heard = heard_[static_cast<std::size_t>(tone)];
    heard = std::max(heard, seconds);
    Release(false);
}

void BeaconPairing::Finish() {
    Release(true);
}

std::vector<CopiedBeacon> BeaconPairing::Take() {
    return std::exchange(released_, {});
}

void BeaconPairing::Release(bool all) {
    const double heard = std::min(heard_[0], heard_[1]);
    const auto waits = [&](const CopiedBeacon& b) {
        return !all && heard <= b.endSeconds + kSettleSeconds;
    };
    const auto done = std::stable_partition(waiting_.begin(), waiting_.end(), waits);
    std::stable_sort(done, waiting_.end(), [](const CopiedBeacon& a, const CopiedBeacon& b) {
        return a.startSeconds < b.startSeconds;
    });
    released_.insert(released_.end(), std::make_move_iterator(done),
                     std::make_move_iterator(waiting_.end()));
    waiting_.erase(done, waiting_.end());
}

}  // namespace telvane::morse
