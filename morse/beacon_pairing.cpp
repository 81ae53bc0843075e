#include "beacon_pairing.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numeric>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

#include "beacon_assembler.h"
#include "edit_distance.h"

namespace telvane::morse {
namespace {

// Longer than a copy can come out after its end: a beacon broken off waits 20 s for its next
// lines before it is handed out.
constexpr double kSettleSeconds = 30.0;

// A beacon's parts copied on the two tones (they traded places in a fade) are one beacon when the
// later part's lines all come after the earlier one's, at the same speed, no further apart than
// the lines between them take to key (a line takes fewer dits than this, gaps included).
constexpr double kSameSpeed = 0.05;
constexpr double kLineDits = 250;
// Line 1 starts a beacon: a copy that began this much later than the other holds another line read
// as line 1 (a later one whose "Z" was lost, read on another station's signal).
constexpr double kSameStartSeconds = 2.0;

// Two overlapping copies are two beacons where more lines disagree than agree, this many at least.
constexpr int kLeastDisagreeing = 2;

// Line 1 lent is at most this long: a longer one has read on into traffic.
constexpr std::size_t kLongestLentLine = 24;

// Line 1 of a copy that holds nothing else, up to a later group begun with "ZK": the next line,
// its number lost, read on as line 1.
CopiedLine Lent(CopiedLine line) {
    const std::size_t next = line.text.find(" ZK", kLineHeaders[0].size());
    if (next != std::string::npos) {
        line.text.resize(next);
        line.confidence.resize(next);
        line.alternative.resize(next);
    }
    return line;
}

// Whether two copies of a line agree but for a few characters misheard, the shorter one cut short.
bool LinesAgree(std::string_view a, std::string_view b) {
    const std::size_t header = kLineHeaders[0].size();
    const std::size_t shorter = std::min(a.size(), b.size()) - header;
    const std::size_t cut = std::max(a.size(), b.size()) - std::min(a.size(), b.size());
    return 2 * (EditDistance(a.substr(header), b.substr(header)) - cut) <= shorter;
}

// Two copies of one beacon agree on most lines both heard; two beacons keyed one after the other,
// whose copies overlap where one tone's began early or ended late, disagree on every line.
bool SameLines(const CopiedBeacon& a, const CopiedBeacon& b) {
    int agreeing = 0;
    int disagreeing = 0;
    for (std::size_t k = 0; k < kLineCount; ++k) {
        const std::string& one = a.lines[k].text;
        const std::string& other = b.lines[k].text;
        if (one.size() > kLineHeaders[k].size() && other.size() > kLineHeaders[k].size()) {
            ++(LinesAgree(one, other) ? agreeing : disagreeing);
        }
    }
    return disagreeing < kLeastDisagreeing || disagreeing <= agreeing;
}

bool Overlap(const CopiedBeacon& a, const CopiedBeacon& b) {
    return a.startSeconds < b.endSeconds && b.startSeconds < a.endSeconds && SameLines(a, b);
}

// The first and last lines heard, or kLineCount and -1 when none was.
std::pair<int, int> LinesHeard(const CopiedBeacon& beacon) {
    std::pair<int, int> heard{kLineCount, -1};
    for (int k = 0; k < kLineCount; ++k) {
        if (!beacon.lines[static_cast<std::size_t>(k)].text.empty()) {
            heard = {std::min(heard.first, k), k};
        }
    }
    return heard;
}

// How long `lines` lines take to key at the beacon's speed (0 when it has none).
double LinesSeconds(const CopiedBeacon& beacon, int lines) {
    return beacon.speedWpm > 0 ? lines * kLineDits * 1.2 / beacon.speedWpm : 0.0;
}

bool Continues(const CopiedBeacon& earlier, const CopiedBeacon& later) {
    const int last = LinesHeard(earlier).second;
    const int first = LinesHeard(later).first;
    return last >= 0 && first < kLineCount && first > last &&
           later.startSeconds >= earlier.endSeconds && earlier.speedWpm > 0 &&
           std::abs(later.speedWpm / earlier.speedWpm - 1.0) < kSameSpeed &&
           later.startSeconds - earlier.endSeconds <= LinesSeconds(earlier, first - last);
}

// The two parts as one beacon: the lines of each, the estimates weighed by how long each lasted.
CopiedBeacon Joined(CopiedBeacon earlier, CopiedBeacon later) {
    for (int k = LinesHeard(later).first; k < kLineCount; ++k) {
        earlier.lines[static_cast<std::size_t>(k)] =
            std::move(later.lines[static_cast<std::size_t>(k)]);
    }
    const double a = earlier.endSeconds - earlier.startSeconds;
    const double b = later.endSeconds - later.startSeconds;
    const auto mean = [&](double x, double y) { return a + b > 0 ? (a * x + b * y) / (a + b) : x; };
    earlier.toneHz = mean(earlier.toneHz, later.toneHz);
    earlier.speedWpm = mean(earlier.speedWpm, later.speedWpm);
    earlier.snrDb = mean(earlier.snrDb, later.snrDb);
    earlier.endSeconds = later.endSeconds;
    earlier.confidence = BeaconConfidence(earlier);
    return earlier;
}

// Two copies of one beacon: the one surer as copied (`keptOwn` and `otherOwn`, see
// BeaconPairing::Waiting), with each line the other copied more surely (one tone's stages may have
// lost the beacon's signal partway, and the other found it late), from the first line's start to
// the last line's end.
CopiedBeacon Merged(CopiedBeacon kept, CopiedBeacon other, double keptOwn, double otherOwn) {
    if (otherOwn > keptOwn) {
        std::swap(kept, other);
    }
    const auto [first, last] = LinesHeard(kept);
    bool taken = false;
    for (int k = 0; k < kLineCount; ++k) {
        CopiedLine& line = kept.lines[static_cast<std::size_t>(k)];
        CopiedLine& instead = other.lines[static_cast<std::size_t>(k)];
        if (LineSureness(instead) <= LineSureness(line) ||
            (k == 0 && other.startSeconds > kept.startSeconds + kSameStartSeconds)) {
            continue;
        }
        line = std::move(instead);
        taken = true;
        if (k <= first) {
            kept.startSeconds = other.startSeconds;
        }
        if (k >= last) {
            kept.endSeconds = other.endSeconds;
        }
    }
    if (taken) {
        kept.confidence = BeaconConfidence(kept);
    }
    return kept;
}

// Whether `lender`'s line 1 (already cut by Lent) is the one `beacon` lacks (or holds the header
// of alone).
bool Borrows(const CopiedBeacon& beacon, const CopiedBeacon& lender, const CopiedLine& line) {
    const double after = beacon.startSeconds - lender.startSeconds;
    return beacon.lines[0].text.size() <= kLineHeaders[0].size() &&
           line.text.size() > kLineHeaders[0].size() &&
           line.text.size() <= kLineHeaders[0].size() + kLongestLentLine &&
           after >= -kSameStartSeconds && after <= LinesSeconds(beacon, 1);
}

}  // namespace

void BeaconPairing::Add(CopiedBeacon beacon, int rank) {
    (HoldsDigits(beacon) ? copies_ : lenders_).push_back({std::move(beacon), rank});
}

// By rank, then the earlier start, then the longer copy.
std::vector<std::size_t> BeaconPairing::InPairingOrder(const std::vector<Copy>& copies) {
    const auto key = [&copies](std::size_t k) {
        const Copy& copy = copies[k];
        return std::tuple(copy.rank, copy.beacon.startSeconds, -copy.beacon.endSeconds);
    };
    std::vector<std::size_t> order(copies.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&key](std::size_t a, std::size_t b) { return key(a) < key(b); });
    return order;
}

std::vector<BeaconPairing::Paired> BeaconPairing::PairAll() const {
    std::vector<Paired> paired;
    for (const std::size_t k : InPairingOrder(copies_)) {
        const CopiedBeacon& beacon = copies_[k].beacon;
        Pair(paired, {beacon, beacon.confidence, {k}, {}});
    }
    Lend(paired);
    return paired;
}

// A copy merged or joined with a paired one may then overlap or continue another: it is paired
// again.
void BeaconPairing::Pair(std::vector<Paired>& paired, Paired copy) {
    const auto take = [&paired](std::vector<Paired>::iterator at) {
        Paired taken = std::move(*at);
        paired.erase(at);
        return taken;
    };
    const auto both = [](const Paired& a, const Paired& b) {
        std::vector<std::size_t> copies = a.copies;
        copies.insert(copies.end(), b.copies.begin(), b.copies.end());
        return copies;
    };
    const CopiedBeacon& beacon = copy.beacon;
    const auto same = std::find_if(paired.begin(), paired.end(),
                                   [&](const Paired& p) { return Overlap(p.beacon, beacon); });
    if (same != paired.end()) {
        Paired other = take(same);
        std::vector<std::size_t> copies = both(other, copy);
        const double own = std::max(other.own, copy.own);
        Pair(paired, {Merged(std::move(other.beacon), std::move(copy.beacon), other.own, copy.own),
                      own,
                      std::move(copies),
                      {}});
        return;
    }
    // A beacon joined from two parts is a copy of its own.
    const auto pairJoined = [&](Paired earlier, Paired later) {
        std::vector<std::size_t> copies = both(earlier, later);
        CopiedBeacon joined = Joined(std::move(earlier.beacon), std::move(later.beacon));
        const double own = joined.confidence;
        Pair(paired, {std::move(joined), own, std::move(copies), {}});
    };
    for (auto part = paired.begin(); part != paired.end(); ++part) {
        if (Continues(part->beacon, beacon)) {
            pairJoined(take(part), std::move(copy));
            return;
        }
        if (Continues(beacon, part->beacon)) {
            pairJoined(std::move(copy), take(part));
            return;
        }
    }
    paired.push_back(std::move(copy));
}

void BeaconPairing::Lend(std::vector<Paired>& paired) const {
    for (const std::size_t k : InPairingOrder(lenders_)) {
        const CopiedBeacon& lender = lenders_[k].beacon;
        CopiedLine line = Lent(lender.lines[0]);
        const auto borrower = std::find_if(paired.begin(), paired.end(), [&](const Paired& p) {
            return Borrows(p.beacon, lender, line);
        });
        if (borrower == paired.end()) {
            continue;
        }
        CopiedBeacon& beacon = borrower->beacon;
        beacon.lines[0] = std::move(line);
        beacon.startSeconds = lender.startSeconds;
        beacon.confidence = BeaconConfidence(beacon);
        borrower->lent.push_back(k);
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
    // A beacon whose last lines were not heard also waits as long as they take to key: they may
    // come on the other tone.
    const auto waits = [&](const CopiedBeacon& b) {
        const int unheard = kLineCount - 1 - LinesHeard(b).second;
        return !all && heard <= b.endSeconds + kSettleSeconds + LinesSeconds(b, unheard);
    };
    std::vector<Paired> paired = PairAll();
    std::vector<bool> copyOut(copies_.size(), false);
    // A lender is kept while it waits itself, or lends to a beacon that does.
    std::vector<bool> lenderOut(lenders_.size(), false);
    for (std::size_t k = 0; k < lenders_.size(); ++k) {
        lenderOut[k] = !waits(lenders_[k].beacon);
    }
    std::vector<CopiedBeacon> out;
    for (Paired& p : paired) {
        const bool done = !waits(p.beacon);
        for (const std::size_t k : p.lent) {
            lenderOut[k] = done;
        }
        if (!done) {
            continue;
        }
        for (const std::size_t k : p.copies) {
            copyOut[k] = true;
        }
        out.push_back(std::move(p.beacon));
    }
    std::stable_sort(out.begin(), out.end(), [](const CopiedBeacon& a, const CopiedBeacon& b) {
        return a.startSeconds < b.startSeconds;
    });
    std::move(out.begin(), out.end(), std::back_inserter(released_));
    const auto keep = [](std::vector<Copy>& copies, const std::vector<bool>& gone) {
        std::vector<Copy> kept;
        for (std::size_t k = 0; k < copies.size(); ++k) {
            if (!gone[k]) {
                kept.push_back(std::move(copies[k]));
            }
        }
        copies = std::move(kept);
    };
    keep(copies_, copyOut);
    keep(lenders_, lenderOut);
}

}  // namespace telvane::morse
