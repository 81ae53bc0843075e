#pragma once

// What an archive holds: how many beacons from which kinds of source, the first and last, and
// each numeric field's minimum, maximum and latest value.

#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "archive.h"

namespace telvane::archive {

struct FieldSummary {
    std::string name;
    long long count = 0;  // beacons with a finite value
    std::optional<double> minimum;
    std::optional<double> maximum;
    std::optional<double> latest;  // of the newest beacon that has one
};

struct ArchiveSummary {
    long long beacons = 0;
    std::vector<std::pair<std::string, long long>> bySource;  // source kind, count
    std::optional<qint64> firstMs;
    std::optional<qint64> lastMs;
    std::vector<FieldSummary> fields;
};

bool SummarizeArchive(const Archive& archive, ArchiveSummary& out, QString& error);

}  // namespace telvane::archive
