#include "rig/window_rig.h"

#include <filesystem>
#include <fstream>
#include <random>

#include "image/image_reader.h"

namespace r462xe::testing {

namespace {

// A folder of its own for each rig, also among test programs running side by side: the name
// is random, and a name some other rig holds is never reused.
std::string fresh_folder() {
    static std::mt19937_64 random(std::random_device{}());
    const auto temp = std::filesystem::temp_directory_path();
    while (true) {
        const auto folder = temp / ("r462xe-rig-" + std::to_string(random()));
        if (std::filesystem::create_directory(folder)) return folder.string();
    }
}

}  // namespace

std::string demo_image(unsigned seed) {
    std::mt19937 random(seed);
    std::string image(kImageBytes, '\0');
    for (char& byte : image) byte = static_cast<char>(random() & 0xFF);
    return image;
}

const std::string& WindowRig::default_image() {
    static const std::string image = demo_image();
    return image;
}

WindowRig::WindowRig(const std::string* image_bytes) : folder(fresh_folder()) {
    world.window.folder = folder;
    if (image_bytes != nullptr) {
        image = *image_bytes;
        std::ofstream(image_path(), std::ios::binary) << image;
    }
    // Every event of the simulated world, wired here once.
    world.timer.set_on_tick(
        [this] { around_handler("Timer1_Timer", [this] { form.Timer1_Timer(); }); });
    world.port.set_OnComm(
        [this] { around_handler("MSComm1_OnComm", [this] { form.MSComm1_OnComm(); }); });
    form.COM1.set_on_click([this] { around_handler("COM1_Click", [this] { form.COM1_Click(); }); });
    world.window.on_close_request = [this] { return form.Form_Unload(); };
    for (Control* control : form.all()) {
        control->add_listener([this](const Control& changed, Property property) {
            changes.push_back({world.now(), change_line(changed, property)});
        });
    }
}

WindowRig::~WindowRig() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

std::string WindowRig::image_path() const {
    return (std::filesystem::path(folder) / kImageFileName).string();
}

void WindowRig::load() {
    handle([this] { form.Form_Load(); });
}

void WindowRig::run_for(double seconds) {
    const double end = world.now() + seconds;
    handle([&] { world.events.run_until(end); });
}

std::vector<std::string> WindowRig::changes_of(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const auto& change : changes) {
        if (change.line.rfind(prefix, 0) == 0) found.push_back(change.line);
    }
    return found;
}

std::vector<std::string> WindowRig::message_titles() const {
    std::vector<std::string> titles;
    for (const auto& message : world.messages.shown) titles.push_back(message.title);
    return titles;
}

}  // namespace r462xe::testing
