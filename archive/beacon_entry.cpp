#include "beacon_entry.h"

#include <QDateTime>
#include <QFileInfo>

namespace telvane::archive {

std::string_view SourceKindName(SourceKind kind) {
    constexpr std::string_view kNames[] = {"dialog", "log", "recording", "live"};
    return kNames[static_cast<int>(kind)];
}

QString SourceNameOf(const QString& path) {
    if (path.isEmpty() || path == u"-") {
        return QStringLiteral("standard input");
    }
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

QString LiveSourceName(const QString& inputDescription, const QDateTime& startUtc) {
    return QStringLiteral("%1, listening from %2")
        .arg(inputDescription, startUtc.toString(Qt::ISODate));
}

}  // namespace telvane::archive
