#include "app_settings.h"

#include <QSettings>
#include <QStringList>

namespace telvane {
namespace {

QSettings Settings() {
    return QSettings(QStringLiteral("Telvane"), QStringLiteral("Telvane"));
}

const QString kRecordKey = QStringLiteral("archive/record");
const QString kRangeKey = QStringLiteral("history/range");
const QString kQuantitiesKey = QStringLiteral("history/quantities");
const QString kInputKey = QStringLiteral("listen/input");
const QString kListenRecordKey = QStringLiteral("listen/record");

}  // namespace

bool RecordingEnabled() {
    return Settings().value(kRecordKey, true).toBool();
}

void SetRecordingEnabled(bool enabled) {
    Settings().setValue(kRecordKey, enabled);
}

QByteArray SavedInputDevice() {
    return Settings().value(kInputKey).toByteArray();
}

void SaveInputDevice(const QByteArray& id) {
    Settings().setValue(kInputKey, id);
}

bool ListenRecordingEnabled() {
    return Settings().value(kListenRecordKey, false).toBool();
}

void SetListenRecordingEnabled(bool enabled) {
    Settings().setValue(kListenRecordKey, enabled);
}

std::optional<RangeChoice> SavedHistoryRange() {
    const QString saved = Settings().value(kRangeKey).toString();
    for (const RangeChoiceName& choice : kRangeChoices) {
        if (saved == QString::fromUtf8(choice.key)) {
            return choice.choice;
        }
    }
    return std::nullopt;
}

void SaveHistoryRange(RangeChoice choice) {
    for (const RangeChoiceName& name : kRangeChoices) {
        if (name.choice == choice) {
            Settings().setValue(kRangeKey, QString::fromUtf8(name.key));
        }
    }
}

std::optional<std::vector<std::string>> SavedHistoryQuantities() {
    QSettings settings = Settings();
    if (!settings.contains(kQuantitiesKey)) {
        return std::nullopt;
    }
    std::vector<std::string> fields;
    for (const QString& field : settings.value(kQuantitiesKey).toStringList()) {
        fields.push_back(field.toStdString());
    }
    return fields;
}

void SaveHistoryQuantities(const std::vector<std::string>& fields) {
    QStringList list;
    for (const std::string& field : fields) {
        list << QString::fromStdString(field);
    }
    Settings().setValue(kQuantitiesKey, list);
}

}  // namespace telvane
