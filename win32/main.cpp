// r462xe-fwupdate: the firmware updater as the user runs it on Windows. It reads no command line.
#include <windows.h>

#include <commctrl.h>

#include "win32/program.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // The window's controls as the system draws them today (the manifest asks for version 6).
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&classes);
    // COMn is the system's COMn.
    r462xe::Win32Program program(r462xe::PortMap(r462xe::PortNumbering::system_com),
                                 L"r462xe-fwupdate");
    // The load sequence shows the window, or ends the program.
    program.load();
    program.events().run();
    return 0;
}
