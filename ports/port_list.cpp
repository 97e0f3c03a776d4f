#include "ports/port_list_text.h"

#include "app/form1.h"
#include "ports/port_finding_rule.h"

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

// One entry for each port the probe could open, in ascending order, each with its tooltip.
void Form1::fill_port_list() {
    for (int n = kFirstPortNumber; n <= kLastPortNumber; ++n) {
        const auto i = static_cast<std::size_t>(n);
        if (port_present[i]) COM1.add_item(port_list_entry(n, port_serial[i]));
    }
    show_port_tips();
}

// The entry of `port` names the meter that answered there now: after an update of a meter that
// the search found in its update mode, "Updating" would tell of a meter that is no longer so.
// The port number read from the entry stays the same.
void Form1::name_entry_after_identification(int port) {
    const auto n = static_cast<std::size_t>(port);
    port_serial[n] = idn_serial;
    for (std::size_t i = 0; i < COM1.items().size(); ++i) {
        if (port_number_from_list_text(COM1.items()[i]) == port)
            COM1.set_item(i, port_list_entry(port, port_serial[n]));
    }
    show_port_tips();
}

// Selects the entry of found_port; -1 (nothing) when that port has no entry.
void Form1::select_found_port() {
    int count = 0;
    for (int n = kFirstPortNumber; n <= kLastPortNumber; ++n) {
        if (port_present[static_cast<std::size_t>(n)]) ++count;
        if (n == found_port) COM1.set_list_index(count - 1);
    }
}

// Each entry's tooltip says which device its port is and what was found there; the list's own
// adds the ports that could not be opened, which have no entry. They change with the entries,
// the selection and every port finding.
void Form1::show_port_tips() {
    PortDevices devices;
    for (std::size_t n = kFirstPortNumber; n < devices.size(); ++n)
        devices[n] = MSComm1.device_of(static_cast<int>(n));
    PortListTips tips = port_list_tips(COM1.items(), COM1.list_index(), devices, port_findings);
    COM1.set_item_tips(std::move(tips.entries));
    COM1.set_tooltip(tips.list);
}

}  // namespace r462xe
