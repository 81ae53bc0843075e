#include "archive_file_check.h"

#include <QFile>
#include <QFileInfo>
#include <array>
#include <cstring>

namespace telvane::archive {
namespace {

constexpr char kSqliteMagic[] = "SQLite format 3";  // with its NUL: the header's first 16 bytes
constexpr qint64 kHeaderSize = 100;
constexpr int kApplicationIdOffset = 68;

std::uint32_t BigEndian32(const unsigned char* bytes) {
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
           (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
}

}  // namespace

FileCheck CheckArchiveFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        return {FileState::kMissing, {}};
    }
    if (!info.isFile()) {
        return {FileState::kForeign, QStringLiteral("it is not a regular file")};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {FileState::kUnreadable, file.errorString()};
    }
    std::array<unsigned char, kHeaderSize> header{};
    if (file.read(reinterpret_cast<char*>(header.data()), kHeaderSize) != kHeaderSize ||
        std::memcmp(header.data(), kSqliteMagic, sizeof kSqliteMagic) != 0) {
        return {FileState::kForeign, QStringLiteral("it is not an SQLite database")};
    }
    if (BigEndian32(header.data() + kApplicationIdOffset) != kApplicationId) {
        return {FileState::kForeign, QStringLiteral("it is a database of another program")};
    }
    return {FileState::kArchive, {}};
}

}  // namespace telvane::archive
