#pragma once

// What is at the archive's path, told from the file's first bytes with plain reads, before SQLite
// is allowed near it: a foreign or damaged file must never be opened for writing.

#include <QString>
#include <cstdint>

namespace telvane::archive {

// SQLite's application id of a Telvane archive ("TlvA"), at offset 68 of the file header.
inline constexpr std::uint32_t kApplicationId = 0x546C7641;

enum class FileState {
    kMissing,     // nothing there: a new archive may be created
    kArchive,     // an SQLite database marked as a Telvane archive
    kForeign,     // anything else: another database, a text file, a damaged file, a folder
    kUnreadable,  // there, but it cannot be read
};

struct FileCheck {
    FileState state = FileState::kMissing;
    QString detail;  // why the file is foreign or unreadable
};

FileCheck CheckArchiveFile(const QString& path);

}  // namespace telvane::archive
