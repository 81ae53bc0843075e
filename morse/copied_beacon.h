#pragma once

// What the CW decoder hands out: beacons copied from the audio, and everything heard.

#include <array>
#include <string>
#include <vector>

#include "beacon_layout.h"

namespace telvane::morse {

struct CopiedLine {
    std::string text;                // "ZK2 01 23 45", ASCII; empty when the line was not heard
    std::vector<double> confidence;  // one per character of `text`, 0..1
    std::vector<char> alternative;   // one per character: the likeliest other character, or '\0'
};

struct CopiedBeacon {
    std::array<CopiedLine, kLineCount> lines;
    double startSeconds = 0, endSeconds = 0;  // in the recording
    double toneHz = 0, speedWpm = 0, snrDb = 0;
    double confidence = 0;  // of the whole beacon, 0..1
};

// One entry of the raw transcript: a character (or a word gap, " ") as heard.
struct HeardText {
    double startSeconds = 0, endSeconds = 0;
    std::string text;
};

// The decoder's current view of the signal, for a live display.
struct SignalEstimate {
    double toneHz = 0;
    double speedWpm = 0;
    double snrDb = 0;  // key-down tone power over the noise in a 2500 Hz band
    bool keyingFound = false;
};

}  // namespace telvane::morse
