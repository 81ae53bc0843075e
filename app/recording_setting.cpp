#include "recording_setting.h"

#include <QSettings>

namespace telvane {
namespace {

QSettings Settings() {
    return QSettings(QStringLiteral("Telvane"), QStringLiteral("Telvane"));
}

const QString kRecordKey = QStringLiteral("archive/record");

}  // namespace

bool RecordingEnabled() {
    return Settings().value(kRecordKey, true).toBool();
}

void SetRecordingEnabled(bool enabled) {
    Settings().setValue(kRecordKey, enabled);
}

}  // namespace telvane
