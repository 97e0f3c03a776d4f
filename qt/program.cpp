#include "qt/program.h"

#include "system/end_signals.h"

namespace r462xe {

QtProgram::QtProgram(PortMap ports, std::optional<QString> lock_name)
    : ports_(std::move(ports)),
      port_(ports_),
      window_system_(std::move(lock_name)),
      form_(Platform{events_, port_, timer_, messages_, window_system_, *sleep_, error_log_,
                     history_}),
      window_(form_, WindowHandlers{.command1_click = [this] { form_.Command1_Click(); },
                                    .command2_click = [this] { form_.Command2_Click(); },
                                    .close_request = [this] { return form_.Form_Unload(); }}) {
    messages_.set_parent(&window_);
    window_system_.set_window(&window_);
    window_.set_on_end([this] { window_system_.end_program(kExitClosed); });
    // Every event of the Qt world, wired here once.
    timer_.set_on_tick([this] { run_handler("Timer1_Timer", [this] { form_.Timer1_Timer(); }); });
    // Raised while events are dispatched, from Qt: an error stops here.
    port_.set_OnComm([this] { run_handler("MSComm1_OnComm", [this] { form_.MSComm1_OnComm(); }); });
    // The program's own selections raise this too, inside the logic: errors go back to it.
    form_.COM1.set_on_click([this] { form_.COM1_Click(); });
    window_system_.set_on_ending([this] { release_port(); });
    watch_end_signals();
}

void QtProgram::release_port() {
    if (!port_.PortOpen()) return;
    try {
        port_.set_PortOpen(false);
    } catch (const PortError&) {
        // A device already gone has nothing left to release.
    }
}

void QtProgram::watch_end_signals() {
    const auto watched = r462xe::watch_end_signals();
    if (!watched) return;
    end_signals_ = std::make_unique<QSocketNotifier>(*watched, QSocketNotifier::Read);
    QObject::connect(end_signals_.get(), &QSocketNotifier::activated, &window_,
                     [this, watched = *watched] {
                         if (const auto signal = caught_end_signal(watched)) {
                             form_.break_off_attempt("ended by signal " + end_signal_name(*signal));
                             window_system_.end_by_signal(*signal);
                         }
                     });
}

void QtProgram::load() {
    bool failed = true;
    run_handler("Form_Load", [this, &failed] {
        form_.Form_Load();
        failed = false;
    });
    if (failed) window_.close();
}

}  // namespace r462xe
