// The close rule: the window refuses to close while an update runs, and says why on the bar;
// otherwise the program ends.
#include "app/form1.h"

namespace r462xe {

bool Form1::Form_Unload() {
    if (upload_running) {
        show_close_refused();
        return true;
    }
    window.end_program(end_status_);
    return false;  // not reached: the program has ended
}

}  // namespace r462xe
