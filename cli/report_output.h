#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace telvane {
class SafeFile;
}

namespace telvane::cli {

// Where the converter's output goes: standard output ("-", no path, or a path naming the
// standard output itself), or a file written through SafeFile, so that an existing file is never
// left truncated. Output is gathered in large blocks, so a batch of many records costs few
// writes.
class OutputSink {
public:
    explicit OutputSink(std::string path);
    ~OutputSink();

    bool Open();
    bool Write(std::string_view bytes);
    // Writes out what is gathered: standard output and devices see it at once; a file only
    // when it is finished.
    bool Flush();
    bool Finish();
    const std::string& Error() const { return m_error; }

private:
    bool WriteOut(std::string_view bytes);

    std::string m_path;
    std::unique_ptr<SafeFile> m_file;
    std::string m_buffer;
    std::string m_error;
};

// Writes reports into a folder as new files, never replacing one: "ORBEL_CW_240305_0907.txt",
// then "_2", "_3" ... when the name is taken. Each name's next number is carried forward, so a
// run of many reports stays linear and numbers them in order.
class NewFiles {
public:
    explicit NewFiles(std::string folder);

    // Returns an error message, empty on success.
    std::string Write(std::string_view bytes, const std::string& fileName);

private:
    std::string m_folder;
    std::map<std::string, int> m_nextNumber;
};

}  // namespace telvane::cli
