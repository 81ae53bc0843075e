#pragma once

// A recording file through the CW decoder, block by block, so that memory stays flat however long
// the recording is. Shared by the command-line converter and the dialog's worker thread.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "copied_beacon.h"
#include "record_fields.h"

namespace telvane {

struct DecodedRecording {
    std::vector<morse::CopiedBeacon> beacons;  // in the order they were heard
    std::vector<morse::HeardText> transcript;  // only when asked for
    double seconds = 0;                        // how much was decoded
    std::string error;                         // why the file could not be read to its end
    bool cancelled = false;
};

struct DecodeControl {
    bool keepTranscript = false;
    // Called after each block with the share decoded (0..1, or -1 when the length is unknown)
    // and the seconds decoded; returning false cancels.
    std::function<bool(double share, double seconds)> progress;
};

DecodedRecording DecodeRecording(const std::filesystem::path& path, const DecodeControl& control);

// Whether `path` is a recording this program can read.
bool IsRecording(const std::filesystem::path& path);

// A copied beacon's lines, to be converted as typed lines are, and what the decoder measured.
std::array<std::string, kLineCount> LinesOf(const morse::CopiedBeacon& beacon);
CopyMeasures MeasuresOf(const morse::CopiedBeacon& beacon);

}  // namespace telvane
