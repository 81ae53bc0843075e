#pragma once

// An audio input as the system names it: what a listening program offers and opens.

#include <QByteArray>
#include <QString>

namespace telvane {

struct InputDevice {
    QByteArray id;        // the system's name for it, e.g. "alsa_input.usb-…" or "null.monitor"
    QString description;  // what the operator reads, e.g. "Monitor of Null Output"
    bool isDefault = false;
};

}  // namespace telvane
