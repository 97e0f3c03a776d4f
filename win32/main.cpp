// r462xe-fwupdate: the firmware updater as the user runs it on Windows. It reads no command line.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <exception>

#include "win32/program.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // The window's controls as the system draws them today (the manifest asks for version 6).
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&classes);
    // A window the system refuses to make (no desktop to make it on, say) ends the program with
    // one line that says why and status 1, not with an abort.
    try {
        // COMn is the system's COMn.
        r462xe::Win32Program program(r462xe::PortMap(r462xe::PortNumbering::system_com),
                                     L"r462xe-fwupdate");
        // The load sequence shows the window, or ends the program.
        program.load();
        program.events().run();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "r462xe-fwupdate: the window cannot be shown (%s)\n", error.what());
        return r462xe::kExitStartFailed;
    }
    return 0;
}
