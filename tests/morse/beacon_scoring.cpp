#include "beacon_scoring.h"

#include "edit_distance.h"

#include <algorithm>
#include <vector>

namespace telvane::morse::testing {
namespace {

// A line's characters after its header, without spaces.
std::string Body(const std::string& line) {
    std::string body;
    const std::size_t space = line.find(' ');
    if (space == std::string::npos) {
        return body;
    }
    for (std::size_t i = space + 1; i < line.size(); ++i) {
        if (line[i] != ' ') {
            body.push_back(line[i]);
        }
    }
    return body;
}

double Overlap(const KeyedBeacon& keyed, const CopiedBeacon& copied) {
    return std::min(keyed.endSeconds, copied.endSeconds) -
           std::max(keyed.startSeconds, copied.startSeconds);
}

}  // namespace

Score& Score::operator+=(const Score& other) {
    characters += other.characters;
    errors += other.errors;
    beacons += other.beacons;
    exactBeacons += other.exactBeacons;
    falseBeacons += other.falseBeacons;
    return *this;
}

Score ScoreBeacons(std::span<const KeyedBeacon> keyed, std::span<const CopiedBeacon> copied) {
    Score score;
    std::vector<bool> used(copied.size(), false);
    for (const KeyedBeacon& beacon : keyed) {
        ++score.beacons;
        int best = -1;
        for (std::size_t c = 0; c < copied.size(); ++c) {
            if (!used[c] && Overlap(beacon, copied[c]) > 0 &&
                (best < 0 || Overlap(beacon, copied[c]) >
                                 Overlap(beacon, copied[static_cast<std::size_t>(best)]))) {
                best = static_cast<int>(c);
            }
        }
        int errors = 0;
        for (std::size_t k = 0; k < beacon.lines.size(); ++k) {
            const std::string truth = Body(beacon.lines[k]);
            score.characters += static_cast<int>(truth.size());
            const std::string heard =
                best < 0 ? std::string()
                         : Body(copied[static_cast<std::size_t>(best)].lines[k].text);
            errors += best < 0 ? static_cast<int>(truth.size())
                               : static_cast<int>(EditDistance(truth, heard));
        }
        if (best >= 0) {
            used[static_cast<std::size_t>(best)] = true;
        }
        score.errors += errors;
        score.exactBeacons += errors == 0 ? 1 : 0;
    }
    for (std::size_t c = 0; c < copied.size(); ++c) {
        if (!used[c]) {
            ++score.falseBeacons;
            for (const CopiedLine& line : copied[c].lines) {
                score.errors += static_cast<int>(Body(line.text).size());
            }
        }
    }
    return score;
}

}  // namespace telvane::morse::testing
