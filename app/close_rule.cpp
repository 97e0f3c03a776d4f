// The close rule: the window refuses to close while an update runs; otherwise the program ends.
#include "app/form1.h"

namespace r462xe {

bool Form1::Form_Unload() {
    if (upload_running) return true;
    window.end_program(kExitClosed);
    return false;  // not reached: the program has ended
}

}  // namespace r462xe
