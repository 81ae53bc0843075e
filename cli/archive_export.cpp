#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "archive.h"
#include "archive_commands.h"
#include "convert_commands.h"
#include "machine_output.h"
#include "report_output.h"
#include "stored_records.h"
#include "terminal_messages.h"

namespace telvane::cli {
namespace {

// About 5 MB of JSON Lines a part: enough that a part's three index searches cost nothing, few
// enough that parts spread evenly over the readers and little waits in memory to be written.
constexpr std::size_t kPartRows = 2048;
constexpr unsigned kMostReaders = 4;

// Parts read and rendered side by side, each reader on its own connection, and written out in
// export order by the thread that started them.
class ParallelExport {
public:
    ParallelExport(archive::StoredParts& parts, bool json, OutputSink& sink, unsigned readers)
        : m_parts(parts), m_json(json), m_sink(sink), m_readers(std::max(readers, 1U)) {}

    // False when the sink failed; check ReadError() too.
    bool Run() {
        std::vector<std::thread> readers;
        for (unsigned k = 0; k < m_readers; ++k) {
            readers.emplace_back([this] { Read(); });
        }
        const bool written = WriteInOrder();
        for (std::thread& reader : readers) {
            reader.join();
        }
        return written;
    }

    const QString& ReadError() const { return m_readError; }

private:
    struct Rendered {
        std::size_t rows = 0;
        RenderBuffer bytes;
    };

    void Read() {
        archive::StoredPartReader reader(m_parts);
        StoredRowWriter writer(m_json);
        archive::StoredPart part;
        Rendered rendered;
        QString error;
        while (m_parts.Next(part)) {
            {
                // Rendering runs at most a few parts ahead of writing: memory stays bounded.
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock,
                               [&] { return m_stop || part.index < m_written + m_readers + 2; });
                if (m_stop) {
                    break;
                }
                if (!m_spare.empty()) {
                    rendered.bytes = std::move(m_spare.back());
                    m_spare.pop_back();
                }
            }
            rendered.bytes.Clear();
            rendered.rows = 0;
            if (!reader.Start(part)) {
                error = reader.Error();
                break;
            }
            while (reader.Step()) {
                writer.Append(rendered.bytes, reader.Row());
                ++rendered.rows;
            }
            if (!reader.Error().isEmpty()) {
                error = reader.Error();
                break;
            }
            const std::lock_guard lock(m_mutex);
            m_rendered.emplace(part.index, std::move(rendered));
            rendered = {};
            m_changed.notify_all();
        }
        const std::lock_guard lock(m_mutex);
        if (!error.isEmpty() && m_readError.isEmpty()) {
            m_readError = error;
            m_stop = true;
        }
        --m_running;
        m_changed.notify_all();
    }

    bool WriteInOrder() {
        std::size_t done = 0;
        std::unique_lock lock(m_mutex);
        while (true) {
            m_changed.wait(
                lock, [&] { return m_stop || m_running == 0 || m_rendered.contains(m_written); });
            const auto next = m_rendered.find(m_written);
            if (m_stop || next == m_rendered.end()) {
                return true;  // every part written, or reading failed
            }
            Rendered rendered = std::move(next->second);
            m_rendered.erase(next);
            lock.unlock();
            const bool written = m_sink.Write(rendered.bytes.View());
            done += rendered.rows;
            ArchiveMessages().Progress(done, "beacons exported");
            lock.lock();
            m_spare.push_back(std::move(rendered.bytes));
            ++m_written;
            if (!written) {
                m_stop = true;
            }
            m_changed.notify_all();
            if (!written) {
                return false;
            }
        }
    }

    archive::StoredParts& m_parts;
    const bool m_json;
    OutputSink& m_sink;
    const unsigned m_readers;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<std::size_t, Rendered> m_rendered;  // by part, waiting to be written
    std::vector<RenderBuffer> m_spare;
    std::size_t m_written = 0;  // parts written so far
    unsigned m_running = m_readers;
    bool m_stop = false;
    QString m_readError;
};

}  // namespace

bool ExportParts(archive::StoredParts& parts, bool json, OutputSink& sink, unsigned readers,
                 QString& readError) {
    ParallelExport exporting(parts, json, sink, readers);
    const bool written = exporting.Run();
    readError = parts.Error().isEmpty() ? exporting.ReadError() : parts.Error();
    return written;
}

int RunExport(const ArchiveOptions& options) {
    QString error;
    const auto archive =
        archive::Archive::Open(ArchivePathOf(options), archive::Access::kRead, error);
    if (!archive) {
        return ArchiveFail(kExitOutputFailure, error);
    }
    OutputSink sink(options.outputPath.toStdString());
    if (!sink.Open()) {
        return ArchiveFail(kExitOutputFailure, QString::fromStdString(sink.Error()));
    }
    const bool json = options.format == Format::kJson;
    bool written = json || sink.Write(CsvHeader());
    archive::StoredParts parts(*archive, options.range, kPartRows);
    QString readError;
    written =
        written &&
        ExportParts(parts, json, sink,
                    std::clamp(std::thread::hardware_concurrency(), 1U, kMostReaders), readError);
    ArchiveMessages().ClearProgress();
    if (!readError.isEmpty()) {
        return ArchiveFail(kExitOutputFailure,
                           QStringLiteral("cannot read '%1': %2").arg(archive->Path(), readError));
    }
    if (!written || !sink.Finish()) {
        return ArchiveFail(kExitOutputFailure, QString::fromStdString(sink.Error()));
    }
    return 0;
}

}  // namespace telvane::cli
