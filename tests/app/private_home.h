#pragma once

// The dialog program's tests keep its archive and settings in a folder of their own, never in
// the operator's home.

#include <QTemporaryDir>

inline void UsePrivateHome(const QTemporaryDir& home) {
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
}
