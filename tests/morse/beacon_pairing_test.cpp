// Beacons copied on two tones at once: one copy of each beacon comes out, the more confident,
// once both tones' decisions are well past it, and in the order the beacons began.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "beacon_pairing.h"

namespace telvane::morse {
namespace {

CopiedBeacon Copy(double start, double end, double confidence) {
    CopiedBeacon beacon;
    beacon.startSeconds = start;
    beacon.endSeconds = end;
    beacon.confidence = confidence;
    return beacon;
}

// A beacon copied with one line of digits.
CopiedBeacon Beacon(double start, double end, double confidence) {
    CopiedBeacon beacon = Copy(start, end, confidence);
    beacon.lines[1] = {"ZK2 1", std::vector<double>(5, 1.0), std::vector<char>(5, '\0')};
    return beacon;
}

// A beacon copied with every line, `digits` after each header.
CopiedBeacon Full(double start, double end, double confidence, const std::string& digits) {
    CopiedBeacon beacon = Copy(start, end, confidence);
    for (std::size_t k = 0; k < kLineCount; ++k) {
        const std::string text = "ZK" + std::to_string(k + 1) + " " + digits;
        beacon.lines[k] = {text, std::vector<double>(text.size(), 1.0),
                           std::vector<char>(text.size(), '\0')};
    }
    return beacon;
}

struct PairingCase {
    const char* name;
    std::vector<CopiedBeacon> added;
    double heardMain;
    double heardSecond;
    std::vector<double> released;  // confidences, in order
    std::size_t total;             // out once the recording has ended
};

class BeaconPairingTest : public ::testing::TestWithParam<PairingCase> {};

TEST_P(BeaconPairingTest, ReleasesOneCopyOfEachBeacon) {
    const PairingCase& c = GetParam();
    BeaconPairing pairing;
    for (const CopiedBeacon& beacon : c.added) {
        pairing.Add(beacon);
    }
    pairing.Heard(0, c.heardMain);
    pairing.Heard(1, c.heardSecond);
    std::vector<double> released;
    for (const CopiedBeacon& beacon : pairing.Take()) {
        released.push_back(beacon.confidence);
    }
    EXPECT_EQ(released, c.released);
    pairing.Finish();
    EXPECT_EQ(released.size() + pairing.Take().size(), c.total);
}

INSTANTIATE_TEST_SUITE_P(
    Copies, BeaconPairingTest,
    ::testing::Values(PairingCase{"OverlappingCopiesAreOne",
                                  {Beacon(10, 60, 0.4), Beacon(20, 70, 0.9)},
                                  200,
                                  200,
                                  {0.9},
                                  1},
                      PairingCase{"SeparateBeaconsInTheOrderTheyBegan",
                                  {Beacon(100, 150, 0.7), Beacon(10, 60, 0.8)},
                                  200,
                                  200,
                                  {0.8, 0.7},
                                  2},
                      // One tone's copy began early, in the end of the beacon before.
                      PairingCase{"OverlappingCopiesOfTwoBeaconsAreTwo",
                                  {Full(55, 100, 0.7, "9F 8E 7D"), Full(10, 60, 0.8, "0A 1B 2C")},
                                  200,
                                  200,
                                  {0.8, 0.7},
                                  2},
                      PairingCase{"CopiesMisheardHereAndThereAreOne",
                                  {Full(12, 60, 0.7, "0A 1E 2C"), Full(10, 60, 0.8, "0A 1B 2C")},
                                  200,
                                  200,
                                  {0.8},
                                  1},
                      PairingCase{"WaitsForTheSlowerTone", {Beacon(10, 60, 0.8)}, 200, 85, {}, 1},
                      PairingCase{
                          "ReleasedOnceBothArePast", {Beacon(10, 60, 0.8)}, 91, 91, {0.8}, 1}),
    [](const auto& info) { return std::string(info.param.name); });

// A part of a beacon: lines `first`..`last` (1-based) heard, each "ZKn 1", sure of every
// character, keyed from `start` to `end` at `wpm`.
CopiedBeacon Part(int first, int last, double start, double end, double wpm) {
    CopiedBeacon beacon = Copy(start, end, 0);
    beacon.speedWpm = wpm;
    for (int line = first; line <= last; ++line) {
        beacon.lines[static_cast<std::size_t>(line - 1)] = {"ZK" + std::to_string(line) + " 1",
                                                            std::vector<double>(5, 1.0),
                                                            std::vector<char>(5, '\0')};
    }
    return beacon;
}

struct JoinCase {
    const char* name;
    CopiedBeacon earlier;
    CopiedBeacon later;
    std::size_t beacons;  // out at the end
};

class BeaconJoinTest : public ::testing::TestWithParam<JoinCase> {};

// A beacon whose two tones traded places in a fade is copied in two parts, one on each tone: the
// parts come out as one beacon, in either order of arrival, even where the later tone's grid began
// before the earlier part ended; other beacons stay apart.
TEST_P(BeaconJoinTest, PartsOfOneBeaconComeOutAsOne) {
    const JoinCase& c = GetParam();
    for (const bool laterFirst : {false, true}) {
        BeaconPairing pairing;
        pairing.Add(laterFirst ? c.later : c.earlier);
        pairing.Add(laterFirst ? c.earlier : c.later);
        pairing.Finish();
        const std::vector<CopiedBeacon> out = pairing.Take();
        ASSERT_EQ(out.size(), c.beacons) << (laterFirst ? "later part added first" : "");
        if (c.beacons == 1) {
            for (std::size_t k = 0; k < kLineCount; ++k) {
                EXPECT_EQ(out[0].lines[k].text, c.earlier.lines[k].text + c.later.lines[k].text);
            }
            EXPECT_EQ(out[0].startSeconds, c.earlier.startSeconds);
            EXPECT_EQ(out[0].endSeconds, c.later.endSeconds);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Parts, BeaconJoinTest,
    ::testing::Values(
        JoinCase{"LinesOneToThreeThenFourToSix", Part(1, 3, 3, 44.7, 15.7),
                 Part(4, 6, 45.2, 82.1, 15.7), 1},
        JoinCase{"OverlappingInTime", Part(1, 3, 3, 44.7, 15.7), Part(4, 6, 36.8, 82.1, 15.7), 1},
        JoinCase{"ALineLostBetween", Part(1, 3, 13, 42, 17.4), Part(5, 6, 60, 86, 17.6), 1},
        JoinCase{"AnotherSpeed", Part(1, 3, 3, 44.7, 15.7), Part(4, 6, 45.2, 82.1, 20), 2},
        JoinCase{"LinesNotAfterTheFirstPart", Part(1, 3, 3, 44.7, 15.7),
                 Part(3, 6, 45.2, 82.1, 15.7), 2},
        JoinCase{"TooFarApartForTheLinesBetween", Part(1, 3, 3, 44.7, 15.7),
                 Part(5, 6, 120, 150, 15.7), 2}),
    [](const auto& info) { return std::string(info.param.name); });

// Three copies of one beacon: the main tone's, its last line cut short; a reread's, up to line 5
// or line 6's header; and the second tone's part holding line 6 alone, begun after the reread's
// ended but before the main tone's. Whatever order they come in, one beacon comes out, from the
// first line's start to the last one's end, with the estimates of the main tone's copy. A merge's
// confidence, lower than the main tone's copy alone, let the reread's take over in some orders;
// and a reread up to line 5 joined the second tone's part as two parts of the beacon when that
// came first, and the joined copy's estimates took over.
TEST(BeaconPairing, CopiesOfOneBeaconComeOutAsOneInAnyOrder) {
    for (const bool rereadHeardLineSix : {true, false}) {
        CopiedBeacon reread = Part(1, 5, 11.5, 57.4, 20.8);
        if (rereadHeardLineSix) {
            reread.lines[5] = {"ZK6", std::vector<double>(3, 1.0), std::vector<char>(3, '\0')};
        }
        CopiedBeacon last = Part(6, 6, 57.6, 70.3, 20.8);
        last.lines[5] = {"ZK6 0 969 7", std::vector<double>(11, 1.0), std::vector<char>(11, '\0')};
        std::vector<CopiedBeacon> copies = {Part(1, 6, 11.5, 62.2, 20.8), reread, last};
        // Below the 0.51 a join of the reread's and the second tone's parts gives.
        copies[0].confidence = 0.45;
        copies[1].confidence = 0.4;
        copies[2].confidence = 0.2;
        for (std::size_t k = 0; k < copies.size(); ++k) {
            copies[k].toneHz = 400.0 + 100.0 * static_cast<double>(k);
        }
        std::vector<std::size_t> order = {0, 1, 2};
        do {
            BeaconPairing pairing;
            for (const std::size_t k : order) {
                pairing.Add(copies[k], static_cast<int>(k));
            }
            pairing.Finish();
            const std::vector<CopiedBeacon> out = pairing.Take();
            const std::string seen = std::string(rereadHeardLineSix ? "to line 6" : "to line 5") +
                                     ", order " + std::to_string(order[0]) +
                                     std::to_string(order[1]) + std::to_string(order[2]);
            ASSERT_EQ(out.size(), 1U) << seen;
            EXPECT_EQ(out[0].startSeconds, 11.5) << seen;
            EXPECT_EQ(out[0].endSeconds, 70.3) << seen;
            EXPECT_EQ(out[0].lines[5].text, last.lines[5].text) << seen;
            EXPECT_EQ(out[0].toneHz, copies[0].toneHz) << seen;
        } while (std::next_permutation(order.begin(), order.end()));
    }
}

// A copy begun well after the other holds no line 1 of this beacon, only a later line whose "Z"
// was lost: line 1 stays the one copied from the beacon's start, however sure the other.
TEST(BeaconPairing, LineOneComesFromTheCopyThatHeardTheBeaconBegin) {
    CopiedBeacon whole = Part(1, 6, 16.8, 87.1, 15.9);
    whole.confidence = 0.9;
    CopiedBeacon late = Part(2, 6, 54.2, 87.1, 15.9);
    const std::string misread = "ZK1 IK5 E 8A33 A";
    late.lines[0] = {misread, std::vector<double>(misread.size(), 1.0),
                     std::vector<char>(misread.size(), '\0')};
    late.confidence = 0.5;
    BeaconPairing pairing;
    pairing.Add(whole);
    pairing.Add(late);
    pairing.Finish();
    const std::vector<CopiedBeacon> out = pairing.Take();
    ASSERT_EQ(out.size(), 1U);
    EXPECT_EQ(out[0].lines[0].text, "ZK1 1");
    EXPECT_EQ(out[0].startSeconds, 16.8);
}

// A copy of line 1 alone, as the tone that heard it read on into another station's traffic.
CopiedBeacon LineOne(const std::string& text, double start, double end) {
    CopiedBeacon beacon = Copy(start, end, 0.18);
    beacon.lines[0] = {text, std::vector<double>(text.size(), 0.9),
                       std::vector<char>(text.size(), '\0')};
    return beacon;
}

// `beacon` with line 1's header heard and nothing after it.
CopiedBeacon HeaderAlone(CopiedBeacon beacon) {
    beacon.lines[0] = {"ZK1", std::vector<double>(3, 1.0), std::vector<char>(3, '\0')};
    return beacon;
}

struct LendCase {
    const char* name;
    CopiedBeacon lender;
    CopiedBeacon borrower;
    std::string lineOne;  // of the one beacon out
    double start;
};

class BeaconLendTest : public ::testing::TestWithParam<LendCase> {};

// The tones traded places after line 1: the copy of line 1 alone lends it, up to the next header
// heard, to the copy lacking it that began within a line after it, in either order of arrival.
// It never comes out alone, and never replaces a line 1 copied, nor lends traffic read on.
TEST_P(BeaconLendTest, LineOneAloneIsLentToTheCopyLackingIt) {
    const LendCase& c = GetParam();
    for (const bool borrowerFirst : {false, true}) {
        BeaconPairing pairing;
        pairing.Add(borrowerFirst ? c.borrower : c.lender);
        pairing.Add(borrowerFirst ? c.lender : c.borrower);
        pairing.Finish();
        const std::vector<CopiedBeacon> out = pairing.Take();
        ASSERT_EQ(out.size(), 1U) << (borrowerFirst ? "borrower added first" : "");
        EXPECT_EQ(out[0].lines[0].text, c.lineOne);
        EXPECT_EQ(out[0].startSeconds, c.start);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Copies, BeaconLendTest,
    ::testing::Values(LendCase{"UpToTheNextHeader",
                               LineOne("ZK1 WXW VB SLM N ZK O H B7", 8.3, 67.9),
                               Part(2, 6, 16.5, 64, 21.2), "ZK1 WXW VB SLM N", 8.3},
                      LendCase{"NotToACopyBegunLater", LineOne("ZK1 WXW VB SLM N", 8.3, 17.3),
                               Part(2, 6, 30, 78, 21.2), "", 30},
                      LendCase{"ToACopyOfTheHeaderAlone", LineOne("ZK1 WXW VB SLM N", 8.3, 17.3),
                               HeaderAlone(Part(2, 6, 13.3, 64, 21.2)), "ZK1 WXW VB SLM N", 8.3},
                      LendCase{"NotOverALineOneCopied", LineOne("ZK1 WXW VB SLM N", 8.3, 17.3),
                               Part(1, 6, 9, 64, 21.2), "ZK1 1", 9},
                      LendCase{"NotTrafficReadOn",
                               LineOne("ZK1 U DE QI1ETY K CQ CQ DE HU1VKI K CQ", 63, 80),
                               Part(2, 6, 66, 110, 26.7), "", 66}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BeaconPairing, ABeaconMissingItsLastLinesWaitsAsLongAsTheyTakeToKey) {
    BeaconPairing pairing;
    pairing.Add(Part(1, 3, 3, 44.7, 15.7));  // three lines of 250 dits at 15.7 WPM: 57 s
    pairing.Heard(0, 100);
    pairing.Heard(1, 100);
    EXPECT_TRUE(pairing.Take().empty());
    pairing.Heard(0, 140);
    pairing.Heard(1, 140);
    EXPECT_EQ(pairing.Take().size(), 1U);
}

}  // namespace
}  // namespace telvane::morse
