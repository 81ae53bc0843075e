#include "plot_quantities.h"

#include <algorithm>
#include <string_view>

#include "archive_columns.h"

namespace telvane::archive {
namespace {

struct UnitSuffix {
    std::string_view suffix;
    const char* unit;
};

// A value field's name ends in its unit.
constexpr UnitSuffix kUnits[] = {
    {"_v", "V"},   {"_ma", "mA"}, {"_c", "\u00b0C"}, {"_dbu", "dBu"},
    {"_db", "dB"}, {"_hz", "Hz"}, {"_wpm", "WPM"},
};

struct Wording {
    const char* name;
    const char* label;
};

constexpr Wording kWordings[] = {
    {"plus_x", "+X"}, {"minus_x", "\u2212X"}, {"plus_y", "+Y"}, {"minus_y", "\u2212Y"},
    {"plus_z", "+Z"}, {"minus_z", "\u2212Z"}, {"dbu", "dBu"},
};

QString LabelOf(std::string_view stem) {
    QString label = QString::fromUtf8(stem.data(), static_cast<qsizetype>(stem.size()));
    for (const Wording& wording : kWordings) {
        label.replace(QString::fromUtf8(wording.name), QString::fromUtf8(wording.label));
    }
    return label.replace(u'_', u' ');
}

}  // namespace

const std::vector<PlotQuantity>& PlotQuantities() {
    static const std::vector<PlotQuantity> quantities = [] {
        std::vector<PlotQuantity> out;
        for (const FieldColumn& column : FieldColumns()) {
            const std::string_view name = column.name;
            const auto unit = std::find_if(std::begin(kUnits), std::end(kUnits), [&](auto& u) {
                return name.size() > u.suffix.size() && name.ends_with(u.suffix);
            });
            if (column.kind == FieldKind::kNumber && unit != std::end(kUnits)) {
                out.push_back({column.name,
                               LabelOf(name.substr(0, name.size() - unit->suffix.size())),
                               QString::fromUtf8(unit->unit)});
            }
        }
        return out;
    }();
    return quantities;
}

const PlotQuantity* FindQuantity(const std::string& field) {
    const auto& all = PlotQuantities();
    const auto found = std::find_if(all.begin(), all.end(),
                                    [&](const PlotQuantity& q) { return q.field == field; });
    return found == all.end() ? nullptr : &*found;
}

}  // namespace telvane::archive
