#include "terminal_messages.h"

#include <unistd.h>

#include <iostream>

namespace telvane::cli {

Messages::Messages(std::string_view program, bool terminal)
    : m_program(program), m_terminal(terminal) {}

void Messages::ClearProgress() {
    if (m_progressShown) {
        std::cerr << "\r\033[K";  // back to the start of the line, and erase it
        m_progressShown = false;
    }
}

void Messages::Say(std::string_view text) {
    ClearProgress();
    std::cerr << m_program << ": " << text << '\n';
}

void Messages::Progress(std::size_t count, std::string_view what, bool done, std::size_t every) {
    if (!m_terminal || (!done && count / every == m_lastShown / every)) {
        return;
    }
    m_lastShown = count;
    ClearProgress();
    std::cerr << m_program << ": " << count << ' ' << what << (done ? "\n" : "") << std::flush;
    m_progressShown = !done;
}

Messages& StandardMessages() {
    static Messages messages("telvane-convert", ::isatty(STDERR_FILENO) != 0);
    return messages;
}

Messages& ArchiveMessages() {
    static Messages messages("telvane-archive", ::isatty(STDERR_FILENO) != 0);
    return messages;
}

}  // namespace telvane::cli
