#pragma once

// Shared by the archive's tests: a temporary folder, beacons and plain SQLite look-ups.

#include <sqlite3.h>

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <array>
#include <string>

#include "beacon_layout.h"

namespace telvane::archive::testing {

using Lines = std::array<std::string, kLineCount>;

inline const Lines kSampleLines = {"ZK1 AB CD/EF", "ZK2 01 23 45",    "ZK3 25 38 02 00",
                                   "ZK4 37 A0 8C", "ZK5 4 3 2 1 0 5", "ZK6 8899AABB 5C"};

QByteArray ReadBytes(const QString& path);
void WriteBytes(const QString& path, const QByteArray& bytes);

// Runs one query through SQLite itself (not the archive's code) and gives the first column of
// the first row as text; "<error: ...>" when it fails.
std::string QueryText(const QString& path, const std::string& sql);
long long QueryCount(const QString& path, const std::string& sql);

}  // namespace telvane::archive::testing
