#include "copied_lines.h"

#include <cmath>

namespace telvane {
namespace {

constexpr qsizetype kShownCharacters = 24;

QString MinutesAndSeconds(double seconds) {
    const int whole = static_cast<int>(std::floor(seconds));
    return QStringLiteral("%1:%2")
        .arg(whole / 60, 2, 10, QChar(u'0'))
        .arg(whole % 60, 2, 10, QChar(u'0'));
}

}  // namespace

QString ChoiceLabel(const morse::CopiedBeacon& beacon) {
    QString first;
    for (const morse::CopiedLine& line : beacon.lines) {
        if (!line.text.empty()) {
            first = QString::fromStdString(line.text);
            break;
        }
    }
    if (first.size() > kShownCharacters) {
        first = first.left(kShownCharacters) + QStringLiteral("\u2026");
    }
    return QStringLiteral("%1  %2 %  %3")
        .arg(MinutesAndSeconds(beacon.startSeconds))
        .arg(std::lround(beacon.confidence * 100))
        .arg(first);
}

QStringList DoubtfulCharacters(const morse::CopiedLine& line) {
    QStringList notes;
    for (std::size_t k = 0; k < line.text.size() && k < line.confidence.size(); ++k) {
        if (line.confidence[k] >= kDoubtfulConfidence || line.text[k] == ' ') {
            continue;
        }
        QString note = QStringLiteral("heard '%1'").arg(QChar::fromLatin1(line.text[k]));
        if (k < line.alternative.size() && line.alternative[k] != '\0') {
            note += QStringLiteral(", could be '%1'").arg(QChar::fromLatin1(line.alternative[k]));
        }
        notes << note + QStringLiteral(" (position %1)").arg(k + 1);
    }
    return notes;
}

}  // namespace telvane
