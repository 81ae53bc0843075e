#pragma once

// Beacons copied on two tones at once. Each tone's stages may copy the same beacon (the signals
// the tones follow can trade places in a pause): copies overlapping in time are one beacon, the
// more confident copy with each line the other copied more surely, unless most lines both heard
// disagree (two beacons, one tone's copy begun early or ended late); a beacon copied in two parts,
// its first lines on one tone and its last on the other, comes out whole. A copy waits until both
// tones' decisions are well past its end, and past the time its lines not yet heard take, since
// the other tone's copy or part may still come (a tone's decisions reach no further than the
// start of a beacon it has under way). A copy of line 1 alone is no beacon, but lends its
// line to a copy lacking it that starts within a line after it: the tones traded places after
// line 1, and the tone that heard it read on into the other signal.

#include <array>
#include <vector>

#include "copied_beacon.h"

namespace telvane::morse {

class BeaconPairing {
public:
    // Copies of one beacon are paired in the order of `rank` (the lower first), then of their
    // start, whatever order they come in.
    void Add(CopiedBeacon beacon, int rank = 0);
    // The decisions on `tone` (0 or 1) have reached `seconds`.
    void Heard(int tone, double seconds);
    void Finish();
    std::vector<CopiedBeacon> Take();

private:
    struct Copy {
        CopiedBeacon beacon;
        int rank = 0;
    };
    // Copies paired into one beacon, with the confidence (as it was copied) of the copy whose
    // estimates it carries: merges keep the estimates of the surer by it, not by the confidence a
    // merge gives. `copies` and `lent` say which of the waiting copies and lenders it holds.
    struct Paired {
        CopiedBeacon beacon;
        double own = 0;
        std::vector<std::size_t> copies;
        std::vector<std::size_t> lent;
    };

    // The waiting copies paired afresh, in one order: what comes out does not hang on the order
    // they came in, which depends on how the recording came in blocks.
    std::vector<Paired> PairAll() const;
    // The indices of `copies` in the order they are paired in.
    static std::vector<std::size_t> InPairingOrder(const std::vector<Copy>& copies);
    static void Pair(std::vector<Paired>& paired, Paired copy);
    void Lend(std::vector<Paired>& paired) const;
    void Release(bool all);

    std::vector<Copy> copies_;
    std::vector<Copy> lenders_;
    std::array<double, 2> heard_{};
    std::vector<CopiedBeacon> released_;
};

}  // namespace telvane::morse
