// Readings of the window in the one-line form that outcome texts are written in.
#pragma once

#include <string>

#include "rig/window_rig.h"
#include "text/c_quote.h"

namespace r462xe::testing {

// The port list, each entry quoted: list ["COM1" "COM3  :SN55250001"].
inline std::string list_text(const WindowRig& rig) {
    std::string items;
    for (const auto& item : rig.form.COM1.items()) {
        items += (items.empty() ? "" : " ") + c_quote(item);
    }
    return "list [" + items + "]";
}

}  // namespace r462xe::testing
