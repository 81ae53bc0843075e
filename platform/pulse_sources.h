#pragma once

// The PulseAudio server's own list of sources, monitors included: Qt Multimedia leaves every
// monitor out, yet an operator often listens to what an SDR program plays through one.

#include <QByteArray>
#include <QString>
#include <vector>

namespace telvane {

struct PulseSource {
    QByteArray name;      // e.g. "null.monitor"
    QString description;  // e.g. "Monitor of Null Output"
    int sampleRate = 0;   // Hz
    bool isMonitor = false;
};

struct PulseSources {
    std::vector<PulseSource> sources;  // in the server's order
    QByteArray defaultSource;          // the server's default, which may be a monitor
};

// Asks the server the environment names (PULSE_SERVER or the user's own); empty when none
// answers within a second. Never starts a server.
PulseSources ListPulseSources();

}  // namespace telvane
