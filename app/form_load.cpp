// Start-up: the load sequence of the window, in its exact order.
#include <filesystem>

#include "app/failure_styles.h"
#include "app/form1.h"
#include "image/image_reader.h"

namespace r462xe {

void Form1::Form_Load() {
    searching = true;
    // One error path: an error in any step abandons the rest of the sequence.
    try {
        load_steps();
    } catch (const std::exception&) {
        // After the list was handed back, the window stays open as the steps left it.
    }
    if (searching) window.unload_window();
}

void Form1::load_steps() {
    if (window.another_instance_running()) return;
    Label6.set_visible(false);
    set_value_captions(texts::kSearching);
    COM1.add_item("COM1");
    COM1.set_list_index(0);  // its click is ignored: searching is true
    Timer1.set_enabled(false);
    Command1.set_enabled(false);
    COM1.set_enabled(false);
    Command2.set_enabled(false);
    window.show_window();

    update_mode = false;
    comm_settings = kNormalSettingsText;
    upload_settings = kUpdateSettingsText;
    upload_running = false;
    fw_path = window.program_folder() / kImageFileName;
    idn_version.clear();
    port_ok = false;

    if (load_image() == ImageLoad::Failed) return;

    select_comport();
    check_comport();
    rebuild_port_list();
    searching = false;
    COM1.set_enabled(true);
    Command1.set_enabled(true);
    enable_upload_if_eligible();
}

}  // namespace r462xe
