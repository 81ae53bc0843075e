// Line 4: battery and solar array voltages, battery temperature, and the recalibration of the
// reference voltage from the battery reading while the battery is trickle charging.

#include "calibration.h"
#include "decoders.h"
#include "front_end.h"
#include "number_format.h"

namespace telvane {
namespace {

constexpr double kBatteryVoltsPerCount = 0.07482352941176469;
constexpr double kTrickleBatteryVolts = 4.1;
constexpr double kCalibrationNumerator = 261.375;  // kTrickleBatteryVolts * 255 / 4
constexpr double kSolarVoltsPerCountPerVref = 0.01568627450980392;
constexpr double kCorrectionVrefOffset = 1.908;

// The battery temperature count, corrected for a reference above the threshold.
double BatteryTemperatureCount(int count, double vref) {
    if (vref > kCorrectionVrefThreshold) {
        return ((count * kCorrectionCountFactor + kCorrectionOffsetFactor) * vref -
                kCorrectionVrefOffset) *
               kCorrectionScale;
    }
    return count;
}

}  // namespace

void DecodePowerLine(ConversionState& state) {
    std::string& line = state.m_strLine4;
    if (line.empty()) {
        return;
    }
    CompactField(line, 6);
    const std::string_view field(line);
    state.m_dVref = kNominalVref;

    const int battery = HexToInt(field.substr(0, 2));
    double batteryVolts = battery * kBatteryVoltsPerCount;
    if (batteryVolts < kTrickleBatteryVolts && state.m_bTrickle) {
        // A trickle-charging battery sits at 4.1 V: take it as the calibration point. A zero
        // count gives an infinite reference, which the later sections print as such.
        state.m_dVref = kCalibrationNumerator / battery;
        batteryVolts = kTrickleBatteryVolts;
    }

    const int solar = HexToInt(field.substr(2, 2));
    const double solarVolts = solar * state.m_dVref * kSolarVoltsPerCountPerVref;

    const double count = BatteryTemperatureCount(HexToInt(field.substr(4, 2)), state.m_dVref);
    const double celsius =
        (count + kBatteryCalibration.offset) * kBatteryCalibration.gain - kBatteryCalibration.shift;

    std::string& out = state.m_strResult;
    AppendReading(out, "Battery voltage\t\t\t", batteryVolts, "V\r\n");
    AppendReading(out, "Battery temperature\t\t", celsius, "\x81\x8E\r\n");  // "℃" in code page 932
    AppendReading(out, "Solar array voltage\t\t", solarVolts, "V\r\n");
}

}  // namespace telvane
