#pragma once

// Calibration constants that more than one decoder uses. Every value is exact as written: the
// report must reproduce the satellite team's own arithmetic to the last rounding.

namespace telvane {

inline constexpr double kNominalVref = 4.77;

// Above this reference the temperature counts are corrected for it.
inline constexpr double kCorrectionVrefThreshold = 5.0;

// The temperature count correction; the power and temperature lines each keep their own
// order of operations around these factors.
inline constexpr double kCorrectionCountFactor = 0.00130718954248366;
inline constexpr double kCorrectionOffsetFactor = 0.4;
inline constexpr double kCorrectionScale = 160.37735849056605;

// Linear temperature calibration: T = (count + offset) * gain - shift.
struct SensorCalibration {
    double offset;
    double gain;
    double shift;
};

inline constexpr SensorCalibration kBatteryCalibration{297.06, 0.708994708994709, 287.71};

}  // namespace telvane
