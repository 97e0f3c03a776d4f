// The port's event handler: line-state changes and received data need nothing here (the
// procedures poll the port); a communication error closes the port after nine seconds.
#include "app/form1.h"

namespace r462xe {

namespace {
constexpr double kErrorSettleSeconds = 9;
}

void Form1::MSComm1_OnComm() {
    if (comm_events_held) return;
    // Nobody can be told of a failure inside an event handler: it ends the handler silently.
    try {
        events.do_events();
        const int code = MSComm1.CommEvent();
        if (code == kCommEvCd || code == kCommEvCts || code == kCommEvDsr) return;
        if (code == kCommEvReceive) {
            events.do_events();
            return;
        }
        if (MSComm1.CommEvent() < kFirstErrorEvent) return;
        comm_events_held = true;
        wait_seconds(kErrorSettleSeconds);
        comm_events_held = false;
        if (MSComm1.PortOpen()) MSComm1.set_PortOpen(false);
        events.do_events();
    } catch (const std::exception&) {
    }
}

}  // namespace r462xe
