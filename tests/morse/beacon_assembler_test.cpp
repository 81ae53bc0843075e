// A line's header reads as its place in the beacon says, whichever of its letters were heard: the
// search may settle on a path whose earlier letters it had already committed as something else.

#include "beacon_assembler.h"

#include <gtest/gtest.h>

#include <vector>

namespace telvane::morse {
namespace {

// The grammar's node at a place in the beacon (line 0-based, -1 for traffic).
int NodeAt(int line, int headerCharacters, int bodyCharacters) {
    const BeaconGrammar& grammar = TheBeaconGrammar();
    for (std::size_t n = 0; n < grammar.nodes.size(); ++n) {
        const GrammarNode& node = grammar.nodes[n];
        if (node.line == line && node.headerCharacters == headerCharacters &&
            node.bodyCharacters == bodyCharacters) {
            return static_cast<int>(n);
        }
    }
    ADD_FAILURE() << "no node at line " << line;
    return 0;
}

struct Step {
    char character;
    ArcKind kind;
    std::array<int, 3> from;  // line, header characters, body characters
    std::array<int, 3> to;
};

struct HeaderCase {
    const char* name;
    std::vector<Step> steps;
    const char* line5;
};

class BeaconAssemblerHeader : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(BeaconAssemblerHeader, ReadsAsItsPlaceSays) {
    BeaconAssembler assembler;
    double time = 0;
    for (const Step& step : GetParam().steps) {
        HeardCharacter heard;
        heard.character = step.character;
        heard.kind = step.kind;
        heard.fromNode = NodeAt(step.from[0], step.from[1], step.from[2]);
        heard.toNode = NodeAt(step.to[0], step.to[1], step.to[2]);
        heard.afterWordGap = step.kind == ArcKind::kBody && step.from[2] == 0;
        heard.startSeconds = time;
        heard.endSeconds = time + 0.5;
        heard.confidence = 1.0;
        time += 1.0;
        assembler.Add(heard);
    }
    assembler.Finish();
    const std::vector<CopiedBeacon> beacons = assembler.TakeBeacons();
    ASSERT_EQ(beacons.size(), 1U);
    EXPECT_EQ(beacons[0].lines[4].text, GetParam().line5);
}

constexpr std::array<int, 3> kTraffic{-1, 0, 0};
constexpr std::array<int, 3> kLine4End{3, 3, 6};
constexpr std::array<int, 3> kZ{4, 1, 0};
constexpr std::array<int, 3> kZK{4, 2, 0};
constexpr std::array<int, 3> kZK5{4, 3, 0};
constexpr std::array<int, 3> kFirstDigit{4, 3, 1};

INSTANTIATE_TEST_SUITE_P(
    Paths, BeaconAssemblerHeader,
    ::testing::Values(HeaderCase{"Heard",
                                 {{'Z', ArcKind::kHeader, kTraffic, kZ},
                                  {'K', ArcKind::kHeader, kZ, kZK},
                                  {'5', ArcKind::kHeader, kZK, kZK5},
                                  {'D', ArcKind::kBody, kZK5, kFirstDigit}},
                                 "ZK5 D"},
                      HeaderCase{"ZuluLostAfterTheLineBefore",
                                 {{'K', ArcKind::kHeader, kLine4End, kZK},
                                  {'5', ArcKind::kHeader, kZK, kZK5},
                                  {'D', ArcKind::kBody, kZK5, kFirstDigit}},
                                 "ZK5 D"},
                      HeaderCase{"ZuluCommittedAsTraffic",
                                 {{'E', ArcKind::kOtherText, kTraffic, kTraffic},
                                  {'K', ArcKind::kHeader, kZ, kZK},
                                  {'5', ArcKind::kHeader, kZK, kZK5},
                                  {'D', ArcKind::kBody, kZK5, kFirstDigit}},
                                 "ZK5 D"},
                      HeaderCase{"StartedAgain",
                                 {{'Z', ArcKind::kHeader, kTraffic, kZ},
                                  {'K', ArcKind::kHeader, kZ, kZK},
                                  {'Z', ArcKind::kHeader, kTraffic, kZ},
                                  {'K', ArcKind::kHeader, kZ, kZK},
                                  {'5', ArcKind::kHeader, kZK, kZK5},
                                  {'D', ArcKind::kBody, kZK5, kFirstDigit}},
                                 "ZK5 D"},
                      HeaderCase{"NumberCommittedAsTraffic",
                                 {{'Z', ArcKind::kHeader, kTraffic, kZ},
                                  {'K', ArcKind::kHeader, kZ, kZK},
                                  {'5', ArcKind::kOtherText, kTraffic, kTraffic},
                                  {'D', ArcKind::kBody, kZK5, kFirstDigit}},
                                 "ZK5 D"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace telvane::morse
