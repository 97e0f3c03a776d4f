// A folder holding the image, a folder for the runner's runtime files, and a virtual meter; with
// `check_flash` the meter also says after "UPGR 0" whether its flash equals that image.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "e2e/image_fixture.h"
#include "e2e/process.h"

namespace r462xe::e2e {

struct MeterAndImage {
    MeterAndImage(std::vector<std::string> options, bool check_flash)
        : meter(with_image(std::move(options), check_flash)) {}

    TempDir folder;
    TempDir runtime;
    MeterSim meter;

  private:
    std::vector<std::string> with_image(std::vector<std::string> options, bool check_flash) {
        folder.write(kImageName, test_image());
        if (check_flash) options.insert(options.end(), {"--expect-image", folder.file(kImageName)});
        return options;
    }
};

}  // namespace r462xe::e2e
