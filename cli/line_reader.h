#pragma once

// Input read line by line in fixed blocks, so that memory never depends on the input's size.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace telvane::cli {

// Fills a buffer with up to `size` bytes; 0 at the end of the input, -1 on an error (errno set).
using ReadFunction = std::function<long(char* buffer, std::size_t size)>;

ReadFunction ReadFromDescriptor(int fd);
ReadFunction ReadFromMemory(std::string_view bytes);  // the bytes must outlive the reader

class LineReader {
public:
    explicit LineReader(ReadFunction read, std::size_t blockSize = 1 << 16);

    // Skips `prefix` when the input starts with it (a byte order mark).
    void SkipPrefix(std::string_view prefix);

    // The next piece of the current line, without line-end bytes: LF, CR LF and CR alone each end
    // a line, and a final line end starts no new line. `ends` tells whether the piece completes
    // its line. False at the end of the input or on a read error (see Error).
    bool Next(std::string_view& piece, bool& ends);

    // 1-based number of the line the last piece belongs to.
    std::size_t LineNumber() const { return m_lineNumber; }

    // The errno of a failed read, 0 when none failed.
    int Error() const { return m_error; }

private:
    bool Fill();

    ReadFunction m_read;
    std::vector<char> m_buffer;
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    std::size_t m_lineNumber = 0;
    bool m_lineOpen = false;  // the current line has had pieces but no end yet
    bool m_skipLf = false;    // the last line ended with a CR: a following LF belongs to it
    bool m_finished = false;
    int m_error = 0;
};

// Reads whole lines of at most `limit` bytes. A longer line is not kept: `tooLong` is set and
// `line` holds its first `limit` bytes.
bool NextLine(LineReader& reader, std::size_t limit, std::string& line, bool& tooLong);

}  // namespace telvane::cli
