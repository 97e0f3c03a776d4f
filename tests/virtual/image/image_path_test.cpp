// Where start-up looks for the image: the program's folder, handed over in the platform's own form
// of a path, joined with the file name.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "image/image_reader.h"
#include "rig/window_rig.h"

namespace r462xe {
namespace {

// The path keeps the platform's own form from the window system to the opening of the file: on
// Windows, narrow text in between would pass through the ANSI code page and lose the letters
// outside it, and the image would look missing.
static_assert(std::is_same_v<decltype(std::declval<WindowSystem&>().program_folder()),
                             std::filesystem::path>);
static_assert(std::is_same_v<decltype(SharedState::fw_path), std::filesystem::path>);

// Folders whose names a user's desktop may well have, given as UTF-8 so that the path holds them
// in the platform's own form: wide on Windows, bytes elsewhere.
TEST(ImagePath, FoldersWithBlanksAndLettersBeyondAsciiHoldTheImage) {
    const std::vector<std::filesystem::path> folder_names = {
        u8"Mess Ger\u00E4t Pr\u00FCfung 2",  // blanks and German letters
        // "Μετρητής Прибор", Greek and Cyrillic: outside Latin-1 too.
        u8"\u039C\u03B5\u03C4\u03C1\u03B7\u03C4\u03AE\u03C2 "
        u8"\u041F\u0440\u0438\u0431\u043E\u0440",
    };
    for (std::size_t i = 0; i < folder_names.size(); ++i) {
        SCOPED_TRACE(i);
        testing::WindowRig rig(nullptr);
        const auto folder = std::filesystem::path(rig.folder) / folder_names[i];
        std::filesystem::create_directory(folder);
        std::ofstream(folder / kImageFileName, std::ios::binary) << testing::demo_image();
        rig.world.window.folder = folder;
        rig.load();
        EXPECT_TRUE(rig.world.messages.shown.empty());
        EXPECT_FALSE(rig.ended());
        EXPECT_EQ(rig.form.fw_path.native(), (folder / kImageFileName).native());
    }
}

TEST(ImagePath, FolderAndFileNameAreJoinedByOneSeparator) {
    const std::string separator(1, static_cast<char>(std::filesystem::path::preferred_separator));
    // The end of the folder as handed over, and what stands between it and the file name.
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", separator},  // a separator is put in
        {"/", "/"},       // the folder's own separator is the only one
    };
    for (const auto& [folder_end, between] : cases) {
        testing::WindowRig rig;
        rig.world.window.folder = rig.folder + folder_end;
        rig.load();
        EXPECT_TRUE(rig.world.messages.shown.empty()) << "folder ending in '" << folder_end << "'";
        EXPECT_EQ(rig.form.fw_path.string(), rig.folder + between + "R462XE_V307_20200521.QF");
    }
}

// Where the system has a folder for the user's application data, the image may lie there too, in
// the program's own folder of it: beside the program comes first, and the first file found is the
// one read.
struct PlaceCase {
    const char* name;
    bool beside_program;  // an image of the right length beside the program
    bool short_beside;    // a file too short there instead
    bool in_user_folder;  // an image of the right length in the user's folder
    bool shown_box;       // the file error appears
    bool read_from_user_folder;
};

TEST(ImagePath, BesideTheProgramFirstThenTheUsersOwnFolder) {
    const std::vector<PlaceCase> cases = {
        {"beside the program only", true, false, false, false, false},
        {"in the user's folder only", false, false, true, false, true},
        {"in both", true, false, true, false, false},
        {"a short file beside, a good one in the user's folder", false, true, true, true, false},
        {"nowhere", false, false, false, true, false},
    };
    for (const auto& given : cases) {
        SCOPED_TRACE(given.name);
        testing::WindowRig rig(nullptr);
        const auto program = std::filesystem::path(rig.folder) / "program";
        const auto user = std::filesystem::path(rig.folder) / "user";
        std::filesystem::create_directories(program);
        std::filesystem::create_directories(user / "r462xe-fwupdate");
        if (given.beside_program)
            std::ofstream(program / kImageFileName, std::ios::binary) << testing::demo_image();
        if (given.short_beside)
            std::ofstream(program / kImageFileName, std::ios::binary) << "short";
        if (given.in_user_folder)
            std::ofstream(user / "r462xe-fwupdate" / "R462XE_V307_20200521.QF", std::ios::binary)
                << testing::demo_image();
        rig.world.window.folder = program;
        rig.world.window.user_folders = {user};
        rig.load();
        EXPECT_EQ(!rig.world.messages.shown.empty(), given.shown_box);
        EXPECT_EQ(rig.form.fw_path, given.read_from_user_folder
                                        ? user / "r462xe-fwupdate" / "R462XE_V307_20200521.QF"
                                        : program / "R462XE_V307_20200521.QF");
    }
}

// Where the system names several data folders (a Linux desktop: the user's own, then the shared
// ones), each is looked in, in order, after the program's folder.
TEST(ImagePath, EachDataFolderInTurn) {
    struct Case {
        const char* name;
        std::vector<int> holding;  // which of the three data folders hold an image
        int read_from;
    };
    const std::vector<Case> cases = {
        {"the second only", {1}, 1},
        {"the second and the third", {1, 2}, 1},
        {"the third only", {2}, 2},
        {"all three", {0, 1, 2}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::WindowRig rig(nullptr);
        const auto root = std::filesystem::path(rig.folder);
        std::filesystem::create_directories(root / "program");
        const std::vector<std::filesystem::path> data = {root / "home", root / "local",
                                                         root / "shared"};
        for (const int holder : c.holding) {
            std::filesystem::create_directories(data[holder] / "r462xe-fwupdate");
            std::ofstream(data[holder] / "r462xe-fwupdate" / "R462XE_V307_20200521.QF",
                          std::ios::binary)
                << testing::demo_image();
        }
        rig.world.window.folder = root / "program";
        rig.world.window.user_folders = data;
        rig.load();
        EXPECT_TRUE(rig.world.messages.shown.empty());
        EXPECT_EQ(rig.form.fw_path,
                  data[c.read_from] / "r462xe-fwupdate" / "R462XE_V307_20200521.QF");
    }
}

// Found nowhere: the box keeps its text, and its details name each place, in the order looked,
// and where the user may put the image without an administrator.
TEST(ImagePath, TheFileErrorsDetailsNameEachPlaceLookedInOrder) {
    testing::WindowRig rig(nullptr);
    rig.world.window.folder = "/nowhere/program";
    rig.world.window.user_folders = {"/nowhere/user", "/nowhere/shared"};
    rig.load();
    ASSERT_EQ(rig.world.messages.shown.size(), 1u);
    const auto& box = rig.world.messages.shown.front();
    EXPECT_EQ(box.text, " Firmware image file loading error!");
    EXPECT_EQ(box.title, "file error");
    const std::string sep(1, static_cast<char>(std::filesystem::path::preferred_separator));
    const std::string beside = "/nowhere/program" + sep + "R462XE_V307_20200521.QF";
    const std::string user_folder = "/nowhere/user" + sep + "r462xe-fwupdate";
    EXPECT_EQ(box.details,
              "The firmware image " + beside +
                  " is missing or cannot be read. Copy R462XE_V307_20200521.QF (61440 bytes) "
                  "into /nowhere/program or " +
                  user_folder +
                  ", then start the program again.\n"
                  "Places looked, in order:\n"
                  "  " +
                  beside + "\n  " + user_folder + sep + "R462XE_V307_20200521.QF\n  " +
                  "/nowhere/shared" + sep + "r462xe-fwupdate" + sep + "R462XE_V307_20200521.QF\n");
}

}  // namespace
}  // namespace r462xe
