#pragma once

// The count of a long command on a terminal, kept on one line that messages clear first.

#include <QString>
#include <cstddef>

namespace telvane::cli {

class ArchiveProgress {
public:
    explicit ArchiveProgress(QString verb);  // "imported"
    ~ArchiveProgress();
    void Count(std::size_t done);

private:
    QString m_verb;
};

// Clears a shown progress line; the next Count draws it again.
void ClearProgressLine();

}  // namespace telvane::cli
