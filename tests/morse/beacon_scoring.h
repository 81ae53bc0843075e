#pragma once

// Character error rate of copied beacons against what was keyed: the characters after each
// line's header, spaces ignored, by edit distance. A keyed beacon that no copied beacon overlaps
// counts all its characters as errors, and so do the characters of a copied beacon that matches
// nothing keyed.

#include <span>

#include "copied_beacon.h"
#include "recording_generator.h"

namespace telvane::morse::testing {

struct Score {
    int characters = 0;  // keyed
    int errors = 0;
    int beacons = 0;
    int exactBeacons = 0;
    int falseBeacons = 0;
    double Rate() const { return characters == 0 ? 0 : static_cast<double>(errors) / characters; }
    Score& operator+=(const Score& other);
};

Score ScoreBeacons(std::span<const KeyedBeacon> keyed, std::span<const CopiedBeacon> copied);

}  // namespace telvane::morse::testing
