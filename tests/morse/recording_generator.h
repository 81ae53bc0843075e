#pragma once

// Synthetic recordings of the beacon for the decoder's tests, benchmark and CER measurement:
// random beacons keyed with exact PARIS timing, raised-cosine edges, white noise at a stated SNR
// (key-down tone power over the noise power in a 2500 Hz band), other traffic around the
// beacons, and optionally Doppler drift, slow Rayleigh fading, an interfering CW signal and clicks.

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "beacon_layout.h"

namespace telvane::morse::testing {

using BeaconLines = std::array<std::string, kLineCount>;  // as an operator types them

struct ChannelOptions {
    double driftHzPerSecond = 0;  // the steepest slope of a Doppler S-curve through the recording
    bool fading = false;          // slow Rayleigh fading
    double interfererDb = -100;   // an interfering CW signal's power relative to the beacon
    double interfererOffsetHz = 0;
    double interfererFromSeconds = 0;  // the interfering station is silent before this
    double clicksPerSecond = 0;
};

struct RecordingOptions {
    double sampleRate = 8000;
    double wpm = 20;
    double toneHz = 700;
    double snrDb = 10;
    int beacons = 1;
    bool otherText = true;  // traffic before, between and after the beacons
    double leadSeconds = 1.0;
    double tailSeconds = 1.0;
    ChannelOptions channel;
    std::uint32_t seed = 1;
};

struct KeyedBeacon {
    BeaconLines lines;
    double startSeconds = 0;
    double endSeconds = 0;
    std::array<double, kLineCount> lineEndSeconds{};  // each line's last key-up
};

struct Recording {
    double sampleRate = 0;
    std::vector<float> samples;
    std::vector<KeyedBeacon> beacons;
    std::string keyedText;          // everything keyed, beacons and traffic, for reference
    double driftCentreSeconds = 0;  // where the Doppler S-curve is steepest
};

// A random beacon: line 1 from the address characters, lines 2-6 hex digits in random groups.
BeaconLines RandomBeacon(std::mt19937& random);

// Keys `text` ('\n' is a gap between lines); returns the key-down intervals in seconds from
// `start`, and the time after the last element in `end`.
std::vector<std::pair<double, double>> KeyText(const std::string& text, double ditSeconds,
                                               double start, double& end);

Recording Generate(const RecordingOptions& options);

// The beacon the listening tests play: one, at 48 kHz, 35 WPM and 15 dB, after 2 s of noise,
// with no other traffic.
RecordingOptions PlayedBeaconOptions();

// Adds `text` keyed at `toneHz` and `wpm`, starting at `startSeconds`, amplitude 1, no noise.
void AddKeying(std::vector<float>& samples, double sampleRate, const std::string& text, double wpm,
               double toneHz, double startSeconds);

}  // namespace telvane::morse::testing
