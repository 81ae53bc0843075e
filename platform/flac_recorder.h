#pragma once

// Keeps a listening session's audio as a FLAC file through libsndfile, so that the pass can be
// decoded again later. The file is named by the session's start, in UTC, as receiver programs
// name their recordings (`Telvane_20240305_090700Z.flac`), which also tells the archive when
// its beacons were heard. It is always a new file: an existing one is never opened for writing.

#include <chrono>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

namespace telvane {

class FlacRecorder {
public:
    // Creates the recording in `folder`, adding "-2", "-3"… to the name when it is taken; on
    // failure returns null and sets `error` to a one-line message.
    static std::unique_ptr<FlacRecorder> Create(const std::filesystem::path& folder, int sampleRate,
                                                std::chrono::system_clock::time_point start,
                                                std::string& error);
    ~FlacRecorder();  // completes the file
    FlacRecorder(const FlacRecorder&) = delete;
    FlacRecorder& operator=(const FlacRecorder&) = delete;

    // Appends mono samples in -1..1; false once writing has failed (a full disk), and then
    // Error() says why.
    bool Write(std::span<const float> samples);
    const std::filesystem::path& Path() const { return path_; }
    const std::string& Error() const { return error_; }

private:
    FlacRecorder(void* handle, std::filesystem::path path);

    void* handle_;  // SNDFILE*, kept out of this header
    std::filesystem::path path_;
    std::string error_;
};

// "Telvane_20240305_090700Z": the name of a recording started at `start`, without its extension.
std::string RecordingStem(std::chrono::system_clock::time_point start);

}  // namespace telvane
