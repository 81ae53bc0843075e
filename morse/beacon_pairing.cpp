#include "beacon_pairing.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <utility>

#include "beacon_assembler.h"

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

bool Overlap(const CopiedBeacon& a, const CopiedBeacon& b) {
    return a.startSeconds < b.endSeconds && b.startSeconds < a.endSeconds;
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

void BeaconPairing::Add(CopiedBeacon beacon) {
    if (!HoldsDigits(beacon)) {
        lenders_.push_back(std::move(beacon));
        Lend();
        return;
    }
    const double own = beacon.confidence;
    Pair({std::move(beacon), own});
    Lend();
}

void BeaconPairing::Lend() {
    for (auto lender = lenders_.begin(); lender != lenders_.end();) {
        CopiedLine line = Lent(lender->lines[0]);
        const auto borrower = std::find_if(waiting_.begin(), waiting_.end(), [&](const Waiting& w) {
            return Borrows(w.beacon, *lender, line);
        });
        if (borrower == waiting_.end()) {
            ++lender;
            continue;
        }
        CopiedBeacon& beacon = borrower->beacon;
        beacon.lines[0] = std::move(line);
        beacon.startSeconds = lender->startSeconds;
        beacon.confidence = BeaconConfidence(beacon);
        lender = lenders_.erase(lender);
    }
}

// A copy merged or joined with a waiting one may then overlap or continue another waiting copy:
// it is paired again, so that what comes out does not hang on the order the copies came in.
void BeaconPairing::Pair(Waiting copy) {
    const auto take = [this](std::vector<Waiting>::iterator at) {
        Waiting taken = std::move(*at);
        waiting_.erase(at);
        return taken;
    };
    const CopiedBeacon& beacon = copy.beacon;
    const auto same = std::find_if(waiting_.begin(), waiting_.end(),
                                   [&](const Waiting& w) { return Overlap(w.beacon, beacon); });
    if (same != waiting_.end()) {
        Waiting other = take(same);
        const double own = std::max(other.own, copy.own);
        Pair({Merged(std::move(other.beacon), std::move(copy.beacon), other.own, copy.own), own});
        return;
    }
    // A beacon joined from two parts is a copy of its own.
    const auto pairJoined = [this](CopiedBeacon earlier, CopiedBeacon later) {
        CopiedBeacon joined = Joined(std::move(earlier), std::move(later));
        const double own = joined.confidence;
        Pair({std::move(joined), own});
    };
    for (auto part = waiting_.begin(); part != waiting_.end(); ++part) {
        if (Continues(part->beacon, beacon)) {
            pairJoined(take(part).beacon, std::move(copy.beacon));
            return;
        }
        if (Continues(beacon, part->beacon)) {
            pairJoined(std::move(copy.beacon), take(part).beacon);
            return;
        }
    }
    waiting_.push_back(std::move(copy));
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
    std::erase_if(lenders_, [&](const CopiedBeacon& b) { return !waits(b); });
    const auto done = std::stable_partition(waiting_.begin(), waiting_.end(),
                                            [&](const Waiting& w) { return waits(w.beacon); });
    std::stable_sort(done, waiting_.end(), [](const Waiting& a, const Waiting& b) {
        return a.beacon.startSeconds < b.beacon.startSeconds;
    });
    for (auto copy = done; copy != waiting_.end(); ++copy) {
        released_.push_back(std::move(copy->beacon));
    }
    waiting_.erase(done, waiting_.end());
}

}  // namespace telvane::morse
