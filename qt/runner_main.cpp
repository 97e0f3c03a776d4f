// r462xe-fwupdate-runner: the same window and logic, run unattended for demos and real-time tests.
// It prints every observable change of the window as one line of a transcript on stdout.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>
#include <string>

#include "image/image_reader.h"
#include "qt/program.h"
#include "runner/runner_options.h"
#include "runner/session_record.h"
#include "text/c_quote.h"

namespace {

using namespace r462xe;

constexpr int kIdlePollMs = 200;

class Transcript {
  public:
    Transcript() { clock_.start(); }
    // Flushed line by line: a reader follows the run as it happens, and nothing is lost when the
    // program ends at once.
    void line(const std::string& text) {
        std::printf("%.3f %s\n", static_cast<double>(clock_.nsecsElapsed()) / 1e9, text.c_str());
        std::fflush(stdout);
    }

  private:
    QElapsedTimer clock_;
};

}  // namespace

int main(int argc, char* argv[]) {
    Transcript transcript;
    // Qt sees none of the runner's options, only the program's name, as the usage shows it.
    std::string name = QFileInfo(QFile::decodeName(argv[0])).fileName().toStdString();
    char* qt_argv[] = {name.data(), nullptr};
    int qt_argc = 1;
    QCoreApplication::setApplicationVersion(QStringLiteral(R462XE_VERSION));

    // Each byte one character: the device and folder names come back unchanged, whatever their
    // encoding.
    QStringList arguments{QString::fromStdString(name)};
    for (int i = 1; i < argc; ++i) arguments.append(QString::fromLatin1(argv[i]));
    const auto parsed = runner::parse_options(arguments);
    if (parsed.outcome != runner::ParseResult::Outcome::Run) {
        // Texts only: an application object without a window, for the program's name.
        const QCoreApplication app(qt_argc, qt_argv);
        if (parsed.outcome == runner::ParseResult::Outcome::Error) {
            std::fprintf(stderr, "%s: %s\n%s", name.c_str(), parsed.error.c_str(),
                         runner::usage().c_str());
            return 2;
        }
        const bool help = parsed.outcome == runner::ParseResult::Outcome::Help;
        std::fputs((help ? runner::usage() : runner::version()).c_str(), stdout);
        return 0;
    }
    const runner::Options& options = parsed.options;

    // Unattended runs go on without a display: the window exists, drawn nowhere, and the
    // transcript shows everything it would show.
    if (no_display()) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(qt_argc, qt_argv);
    // No instance lock: unattended runs may go side by side, each on its own ports.
    QtProgram program(
        options.ports.empty() ? PortMap(PortNumbering::device_order) : PortMap(options.ports),
        std::nullopt);
    Form1& form = program.form();

    const auto succeeded = [&form] { return form.last_update == UpdateOutcome::Succeeded; };
    // The folder as the system named it, in its encoding of file names.
    if (options.folder)
        program.window_system().set_program_folder(
            QFile::decodeName(QByteArray::fromStdString(*options.folder)));

    std::unique_ptr<runner::SessionRecord> record;
    if (options.record) {
        record = runner::SessionRecord::open(
            options, program.window_system().program_folder() / kImageFileName,
            program.port().now());
        if (!record) {
            std::fprintf(stderr, "%s: --record: cannot write %s\n", name.c_str(),
                         options.record->c_str());
            return 2;
        }
        program.port().set_observer(&record->observer());
    }
    program.window_system().set_exit_status([&] {
        if (record) {
            const UpdateOutcome outcome = form.last_update;
            record->finish(outcome == UpdateOutcome::Succeeded ? "succeeded"
                           : outcome == UpdateOutcome::Failed  ? "failed"
                                                               : "none");
        }
        return succeeded() ? 0 : 1;
    });
    program.messages().set_auto_answer(options.answer_after);
    program.messages().set_observer(
        [&](const std::string& text, const std::string& title, const std::string& details) {
            // The details come first, so that a reader who waits for the box's line has them.
            if (!details.empty()) transcript.line("msgbox-details " + c_quote(details));
            transcript.line("msgbox " + c_quote(title) + " " + c_quote(text));
        });
    for (Control* control : form.all()) {
        control->add_listener([&transcript](const Control& changed, Property property) {
            transcript.line(change_line(changed, property));
        });
    }

    program.load();
    if (!options.upload) {
        if (!options.stay) program.window().close();
        return app.exec();
    }

    // Presses come only while the window is idle: no dispatch of a handler's wait and no message
    // box on the stack below this tick, and no update running between timer ticks.
    int presses = 0;
    QTimer idle_poll;
    idle_poll.setInterval(kIdlePollMs);
    QObject::connect(&idle_poll, &QTimer::timeout, [&] {
        if (program.events().dispatch_depth() > 0 || program.messages().showing() > 0 ||
            form.upload_running)
            return;
        if (!succeeded() && presses < options.presses) {
            if (form.Command2.enabled()) {
                ++presses;
                run_handler("Command2_Click", [&form] { form.Command2_Click(); });
                return;
            }
            std::fprintf(stderr, "r462xe-fwupdate-runner: \"%s\" is disabled, no press made\n",
                         form.Command2.caption().c_str());
        }
        idle_poll.stop();
        // With --stay the window stays as the presses left it, to be looked at.
        if (!options.stay) program.window().close();
    });
    idle_poll.start();
    return app.exec();
}
