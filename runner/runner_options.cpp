#include "runner/runner_options.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cmath>

#include "serial/port_numbers.h"

namespace r462xe::runner {

namespace {

// The arguments come as Latin-1, one character a byte (see runner.cpp): back to the bytes the
// system gave, so that file names keep their encoding.
std::string bytes_of(const QString& value) {
    return value.toLatin1().toStdString();
}

std::optional<int> whole_number(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || text.trimmed() != text || text.startsWith(u'+')) return std::nullopt;
    return value;
}

std::optional<double> seconds(const QString& text) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || text.trimmed() != text || !std::isfinite(value) || value < 0) return std::nullopt;
    return value;
}

// The --port values: COM number and device, each number once, within COM1 to COM16.
std::optional<std::string> read_ports(const QStringList& values,
                                      std::map<int, std::string>& ports) {
    for (const QString& value : values) {
        const auto equals = value.indexOf(u'=');
        if (equals < 0) return "--port wants N=DEVICE, got " + bytes_of(value);
        const auto number = whole_number(value.left(equals));
        const std::string device = bytes_of(value.mid(equals + 1));
        if (!number || *number < kFirstPortNumber || *number > kLastPortNumber)
            return "--port: the port number must be 1 to 16, got " + bytes_of(value);
        if (device.empty()) return "--port: no device in " + bytes_of(value);
        if (ports.contains(*number))
            return "--port: COM" + std::to_string(*number) + " given twice";
        ports[*number] = device;
    }
    return std::nullopt;
}

// A parser that knows every option of the runner.
class RunnerParser {
  public:
    RunnerParser() {
        parser_.setApplicationDescription(QStringLiteral(
            "The firmware updater's window, run unattended: every change of the window is\n"
            "printed as one line on standard output. The exit status is 0 when an update\n"
            "succeeded, or when none was asked for and the window was closed."));
        parser_.addOptions(
            {help, version, port, folder, upload, presses, answer_after, stay, record});
    }

    QCommandLineParser& parser() { return parser_; }

    // Only -h and --help: the runner hands none of Qt's own options to Qt.
    const QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays help on commandline options.")};
    const QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Displays version information.")};
    const QCommandLineOption port{
        QStringLiteral("port"),
        QStringLiteral("COMN is DEVICE; when any is given, only the given COM numbers exist "
                       "(N from 1 to 16; repeat for more ports)."),
        QStringLiteral("N=DEVICE")};
    const QCommandLineOption folder{
        QStringLiteral("folder"),
        QStringLiteral("The program's folder, where the firmware image lies (default: the "
                       "runner's own folder)."),
        QStringLiteral("DIR")};
    const QCommandLineOption upload{
        QStringLiteral("upload"),
        QStringLiteral("After start-up press \"Upload Firmware\" until an update succeeds.")};
    const QCommandLineOption presses{
        QStringLiteral("presses"), QStringLiteral("With --upload: at most K presses (default 3)."),
        QStringLiteral("K")};
    const QCommandLineOption answer_after{
        QStringLiteral("answer-after"),
        QStringLiteral("Message boxes answer themselves after S seconds (default 0.5)."),
        QStringLiteral("S")};
    const QCommandLineOption stay{
        QStringLiteral("stay"),
        QStringLiteral("Keep the window open after start-up and after the presses, until it is "
                       "closed.")};

    const QCommandLineOption record{
        QStringLiteral("record"),
        QStringLiteral("Write every byte that crosses the port, both ways, with its time and "
                       "line speed, to FILE (it holds the meter's serial number)."),
        QStringLiteral("FILE")};

  private:
    QCommandLineParser parser_;
};

}  // namespace

ParseResult parse_options(const QStringList& arguments) {
    RunnerParser options_of;
    QCommandLineParser& parser = options_of.parser();
    ParseResult result;
    const auto fail = [&result](std::string reason) {
        result.outcome = ParseResult::Outcome::Error;
        result.error = std::move(reason);
        return result;
    };
    if (!parser.parse(arguments)) return fail(parser.errorText().toStdString());
    if (parser.isSet(options_of.help)) {
        result.outcome = ParseResult::Outcome::Help;
        return result;
    }
    if (parser.isSet(options_of.version)) {
        result.outcome = ParseResult::Outcome::Version;
        return result;
    }
    if (!parser.positionalArguments().isEmpty())
        return fail("Unexpected argument '" + bytes_of(parser.positionalArguments().first()) +
                    "'.");

    Options& options = result.options;
    if (const auto error = read_ports(parser.values(options_of.port), options.ports))
        return fail(*error);
    if (parser.isSet(options_of.folder)) {
        const QString folder = parser.value(options_of.folder);
        if (folder.isEmpty()) return fail("--folder: empty folder");
        options.folder = bytes_of(folder);
    }
    if (parser.isSet(options_of.presses)) {
        const QString presses = parser.value(options_of.presses);
        const auto number = whole_number(presses);
        if (!number || *number < 1 || *number > 1000)
            return fail("--presses wants a count of 1 or more, got " + bytes_of(presses));
        options.presses = *number;
    }
    if (parser.isSet(options_of.answer_after)) {
        const QString answer_after = parser.value(options_of.answer_after);
        const auto parsed = seconds(answer_after);
        if (!parsed)
            return fail("--answer-after wants seconds (0 or more), got " + bytes_of(answer_after));
        options.answer_after = *parsed;
    }
    options.upload = parser.isSet(options_of.upload);
    options.stay = parser.isSet(options_of.stay);
    if (parser.isSet(options_of.record)) {
        const QString record = parser.value(options_of.record);
        if (record.isEmpty()) return fail("--record: empty file name");
        options.record = bytes_of(record);
    }
    return result;
}

std::string usage() {
    RunnerParser options_of;
    return options_of.parser().helpText().toStdString();
}

std::string version() {
    return (QCoreApplication::applicationName() + u' ' + QCoreApplication::applicationVersion() +
            u'\n')
        .toStdString();
}

}  // namespace r462xe::runner
