// Small port operations that the exchanges with the meter share.
#include "app/form1.h"
#include "serial/mask.h"

namespace r462xe {

// Drop whatever the port has received.
void Form1::flush_input() {
    if (MSComm1.InBufferCount() > 0) rx_bytes = MSComm1.Input();
}

// Read the reply once and append it to rx_text, unmasked when the meter is in update mode.
void Form1::read_reply_into_rx_text(bool unmask) {
    if (MSComm1.InBufferCount() <= 0) return;
    rx_bytes = MSComm1.Input();
    rx_text += unmask ? masked(rx_bytes) : rx_bytes;
}

// A wait during which the port event handler does nothing.
void Form1::held_wait(double seconds) {
    comm_events_held = true;
    try {
        wait_seconds(seconds);
    } catch (...) {
        comm_events_held = false;
        throw;
    }
    comm_events_held = false;
}

}  // namespace r462xe
