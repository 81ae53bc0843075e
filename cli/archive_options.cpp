#include "archive_options.h"

#include <QCommandLineParser>

#include "archive_time.h"
#include "history_plot.h"

namespace telvane::cli {
namespace {

struct CommandName {
    const char* name;
    ArchiveCommand command;
};

constexpr CommandName kCommands[] = {
    {"import", ArchiveCommand::kImport},
    {"export", ArchiveCommand::kExport},
    {"plot", ArchiveCommand::kPlot},
    {"stats", ArchiveCommand::kStats},
};

QString ReadCommand(const QString& word, ArchiveCommand& command) {
    for (const CommandName& known : kCommands) {
        if (word == QLatin1String(known.name)) {
            command = known.command;
            return {};
        }
    }
    return QStringLiteral("unknown command '%1' (expected import, export, plot or stats)")
        .arg(word);
}

QString ReadBound(const QCommandLineParser& parser, const QString& name, bool endOfDay,
                  std::optional<qint64>& bound) {
    if (!parser.isSet(name)) {
        return {};
    }
    const QString text = parser.value(name);
    const std::optional<QDateTime> time = archive::ParseTimeArgument(text, endOfDay);
    if (!time) {
        return QStringLiteral(
                   "malformed or non-existent --%1 '%2' (expected 'YYYY-MM-DD HH:MM:SS', "
                   "'YYYY-MM-DD' or ISO 8601)")
            .arg(name, text);
    }
    bound = time->toMSecsSinceEpoch();
    return {};
}

// --time as telvane-convert reads it.
QString ReadTime(const QString& text, ArchiveOptions& options) {
    const TypedTime typed = ParseLocalTime(text.toStdString());
    const std::optional<QDateTime> utc = typed.time ? LocalToUtc(*typed.time) : std::nullopt;
    if (!utc) {
        return QStringLiteral(
                   "malformed or non-existent --time '%1' (expected 'YYYY-MM-DD HH:MM:SS')")
            .arg(text);
    }
    options.time = typed.time;
    options.timeUtc = *utc;
    return {};
}

QString ReadChoices(const QCommandLineParser& parser, ArchiveOptions& options) {
    if (parser.isSet(QStringLiteral("format"))) {
        const QString format = parser.value(QStringLiteral("format"));
        if (format != u"json" && format != u"csv") {
            return QStringLiteral("unknown format '%1' (expected json or csv)").arg(format);
        }
        options.format = format == u"json" ? Format::kJson : Format::kCsv;
    }
    if (parser.isSet(QStringLiteral("input-encoding"))) {
        const QString encoding = parser.value(QStringLiteral("input-encoding"));
        if (encoding != u"utf-8" && encoding != u"cp932") {
            return QStringLiteral("unknown encoding '%1' (expected utf-8 or cp932)").arg(encoding);
        }
        options.inputEncoding = encoding == u"utf-8" ? Encoding::kUtf8 : Encoding::kCp932;
    }
    if (parser.isSet(QStringLiteral("start-time"))) {
        const QString text = parser.value(QStringLiteral("start-time"));
        options.startUtc = archive::ParseTimeArgument(text, false);
        if (!options.startUtc) {
            return QStringLiteral(
                       "malformed or non-existent --start-time '%1' (expected "
                       "'YYYY-MM-DD HH:MM:SS' or ISO 8601)")
                .arg(text);
        }
    }
    return parser.isSet(QStringLiteral("time"))
               ? ReadTime(parser.value(QStringLiteral("time")), options)
               : QString();
}

// What each command needs beyond its options.
QString CheckArguments(const ArchiveOptions& options) {
    switch (options.command) {
        case ArchiveCommand::kImport:
            return options.arguments.isEmpty()
                       ? QStringLiteral("import needs at least one log or recording")
                       : QString();
        case ArchiveCommand::kPlot:
            if (options.arguments.isEmpty()) {
                return QStringLiteral("plot needs at least one field");
            }
            return archive::IsPlotFileName(options.outputPath)
                       ? QString()
                       : QStringLiteral("plot needs -o FILE.png, FILE.svg or FILE.pdf");
        case ArchiveCommand::kExport:
        case ArchiveCommand::kStats:
            break;
    }
    return options.arguments.isEmpty()
               ? QString()
               : QStringLiteral("unexpected argument '%1'").arg(options.arguments.first());
}

void AddOptions(QCommandLineParser& parser) {
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    for (const char* name : {"archive", "from", "to", "format", "time", "start-time",
                             "input-encoding", "o", "width", "height"}) {
        parser.addOption(
            QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value")));
    }
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
    parser.addOption(QCommandLineOption(QStringLiteral("version")));
}

QString ReadSize(const QCommandLineParser& parser, const QString& name, int& size) {
    if (!parser.isSet(name)) {
        return {};
    }
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    constexpr int kLargest = 20000;
    if (!ok || value < 100 || value > kLargest) {
        return QStringLiteral("--%1 must be a number of pixels from 100 to %2")
            .arg(name)
            .arg(kLargest);
    }
    size = value;
    return {};
}

}  // namespace

ParsedArchiveOptions ParseArchiveOptions(const QStringList& arguments) {
    ParsedArchiveOptions parsed;
    QCommandLineParser parser;
    AddOptions(parser);
    if (!parser.parse(QStringList{QStringLiteral("telvane-archive")} + arguments)) {
        parsed.error = parser.errorText();
        return parsed;
    }
    parsed.help = parser.isSet(QStringLiteral("help"));
    parsed.version = parser.isSet(QStringLiteral("version"));
    QStringList positional = parser.positionalArguments();
    if (parsed.help || parsed.version) {
        return parsed;
    }
    if (positional.isEmpty()) {
        parsed.error = QStringLiteral("no command given (import, export, plot or stats)");
        return parsed;
    }
    ArchiveOptions& options = parsed.options;
    options.archivePath = parser.value(QStringLiteral("archive"));
    options.outputPath = parser.value(QStringLiteral("o"));
    parsed.error = ReadCommand(positional.takeFirst(), options.command);
    options.arguments = positional;
    for (const QString& problem :
         {ReadBound(parser, QStringLiteral("from"), false, options.range.fromMs),
          ReadBound(parser, QStringLiteral("to"), true, options.range.toMs),
          ReadChoices(parser, options), ReadSize(parser, QStringLiteral("width"), options.width),
          ReadSize(parser, QStringLiteral("height"), options.height), CheckArguments(options)}) {
        if (parsed.error.isEmpty()) {
            parsed.error = problem;
        }
    }
    if (parser.isSet(QStringLiteral("archive")) && options.archivePath.isEmpty() &&
        parsed.error.isEmpty()) {
        parsed.error = QStringLiteral("--archive needs a file name");
    }
    return parsed;
}

QString ArchiveUsage() {
    return QStringLiteral(
        R"(Usage: telvane-archive import [--time 'YYYY-MM-DD HH:MM:SS'] [--start-time T]
                              [--input-encoding utf-8|cp932] LOG|RECORDING...
       telvane-archive export [--from T] [--to T] [--format json|csv] [-o FILE]
       telvane-archive plot FIELD... [--from T] [--to T] [--width PX] [--height PX] -o FILE.png|svg|pdf
       telvane-archive stats
Every command also takes --archive PATH (default: the Telvane archive in the
application data folder, ~/.local/share/Telvane/archive.sqlite on Linux).

The telemetry archive keeps every beacon Telvane converts: its six lines as heard,
when and where it came from, and every decoded field.

  import   converts and records every beacon of batch logs (lines headed ZK1 to ZK6);
           --time is when they were heard, in local time (default: now). Recordings
           (WAV, FLAC, Ogg ...) are decoded and each beacon copied from them is
           recorded; they began at --start-time, else at the date and time in the
           file name ('Z' after it for UTC, else local time), else at the file's
           modification time less its duration. A beacon already recorded from the
           same place of the same source is kept once.
  export   writes the recorded beacons, oldest first, with the fields and formats of
           telvane-convert: JSON Lines (default) or CSV
  plot     draws the chosen fields against reception time, as the history window
           does, into a PNG, SVG or PDF file (FIELD as in the JSON output, such as
           battery_voltage_v or temperature_plus_x_panel_c)
  stats    counts, the first and last beacon, and each field's minimum, maximum and
           latest value

  --from T, --to T   reception times from T up to T: 'YYYY-MM-DD HH:MM:SS' or
                     'YYYY-MM-DD' in local time, or ISO 8601 with Z or an offset;
                     a --to date includes its whole day
  -h, --help         show this help
      --version      show the version

Exit status: 0 on success, 2 for bad input or usage, 1 when the archive or the output
cannot be written or read.
)");
}

}  // namespace telvane::cli
