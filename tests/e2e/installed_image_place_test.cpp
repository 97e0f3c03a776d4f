// The installed program in a scratch prefix, its folder the package's and no image beside it: the
// image in the user's own data folder is found there, with no administrator needed; found nowhere,
// the file error's details name each place looked, in order.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "e2e/image_fixture.h"
#include "e2e/process.h"
#include "e2e/transcript.h"

namespace r462xe::e2e {
namespace {

using namespace std::chrono_literals;

class InstalledImagePlace : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string install = "cmake --install " + std::string(R462XE_BIN_DIR) +
                                    " --prefix " + prefix_.path() + " >/dev/null";
        ASSERT_EQ(std::system(install.c_str()), 0) << install;
        ASSERT_TRUE(std::filesystem::exists(runner()));
    }
    std::string runner() const {
        return prefix_.file("lib/r462xe-fwupdate/r462xe-fwupdate-runner");
    }
    // The installed runner without --folder, as the product looks for its image; the one port
    // has no device, so start-up ends at once after the image.
    std::string run(const std::string& data_home) {
        auto env = offscreen_env(runtime_);
        env["XDG_DATA_HOME"] = data_home;
        env["XDG_DATA_DIRS"] = shared_.path();
        Child child({runner(), "--port", "1=" + prefix_.file("no-device"), "--answer-after", "0.2"},
                    env);
        EXPECT_TRUE(child.wait_for_exit(30s)) << child.err();
        return child.out();
    }

    TempDir prefix_;
    TempDir runtime_;
    TempDir data_;
    TempDir shared_;
};

TEST_F(InstalledImagePlace, TheUsersOwnDataFolderHoldsTheImage) {
    std::filesystem::create_directory(data_.file("r462xe-fwupdate"));
    data_.write("r462xe-fwupdate/" + std::string(kImageName), test_image());
    const auto lines = parse_transcript(run(data_.path()));
    EXPECT_FALSE(find_line(lines, "msgbox"));
    EXPECT_TRUE(find_line(lines, "Command1.enabled", "true"));
}

TEST_F(InstalledImagePlace, FoundNowhereTheDetailsNameEachPlaceInOrder) {
    const std::string out = run(data_.path());
    const std::string beside = prefix_.file("lib/r462xe-fwupdate/") + kImageName;
    const std::string own = data_.file("r462xe-fwupdate/") + kImageName;
    const std::string shared = shared_.file("r462xe-fwupdate/") + kImageName;
    EXPECT_NE(out.find("Places looked, in order:\\n  " + beside + "\\n  " + own + "\\n  " + shared +
                       "\\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("msgbox \"file error\" \" Firmware image file loading error!\""),
              std::string::npos)
        << out;
}

}  // namespace
}  // namespace r462xe::e2e
