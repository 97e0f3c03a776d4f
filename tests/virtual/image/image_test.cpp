// Preparing the firmware image: reversal, nibble exchange, mask and check bytes; and the file
// errors at start-up.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <grp.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "image/image_reader.h"
#include "image/image_transform.h"
#include "rig/window_rig.h"
#include "serial/mask.h"
#include "sim/meter/meter_protocol.h"

namespace r462xe {
namespace {

TEST(SwapNibbles, ExchangesTheTwoHexDigits) {
    const std::vector<std::pair<int, int>> cases = {{0x12, 0x21}, {0x0F, 0xF0}, {0xA0, 0x0A},
                                                    {0x77, 0x77}, {0x00, 0x00}, {0xFF, 0xFF}};
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(swap_nibbles(static_cast<std::uint8_t>(in)), out) << std::hex << in;
    }
}

struct Prepared {
    std::vector<std::uint8_t> fw_image = std::vector<std::uint8_t>(kImageBytes + 1);
    std::array<std::uint8_t, 60> block_check{};
    explicit Prepared(const std::string& file) { prepare_image(file, fw_image, block_check); }
};

TEST(PrepareImage, AllZeroFileGivesCheckBytesOf255MinusTheBlockIndex) {
    const Prepared prepared(std::string(kImageBytes, '\0'));
    for (int b = 0; b < kBlockCount; ++b) {
        EXPECT_EQ(prepared.block_check[static_cast<std::size_t>(b)] ^ kMaskByte, 255 - b) << b;
    }
    EXPECT_EQ(prepared.block_check[0] ^ kMaskByte, 255);
    EXPECT_EQ(prepared.block_check[59] ^ kMaskByte, 196);
    for (int k = 1; k <= kImageBytes; ++k) ASSERT_EQ(prepared.fw_image[k], kMaskByte) << k;
}

TEST(PrepareImage, LargestSumGivesCheckByteC4) {
    // Block 59 with every swapped byte 0xFF: 1024 * 255 + 59 = 0x3FC3B.
    std::string file(kImageBytes, '\0');
    std::fill(file.begin(), file.begin() + kBlockBytes, '\xFF');  // file block 0 is sent last
    const Prepared prepared(file);
    EXPECT_EQ(prepared.block_check[59] ^ kMaskByte, 0xC4);
    EXPECT_EQ(block_check_byte(1024 * 255, 59), 0xC4);
}

TEST(PrepareImage, FirstAndLastFileBytesLandAtTheEnds) {
    std::string file(kImageBytes, '\0');
    file.front() = '\x12';
    file.back() = '\xA0';
    const Prepared prepared(file);
    EXPECT_EQ(prepared.fw_image[kImageBytes], 0x21 ^ kMaskByte);  // last byte of block 59
    EXPECT_EQ(prepared.fw_image[1], 0x0A ^ kMaskByte);            // first byte of block 0
    EXPECT_EQ(prepared.fw_image[0], 0) << "index 0 is never written";
}

TEST(LoadImage, EveryUnusableFileShowsTheFileErrorAndEndsTheProgram) {
    struct Case {
        const char* name;
        std::function<void(const std::string& path)> make;
    };
    const std::vector<Case> cases = {
        {"one byte short", [](auto& p) { std::ofstream(p) << std::string(kImageBytes - 1, 'x'); }},
        {"one byte long", [](auto& p) { std::ofstream(p) << std::string(kImageBytes + 1, 'x'); }},
        {"empty", [](auto& p) { std::ofstream{p}; }},
        {"missing", [](auto&) {}},
        {"a directory", [](auto& p) { std::filesystem::create_directory(p); }},
#ifndef _WIN32  // the C++ library for Windows makes no symbolic links
        {"a link to nothing", [](auto& p) { std::filesystem::create_symlink(p + ".gone", p); }},
#endif
    };
    for (const auto& c : cases) {
        testing::WindowRig rig(nullptr);
        c.make(rig.image_path());
        const bool existed = std::filesystem::symlink_status(rig.image_path()).type() !=
                             std::filesystem::file_type::not_found;
        rig.world.add_port(1);
        rig.load();
        ASSERT_EQ(rig.world.messages.shown.size(), 1u) << c.name;
        const auto& box = rig.world.messages.shown[0];
        EXPECT_EQ(box.text, " Firmware image file loading error!") << c.name;
        EXPECT_EQ(box.title, "file error") << c.name;
        EXPECT_EQ(box.icon, MsgIcon::Critical) << c.name;
        EXPECT_TRUE(rig.ended()) << c.name;
        // A failed start, for scripts and launchers.
        EXPECT_EQ(rig.world.window.ended_with, 1) << c.name;
        EXPECT_EQ(rig.world.port.opens(), 0) << c.name << ": no port is probed";
        EXPECT_EQ(existed, std::filesystem::symlink_status(rig.image_path()).type() !=
                               std::filesystem::file_type::not_found)
            << c.name << ": nothing is created";
    }
}

TEST(LoadImage, MessageShowsOverTheVisibleSearchingWindow) {
    const std::string short_image(kImageBytes - 1, 'x');
    testing::WindowRig rig(&short_image);
    std::vector<std::string> at_message;
    rig.world.messages.on_show = [&](const sim::ShownMessage&) {
        at_message = {rig.form.Label4.caption(), rig.form.Label5.caption(),
                      rig.form.Label7.caption()};
        EXPECT_TRUE(rig.world.window.shown);
        EXPECT_FALSE(rig.form.Command1.enabled());
        EXPECT_FALSE(rig.form.Command2.enabled());
        EXPECT_FALSE(rig.form.COM1.enabled());
    };
    rig.load();
    EXPECT_EQ(at_message, (std::vector<std::string>{"Searching", "Searching", "Searching"}));
    EXPECT_TRUE(rig.ended());
}

// The virtual meter undoes the transform its own way: the prepared image, unmasked, gives the
// file back, and every check byte is the one the meter expects for its block.
TEST(LoadImage, GoodFileIsPreparedAtStartUp) {
    testing::WindowRig rig;
    rig.load();
    EXPECT_FALSE(rig.ended());
    const std::string transfer =
        sim::masked(std::string(rig.form.fw_image.begin() + 1, rig.form.fw_image.end()));
    EXPECT_TRUE(sim::file_from_transfer(transfer) == rig.image);
    for (int b = 0; b < kBlockCount; ++b) {
        const auto data = std::string_view(transfer).substr(
            static_cast<std::size_t>(b) * kBlockBytes, kBlockBytes);
        EXPECT_EQ(rig.form.block_check[static_cast<std::size_t>(b)] ^ sim::kMask,
                  sim::block_check_byte(static_cast<std::uint8_t>(b), data))
            << "block " << b;
    }
}

}  // namespace
}  // namespace r462xe

namespace r462xe {
namespace {

#ifndef _WIN32
// Runs in a child process: root reads every file, so the child first becomes an ordinary user.
// Exits with 0 when the program showed the file error and ended.
[[noreturn]] void load_unreadable_image(testing::WindowRig& rig) {
    auto fail = [](const std::string& why) {
        std::fprintf(stderr, "%s\n", why.c_str());
        std::_Exit(1);
    };
    constexpr uid_t kNobody = 65534;
    if (geteuid() == 0 &&
        (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
        fail("cannot leave root");
    }
    std::error_code error;
    if (!std::filesystem::is_regular_file(rig.image_path(), error)) fail("the image is not there");
    if (std::ifstream(rig.image_path(), std::ios::binary)) fail("the image is readable");
    rig.load();
    const auto& shown = rig.world.messages.shown;
    if (shown.size() != 1 || shown[0].text != " Firmware image file loading error!" ||
        shown[0].title != "file error" || shown[0].icon != MsgIcon::Critical) {
        fail("no file error");
    }
    if (!rig.ended()) fail("the program goes on");
    std::_Exit(0);
}

TEST(LoadImage, UnreadableFileShowsTheFileError) {
    testing::WindowRig rig;
    namespace fs = std::filesystem;
    fs::permissions(rig.folder, fs::perms::owner_all | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read |
                                    fs::perms::others_exec);
    fs::permissions(rig.image_path(), fs::perms::none);
    EXPECT_EXIT(load_unreadable_image(rig), ::testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
}  // namespace r462xe
