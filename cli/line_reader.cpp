#include "line_reader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace telvane::cli {

ReadFunction ReadFromDescriptor(int fd) {
    return [fd](char* buffer, std::size_t size) -> long {
        for (;;) {
            const ssize_t got = ::read(fd, buffer, size);
            if (got >= 0 || errno != EINTR) {
                return got;
            }
        }
    };
}

ReadFunction ReadFromMemory(std::string_view bytes) {
    return [bytes](char* buffer, std::size_t size) mutable -> long {
        const std::size_t count = std::min(size, bytes.size());
        std::memcpy(buffer, bytes.data(), count);
        bytes.remove_prefix(count);
        return static_cast<long>(count);
    };
}

LineReader::LineReader(ReadFunction read, std::size_t blockSize)
    : m_read(std::move(read)), m_buffer(std::max<std::size_t>(blockSize, 4)) {}

bool LineReader::Fill() {
    if (m_finished) {
        return false;
    }
    if (m_begin > 0) {
        std::copy(m_buffer.begin() + static_cast<long>(m_begin),
                  m_buffer.begin() + static_cast<long>(m_end), m_buffer.begin());
        m_end -= m_begin;
        m_begin = 0;
    }
    const long got = m_read(m_buffer.data() + m_end, m_buffer.size() - m_end);
    if (got <= 0) {
        m_error = got < 0 ? errno : 0;
        m_finished = true;
        return false;
    }
    m_end += static_cast<std::size_t>(got);
    return true;
}

void LineReader::SkipPrefix(std::string_view prefix) {
    while (m_end - m_begin < prefix.size() && Fill()) {
    }
    const std::string_view start(m_buffer.data() + m_begin, m_end - m_begin);
    if (start.starts_with(prefix)) {
        m_begin += prefix.size();
    }
}

bool LineReader::Next(std::string_view& piece, bool& ends) {
    if (m_begin == m_end && !Fill()) {
        if (m_lineOpen) {  // the last line had no line end
            m_lineOpen = false;
            piece = {};
            ends = true;
            return true;
        }
        return false;
    }
    if (m_skipLf) {
        m_skipLf = false;
        if (m_buffer[m_begin] == '\n') {
            ++m_begin;
            return Next(piece, ends);
        }
    }
    if (!m_lineOpen) {
        ++m_lineNumber;
        m_lineOpen = true;
    }
    const char* start = m_buffer.data() + m_begin;
    const std::size_t available = m_end - m_begin;
    const auto* stop = static_cast<const char*>(std::memchr(start, '\n', available));
    const auto* cr = static_cast<const char*>(std::memchr(start, '\r', available));
    if (cr != nullptr && (stop == nullptr || cr < stop)) {
        stop = cr;
    }
    if (stop == nullptr) {
        piece = std::string_view(start, available);
        ends = false;
        m_begin = m_end;
        return true;
    }
    piece = std::string_view(start, static_cast<std::size_t>(stop - start));
    ends = true;
    m_lineOpen = false;
    m_skipLf = *stop == '\r';
    m_begin += piece.size() + 1;
    return true;
}

bool NextLine(LineReader& reader, std::size_t limit, std::string& line, bool& tooLong) {
    line.clear();
    tooLong = false;
    std::string_view piece;
    bool ends = false;
    while (!ends) {
        if (!reader.Next(piece, ends)) {
            return !line.empty() || tooLong;
        }
        const std::size_t room = limit - std::min(limit, line.size());
        tooLong = tooLong || piece.size() > room;
        line.append(piece.substr(0, room));
    }
    return true;
}

}  // namespace telvane::cli
