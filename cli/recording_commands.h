#pragma once

// telvane-convert --audio: beacons copied from a recording by the CW decoder, converted as typed
// beacons are.

#include "local_time.h"
#include "options.h"

namespace telvane::cli {

inline constexpr int kExitNoBeacon = 3;

// Decodes the recording and writes the best beacon (every beacon with --batch, or the transcript
// with --transcript). Returns the exit status.
int ConvertRecording(const Options& options, const LocalTime& time);

}  // namespace telvane::cli
