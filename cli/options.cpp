#include "options.h"

#include <QCommandLineParser>
#include <QFile>
#include <QRegularExpression>
#include <array>

#include "local_time_zone.h"

namespace telvane::cli {
namespace {

template <typename Value>
struct Choice {
    std::string_view name;
    Value value;
};

constexpr std::array<Choice<Format>, 3> kFormats = {
    {{"text", Format::kText}, {"json", Format::kJson}, {"csv", Format::kCsv}}};
constexpr std::array<Choice<Encoding>, 2> kEncodings = {
    {{"utf-8", Encoding::kUtf8}, {"cp932", Encoding::kCp932}}};

template <typename Value, std::size_t N>
std::optional<Value> Choose(const std::array<Choice<Value>, N>& choices, std::string_view name) {
    for (const Choice<Value>& choice : choices) {
        if (choice.name == name) {
            return choice.value;
        }
    }
    return std::nullopt;
}

// Option values and paths as the system's bytes.
std::string BytesOf(const QString& text) {
    return QFile::encodeName(text).toStdString();
}

// The parser's own complaint, in the converter's words.
std::string ParserError(const QCommandLineParser& parser) {
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
        const QString& name = unknown.constFirst();
        return "unknown option '" + std::string(name.size() == 1 ? "-" : "--") + BytesOf(name) +
               "'";
    }
    static const QRegularExpression missing(QStringLiteral("^Missing value after '(.*)'\\.$"));
    const QRegularExpressionMatch match = missing.match(parser.errorText());
    return match.hasMatch() ? BytesOf(match.captured(1)) + " needs a value"
                            : BytesOf(parser.errorText());
}

std::string ApplyTime(Options& options, const std::string& value) {
    const TypedTime typed = ParseLocalTime(value);
    options.time = typed.time;
    switch (typed.problem) {
        case TimeProblem::kNone:
            return "";
        case TimeProblem::kMalformed:
            return "malformed --time '" + value + "' (expected 'YYYY-MM-DD HH:MM:SS')";
        case TimeProblem::kNonexistent:
            return "--time '" + value + "' does not exist in the local time zone (the clocks " +
                   "skip it when summer time begins)";
    }
    return "";
}

std::string ApplyEncoding(Encoding& encoding, const std::string& value, std::string_view option) {
    const std::optional<Encoding> chosen = Choose(kEncodings, value);
    encoding = chosen.value_or(encoding);
    return chosen ? ""
                  : "unknown encoding '" + value + "' for " + std::string(option) +
                        " (expected utf-8 or cp932)";
}

// Reads the values of the options that take one; returns the first error, empty if none.
std::string ApplyValues(const QCommandLineParser& parser, Options& options) {
    std::string error;
    const auto valueOf = [&](const char* name) { return BytesOf(parser.value(name)); };
    if (parser.isSet("time")) {
        error = ApplyTime(options, valueOf("time"));
    }
    if (error.empty() && parser.isSet("input-encoding")) {
        error = ApplyEncoding(options.inputEncoding, valueOf("input-encoding"), "--input-encoding");
    }
    if (error.empty() && parser.isSet("output-encoding")) {
        error =
            ApplyEncoding(options.outputEncoding, valueOf("output-encoding"), "--output-encoding");
    }
    if (error.empty() && parser.isSet("format")) {
        const std::string value = valueOf("format");
        const std::optional<Format> format = Choose(kFormats, value);
        options.format = format.value_or(Format::kText);
        error = format ? "" : "unknown format '" + value + "' (expected text, json or csv)";
    }
    if (error.empty() && parser.isSet("o")) {
        options.outputPath = valueOf("o");
        error = options.outputPath.empty() ? "-o needs a file name" : "";
    }
    if (error.empty() && parser.isSet("audio")) {
        options.audioPath = valueOf("audio");
        error = options.audioPath.empty() ? "--audio needs a recording" : "";
    }
    if (error.empty() && parser.isSet("device")) {
        options.device = valueOf("device");
        error = options.device.empty() ? "--device needs a name (see --list-devices)" : "";
    }
    if (parser.isSet("archive")) {
        options.archivePath = valueOf("archive");
    }
    return error;
}

// What only makes sense with other options.
std::string CheckCombinations(const Options& options) {
    if (!options.audioPath.empty() && !options.inputPath.empty()) {
        return "--audio takes the recording in place of FILE";
    }
    if (options.transcript && options.audioPath.empty()) {
        return "--transcript needs --audio";
    }
    if (options.listen && !(options.audioPath.empty() && options.inputPath.empty())) {
        return "--listen takes no FILE or --audio";
    }
    if (!options.device.empty() && !options.listen) {
        return "--device needs --listen";
    }
    return "";
}

void AddOptions(QCommandLineParser& parser) {
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const char* name : {"time", "input-encoding", "output-encoding", "format", "o", "audio",
                             "archive", "device"}) {
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), {}, QStringLiteral("v")));
    }
    for (const char* name : {"batch", "quiet", "transcript", "listen", "list-devices", "version"}) {
        parser.addOption(QCommandLineOption(QString::fromLatin1(name)));
    }
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
}

}  // namespace

ParsedOptions ParseOptions(std::span<const std::string_view> args) {
    QStringList arguments{QStringLiteral("telvane-convert")};
    for (const std::string_view arg : args) {
        // --archive's path is optional: alone it means the default archive.
        const bool bareArchive = arg == "--archive" || arg == "-archive";
        arguments << (bareArchive ? QStringLiteral("--archive=")
                                  : QFile::decodeName(QByteArray(
                                        arg.data(), static_cast<qsizetype>(arg.size()))));
    }
    QCommandLineParser parser;
    AddOptions(parser);
    ParsedOptions parsed;
    if (!parser.parse(arguments)) {
        parsed.error = ParserError(parser);
        return parsed;
    }
    Options& options = parsed.options;
    options.help = parser.isSet("help");
    options.version = parser.isSet("version");
    options.batch = parser.isSet("batch");
    options.quiet = parser.isSet("quiet");
    options.transcript = parser.isSet("transcript");
    options.listen = parser.isSet("listen");
    options.listDevices = parser.isSet("list-devices");
    const QStringList inputs = parser.positionalArguments();
    if (inputs.size() > 1) {
        parsed.error = "more than one input file ('" + BytesOf(inputs[1]) + "')";
        return parsed;
    }
    options.inputPath = inputs.isEmpty() ? "" : BytesOf(inputs[0]);
    parsed.error = ApplyValues(parser, options);
    if (parsed.error.empty()) {
        parsed.error = CheckCombinations(options);
    }
    return parsed;
}

std::string_view UsageText() {
    return "Usage: telvane-convert [--time 'YYYY-MM-DD HH:MM:SS'] [--input-encoding utf-8|cp932]\n"
           "                       [--output-encoding cp932|utf-8] [--format text|json|csv]\n"
           "                       [--batch] [--quiet] [--archive[=PATH]] [-o PATH]\n"
           "                       [FILE | --audio RECORDING [--transcript]\n"
           "                        | --listen [--device NAME]]\n"
           "       telvane-convert --list-devices\n"
           "\n"
           "Converts the six lines of an ORBEL-K CW beacon (headers ZK1 to ZK6) into a Telvane\n"
           "report, byte for byte as the Telvane dialog saves it (code page 932, CR LF).\n"
           "\n"
           "Line k of FILE (standard input when FILE is absent or '-') is beacon line k; fewer\n"
           "than six lines leave the remaining lines empty. LF, CR LF and CR end lines.\n"
           "\n"
           "  --time 'YYYY-MM-DD HH:MM:SS'  conversion time in local time (default: now); a\n"
           "                                repeated hour means its first occurrence\n"
           "  --input-encoding utf-8|cp932  how the input is encoded (default: utf-8)\n"
           "  --output-encoding cp932|utf-8 how text reports are written (default: cp932)\n"
           "  --format text|json|csv        the report (default), or the decoded values as\n"
           "                                JSON or CSV (UTF-8)\n"
           "  --batch                       FILE is a log of many beacons, each line with its\n"
           "                                header; JSON gives JSON Lines, CSV one row per "
           "beacon,\n"
           "                                text one report file per beacon in the folder -o\n"
           "  --quiet                       no warnings about characters that will not read\n"
           "                                as typed\n"
           "  -o PATH                       write to PATH instead of standard output ('-' is\n"
           "                                standard output)\n"
           "  --audio RECORDING             copy the beacon from a recording (WAV, FLAC, Ogg\n"
           "                                ...): the one copied best, or every one with\n"
           "                                --batch\n"
           "  --transcript                  write everything heard in the recording, with\n"
           "                                times, instead of the beacons\n"
           "  --listen                      copy beacons from an audio input as they are keyed,\n"
           "                                writing each one as it completes, until interrupted\n"
           "                                (Ctrl+C)\n"
           "  --device NAME                 the input to listen to (default: the system's)\n"
           "  --list-devices                list the audio inputs, outputs' monitors included:\n"
           "                                name, tab, description\n"
           "  --archive[=PATH]              also record the beacons in the telemetry archive\n"
           "                                (the default one without PATH)\n"
           "  -h, --help                    show this help\n"
           "      --version                 show the version\n"
           "\n"
           "Exit status: 0 on success, 2 for bad input or usage, 1 when the output cannot be "
           "written,\n"
           "3 when a recording holds no beacon or there is no audio input.\n";
}

}  // namespace telvane::cli
