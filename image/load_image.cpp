// Start-up reads the firmware image once and keeps it prepared for every update of the run.
#include <optional>
#include <string>
#include <vector>

#include "app/form1.h"
#include "image/image_reader.h"
#include "image/image_transform.h"
#include "text/path_text.h"

namespace r462xe {

namespace {
constexpr const char* kFileErrorText = " Firmware image file loading error!";
constexpr const char* kFileErrorTitle = "file error";

std::string path_text(const std::filesystem::path& path) {
    return r462xe::path_text(path, kImageFileName);
}

// What was wrong with the file, and where the right one goes; with more than one place to look
// in, each place looked, in order.
std::string file_error_details(const std::filesystem::path& path,
                               const std::vector<std::filesystem::path>& places,
                               const std::optional<std::string>& file) {
    const std::string image_bytes = std::to_string(kImageBytes);
    std::string what = "is missing or cannot be read";
    if (file && file->size() > static_cast<std::size_t>(kImageBytes))
        what = "holds more than " + image_bytes + " bytes";
    else if (file)
        what = "holds " + std::to_string(file->size()) + " bytes, not " + image_bytes;
    std::string folders = path_text(path.parent_path());
    std::string looked;
    if (places.size() > 1) {
        // Where the user may put it: beside the program, or in the user's own data folder (the
        // first after it); the shared folders after those need an administrator.
        folders = path_text(places[0].parent_path()) + " or " + path_text(places[1].parent_path());
        looked = "Places looked, in order:\n";
        for (const auto& place : places) looked += "  " + path_text(place) + "\n";
    }
    return "The firmware image " + path_text(path) + " " + what + ". Copy " + kImageFileName +
           " (" + image_bytes + " bytes) into " + folders + ", then start the program again.\n" +
           looked;
}
}  // namespace

ImageLoad Form1::load_image() {
    // A missing or unreadable file gets the same message as a wrong length: the technician must
    // learn that the image is not usable, and nothing is created in the program's folder.
    const auto file = read_image_file(fw_path, kImageBytes + 1);
    if (!file || file->size() != static_cast<std::size_t>(kImageBytes)) {
        show_failure(kFileErrorText, kFileErrorTitle, MsgIcon::Critical,
                     file_error_details(fw_path, image_places, file));
        return ImageLoad::Failed;
    }
    image_sha256_ = history.sha256(*file);
    prepare_image(*file, fw_image, block_check);
    block_sum = 0;
    return ImageLoad::Done;
}

}  // namespace r462xe
