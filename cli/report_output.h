#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace telvane {
class AtomicFile;
}

namespace telvane::cli {

// Where the converter's output goes: standard output, or a file that is replaced only when all
// of the output was written, so an existing file is never left truncated. Output is gathered in
// large blocks, so a batch of many records costs few writes.
class OutputSink {
public:
    explicit OutputSink(std::string path);  // standard output when empty
    ~OutputSink();

    bool Open();
    bool Write(std::string_view bytes);
    bool Finish();
    const std::string& Error() const { return m_error; }

private:
    bool Flush();

    std::string m_path;
    std::unique_ptr<AtomicFile> m_file;
    std::string m_buffer;
    std::string m_error;
};

// Writes one report into `folder` under `fileName`, or, when that name is taken, under the
// first free name with a numeric suffix ("ORBEL_CW_240305_0907_2.txt"). Never replaces a file.
// Returns an error message, empty on success.
std::string WriteNewFile(std::string_view bytes, const std::string& folder,
                         const std::string& fileName);

}  // namespace telvane::cli
