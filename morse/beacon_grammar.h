#pragma once

// What the beacon can say, as a graph the sequence decoder walks: other traffic, then the headers
// ZK1..ZK6 in order, each followed by its line's characters, then other traffic again. Built from
// the beacon layout of the conversion, so the decoder and the conversion agree on one table.

#include <cstdint>
#include <vector>

namespace telvane::morse {

enum class ArcKind : std::uint8_t {
    kOtherText,  // a character of traffic that is not a beacon
    kHeader,     // a character of a line header "ZKn"
    kBody,       // a character of a line's text after its header
};

// How a step may follow a word gap (5 slots or more).
enum class WordGap : std::uint8_t {
    kNever,
    kAny,
    // Within a beacon the satellite keys every word gap alike: other lengths are unlikely.
    kKeyed,
};

// One step of the grammar: any of `characters` (indices into Alphabet()) leads from `from` to `to`.
struct GrammarArc {
    int from = 0;
    int to = 0;
    ArcKind kind = ArcKind::kOtherText;
    bool afterCharacterGap = false;  // may follow the previous character after 3 slots
    WordGap afterWordGap = WordGap::kNever;
    double logPrior = 0;  // log probability of each of the characters on this arc
    std::vector<int> characters;
};

// Where a node is in the beacon: line -1 is traffic outside any beacon.
struct GrammarNode {
    int line = -1;
    int headerCharacters = 0;  // of the line's header heard so far (3 once complete)
    int bodyCharacters = 0;    // of the line's text heard so far (capped at 1 on line 1)
    bool beaconComplete = false;
};

struct BeaconGrammar {
    std::vector<GrammarNode> nodes;
    std::vector<GrammarArc> arcs;
    int otherNode = 0;
};

// The grammar is the same for every decoder; built once.
const BeaconGrammar& TheBeaconGrammar();

}  // namespace telvane::morse
