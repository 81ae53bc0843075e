// The carrier phase told by the slots around a run: along the keyed carrier where there is
// keying, and with little concentration where there is only noise.

#include "phase_reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

namespace telvane::morse {
namespace {

struct ReferenceCase {
    const char* name;
    double amplitude;  // of a key-down slot; 0 for noise alone
    double phase;      // of the carrier
    double leastConcentration;
    double mostConcentration;
};

class PhaseReferenceCases : public ::testing::TestWithParam<ReferenceCase> {};

TEST_P(PhaseReferenceCases, FollowTheCarrier) {
    const ReferenceCase& c = GetParam();
    std::mt19937 random(21);
    std::normal_distribution<double> noise(0.0, std::sqrt(0.5));
    std::vector<std::complex<double>> values(200);
    for (std::size_t k = 0; k < values.size(); ++k) {
        const bool keyed = k % 4 != 3 && k % 7 != 2;
        values[k] = (keyed ? std::polar(c.amplitude, c.phase) : 0.0) +
                    std::complex<double>(noise(random), noise(random));
    }
    const double assumed = c.amplitude > 0 ? c.amplitude : 3.0;
    const std::vector<std::complex<double>> references = PhaseReferences(values, assumed);
    ASSERT_EQ(references.size(), values.size());
    for (std::size_t k = 20; k + 20 < references.size(); k += 10) {
        const double concentration = std::abs(references[k]);
        EXPECT_GE(concentration, c.leastConcentration) << "slot " << k;
        EXPECT_LE(concentration, c.mostConcentration) << "slot " << k;
        if (c.amplitude > 0) {
            EXPECT_NEAR(std::remainder(std::arg(references[k]) - c.phase, 2 * std::numbers::pi),
                        0.0, 0.3)
                << "slot " << k;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, PhaseReferenceCases,
                         ::testing::Values(ReferenceCase{"Strong", 5.0, 1.0, 200, 1e4},
                                           ReferenceCase{"Faint", 2.5, -2.0, 30, 1e3},
                                           ReferenceCase{"NoiseAlone", 0.0, 0.0, 0, 100}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace telvane::morse
