// Line 4: battery and solar array voltages, battery temperature, and the recalibration of the
// reference voltage from the battery reading while the battery is trickle charging.

#include "beacon_layout.h"
#include "calibration.h"
#include "decoders.h"
#include "front_end.h"
#include "number_format.h"
#include "readings.h"

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

PowerReading ReadPowerLine(std::string_view field, bool trickle) {
    PowerReading r{};
    r.vref = kNominalVref;
    const auto [battery, solar, temperature] = ReadByteFields<3>(field);
    r.batteryCount = battery;
    r.batteryVolts = r.batteryCount * kBatteryVoltsPerCount;
    if (r.batteryVolts < kTrickleBatteryVolts && trickle) {
        // A trickle-charging battery sits at 4.1 V: take it as the calibration point. A zero
        // count gives an infinite reference, which the later sections print as such.
        r.vref = kCalibrationNumerator / r.batteryCount;
        r.batteryVolts = kTrickleBatteryVolts;
        r.recalibrated = true;
    }
    r.solarCount = solar;
    r.solarVolts = r.solarCount * r.vref * kSolarVoltsPerCountPerVref;
    r.temperatureCount = temperature;
    const double count = BatteryTemperatureCount(r.temperatureCount, r.vref);
    r.batteryCelsius =
        (count + kBatteryCalibration.offset) * kBatteryCalibration.gain - kBatteryCalibration.shift;
    return r;
}

void DecodePowerLine(ConversionState& state) {
    std::string& line = state.m_strLine4;
    if (line.empty()) {
        return;
    }
    CompactField(line, kLineWidths[3]);
    const PowerReading r = ReadPowerLine(line, state.m_bTrickle);
    state.m_dVref = r.vref;

    std::string& out = state.m_strResult;
    AppendReading(out, "Battery voltage\t\t\t", r.batteryVolts, "V\r\n");
    AppendReading(out, "Battery temperature\t\t", r.batteryCelsius, "\x81\x8E\r\n");  // "℃"
    AppendReading(out, "Solar array voltage\t\t", r.solarVolts, "V\r\n");
}

}  // namespace telvane
