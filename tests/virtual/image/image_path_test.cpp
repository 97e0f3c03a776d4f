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

}  // namespace
}  // namespace r462xe
