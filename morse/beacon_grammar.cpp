#include "beacon_grammar.h"

#include <array>
#include <cmath>
#include <string_view>
#include <utility>

#include "beacon_layout.h"
#include "morse_code.h"

namespace telvane::morse {
namespace {

// Log priors: a beacon is rarer than a character of other traffic, and a beacon heard from a
// later line on (its start missed) or broken off is rarer still.
constexpr double kBeaconStart = -4.0;
constexpr double kLaterLineStart = -8.0;
constexpr double kBreakOff = -16.0;
constexpr double kOtherCharacter = -1.0;
// A line's header heard from its "K" on, the "Z" lost.
constexpr double kLostZulu = -6.0;
// Line 1's header so, after traffic, its "Z" lost or heard as another letter keyed just before:
// dearer than a beacon's start, cheaper than a later line's.
constexpr double kLostFirstZulu = -7.0;
// Line 1 followed by a later line's header, the lines between lost in the noise and read as line
// 1's text: without a way on to a later header, or to a new beacon, line 1's free text (cheaper
// per character than other traffic) would take in the rest of the beacon and what follows it.
constexpr double kLostLines = -6.0;
// Line 1 (a web address, a short one) ends only where a header is heard: each further character
// is a little less likely, so that a header lost in the noise does not hand line 1 what follows.
constexpr double kLineOneRunsOn = -0.5;
// A line's last digits lost in a deep fade, the next line's header heard after them: per digit
// lost. Without that way on, a line cut short takes the next one's header and text into line 1,
// or loses them.
constexpr double kLostDigit = -6.0;
// The line's number after "ZK" heard as another character in a fade (its share of the arc's
// characters comes on top).
constexpr double kMisheardLineNumber = -4.0;

std::vector<int> Indices(std::string_view characters) {
    std::vector<int> indices;
    for (const char c : characters) {
        indices.push_back(AlphabetIndex(c));
    }
    return indices;
}

std::vector<int> AllCharacters() {
    std::vector<int> indices(Alphabet().size());
    for (std::size_t i = 0; i < indices.size(); ++i) {
        indices[i] = static_cast<int>(i);
    }
    return indices;
}

std::vector<int> AllBut(char character) {
    std::vector<int> indices = AllCharacters();
    std::erase(indices, AlphabetIndex(character));
    return indices;
}

class Builder {
public:
    BeaconGrammar Build() {
        grammar_.otherNode = AddNode({});
        for (int line = 0; line < kLineCount; ++line) {
            AddLine(line);
        }
        AddTraffic();
        return std::move(grammar_);
    }

private:
    int AddNode(GrammarNode node) {
        grammar_.nodes.push_back(node);
        return static_cast<int>(grammar_.nodes.size()) - 1;
    }

    void AddArc(int from, int to, ArcKind kind, bool charGap, WordGap wordGap, double logPrior,
                std::vector<int> characters) {
        const double share = -std::log(static_cast<double>(characters.size()));
        grammar_.arcs.push_back(
            {from, to, kind, charGap, wordGap, logPrior + share, std::move(characters)});
    }

    // Header "ZKn" of a line: three nodes after its first, second and third character. The line's
    // text follows the header after a word gap only: "ZK" and a character within line 1's text,
    // keyed without one, is no new beacon whose line number was misheard.
    void AddLine(int line) {
        const std::string_view header = kLineHeaders[static_cast<std::size_t>(line)];
        headerFirst_[line] = AddNode({line, 1, 0, false});
        int node = headerFirst_[line];
        for (int heard = 2; heard <= static_cast<int>(header.size()); ++heard) {
            const int next = AddNode({line, heard, 0, false});
            const char expected = header[static_cast<std::size_t>(heard) - 1];
            AddArc(node, next, ArcKind::kHeader, true, WordGap::kNever, 0,
                   Indices(std::string_view(&expected, 1)));
            if (heard == 2) {
                headerSecond_[line] = next;
            } else {
                AddArc(node, next, ArcKind::kHeader, true, WordGap::kNever, kMisheardLineNumber,
                       AllBut(expected));
            }
            node = next;
        }
        const std::size_t width = kLineWidths[static_cast<std::size_t>(line)];
        if (width == 0) {
            lineEnds_[line].push_back(node);
            const int text = AddNode({line, 3, 1, false});
            AddArc(node, text, ArcKind::kBody, false, WordGap::kKeyed, 0, Indices(kUrlCharacters));
            AddArc(text, text, ArcKind::kBody, true, WordGap::kKeyed, kLineOneRunsOn,
                   Indices(kUrlCharacters));
            lineEnds_[line].push_back(text);
        } else {
            for (std::size_t digit = 1; digit <= width; ++digit) {
                const bool last = line == kLineCount - 1 && digit == width;
                const int next = AddNode({line, 3, static_cast<int>(digit), last});
                AddArc(node, next, ArcKind::kBody, digit > 1, WordGap::kKeyed, 0,
                       Indices(kHexDigits));
                cutShort_[line].push_back({node, static_cast<int>(width - digit + 1)});
                node = next;
            }
            lineEnds_[line].push_back(node);
        }
    }

    // Traffic around beacons, how a beacon starts, and how each line leads to the next.
    void AddTraffic() {
        const int other = grammar_.otherNode;
        const std::vector<int> zulu = Indices("Z");
        const auto any = WordGap::kAny;
        AddArc(other, other, ArcKind::kOtherText, true, any, kOtherCharacter, AllCharacters());
        AddArc(other, headerFirst_[0], ArcKind::kHeader, false, any, kBeaconStart, zulu);
        AddArc(other, headerSecond_[0], ArcKind::kHeader, true, any, kLostFirstZulu, Indices("K"));
        for (int line = 1; line < kLineCount; ++line) {
            AddArc(other, headerFirst_[line], ArcKind::kHeader, false, any, kLaterLineStart, zulu);
            for (const int end : lineEnds_[line - 1]) {
                AddArc(end, headerFirst_[line], ArcKind::kHeader, false, WordGap::kKeyed, 0, zulu);
                AddArc(end, headerSecond_[line], ArcKind::kHeader, false, any, kLostZulu,
                       Indices("K"));
            }
            if (line > 1) {
                AddArc(lineEnds_[0].back(), headerFirst_[line], ArcKind::kHeader, false, any,
                       kLostLines, zulu);
            }
            for (const auto& [node, lost] : cutShort_[line - 1]) {
                AddArc(node, headerFirst_[line], ArcKind::kHeader, false, any, kLostDigit * lost,
                       zulu);
            }
        }
        AddRestart();
        const int complete = lineEnds_[kLineCount - 1].back();
        AddArc(complete, other, ArcKind::kOtherText, false, any, kOtherCharacter, AllCharacters());
        AddArc(complete, headerFirst_[0], ArcKind::kHeader, false, any, kBeaconStart, zulu);
        for (int node = 1; node < static_cast<int>(grammar_.nodes.size()); ++node) {
            if (node != complete) {
                AddArc(node, other, ArcKind::kOtherText, false, any, kBreakOff, AllCharacters());
            }
        }
    }

    // A new beacon straight after line 1's text (traffic taken for line 1, and the beacon after
    // it): its header is heard whole. Line 1's text may hold "ZK", a character and a word gap,
    // which would otherwise read as a new header whose number was misheard.
    void AddRestart() {
        const std::string_view header = kLineHeaders[0];
        const int zulu = AddNode({0, 1, 0, false});
        const int kilo = AddNode({0, 2, 0, false});
        AddArc(lineEnds_[0].back(), zulu, ArcKind::kHeader, false, WordGap::kAny, kBeaconStart,
               Indices(header.substr(0, 1)));
        AddArc(zulu, kilo, ArcKind::kHeader, true, WordGap::kNever, 0,
               Indices(header.substr(1, 1)));
        // Line 1's ends are its whole header and its text.
        AddArc(kilo, lineEnds_[0].front(), ArcKind::kHeader, true, WordGap::kNever, 0,
               Indices(header.substr(2, 1)));
    }

    BeaconGrammar grammar_;
    std::array<int, kLineCount> headerFirst_{};
    std::array<int, kLineCount> headerSecond_{};
    std::array<std::vector<int>, kLineCount> lineEnds_;
    // Each node of a line short of its width, and the digits it lacks.
    std::array<std::vector<std::pair<int, int>>, kLineCount> cutShort_;
};

}  // namespace

const BeaconGrammar& TheBeaconGrammar() {
    static const BeaconGrammar grammar = Builder().Build();
    return grammar;
}

}  // namespace telvane::morse
