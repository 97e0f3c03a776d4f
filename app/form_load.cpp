// Start-up: the load sequence of the window, in its exact order.
#include <filesystem>
#include <system_error>

#include "app/failure_styles.h"
#include "app/form1.h"
#include "image/image_reader.h"

namespace r462xe {

namespace {
// Said on the error log when the start is refused, with what is wrong with each folder.
constexpr const char* kNoLockFolderText = "no folder of your own for the instance lock";
// Said when the running instance did not show its window: the user, who sees no window, learns
// that one runs, and a launcher sees the failure in the status.
constexpr const char* kUnansweredText =
    "the program already runs, but did not answer the request to show its window";
}  // namespace

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
    const InstanceClaim claim = window.claim_instance();
    switch (claim.outcome) {
        case InstanceClaim::Outcome::First:
            break;
        // The running instance shows its window; this start shows nothing and ends as a window
        // that is closed.
        case InstanceClaim::Outcome::AnotherRuns:
            return;
        case InstanceClaim::Outcome::Unanswered:
            error_log.write_line(std::string(kUnansweredText) + " (" + claim.why + ")");
            window.end_program(kExitUnanswered);
            return;
        // Another user could end every start through a folder the claim depends on: the start is
        // refused, and the user learns why.
        case InstanceClaim::Outcome::Refused:
            error_log.write_line(std::string(kNoLockFolderText) + " (" + claim.why + ")");
            window.end_program(kExitRefused);
    }
    // Until the sequence has handed the controls back, an end is a failed start: scripts and
    // launchers see it in the status.
    end_status_ = kExitStartFailed;
    Label6.set_visible(false);
    set_value_captions(texts::kSearching);
    COM1.add_item("COM1");
    COM1.set_list_index(0);  // its click only shows the entry's tooltip: searching is true
    Timer1.set_enabled(false);
    Command1.set_enabled(false);
    COM1.set_enabled(false);
    Command2.set_enabled(false);
    window.show_window();

    update_mode = false;
    comm_settings = kNormalSettingsText;
    upload_settings = kUpdateSettingsText;
    upload_running = false;
    find_image_place();
    idn_version.clear();
    port_ok = false;

    if (load_image() == ImageLoad::Failed) return;

    select_comport();
    check_comport();
    rebuild_port_list();
    end_status_ = kExitClosed;
    searching = false;
    COM1.set_enabled(true);
    Command1.set_enabled(true);
    enable_upload_if_eligible();
}

// The image beside the program, else in the program's folder of each of the folders for the data
// of the user's programs, in order: the first place that holds a file of that name is the one
// read, right or wrong.
void Form1::find_image_place() {
    image_places = {window.program_folder() / kImageFileName};
    for (const auto& data_folder : window.user_data_folders())
        image_places.push_back(data_folder / kUserImageFolderName / kImageFileName);
    fw_path = image_places.front();
    for (const auto& place : image_places) {
        std::error_code error;
        if (std::filesystem::exists(place, error)) {
            fw_path = place;
            break;
        }
    }
}

}  // namespace r462xe
