// Beacons copied on two tones at once: one copy of each beacon comes out, the more confident,
// once both tones' decisions are well past it, and in the order the beacons began.

#include <gtest/gtest.h>

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
    ::testing::Values(
        PairingCase{
            "OverlappingCopiesAreOne", {Copy(10, 60, 0.4), Copy(20, 70, 0.9)}, 200, 200, {0.9}, 1},
        PairingCase{"SeparateBeaconsInTheOrderTheyBegan",
                    {Copy(100, 150, 0.7), Copy(10, 60, 0.8)},
                    200,
                    200,
                    {0.8, 0.7},
                    2},
        PairingCase{"WaitsForTheSlowerTone", {Copy(10, 60, 0.8)}, 200, 85, {}, 1},
        PairingCase{"ReleasedOnceBothArePast", {Copy(10, 60, 0.8)}, 91, 91, {0.8}, 1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace telvane::morse
