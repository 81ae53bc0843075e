#pragma once

// telvane-convert --listen and --list-devices: copying beacons from an input device while the
// satellite passes.

#include "local_time.h"
#include "options.h"

namespace telvane::cli {

// Lists the audio inputs, one per line: its name, a tab, what the system calls it, and
// " (default)" for the default one. Exit status 3 when there is none.
int ListDevices();

// Decodes the chosen input until SIGINT, SIGTERM or SIGHUP, writing each beacon as it completes
// as the options ask; the run then ends with status 0. An input that goes away ends it with 2.
int ListenLive(const Options& options);

}  // namespace telvane::cli
