// The file error keeps its text, title and icon; its details name the file, what is wrong with
// it, and where the right one goes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "image/image_layout.h"
#include "rig/window_rig.h"

namespace r462xe {
namespace {

TEST(FileErrorDetails, NameTheFileWhatIsWrongAndWhereTheImageGoes) {
    struct Case {
        const char* name;
        std::function<void(const std::string& path)> make;
        std::string what;
    };
    const std::vector<Case> cases = {
        {"missing", [](auto&) {}, "is missing or cannot be read"},
        {"a directory", [](auto& p) { std::filesystem::create_directory(p); },
         "is missing or cannot be read"},
        {"one byte short", [](auto& p) { std::ofstream(p) << std::string(kImageBytes - 1, 'x'); },
         "holds 61439 bytes, not 61440"},
        {"empty", [](auto& p) { std::ofstream{p}; }, "holds 0 bytes, not 61440"},
        {"one byte long", [](auto& p) { std::ofstream(p) << std::string(kImageBytes + 1, 'x'); },
         "holds more than 61440 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::WindowRig rig(nullptr);
        c.make(rig.image_path());
        rig.load();
        ASSERT_EQ(rig.world.messages.shown.size(), 1u);
        const std::string image =
            (std::filesystem::path(rig.folder) / "R462XE_V307_20200521.QF").string();
        const std::string details = "The firmware image " + image + " " + c.what +
                                    ". Copy R462XE_V307_20200521.QF (61440 bytes) into " +
                                    rig.folder + ", then start the program again.";
        EXPECT_EQ(rig.world.messages.shown[0].details, details + "\n");
        ASSERT_EQ(rig.world.error_log.lines.size(), 1u);
        EXPECT_EQ(rig.world.error_log.lines[0].line, "file error: " + details);
    }
}

}  // namespace
}  // namespace r462xe
