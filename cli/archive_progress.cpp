#include "archive_progress.h"

#include <unistd.h>

#include <cstdio>

namespace telvane::cli {
namespace {

constexpr std::size_t kEvery = 10000;
bool g_shown = false;

bool OnTerminal() {
    static const bool terminal = ::isatty(STDERR_FILENO) != 0;
    return terminal;
}

}  // namespace

void ClearProgressLine() {
    if (g_shown) {
        std::fputs("\r\033[K", stderr);
        g_shown = false;
    }
}

ArchiveProgress::ArchiveProgress(QString verb) : m_verb(std::move(verb)) {}

ArchiveProgress::~ArchiveProgress() {
    ClearProgressLine();
}

void ArchiveProgress::Count(std::size_t done) {
    if (OnTerminal() && done % kEvery == 0) {
        std::fprintf(stderr, "\rtelvane-archive: %zu beacons %s", done, qPrintable(m_verb));
        std::fflush(stderr);
        g_shown = true;
    }
}

}  // namespace telvane::cli
