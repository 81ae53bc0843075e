// Line 6: eight temperature readings and the received signal strength.

#include <array>

#include "beacon_layout.h"
#include "calibration.h"
#include "decoders.h"
#include "front_end.h"
#include "number_format.h"
#include "panels.h"

namespace telvane {
namespace {

struct TemperatureSensor {
    const char* label;
    SensorCalibration calibration;
};

constexpr std::array<TemperatureSensor, kTemperatureSensorCount> kSensors = {{
    {kPanelLabels[0], {298.43, 0.7032607243084324, 287.12}},
    {kPanelLabels[1], {298.36, 0.7063142437591777, 287.89}},
    {kPanelLabels[2], {296.79, 0.7038154630188426, 287.44}},
    {kPanelLabels[3], {297.8, 0.7100528392749649, 288.55}},
    {kPanelLabels[4], {298.51, 0.6981636060100167, 285.08}},
    {kPanelLabels[5], {297.81, 0.7126044801069875, 289.76}},
    {"  Battery\t\t\t\t", kBatteryCalibration},
    {"  Transmitter\t\t\t", {299.6, 0.7119264833189053, 290.31}},
}};

constexpr double kCountsPerDigit = 16.0;
constexpr double kRssiCountScale = 0.00392156862745098;  // 1 / 255
constexpr double kRssiOffset = 0.0208;
constexpr double kRssiScale = 3.8835;

// The temperature count, corrected for a reference above the threshold.
double TemperatureCount(int digit, double vref) {
    const double count = digit * kCountsPerDigit;
    if (vref > kCorrectionVrefThreshold) {
        return ((vref - kNominalVref) * kCorrectionOffsetFactor +
                count * vref * kCorrectionCountFactor) *
               kCorrectionScale;
    }
    return count;
}

}  // namespace

TemperatureReading ReadTemperatureLine(std::string_view field, double vref) {
    TemperatureReading r{};
    for (int k = 0; k < kTemperatureSensorCount; ++k) {
        const SensorCalibration& cal = kSensors[k].calibration;
        r.counts[k] = HexToInt(field.substr(k, 1));
        r.celsius[k] = (TemperatureCount(r.counts[k], vref) + cal.offset) * cal.gain - cal.shift;
    }
    r.rssiCount = HexToInt(field.substr(8, 2));
    r.rssiDbu = (r.rssiCount * vref * kRssiCountScale + kRssiOffset) * kRssiScale;
    return r;
}

void DecodeTemperatureLine(ConversionState& state) {
    std::string& line = state.m_strLine6;
    if (line.empty()) {
        return;
    }
    CompactField(line, kLineWidths[5]);
    const TemperatureReading r = ReadTemperatureLine(line, state.m_dVref);

    std::string& out = state.m_strResult;
    out += "Temperature\r\n";
    for (int k = 0; k < kTemperatureSensorCount; ++k) {
        AppendReading(out, kSensors[k].label, r.celsius[k], "deg\r\n");
    }
    AppendReading(out, "RSSI\t\t\t\t\t", r.rssiDbu, "dBu\r\n");
}

}  // namespace telvane
