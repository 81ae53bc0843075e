#pragma once

// The values each line decoder reads from its normalised line, before they are formatted: the
// report is written from these, and machine-readable output exports them.

#include <array>
#include <cstdint>
#include <string_view>

namespace telvane {

inline constexpr int kPanelCount = 6;
inline constexpr int kTemperatureSensorCount = 8;

struct TimeReading {
    std::array<std::int32_t, 3> bytes;  // most significant first
    long counter;
};

struct StatusReading {
    std::array<std::int32_t, 3> bytes;
    int uplinkCount;
    int cameraCount;
    int selCount;
    bool antennaDeployed;
    int dutyRatioCode;  // 0: 0, 1: less than 0.3, 2: 0.3, 3: more than 0.3
    bool watchdogReset;
    bool trickleCharge;
    bool obcDead;
    bool fmSending;
};

struct PowerReading {
    std::int32_t batteryCount;
    std::int32_t solarCount;
    std::int32_t temperatureCount;
    double batteryVolts;
    double solarVolts;
    double batteryCelsius;
    double vref;        // the reference voltage after this line
    bool recalibrated;  // vref was taken from the battery reading
};

struct CurrentReading {
    std::array<std::int32_t, kPanelCount> counts;
    std::array<double, kPanelCount> milliamps;  // +X, -X, +Y, -Y, +Z, -Z
};

struct TemperatureReading {
    std::array<std::int32_t, kTemperatureSensorCount> counts;
    std::array<double, kTemperatureSensorCount> celsius;  // six panels, battery, transmitter
    std::int32_t rssiCount;
    double rssiDbu;
};

// Each reads a line already normalised by CompactField to at least its width.
TimeReading ReadTimeLine(std::string_view field);
StatusReading ReadStatusLine(std::string_view field);
PowerReading ReadPowerLine(std::string_view field, bool trickle);
CurrentReading ReadCurrentLine(std::string_view field, double vref);
TemperatureReading ReadTemperatureLine(std::string_view field, double vref);

}  // namespace telvane
