#pragma once

// The decoded quantities a history plot can show: every field with a value in a known unit,
// taken from the field list, with a label and its unit.

#include <QString>
#include <string>
#include <vector>

namespace telvane::archive {

struct PlotQuantity {
    std::string field;  // the field's name in the output and the archive
    QString label;      // "battery voltage", "current +X panel"
    QString unit;       // "V", "mA", "°C", "dBu"
};

const std::vector<PlotQuantity>& PlotQuantities();

// The quantity of `field`; nothing when it cannot be plotted.
const PlotQuantity* FindQuantity(const std::string& field);

}  // namespace telvane::archive
