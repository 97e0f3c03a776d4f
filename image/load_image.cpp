// Start-up reads the firmware image once and keeps it prepared for every update of the run.
#include "app/form1.h"
#include "image/image_reader.h"
#include "image/image_transform.h"

namespace r462xe {

namespace {
constexpr const char* kFileErrorText = " Firmware image file loading error!";
constexpr const char* kFileErrorTitle = "file error";
}  // namespace

ImageLoad Form1::load_image() {
    // A missing or unreadable file gets the same message as a wrong length: the technician must
    // learn that the image is not usable, and nothing is created in the program's folder.
    const auto file = read_image_file(fw_path, kImageBytes + 1);
    if (!file || file->size() != static_cast<std::size_t>(kImageBytes)) {
        messages.show(kFileErrorText, kFileErrorTitle, MsgIcon::Critical);
        return ImageLoad::Failed;
    }
    prepare_image(*file, fw_image, block_check);
    block_sum = 0;
    return ImageLoad::Done;
}

}  // namespace r462xe
