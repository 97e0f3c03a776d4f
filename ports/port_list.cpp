#include "ports/port_list_text.h"

#include "app/form1.h"

namespace r462xe {

// After a search: the list anew from what the search found, the meter's entry selected. With no
// meter found, the value labels are blanked and port 1's entry is selected, if it has one.
void Form1::rebuild_port_list() {
    COM1.clear();
    if (found_port == 0) {
        set_value_captions("");
        found_port = 1;
    }
    fill_port_list();
    select_found_port();
}

// One entry for each port the probe could open, in ascending order.
void Form1::fill_port_list() {
    for (int n = kFirstPortNumber; n <= kLastPortNumber; ++n) {
        const auto i = static_cast<std::size_t>(n);
        if (port_present[i]) COM1.add_item(port_list_entry(n, port_serial[i]));
    }
}

// Selects the entry of found_port; -1 (nothing) when that port has no entry.
void Form1::select_found_port() {
    int count = 0;
    for (int n = kFirstPortNumber; n <= kLastPortNumber; ++n) {
        if (port_present[static_cast<std::size_t>(n)]) ++count;
        if (n == found_port) COM1.set_list_index(count - 1);
    }
}

}  // namespace r462xe
