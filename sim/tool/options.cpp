#include "sim/tool/options.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <map>
#include <utility>

namespace r462xe::sim {

const char* const kUsage = R"(Usage: r462xe-meter-sim [OPTION]...
A virtual R462xE meter on a pseudo-terminal (or a serial device), in real time.
Prints the device path the updater should open as its first line.

Meter:
  --maker TEXT --model TEXT --serial TEXT --version TEXT --new-version TEXT
                          what *IDN? reports (new version: after a complete update)
  --update-mode           start in update mode (19200 baud, boot loader)
Faults:
  --star-e N              answer the first N *IDN? queries with *E
  --xon                   send XON after the *IDN? reply
  --idn-reply TEXT        send TEXT instead of the *IDN? reply (C escapes: \r \n \x11)
  --reject-block K        reject block K once
  --reject-always         ... every time it comes
  --silent-from-block K   no reply to block frames from block K on
  --never-ack             no ACK to UPGR 1 in update mode
  --miss-enter N          the first N plain UPGR 1 lines go unheard
  --hang-after-leave      after UPGR 0 write, then answer nothing until a power cycle
  --block-reply TEXT      with --block-reply-at K: send TEXT (masked) instead of the verdict
  --block-reply-at K
  --unplug-at-block K     close the port when block K has come, then exit
  --restart-seconds S     restart time after UPGR 1 / UPGR 0 (default 2)
  --reply-delay S         processing time before a reply (default 0.005)
Line:
  --device PATH           use this serial device instead of a pseudo-terminal
  --no-pacing             pass bytes on as they come instead of 10 bit times each
Tool:
  --expect-image FILE     after each UPGR 0 restart print whether the flash equals FILE
  --power-cycle-on SIG    power-cycle the meter on this signal (default USR1)
  --help                  show this and exit
Ends on SIGTERM or SIGINT.
)";

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

ToolOptions parse_options(const std::vector<std::string>& args) {
    ToolOptions options;
    options.power_cycle_signal = SIGUSR1;
    MeterIdentity& id = options.identity;
    MeterFaults& faults = options.faults;

    using Flag = std::function<void()>;
    using Valued = std::function<void(const std::string& option, const std::string& value)>;
    const std::map<std::string, Flag> flags = {
        {"--update-mode", [&] { faults.start_in_update_mode = true; }},
        {"--xon", [&] { faults.xon_after_reply = true; }},
        {"--reject-always", [&] { faults.reject_always = true; }},
        {"--never-ack", [&] { faults.never_acknowledge = true; }},
        {"--hang-after-leave", [&] { faults.hang_after_leave = true; }},
        {"--no-pacing", [&] { options.pacing = false; }},
        {"--help", [&] { options.help = true; }},
    };
    const std::map<std::string, Valued> valued = {
        {"--maker", [&](auto&, auto& v) { id.maker = v; }},
        {"--model", [&](auto&, auto& v) { id.model = v; }},
        {"--serial", [&](auto&, auto& v) { id.serial = v; }},
        {"--version", [&](auto&, auto& v) { id.version = v; }},
        {"--new-version", [&](auto&, auto& v) { id.new_version = v; }},
        {"--star-e", [&](auto& o, auto& v) { faults.star_e_first = parse_int(o, v); }},
        {"--idn-reply", [&](auto&, auto& v) { faults.idn_reply_verbatim = unescape(v); }},
        {"--miss-enter", [&](auto& o, auto& v) { faults.miss_enter_first = parse_int(o, v); }},
        {"--reject-block", [&](auto& o, auto& v) { faults.reject_block = parse_int(o, v); }},
        {"--silent-from-block",
         [&](auto& o, auto& v) { faults.silent_from_block = parse_int(o, v); }},
        {"--block-reply", [&](auto&, auto& v) { faults.block_reply_verbatim = unescape(v); }},
        {"--block-reply-at",
         [&](auto& o, auto& v) { faults.reply_verbatim_block = parse_int(o, v); }},
        {"--unplug-at-block", [&](auto& o, auto& v) { faults.unplug_at_block = parse_int(o, v); }},
        {"--restart-seconds",
         [&](auto& o, auto& v) { faults.restart_seconds = parse_seconds(o, v); }},
        {"--reply-delay", [&](auto& o, auto& v) { faults.reply_delay = parse_seconds(o, v); }},
        {"--device", [&](auto&, auto& v) { options.device = v; }},
        {"--expect-image", [&](auto&, auto& v) { options.expect_image = v; }},
        {"--power-cycle-on", [&](auto&, auto& v) { options.power_cycle_signal = parse_signal(v); }},
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string option = args[i];
        std::optional<std::string> value;
        if (const auto equals = option.find('=');
            option.rfind("--", 0) == 0 && equals != option.npos) {
            value = option.substr(equals + 1);
            option.resize(equals);
        }
        if (const auto flag = flags.find(option); flag != flags.end()) {
            if (value) throw UsageError(option + " takes no value");
            flag->second();
        } else if (const auto takes = valued.find(option); takes != valued.end()) {
            if (!value) {
                if (i + 1 == args.size()) throw UsageError(option + " wants a value");
                value = args[++i];
            }
            takes->second(option, *value);
        } else {
            throw UsageError("unknown option '" + option + "'");
        }
    }
    if (faults.block_reply_verbatim.has_value() != (faults.reply_verbatim_block >= 0)) {
        throw UsageError("--block-reply and --block-reply-at go together");
    }
    if (faults.reject_always && faults.reject_block < 0) {
        throw UsageError("--reject-always wants --reject-block");
    }
    return options;
}

}  // namespace r462xe::sim
