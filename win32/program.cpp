#include "win32/program.h"

namespace r462xe {

Win32Program::Win32Program(PortMap ports, std::optional<std::wstring> instance_name)
    : ports_(std::move(ports)),
      port_(ports_),
      window_system_(std::move(instance_name)),
      sleep_(error_log_),
      form_(Platform{events_, port_, timer_, messages_, window_system_, sleep_, error_log_,
                     history_}),
      window_(form_,
              WindowHandlers{.command1_click = [this] { form_.Command1_Click(); },
                             .command2_click = [this] { form_.Command2_Click(); },
                             .close_request = [this] { return form_.Form_Unload(); }},
              error_log_) {
    events_.set_dialog_window(window_.hwnd());
    messages_.set_parent(window_.hwnd());
    window_system_.set_window(window_.hwnd());
    window_.set_on_end([this] { window_system_.end_program(kExitClosed); });
    // Every event of the Win32 world, wired here once.
    timer_.set_on_tick(
        [this] { run_handler(error_log_, "Timer1_Timer", [this] { form_.Timer1_Timer(); }); });
    // Raised while events are dispatched, from the system: an error stops here.
    port_.set_OnComm(
        [this] { run_handler(error_log_, "MSComm1_OnComm", [this] { form_.MSComm1_OnComm(); }); });
    // The program's own selections raise this too, inside the logic: errors go back to it.
    form_.COM1.set_on_click([this] { form_.COM1_Click(); });
}

void Win32Program::load() {
    bool failed = true;
    run_handler(error_log_, "Form_Load", [this, &failed] {
        form_.Form_Load();
        failed = false;
    });
    if (failed) window_.close();
}

}  // namespace r462xe
