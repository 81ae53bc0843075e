#pragma once

// The likeliest sequence of characters under the beacon grammar, decided slot by slot: a Viterbi
// search whose states are the grammar's nodes at each slot boundary. Characters are committed a
// fixed number of slots behind the newest slot, so memory stays flat however long it runs.

#include <array>
#include <deque>
#include <span>
#include <utility>
#include <vector>

#include "beacon_grammar.h"
#include "slot_likelihood.h"

namespace telvane::morse {

// A character as decided, with where it sits in the grammar.
struct HeardCharacter {
    char character = '\0';
    ArcKind kind = ArcKind::kOtherText;
    int fromNode = 0;
    int toNode = 0;
    bool afterWordGap = false;
    double startSeconds = 0;
    double endSeconds = 0;
    double confidence = 0;    // probability of this character against the others it could be
    char alternative = '\0';  // the likeliest of those others
    SignalEstimate estimate;  // when the character began
};

class SequenceDecoder {
public:
    // The search starts at grammar node `startNode`, a character just ended there; -1 starts it
    // in traffic.
    explicit SequenceDecoder(int lagSlots, int startNode = -1);

    void Push(const Slot& slot);
    // Commits everything still open, ending wherever the search is likeliest to be.
    void Finish();
    std::vector<HeardCharacter> TakeHeard();
    // What would still be decided if `ahead` were the last slots: the characters not yet
    // committed, for a live display; nothing changes.
    std::vector<HeardCharacter> Provisional(std::span<const Slot> ahead) const;

private:
    struct Back {
        int prevBoundary = -1;
        int prevNode = -1;
        int arc = -1;
        int character = -1;
        bool wordGap = false;
    };
    // The best idle score among the nodes of an arc family (see the decoder), and where it is.
    struct FamilyIdle {
        double score = 0;
        int origin = -1;
        int arc = -1;
    };
    // The search at one slot boundary: a character ending here, or a word gap reaching here.
    struct Boundary {
        std::vector<double> score;
        std::vector<Back> back;
        std::vector<double> idle;
        std::vector<int> idleOrigin;
        std::vector<FamilyIdle> familyIdle;
    };
    struct Step {
        int start = 0;
        int end = 0;
        Back back;
        int node = 0;
    };

    // Adds a slot to the search; returns the boundary after it.
    int Extend(const Slot& slot);
    Boundary Unreached() const;
    const Boundary* At(int boundary) const;
    double Score(int boundary, int node) const;
    Boundary Carried(int end) const;
    Boundary Advance(int end) const;
    void SetFamilyIdle(Boundary& boundary) const;
    std::pair<int, int> BestAlive() const;
    std::vector<Step> Trace(int boundary, int node) const;
    void Commit(int horizon);
    HeardCharacter Describe(const Step& step, int nextStart) const;
    // Of the character's first `length` slots keyed from `start`.
    double Likelihood(int character, int start, int length) const;

    int Length(int character) const { return lengths_[static_cast<std::size_t>(character)]; }

    const BeaconGrammar& grammar_;
    std::span<const CharacterShape> alphabet_;
    const std::vector<int>& lengths_;  // of each character of the alphabet, in slots
    int lag_;
    std::deque<Slot> slots_;
    // For each slot, the likelihood of a key-down run of 1, 2 and 3 slots starting there (filled
    // as the later slots arrive): every character's likelihood is a sum of these.
    std::deque<std::array<double, kLongestRun>> runs_;
    int slotBase_ = 0;
    std::deque<Boundary> boundaries_;
    int boundaryBase_ = 0;
    int committedEnd_ = -1;
    std::vector<HeardCharacter> heard_;
};

}  // namespace telvane::morse
