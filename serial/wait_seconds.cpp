// The timed wait: window events keep being dispatched for the whole wait, so the window stays
// alive and other handlers (timer ticks, port events, clicks) run in the middle of the waiting
// one. Between events the wait blocks instead of spinning, so it costs no processor time.
#include "app/form1.h"

namespace r462xe {

void Form1::wait_seconds(double seconds) {
    const double end = events.now() + seconds;
    // The wait ends at the first clock reading after the end time (strictly after).
    while (!(events.now() > end)) events.wait_for_events(end);
}

}  // namespace r462xe
