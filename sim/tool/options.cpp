#include "sim/tool/options.h"

#include <QCommandLineParser>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <map>
#include <utility>

namespace r462xe::sim {

namespace {

int parse_int(const std::string& option, const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || value < 0 || value > 1'000'000) {
        throw UsageError(option + " wants a whole number >= 0, not '" + text + "'");
    }
    return static_cast<int>(value);
}

double parse_seconds(const std::string& option, const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(value >= 0 && value <= 3600)) {
        throw UsageError(option + " wants seconds (0 to 3600), not '" + text + "'");
    }
    return value;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out.push_back(text[i]);
            continue;
        }
        if (++i == text.size()) throw UsageError("'" + text + "' ends in a lone backslash");
        switch (text[i]) {
            case 'r':
                out.push_back('\r');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 't':
                out.push_back('\t');
                break;
            case '0':
                out.push_back('\0');
                break;
            case '\\':
                out.push_back('\\');
                break;
            case '"':
                out.push_back('"');
                break;
            case 'x': {
                int value = 0;
                int digits = 0;
                while (digits < 2 && i + 1 < text.size() && hex_digit(text[i + 1]) >= 0) {
                    value = value * 16 + hex_digit(text[++i]);
                    ++digits;
                }
                if (digits == 0) throw UsageError("'" + text + "': \\x wants hex digits");
                out.push_back(static_cast<char>(value));
                break;
            }
            default:
                throw UsageError("'" + text + "': unknown escape \\" + std::string(1, text[i]));
        }
    }
    return out;
}

int parse_signal(const std::string& text) {
    static const std::map<std::string, int> names = {
        {"HUP", SIGHUP},   {"QUIT", SIGQUIT},   {"USR1", SIGUSR1}, {"USR2", SIGUSR2},
        {"ALRM", SIGALRM}, {"WINCH", SIGWINCH}, {"TERM", SIGTERM}, {"INT", SIGINT},
        {"KILL", SIGKILL}, {"STOP", SIGSTOP},
    };
    int number = 0;
    std::string name = text.rfind("SIG", 0) == 0 ? text.substr(3) : text;
    if (auto found = names.find(name); found != names.end()) {
        number = found->second;
    } else if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos &&
               name.size() < 4) {
        number = std::stoi(name);
    } else {
        throw UsageError("--power-cycle-on: unknown signal '" + text + "'");
    }
    // TERM and INT end the tool; KILL and STOP cannot be caught.
    if (number < 1 || number > SIGRTMAX || number == SIGTERM || number == SIGINT ||
        number == SIGKILL || number == SIGSTOP) {
        throw UsageError("--power-cycle-on: signal '" + text + "' cannot be used");
    }
    return number;
}

namespace {

// An option and what it does to the options read so far; `value` is empty for a flag.
struct ToolOption {
    const char* name;
    const char* value_name;  // nullptr: a flag
    const char* description;
    std::function<void(ToolOptions& options, const std::string& option, const std::string& value)>
        apply;
};

const std::vector<ToolOption>& tool_options() {
    using O = ToolOptions;
    using S = const std::string;
    static const std::vector<ToolOption> table = {
        // The meter.
        {"maker", "TEXT", "What *IDN? reports as the maker.",
         [](O& o, S&, S& v) { o.identity.maker = v; }},
        {"model", "TEXT", "... as the model.", [](O& o, S&, S& v) { o.identity.model = v; }},
        {"serial", "TEXT", "... as the serial number.",
         [](O& o, S&, S& v) { o.identity.serial = v; }},
        {"version", "TEXT", "... as the firmware version.",
         [](O& o, S&, S& v) { o.identity.version = v; }},
        {"new-version", "TEXT", "... as the firmware version after a complete update.",
         [](O& o, S&, S& v) { o.identity.new_version = v; }},
        {"update-mode", nullptr, "Start in update mode (19200 baud, boot loader).",
         [](O& o, S&, S&) { o.faults.start_in_update_mode = true; }},
        // Faults.
        {"star-e", "N", "Answer the first N *IDN? queries with *E.",
         [](O& o, S& n, S& v) { o.faults.star_e_first = parse_int(n, v); }},
        {"xon", nullptr, "Send XON after the *IDN? reply.",
         [](O& o, S&, S&) { o.faults.xon_after_reply = true; }},
        {"idn-reply", "TEXT", "Send TEXT instead of the *IDN? reply (C escapes: \\r \\n \\x11).",
         [](O& o, S&, S& v) { o.faults.idn_reply_verbatim = unescape(v); }},
        {"reject-block", "K", "Reject block K once.",
         [](O& o, S& n, S& v) { o.faults.reject_block = parse_int(n, v); }},
        {"reject-always", nullptr, "... every time it comes.",
         [](O& o, S&, S&) { o.faults.reject_always = true; }},
        {"silent-from-block", "K", "No reply to block frames from block K on.",
         [](O& o, S& n, S& v) { o.faults.silent_from_block = parse_int(n, v); }},
        {"never-ack", nullptr, "No ACK to UPGR 1 in update mode.",
         [](O& o, S&, S&) { o.faults.never_acknowledge = true; }},
        {"miss-enter", "N", "The first N plain UPGR 1 lines go unheard.",
         [](O& o, S& n, S& v) { o.faults.miss_enter_first = parse_int(n, v); }},
        {"hang-after-leave", nullptr,
         "After UPGR 0 write, then answer nothing until a power cycle.",
         [](O& o, S&, S&) { o.faults.hang_after_leave = true; }},
        {"block-reply", "TEXT",
         "With --block-reply-at K: send TEXT (masked) instead of the verdict.",
         [](O& o, S&, S& v) { o.faults.block_reply_verbatim = unescape(v); }},
        {"block-reply-at", "K", "The block whose verdict --block-reply replaces.",
         [](O& o, S& n, S& v) { o.faults.reply_verbatim_block = parse_int(n, v); }},
        {"unplug-at-block", "K", "Close the port when block K has come, then exit.",
         [](O& o, S& n, S& v) { o.faults.unplug_at_block = parse_int(n, v); }},
        {"restart-seconds", "S", "Restart time after UPGR 1 / UPGR 0 (default 2).",
         [](O& o, S& n, S& v) { o.faults.restart_seconds = parse_seconds(n, v); }},
        {"reply-delay", "S", "Processing time before a reply (default 0.005).",
         [](O& o, S& n, S& v) { o.faults.reply_delay = parse_seconds(n, v); }},
        // The line.
        {"device", "PATH", "Use this serial device instead of a pseudo-terminal.",
         [](O& o, S&, S& v) { o.device = v; }},
        {"no-pacing", nullptr, "Pass bytes on as they come instead of 10 bit times each.",
         [](O& o, S&, S&) { o.pacing = false; }},
        // The tool.
        {"expect-image", "FILE", "After each UPGR 0 restart print whether the flash equals FILE.",
         [](O& o, S&, S& v) { o.expect_image = v; }},
        {"replay", "FILE",
         "Play the meter of a recorded session instead: answer as recorded while the host "
         "sends what the recording holds; at the first divergence say where and fall silent.",
         [](O& o, S&, S& v) { o.replay = v; }},
        {"power-cycle-on", "SIG", "Power-cycle the meter on this signal (default USR1).",
         [](O& o, S&, S& v) { o.power_cycle_signal = parse_signal(v); }},
    };
    return table;
}

// A parser that knows every option of the tool.
class ToolParser {
  public:
    ToolParser() {
        parser_.setApplicationDescription(QStringLiteral(
            "A virtual R462xE meter on a pseudo-terminal (or a serial device), in real time.\n"
            "Prints the device path the updater should open as its first line.\n"
            "Ends on SIGTERM or SIGINT."));
        parser_.addOption(help_);
        for (const ToolOption& option : tool_options()) {
            parser_.addOption(option.value_name
                                  ? QCommandLineOption(QString::fromLatin1(option.name),
                                                       QString::fromLatin1(option.description),
                                                       QString::fromLatin1(option.value_name))
                                  : QCommandLineOption(QString::fromLatin1(option.name),
                                                       QString::fromLatin1(option.description)));
        }
    }

    QCommandLineParser& parser() { return parser_; }
    const QCommandLineOption& help() const { return help_; }

  private:
    QCommandLineParser parser_;
    // Only -h and --help: the tool takes none of Qt's own options, and --version is the meter's.
    QCommandLineOption help_{{QStringLiteral("h"), QStringLiteral("help")},
                             QStringLiteral("Displays help on commandline options.")};
};

}  // namespace

std::string usage() {
    ToolParser tool;
    return tool.parser().helpText().toStdString();
}

ToolOptions parse_options(const QStringList& arguments) {
    ToolParser tool;
    QCommandLineParser& parser = tool.parser();
    if (!parser.parse(arguments)) throw UsageError(parser.errorText().toStdString());
    ToolOptions options;
    options.power_cycle_signal = SIGUSR1;
    if (parser.isSet(tool.help())) {
        options.help = true;
        return options;
    }
    if (!parser.positionalArguments().isEmpty())
        throw UsageError("Unexpected argument '" +
                         parser.positionalArguments().first().toStdString() + "'.");
    for (const ToolOption& option : tool_options()) {
        const QString name = QString::fromLatin1(option.name);
        if (!parser.isSet(name)) continue;
        // The last of a repeated option counts.
        const std::string value =
            option.value_name ? parser.value(name).toLatin1().toStdString() : std::string();
        option.apply(options, std::string("--") + option.name, value);
    }

    const MeterFaults& faults = options.faults;
    if (faults.block_reply_verbatim.has_value() != (faults.reply_verbatim_block >= 0)) {
        throw UsageError("--block-reply and --block-reply-at go together");
    }
    if (faults.reject_always && faults.reject_block < 0) {
        throw UsageError("--reject-always wants --reject-block");
    }
    return options;
}

}  // namespace r462xe::sim
