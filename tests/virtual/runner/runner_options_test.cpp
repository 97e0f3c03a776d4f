// The runner's command line: what a good one asks for, what --help and --version print, and the
// exact line a bad one is refused with, byte for byte as the users of the runner know them.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "runner/runner.h"

namespace r462xe {
namespace {

const std::string kProgram = "r462xe-fwupdate-runner";

const std::string kUsage =
    "Usage: r462xe-fwupdate-runner [options]\n"
    "The firmware updater's window, run unattended: every change of the window is\n"
    "printed as one line on standard output. The exit status is 0 when an update\n"
    "succeeded, 1 when none did or none was asked for, 2 for bad arguments.\n"
    "\n"
    "Options:\n"
    "  -h, --help          Displays help on commandline options.\n"
    "  -v, --version       Displays version information.\n"
    "  --port <N=DEVICE>   COMN is DEVICE; when any is given, only the given COM\n"
    "                      numbers exist (N from 1 to 16; repeat for more ports).\n"
    "  --folder <DIR>      The program's folder, where the firmware image lies\n"
    "                      (default: the runner's own folder).\n"
    "  --upload            After start-up press \"Upload Firmware\" until an update\n"
    "                      succeeds.\n"
    "  --presses <K>       With --upload: at most K presses (default 3).\n"
    "  --answer-after <S>  Message boxes answer themselves after S seconds (0 to\n"
    "                      3600; default 0.5).\n"
    "  --stay              Keep the window open after start-up and after the\n"
    "                      presses, until it is closed.\n"
    "  --record <FILE>     Write every byte that crosses the port, both ways, with\n"
    "                      its time and line speed, to FILE (it holds the meter's\n"
    "                      serial number).\n";

const std::string kVersion = "r462xe-fwupdate-runner 3.07\n";

std::string command_of(const std::vector<std::string>& arguments) {
    std::string line = kProgram;
    for (const std::string& argument : arguments) line += " [" + argument + "]";
    return line;
}

// What a good command line asks for, each field as the options hold it.
struct GoodCase {
    std::vector<std::string> arguments;
    std::map<int, std::string> ports = {};
    std::optional<std::string> folder = std::nullopt;
    bool upload = false;
    int presses = 3;
    double answer_after = 0.5;
    bool stay = false;
    std::optional<std::string> record = std::nullopt;
};

TEST(RunnerCommandLine, AGoodOneRunsWithTheOptionsItGives) {
    const std::vector<GoodCase> cases = {
        {.arguments = {}},
        {.arguments = {"--port", "3=/dev/ttyUSB0", "--port=1=/dev/ttyS0", "--port", "16=COM16"},
         .ports = {{1, "/dev/ttyS0"}, {3, "/dev/ttyUSB0"}, {16, "COM16"}}},
        {.arguments = {"--port", "01=/dev/a=b"}, .ports = {{1, "/dev/a=b"}}},
        {.arguments = {"--upload", "--presses", "5", "--answer-after", "20"},
         .upload = true,
         .presses = 5,
         .answer_after = 20},
        {.arguments = {"--presses=1000"}, .presses = 1000},
        {.arguments = {"--presses", "1", "--presses", "7"}, .presses = 7},
        {.arguments = {"--answer-after", "0"}, .answer_after = 0},
        {.arguments = {"--answer-after", "3600"}, .answer_after = 3600},
        {.arguments = {"--answer-after", "-0"}, .answer_after = 0},
        {.arguments = {"--answer-after", ".5e1"}, .answer_after = 5},
        {.arguments = {"--answer-after=+1.25"}, .answer_after = 1.25},
        {.arguments = {"--answer-after", "2."}, .answer_after = 2},
        {.arguments = {"--folder", "/tmp/a b", "--folder", "/srv/images"}, .folder = "/srv/images"},
        {.arguments = {"--folder", "/tmp/\xe9t\xe9"}, .folder = "/tmp/\xe9t\xe9"},
        {.arguments = {"--folder=-"}, .folder = "-"},
        {.arguments = {"--stay", "--record", "session.rec"}, .stay = true, .record = "session.rec"},
        {.arguments = {"--record", "--upload"}, .record = "--upload"},
    };
    for (const GoodCase& c : cases) {
        SCOPED_TRACE(command_of(c.arguments));
        const runner::CommandLine command_line = runner::read_command_line(kProgram, c.arguments);
        ASSERT_TRUE(command_line.options) << command_line.err;
        const runner::Options& options = *command_line.options;
        EXPECT_EQ(options.ports, c.ports);
        EXPECT_EQ(options.folder, c.folder);
        EXPECT_EQ(options.upload, c.upload);
        EXPECT_EQ(options.presses, c.presses);
        EXPECT_EQ(options.answer_after, c.answer_after);
        EXPECT_EQ(options.stay, c.stay);
        EXPECT_EQ(options.record, c.record);
        EXPECT_EQ(command_line.out, "");
        EXPECT_EQ(command_line.err, "");
    }
}

struct InfoCase {
    std::vector<std::string> arguments;
    const std::string& printed;
};

// --help and --version print on standard output and end the program with status 0; help wins over
// the version and over anything else the line holds, as long as every option in it is known.
TEST(RunnerCommandLine, HelpAndVersionArePrintedAndEndTheProgram) {
    const std::vector<InfoCase> cases = {
        {{"--help"}, kUsage},
        {{"-h"}, kUsage},
        {{"--h"}, kUsage},
        {{"--upload", "--help"}, kUsage},
        {{"-vh"}, kUsage},
        {{"--version", "--help"}, kUsage},
        {{"stray", "--help"}, kUsage},
        {{"--port", "99=x", "-h"}, kUsage},
        {{"--version"}, kVersion},
        {{"-v"}, kVersion},
        {{"--presses", "0", "--version"}, kVersion},
    };
    for (const InfoCase& c : cases) {
        SCOPED_TRACE(command_of(c.arguments));
        const runner::CommandLine command_line = runner::read_command_line(kProgram, c.arguments);
        EXPECT_FALSE(command_line.options);
        EXPECT_EQ(command_line.status, 0);
        EXPECT_EQ(command_line.out, c.printed);
        EXPECT_EQ(command_line.err, "");
    }
}

TEST(RunnerCommandLine, TheProgramsOwnNameStandsInTheTexts) {
    const runner::CommandLine help = runner::read_command_line("runner.exe", {"--help"});
    EXPECT_EQ(help.out.substr(0, help.out.find('\n') + 1), "Usage: runner.exe [options]\n");
    EXPECT_EQ(runner::read_command_line("runner.exe", {"-v"}).out, "runner.exe 3.07\n");
    const runner::CommandLine bad = runner::read_command_line("runner.exe", {"-x"});
    EXPECT_EQ(bad.err.substr(0, bad.err.find('\n') + 1), "runner.exe: Unknown option 'x'.\n");
}

struct BadCase {
    std::vector<std::string> arguments;
    std::string reason;
};

// A command line that cannot run: the reason after the program's name, then the usage, on
// standard error, and status 2.
TEST(RunnerCommandLine, ABadOneIsRefusedWithItsReasonAndTheUsage) {
    const std::vector<BadCase> cases = {
        {{"--bogus"}, "Unknown option 'bogus'."},
        {{"--bogus", "--other"}, "Unknown options: bogus, other."},
        {{"-x"}, "Unknown option 'x'."},
        {{"-hx"}, "Unknown option 'x'."},
        {{"-help"}, "Unknown options: e, l, p."},
        {{"---help"}, "Unknown option '-help'."},
        {{"--Help"}, "Unknown option 'Help'."},
        {{"--b\xe9gus"}, "Unknown option 'b\xe9gus'."},
        {{"--=x"}, "Unknown option ''."},
        {{"--help", "--bogus"}, "Unknown option 'bogus'."},
        {{"stray", "--bogus"}, "Unknown option 'bogus'."},
        {{"--port"}, "Missing value after '--port'."},
        {{"--folder"}, "Missing value after '--folder'."},
        {{"--presses", "2", "--record"}, "Missing value after '--record'."},
        {{"--bogus", "--presses"}, "Missing value after '--presses'."},
        {{"--upload=1", "--port"}, "Missing value after '--port'."},
        {{"--upload=yes"}, "Unexpected value after '--upload'."},
        {{"--upload=1", "--stay=2"}, "Unexpected value after '--stay'."},
        {{"-h=1"}, "Unexpected value after '-h'."},
        {{"-x=h"}, "Unexpected value after '-x'."},
        {{"--version="}, "Unexpected value after '--version'."},
        {{"stray"}, "Unexpected argument 'stray'."},
        {{"-"}, "Unexpected argument '-'."},
        {{""}, "Unexpected argument ''."},
        {{"--", "--upload"}, "Unexpected argument '--upload'."},
        {{"--upload", "one", "two"}, "Unexpected argument 'one'."},
        {{"st\xe9ray"}, "Unexpected argument 'st\xe9ray'."},
        {{"--presses", "0", "stray"}, "Unexpected argument 'stray'."},
        {{"--port", "1"}, "--port wants N=DEVICE, got 1"},
        {{"--port", "17=x"}, "--port: the port number must be 1 to 16, got 17=x"},
        {{"--port", "0=/dev/null"}, "--port: the port number must be 1 to 16, got 0=/dev/null"},
        {{"--port", "x=/dev/null"}, "--port: the port number must be 1 to 16, got x=/dev/null"},
        {{"--port", "+1=x"}, "--port: the port number must be 1 to 16, got +1=x"},
        {{"--port", " 1=x"}, "--port: the port number must be 1 to 16, got  1=x"},
        {{"--port", "=x"}, "--port: the port number must be 1 to 16, got =x"},
        {{"--port", "\xe9=x"}, "--port: the port number must be 1 to 16, got \xe9=x"},
        {{"--port", "1="}, "--port: no device in 1="},
        {{"--port", "3= "}, "--port: no device in 3= "},
        {{"--port", "3=\t"}, "--port: no device in 3=\t"},
        {{"--answer-after", "3000000"}, "--answer-after wants seconds from 0 to 3600, got 3000000"},
        {{"--answer-after", "1e308"}, "--answer-after wants seconds from 0 to 3600, got 1e308"},
        {{"--answer-after", "3600.5"}, "--answer-after wants seconds from 0 to 3600, got 3600.5"},
        {{"--port", "1=/dev/a", "--port", "1=/dev/b"}, "--port: COM1 given twice"},
        {{"--port", "1=a", "--port", "2=b", "--port", "02=c"}, "--port: COM2 given twice"},
        {{"--port", "99=x", "--presses", "0"}, "--port: the port number must be 1 to 16, got 99=x"},
        {{"--folder", ""}, "--folder: empty folder"},
        {{"--folder=/srv", "--folder="}, "--folder: empty folder"},
        {{"--presses", "x"}, "--presses wants a count of 1 or more, got x"},
        {{"--presses", "0"}, "--presses wants a count of 1 or more, got 0"},
        {{"--presses", "-1"}, "--presses wants a count of 1 or more, got -1"},
        {{"--presses", "1001"}, "--presses wants a count of 1 or more, got 1001"},
        {{"--presses", "+3"}, "--presses wants a count of 1 or more, got +3"},
        {{"--presses", "3 "}, "--presses wants a count of 1 or more, got 3 "},
        {{"--presses", "2x"}, "--presses wants a count of 1 or more, got 2x"},
        {{"--presses", "0x10"}, "--presses wants a count of 1 or more, got 0x10"},
        {{"--presses", "2147483648"}, "--presses wants a count of 1 or more, got 2147483648"},
        {{"--presses="}, "--presses wants a count of 1 or more, got "},
        {{"--presses", "1000", "--answer-after", "-1"},
         "--answer-after wants seconds from 0 to 3600, got -1"},
        {{"--answer-after", "soon"}, "--answer-after wants seconds from 0 to 3600, got soon"},
        {{"--answer-after", "inf"}, "--answer-after wants seconds from 0 to 3600, got inf"},
        {{"--answer-after", "nan"}, "--answer-after wants seconds from 0 to 3600, got nan"},
        {{"--answer-after", "1e400"}, "--answer-after wants seconds from 0 to 3600, got 1e400"},
        {{"--answer-after", "1e-400"}, "--answer-after wants seconds from 0 to 3600, got 1e-400"},
        {{"--answer-after", " 1"}, "--answer-after wants seconds from 0 to 3600, got  1"},
        {{"--answer-after", "1,5"}, "--answer-after wants seconds from 0 to 3600, got 1,5"},
        {{"--answer-after", "0x10"}, "--answer-after wants seconds from 0 to 3600, got 0x10"},
        {{"--answer-after", "+-0"}, "--answer-after wants seconds from 0 to 3600, got +-0"},
        {{"--answer-after", "1e"}, "--answer-after wants seconds from 0 to 3600, got 1e"},
        {{"--answer-after", "."}, "--answer-after wants seconds from 0 to 3600, got ."},
        {{"--answer-after="}, "--answer-after wants seconds from 0 to 3600, got "},
        {{"--record", ""}, "--record: empty file name"},
    };
    for (const BadCase& c : cases) {
        SCOPED_TRACE(command_of(c.arguments));
        const runner::CommandLine command_line = runner::read_command_line(kProgram, c.arguments);
        EXPECT_FALSE(command_line.options);
        EXPECT_EQ(command_line.status, 2);
        EXPECT_EQ(command_line.out, "");
        EXPECT_EQ(command_line.err, kProgram + ": " + c.reason + "\n" + kUsage);
    }
}

}  // namespace
}  // namespace r462xe
