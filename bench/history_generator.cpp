#include "history_generator.h"

#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>

namespace telvane::bench {
namespace {

constexpr qint64 kMinute = 60 * 1000;
constexpr double kOrbitMinutes = 96.0;
constexpr double kSunlitShare = 0.62;
constexpr int kBeaconsPerPass = 20;
constexpr qint64 kBeaconSpacingMs = 30 * 1000;
constexpr double kPassesPerDay = 5.0;

std::string Hex(unsigned value, int digits) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*X", digits, value);
    return buffer;
}

unsigned Clamp(double value, unsigned top) {
    return static_cast<unsigned>(std::lround(std::clamp(value, 0.0, static_cast<double>(top))));
}

struct Sky {
    double sun;        // 1 in sunlight, 0 in eclipse, smoothed at the terminator
    double elevation;  // 0 at the horizon, 1 overhead
    double day;        // days since the start
};

std::array<std::string, kLineCount> Lines(const Sky& sky, std::uint32_t counter, bool trickle,
                                          std::mt19937& noise) {
    std::normal_distribution<double> jitter(0.0, 0.4);
    // The battery sags over about ten days and recovers, and dips in eclipse.
    const double battery = 54.5 + 1.6 * std::sin(2 * std::numbers::pi * sky.day / 11.0) -
                           0.8 * (1.0 - sky.sun) + jitter(noise);
    const unsigned batteryCount = trickle ? 54u : Clamp(battery, 255);
    const unsigned solar = Clamp(20 + 145 * sky.sun + 4 * jitter(noise), 255);
    const unsigned batteryTemperature = Clamp(130 + 14 * sky.sun + jitter(noise), 255);
    std::string currents;
    for (int panel = 0; panel < 6; ++panel) {
        const double facing = 0.5 + 0.5 * std::cos(sky.day * 40.0 + panel * 1.1);
        currents += Hex(Clamp(sky.sun * (3 + 11 * facing) + jitter(noise), 15), 1);
    }
    std::string temperatures;
    for (int sensor = 0; sensor < 8; ++sensor) {
        const double swing = sensor < 6 ? 6.5 : 2.0;  // panels swing, the inside much less
        temperatures +=
            Hex(Clamp(6.5 + swing * (sky.sun - 0.5) + sensor * 0.3 + jitter(noise), 15), 1);
    }
    const unsigned rssi = Clamp(40 + 80 * sky.elevation + 3 * jitter(noise), 255);
    const unsigned status = (trickle ? 0x80u : 0x00u) | 0x38u;
    return {
        "ZK1 JQ1ZKN.ORBEL/K",
        "ZK2 " + Hex(counter >> 16 & 0xFF, 2) + ' ' + Hex(counter >> 8 & 0xFF, 2) + ' ' +
            Hex(counter & 0xFF, 2),
        "ZK3 25 " + Hex(status, 2) + " 02 00",
        "ZK4 " + Hex(batteryCount, 2) + ' ' + Hex(solar, 2) + ' ' + Hex(batteryTemperature, 2),
        "ZK5 " + currents,
        "ZK6 " + temperatures + ' ' + Hex(rssi, 2),
    };
}

}  // namespace

void GenerateHistory(qint64 startMs, std::size_t count,
                     const std::function<void(const GeneratedBeacon&)>& beacon) {
    std::mt19937 noise(20241105);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const qint64 passSpacing = static_cast<qint64>(24 * 60 * kMinute / kPassesPerDay);
    GeneratedBeacon out{};
    bool trickle = false;
    for (std::size_t k = 0; k < count; ++k) {
        const int pass = static_cast<int>(k / kBeaconsPerPass);
        const int inPass = static_cast<int>(k % kBeaconsPerPass);
        if (inPass == 0) {
            trickle = unit(noise) < 0.04;
        }
        const qint64 passStart =
            startMs + pass * passSpacing + static_cast<qint64>(pass * 7919 % 23) * kMinute;
        out.receivedMs = passStart + inPass * kBeaconSpacingMs;
        const double orbitPhase =
            std::fmod(static_cast<double>(out.receivedMs - startMs) / kMinute / kOrbitMinutes, 1.0);
        const double sun = 1.0 / (1.0 + std::exp(-(kSunlitShare - orbitPhase) * 60.0));
        const double along = (inPass + 0.5) / kBeaconsPerPass;
        const Sky sky{sun, std::sin(std::numbers::pi * along),
                      static_cast<double>(out.receivedMs - startMs) / (24.0 * 60 * kMinute)};
        out.pass = pass;
        out.lines = Lines(sky, static_cast<std::uint32_t>(k * 30 + 0x10000), trickle, noise);
        beacon(out);
    }
}

std::string HistoryLog(std::size_t count) {
    std::string log;
    log.reserve(count * 120);
    GenerateHistory(0, count, [&](const GeneratedBeacon& beacon) {
        for (const std::string& line : beacon.lines) {
            log += line;
            log += '\n';
        }
    });
    return log;
}

}  // namespace telvane::bench
