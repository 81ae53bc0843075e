#include "sequence_decoder.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace telvane::morse {
namespace {

constexpr double kImpossible = -1e300;
constexpr int kCharacterGap = 3;
constexpr int kWordGap = 5;  // the shortest gap read as a word gap (7 when keyed exactly)
// Within a beacon the satellite keys every word gap at 7 slots; the grid cuts one a slot short or
// long now and then (ascending: the last reaches farthest back). A gap of another length still
// leads on, at a cost: what was keyed there was lost in the noise, or another keyer spaces its
// words otherwise. Were every length alike, the characters after a word gap could slide by a slot
// or two to fit the noise, and a character be lost or made up.
struct KeyedGap {
    int slots;
    double logPrior;
};
constexpr std::array<KeyedGap, 3> kKeyedWordGaps = {{{6, -2.0}, {7, 0.0}, {8, -2.0}}};
constexpr double kOtherKeyedWordGap = -6.0;
constexpr int kCommitEvery = 16;
constexpr double kBeam = 50.0;  // log-likelihood below the likeliest path, where a state is dropped
constexpr int kKeptBehindLag = 64;
constexpr int kLongestCharacter = 32;
// Boundaries looked up around the newest one: a character and the gap before it reach this far.
constexpr int kNear = kLongestCharacter + kKeyedWordGaps.back().slots + 1;

// The boundaries `back` = 0..kNear-1 slots before `end`, looked up once per slot rather than for
// every character and arc (`at` gives null where there is none).
template <typename Boundary, typename Lookup>
std::array<const Boundary*, kNear> NearBoundaries(int end, Lookup at) {
    std::array<const Boundary*, kNear> near{};
    for (int back = 0; back < kNear; ++back) {
        near[static_cast<std::size_t>(back)] = at(end - back);
    }
    return near;
}

using RunScores = std::array<double, kLongestRun>;

// A character's likelihood from the run likelihoods of its slots (`runs(i)` for its i-th slot):
// fewer slots than the character's length score the part of it heard so far.
template <typename Runs>
double HeardRuns(const CharacterShape& shape, int length, Runs runs) {
    double total = 0;
    for (int r = 0; r < shape.runCount; ++r) {
        const KeyDownRun run = shape.runs[static_cast<std::size_t>(r)];
        const int heard = std::min<int>(run.slots, length - run.firstSlot);
        if (heard <= 0) {
            break;
        }
        total += runs(run.firstSlot)[static_cast<std::size_t>(heard - 1)];
    }
    return total;
}

// SequenceDecoder::Likelihood() of the characters ending at the newest slot, `length` slots of them
// heard, from the run likelihoods of the newest slots looked up once: indexing the deque is the
// dearest part.
template <typename Shapes, typename Runs, typename Fallback>
auto NewestLikelihoods(const Shapes& alphabet, const Runs& runs, Fallback likelihood) {
    std::array<const RunScores*, kNear> newest{};
    const std::size_t known = std::min(runs.size(), newest.size());
    for (std::size_t back = 0; back < known; ++back) {
        newest[back] = &runs[runs.size() - 1 - back];
    }
    return [&alphabet, newest, known, likelihood](int character, int length) {
        if (length < 1 || static_cast<std::size_t>(length) > known) {
            return likelihood(character, length);
        }
        return HeardRuns(alphabet[static_cast<std::size_t>(character)], length,
                         [&](int slot) -> const RunScores& {
                             return *newest[static_cast<std::size_t>(length - 1 - slot)];
                         });
    };
}

// The likeliest way into an arc's first node, for a character starting `back` slots before the
// boundary `end`: the score there and the boundary the gap before the character starts at.
struct Entry {
    double score = kImpossible;
    int boundary = -1;
    bool wordGap = false;
};

// `at(back)` gives the boundary `back` slots before `end`, or null. Found in place: an entry
// returned by value is copied in pieces that the next read of it stalls on.
template <typename Boundary, typename Lookup>
void EntryBefore(const GrammarArc& arc, int end, int back, Lookup at, Entry& best) {
    best = Entry{};
    const auto from = static_cast<std::size_t>(arc.from);
    const auto offer = [&best](double score, int boundary, bool wordGap) {
        if (score > best.score) {
            best = {score, boundary, wordGap};
        }
    };
    if (const Boundary* before = arc.afterCharacterGap ? at(back + kCharacterGap) : nullptr) {
        offer(before->score[from], end - back - kCharacterGap, false);
    }
    if (arc.afterWordGap == WordGap::kNever) {
        return;
    }
    const bool keyed = arc.afterWordGap == WordGap::kKeyed;
    if (const Boundary* gap = at(back); gap != nullptr && gap->idle[from] > kImpossible) {
        offer(gap->idle[from] + (keyed ? kOtherKeyedWordGap : 0.0), gap->idleOrigin[from], true);
    }
    for (const KeyedGap gap : keyed ? std::span(kKeyedWordGaps) : std::span<const KeyedGap>()) {
        if (const Boundary* before = at(back + gap.slots); before != nullptr) {
            offer(before->score[from] + gap.logPrior, end - back - gap.slots, true);
        }
    }
}

// The ways into the arcs at one boundary, each found once for every length of what follows it:
// the characters of an arc (or their prefixes) that are as long as each other start alike.
class ArcEntries {
public:
    // The way into arc number `arc` for `back` slots; `find` works it out, into the entry it is
    // given, when not yet known.
    template <typename Find>
    const Entry& Get(std::size_t arc, int back, Find find) {
        const auto length = static_cast<std::size_t>(back);
        if (arcOf_[length] != arc + 1) {
            find(entries_[length]);
            arcOf_[length] = arc + 1;
        }
        return entries_[length];
    }

private:
    std::array<Entry, kLongestCharacter + 1> entries_{};
    std::array<std::size_t, kLongestCharacter + 1> arcOf_{};  // its number + 1
};

// Arcs that differ only in the node they leave, after a word gap and never after a character gap:
// a beacon broken off by traffic at any of its nodes. Such a character starts from its node's
// idle score alone, so each boundary keeps the best of the family's nodes and every character is
// tried once for the family rather than once for each of its nodes.
struct ArcFamily {
    std::size_t first = 0;
    std::size_t count = 0;
};

bool FromIdleOnly(const GrammarArc& arc) {
    return !arc.afterCharacterGap && arc.afterWordGap == WordGap::kAny;
}

bool SameButFrom(const GrammarArc& a, const GrammarArc& b) {
    return a.to == b.to && a.kind == b.kind && a.logPrior == b.logPrior &&
           a.characters == b.characters;
}

const std::vector<ArcFamily>& Families() {
    static const std::vector<ArcFamily> families = [] {
        const std::vector<GrammarArc>& arcs = TheBeaconGrammar().arcs;
        std::vector<ArcFamily> found;
        for (std::size_t a = 0; a < arcs.size();) {
            std::size_t b = a + 1;
            while (FromIdleOnly(arcs[a]) && b < arcs.size() && FromIdleOnly(arcs[b]) &&
                   SameButFrom(arcs[a], arcs[b])) {
                ++b;
            }
            if (b - a > 1) {
                found.push_back({a, b - a});
            }
            a = b;
        }
        return found;
    }();
    return families;
}

// The alphabet's lengths in slots, looked up in the decoder's innermost loops.
const std::vector<int>& Lengths() {
    static const std::vector<int> lengths = [] {
        std::vector<int> all;
        for (const CharacterShape& shape : Alphabet()) {
            all.push_back(shape.slotCount);
        }
        return all;
    }();
    return lengths;
}

// An arc's characters as long as each other start at the same boundary, after the same gap: only
// the likeliest of them can take the arc to where they end. The grammar's arcs share a few
// character sets (hex digits, line 1's characters, any character); each set's characters are
// grouped by length, in the order the lengths first come.
struct LengthGroup {
    int length = 0;
    std::vector<int> characters;
};

struct CharacterSets {
    std::vector<LengthGroup> groups;      // every set's, one set after another
    std::vector<std::size_t> firstGroup;  // of each set, and the end of the last
    std::vector<std::size_t> setOf;       // each arc's set
};

std::vector<LengthGroup> GroupByLength(const std::vector<int>& characters) {
    std::vector<LengthGroup> groups;
    for (const int c : characters) {
        const int length = Lengths()[static_cast<std::size_t>(c)];
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [length](const LengthGroup& g) { return g.length == length; });
        if (group == groups.end()) {
            group = groups.insert(groups.end(), LengthGroup{length, {}});
        }
        group->characters.push_back(c);
    }
    return groups;
}

const CharacterSets& TheCharacterSets() {
    static const CharacterSets sets = [] {
        CharacterSets found;
        std::vector<const std::vector<int>*> known;
        for (const GrammarArc& arc : TheBeaconGrammar().arcs) {
            const auto same = std::find_if(known.begin(), known.end(), [&arc](const auto* set) {
                return *set == arc.characters;
            });
            found.setOf.push_back(static_cast<std::size_t>(same - known.begin()));
            if (same == known.end()) {
                known.push_back(&arc.characters);
                found.firstGroup.push_back(found.groups.size());
                for (LengthGroup& group : GroupByLength(arc.characters)) {
                    found.groups.push_back(std::move(group));
                }
            }
        }
        found.firstGroup.push_back(found.groups.size());
        return found;
    }();
    return sets;
}

// The likeliest character of each length group ending at a boundary, and its likelihood.
struct GroupBest {
    double heard = kImpossible;
    int character = -1;
};

std::vector<GroupBest> BestOfGroups(const CharacterSets& sets,
                                    const std::vector<double>& likelihood) {
    std::vector<GroupBest> best(sets.groups.size());
    for (std::size_t g = 0; g < sets.groups.size(); ++g) {
        // Selected, not branched on: which character leads is as good as random.
        GroupBest top;
        for (const int c : sets.groups[g].characters) {
            const double heard = likelihood[static_cast<std::size_t>(c)];
            const bool better = heard > top.heard;
            top.heard = better ? heard : top.heard;
            top.character = better ? c : top.character;
        }
        best[g] = top;
    }
    return best;
}

}  // namespace

SequenceDecoder::SequenceDecoder(int lagSlots, int startNode)
    : grammar_(TheBeaconGrammar()), alphabet_(Alphabet()), lengths_(Lengths()), lag_(lagSlots) {
    Boundary first = Unreached();
    if (startNode < 0) {
        first.idle[static_cast<std::size_t>(grammar_.otherNode)] = 0;
    } else {
        first.score[static_cast<std::size_t>(startNode)] = 0;
        first.idle[static_cast<std::size_t>(startNode)] = 0;
    }
    SetFamilyIdle(first);
    boundaries_.push_back(std::move(first));
}

// A boundary no node has reached yet.
SequenceDecoder::Boundary SequenceDecoder::Unreached() const {
    const std::size_t nodes = grammar_.nodes.size();
    return {std::vector<double>(nodes, kImpossible),
            std::vector<Back>(nodes),
            std::vector<double>(nodes, kImpossible),
            std::vector<int>(nodes, -1),
            {}};
}

const SequenceDecoder::Boundary* SequenceDecoder::At(int boundary) const {
    const int index = boundary - boundaryBase_;
    if (index < 0 || index >= static_cast<int>(boundaries_.size())) {
        return nullptr;
    }
    return &boundaries_[static_cast<std::size_t>(index)];
}

double SequenceDecoder::Score(int boundary, int node) const {
    const Boundary* at = At(boundary);
    return at == nullptr ? kImpossible : at->score[static_cast<std::size_t>(node)];
}

double SequenceDecoder::Likelihood(int character, int start, int length) const {
    const int first = start - slotBase_;
    if (first < 0 || first + length > static_cast<int>(slots_.size())) {
        return kImpossible;
    }
    return HeardRuns(
        alphabet_[static_cast<std::size_t>(character)], length, [&](int slot) -> const RunScores& {
            return runs_[static_cast<std::size_t>(first) + static_cast<std::size_t>(slot)];
        });
}

void SequenceDecoder::SetFamilyIdle(Boundary& boundary) const {
    const std::vector<ArcFamily>& families = Families();
    boundary.familyIdle.resize(families.size());
    for (std::size_t f = 0; f < families.size(); ++f) {
        FamilyIdle best{kImpossible, -1, -1};
        for (std::size_t a = families[f].first; a < families[f].first + families[f].count; ++a) {
            const auto from = static_cast<std::size_t>(grammar_.arcs[a].from);
            if (boundary.idle[from] > best.score) {
                best = {boundary.idle[from], boundary.idleOrigin[from], static_cast<int>(a)};
            }
        }
        boundary.familyIdle[f] = best;
    }
}

// The boundary `end` before any character ends there: each node's idle score carried on, and
// raised where a word gap from it reaches here.
SequenceDecoder::Boundary SequenceDecoder::Carried(int end) const {
    const std::size_t nodes = grammar_.nodes.size();
    Boundary next = Unreached();
    const Boundary* previous = At(end - 1);
    const Boundary* gapStart = At(end - kWordGap);
    for (std::size_t g = 0; g < nodes; ++g) {
        if (previous != nullptr) {
            next.idle[g] = previous->idle[g];
            next.idleOrigin[g] = previous->idleOrigin[g];
        }
        if (gapStart != nullptr && gapStart->score[g] > next.idle[g]) {
            next.idle[g] = gapStart->score[g];
            next.idleOrigin[g] = end - kWordGap;
        }
    }
    SetFamilyIdle(next);
    return next;
}

SequenceDecoder::Boundary SequenceDecoder::Advance(int end) const {
    Boundary next = Carried(end);
    const Boundary* previous = At(end - 1);
    // Each character ending here, and its likelihood.
    const std::size_t count = alphabet_.size();
    std::vector<double> likelihood(count);
    const auto near = NearBoundaries<Boundary>(end, [this](int b) { return At(b); });
    const auto heardNow = NewestLikelihoods(
        alphabet_, runs_, [&](int c, int length) { return Likelihood(c, end - length, length); });
    const auto boundary = [&](int back) {
        return back < kNear ? near[static_cast<std::size_t>(back)] : At(end - back);
    };
    double mostHeard = kImpossible;
    for (std::size_t c = 0; c < count; ++c) {
        likelihood[c] = heardNow(static_cast<int>(c), lengths_[c]);
        mostHeard = std::max(mostHeard, likelihood[c]);
    }
    const CharacterSets& sets = TheCharacterSets();
    const std::vector<GroupBest> groupBest = BestOfGroups(sets, likelihood);
    // The length groups of arc number `a`'s characters.
    const auto groupsOf = [&sets](std::size_t a) {
        const std::size_t set = sets.setOf[a];
        return std::pair{sets.firstGroup[set], sets.firstGroup[set + 1]};
    };
    const std::vector<ArcFamily>& families = Families();
    const auto offer = [&](std::size_t to, double total, const Back& back) {
        if (total > next.score[to]) {
            next.score[to] = total;
            next.back[to] = back;
        }
    };
    // A family's character starts at the best idle score of its nodes `length` slots back.
    const auto tryFamily = [&](std::size_t f, const GrammarArc& arc) {
        const auto to = static_cast<std::size_t>(arc.to);
        if (previous != nullptr &&
            previous->familyIdle[f].score + mostHeard + arc.logPrior <= next.score[to]) {
            return;
        }
        const auto [first, last] = groupsOf(families[f].first);
        for (std::size_t g = first; g < last; ++g) {
            const GroupBest& heard = groupBest[g];
            const Boundary* start = boundary(sets.groups[g].length);
            if (heard.heard <= kImpossible || start == nullptr ||
                start->familyIdle[f].score <= kImpossible) {
                continue;
            }
            const FamilyIdle& way = start->familyIdle[f];
            const int from = grammar_.arcs[static_cast<std::size_t>(way.arc)].from;
            offer(to, way.score + heard.heard + arc.logPrior,
                  {way.origin, from, way.arc, heard.character, true});
        }
    };
    auto family = families.begin();
    // A character starts from its node's idle score now, which holds every score a word gap back,
    // or from its score a character gap before the shortest character, at most. An arc that
    // leaves even that far below the likeliest path now with no character under way is not
    // followed: the grammar's costs of changing course are far smaller, so no later slot makes up
    // for so much.
    const Boundary* shortestGap = boundary(1 + kCharacterGap);
    const auto bestStart = [&](std::size_t node) {
        return std::max(next.idle[node],
                        shortestGap != nullptr ? shortestGap->score[node] : kImpossible);
    };
    const double dropBelow = *std::max_element(next.idle.begin(), next.idle.end()) - kBeam;
    ArcEntries entries;
    for (std::size_t a = 0; a < grammar_.arcs.size(); ++a) {
        const GrammarArc& arc = grammar_.arcs[a];
        if (family != families.end() && family->first == a) {
            tryFamily(static_cast<std::size_t>(family - families.begin()), arc);
            a += family->count - 1;
            ++family;
            continue;
        }
        const auto from = static_cast<std::size_t>(arc.from);
        const auto to = static_cast<std::size_t>(arc.to);
        // An arc only from a word gap, whose best start and likeliest character together cannot
        // beat what its node has, is passed over: the same as trying each character, since a sum
        // never grows when a term shrinks, a node's idle score never falls from one boundary
        // to the next, and a word gap's cost is never a gain.
        if (!arc.afterCharacterGap && previous != nullptr &&
            previous->idle[from] + mostHeard + arc.logPrior <= next.score[to]) {
            continue;
        }
        if (bestStart(from) + mostHeard + arc.logPrior < dropBelow) {
            continue;
        }
        const auto [first, last] = groupsOf(a);
        for (std::size_t g = first; g < last; ++g) {
            const GroupBest& heard = groupBest[g];
            if (heard.heard <= kImpossible) {
                continue;
            }
            const int length = sets.groups[g].length;
            const Entry& entry = entries.Get(a, length, [&](Entry& found) {
                EntryBefore<Boundary>(arc, end, length, boundary, found);
            });
            if (entry.score > kImpossible) {
                offer(to, entry.score + heard.heard + arc.logPrior,
                      {entry.boundary, arc.from, static_cast<int>(a), heard.character,
                       entry.wordGap});
            }
        }
    }
    return next;
}

void SequenceDecoder::Push(const Slot& slot) {
    const int end = Extend(slot);
    if (end % kCommitEvery == 0) {
        Commit(end - lag_);
    }
    const int keepFrom = end - lag_ - kKeptBehindLag;
    while (boundaryBase_ < keepFrom) {
        boundaries_.pop_front();
        ++boundaryBase_;
    }
    while (slotBase_ < keepFrom) {
        slots_.pop_front();
        runs_.pop_front();
        ++slotBase_;
    }
}

int SequenceDecoder::Extend(const Slot& slot) {
    slots_.push_back(slot);
    runs_.push_back({});
    // The runs that end with this slot: a dit from it, and the longer ones from slots before.
    std::array<Slot, kLongestRun> run{};
    const int newest = static_cast<int>(slots_.size()) - 1;
    for (int length = 1; length <= kLongestRun && length <= newest + 1; ++length) {
        const int from = newest - length + 1;
        std::copy_n(slots_.begin() + from, length, run.begin());
        runs_[static_cast<std::size_t>(from)][static_cast<std::size_t>(length - 1)] =
            RunLikelihood(std::span<const Slot>(run.data(), static_cast<std::size_t>(length)));
    }
    const int end = slotBase_ + static_cast<int>(slots_.size());
    boundaries_.push_back(Advance(end));
    return end;
}

// The likeliest state at the newest boundary, counting paths whose next character has begun:
// without them a path that explains a half-heard character with a wrong parse would win.
std::pair<int, int> SequenceDecoder::BestAlive() const {
    const int end = boundaryBase_ + static_cast<int>(boundaries_.size()) - 1;
    double best = kImpossible;
    std::pair<int, int> state{-1, grammar_.otherNode};
    const auto offer = [&](double score, int boundary, int node) {
        if (score > best) {
            best = score;
            state = {boundary, node};
        }
    };
    const auto near = NearBoundaries<Boundary>(end, [this](int b) { return At(b); });
    const auto score = [&near](int back, int node) {
        const Boundary* at = near[static_cast<std::size_t>(back)];
        return at == nullptr ? kImpossible : at->score[static_cast<std::size_t>(node)];
    };
    const Boundary* last = near[0];
    for (int g = 0; g < static_cast<int>(grammar_.nodes.size()); ++g) {
        for (int k = 0; k < kWordGap; ++k) {
            offer(score(k, g), end - k, g);
        }
        offer(last->idle[static_cast<std::size_t>(g)],
              last->idleOrigin[static_cast<std::size_t>(g)], g);
    }
    // Partial characters: the best prefix score of each character for each start.
    const auto heardNow = NewestLikelihoods(
        alphabet_, runs_, [&](int c, int length) { return Likelihood(c, end - length, length); });
    const int longest = kLongestCharacter;
    std::vector<double> prefix(alphabet_.size() * static_cast<std::size_t>(longest), kImpossible);
    const auto prefixAt = [&](int c, int back) -> double& {
        return prefix[static_cast<std::size_t>(c) * static_cast<std::size_t>(longest) +
                      static_cast<std::size_t>(back)];
    };
    // The likeliest prefix, found while the table is filled: a maximum kept in memory waits on
    // its own store every step.
    const double mostHeard = [&] {
        double most = kImpossible;
        for (int c = 0; c < static_cast<int>(alphabet_.size()); ++c) {
            for (int back = 1; back < Length(c) && back < longest; ++back) {
                const double heard = heardNow(c, back);
                prefixAt(c, back) = heard;
                most = std::max(most, heard);
            }
        }
        return most;
    }();
    // An arc whose best start and best prefix together cannot beat the best state so far is
    // passed over: the same as offering each, since a sum never grows when a term shrinks. A
    // node's best start is after a character gap at any boundary a prefix can follow, or after a
    // word gap, where the newest idle score bounds the older ones (it never falls) and every
    // start a keyed gap reaches (a gap's cost is never a gain).
    const std::size_t nodes = grammar_.nodes.size();
    std::vector<double> afterCharacter(nodes, kImpossible);
    for (int back = 1 + kCharacterGap; back < longest + kCharacterGap; ++back) {
        if (const Boundary* at = near[static_cast<std::size_t>(back)]; at != nullptr) {
            for (std::size_t g = 0; g < nodes; ++g) {
                afterCharacter[g] = std::max(afterCharacter[g], at->score[g]);
            }
        }
    }
    const Boundary* newestGap = near[1];
    const auto hopeless = [&](const GrammarArc& arc) {
        const auto from = static_cast<std::size_t>(arc.from);
        double start = arc.afterCharacterGap ? afterCharacter[from] : kImpossible;
        if (arc.afterWordGap != WordGap::kNever && newestGap != nullptr) {
            start = std::max(start, newestGap->idle[from]);
        }
        return start + mostHeard + arc.logPrior <= best;
    };
    ArcEntries entries;
    for (std::size_t a = 0; a < grammar_.arcs.size(); ++a) {
        const GrammarArc& arc = grammar_.arcs[a];
        if (arc.kind == ArcKind::kOtherText && arc.from != grammar_.otherNode) {
            continue;  // breaking a beacon off is never the likeliest way to explain a prefix
        }
        if (hopeless(arc)) {
            continue;
        }
        for (const int c : arc.characters) {
            for (int back = 1; back < Length(c) && back < longest; ++back) {
                const double heard = prefixAt(c, back);
                if (heard <= kImpossible) {
                    continue;
                }
                const Entry& entry = entries.Get(a, back, [&](Entry& found) {
                    EntryBefore<Boundary>(
                        arc, end, back,
                        [&near](int b) { return near[static_cast<std::size_t>(b)]; }, found);
                });
                if (entry.score > kImpossible) {
                    offer(entry.score + heard + arc.logPrior, entry.boundary, arc.from);
                }
            }
        }
    }
    return state;
}

std::vector<SequenceDecoder::Step> SequenceDecoder::Trace(int boundary, int node) const {
    std::vector<Step> steps;
    while (boundary > committedEnd_) {
        const Boundary* at = At(boundary);
        if (at == nullptr) {
            break;
        }
        const Back& back = at->back[static_cast<std::size_t>(node)];
        if (back.arc < 0) {
            break;
        }
        steps.push_back({boundary - Length(back.character), boundary, back, node});
        boundary = back.prevBoundary;
        node = back.prevNode;
    }
    std::reverse(steps.begin(), steps.end());
    return steps;
}

HeardCharacter SequenceDecoder::Describe(const Step& step, int nextStart) const {
    const GrammarArc& arc = grammar_.arcs[static_cast<std::size_t>(step.back.arc)];
    const double chosen = Likelihood(step.back.character, step.start, Length(step.back.character));
    double others = 0;
    double bestOther = kImpossible;
    int alternative = -1;
    const auto consider = [&](int c) {
        if (c == step.back.character || step.start + Length(c) > nextStart - kCharacterGap) {
            return;
        }
        const double heard = Likelihood(c, step.start, Length(c));
        if (heard <= kImpossible) {
            return;
        }
        others += std::exp(std::min(heard - chosen, 700.0));
        if (heard > bestOther) {
            bestOther = heard;
            alternative = c;
        }
    };
    if (arc.characters.size() > 1) {
        std::for_each(arc.characters.begin(), arc.characters.end(), consider);
    } else {
        for (int c = 0; c < static_cast<int>(alphabet_.size()); ++c) {
            consider(c);
        }
    }
    const Slot& first = slots_[static_cast<std::size_t>(step.start - slotBase_)];
    const Slot& last = slots_[static_cast<std::size_t>(step.end - 1 - slotBase_)];
    return {alphabet_[static_cast<std::size_t>(step.back.character)].character,
            arc.kind,
            step.back.prevNode,
            step.node,
            step.back.wordGap,
            first.startSeconds,
            last.endSeconds,
            1.0 / (1.0 + others),
            alternative < 0 ? '\0' : alphabet_[static_cast<std::size_t>(alternative)].character,
            first.estimate};
}

void SequenceDecoder::Commit(int horizon) {
    const auto [boundary, node] = BestAlive();
    if (boundary < 0) {
        return;
    }
    const std::vector<Step> steps = Trace(boundary, node);
    const int newest = boundaryBase_ + static_cast<int>(boundaries_.size()) - 1;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const Step& step = steps[i];
        if (step.end > horizon) {
            break;
        }
        if (step.start <= committedEnd_ || step.start < slotBase_) {
            continue;
        }
        const int nextStart = i + 1 < steps.size() ? steps[i + 1].start : newest + kCharacterGap;
        heard_.push_back(Describe(step, nextStart));
        committedEnd_ = step.end;
    }
}

void SequenceDecoder::Finish() {
    Commit(std::numeric_limits<int>::max());
}

std::vector<HeardCharacter> SequenceDecoder::TakeHeard() {
    return std::exchange(heard_, {});
}

std::vector<HeardCharacter> SequenceDecoder::Provisional(std::span<const Slot> ahead) const {
    SequenceDecoder copy = *this;
    copy.heard_.clear();
    // Everything ahead is decided at once at the end: nothing is committed or let go before.
    for (const Slot& slot : ahead) {
        copy.Extend(slot);
    }
    copy.Finish();
    return copy.TakeHeard();
}

}  // namespace telvane::morse
