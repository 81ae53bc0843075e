#pragma once

// What telvane-convert tells its user on standard error: one-line messages, and on a terminal a
// progress line that is cleared before any message so that the two never run together.

#include <cstddef>
#include <string_view>

namespace telvane::cli {

class Messages {
public:
    explicit Messages(std::string_view program, bool terminal);

    // "program: text" on a line of its own.
    void Say(std::string_view text);
    // On a terminal, each time the count passes a multiple of `every`, and at the end:
    // "program: N <what>".
    void Progress(std::size_t count, std::string_view what, bool done = false,
                  std::size_t every = 10000);
    // Erases a shown progress line, before other output reaches the terminal.
    void ClearProgress();

private:
    std::string_view m_program;
    bool m_terminal;
    bool m_progressShown = false;
    std::size_t m_lastShown = 0;
};

// The messages of telvane-convert and of telvane-archive, on standard error; progress only when
// it is a terminal.
Messages& StandardMessages();
Messages& ArchiveMessages();

}  // namespace telvane::cli
