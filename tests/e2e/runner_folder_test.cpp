// The runner's image folder named with letters beyond ASCII: the Qt side hands it on in the
// system's encoding of file names, and start-up finds the image there.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "e2e/image_fixture.h"
#include "e2e/process.h"
#include "e2e/transcript.h"

namespace r462xe::e2e {
namespace {

using namespace std::chrono_literals;

TEST(RunnerFolder, FolderWithNonAsciiLettersHoldsTheImage) {
    TempDir scratch;
    TempDir runtime;
    // "Mess Gerät Μετρητής": Latin-1 letters and Greek ones, in UTF-8.
    const std::string folder = scratch.file(
        "Mess Ger\xC3\xA4t \xCE\x9C\xCE\xB5\xCF\x84\xCF\x81\xCE\xB7\xCF\x84\xCE\xAE\xCF\x82");
    std::filesystem::create_directory(folder);
    std::ofstream(folder + "/" + kImageName, std::ios::binary) << test_image();
    // The one port has no device: start-up gets past the image at once and ends.
    Child runner({bin("r462xe-fwupdate-runner"), "--port", "1=" + scratch.file("no-device"),
                  "--folder", folder, "--answer-after", "0.2"},
                 offscreen_env(runtime));
    ASSERT_TRUE(runner.wait_for_exit(30s)) << runner.out();
    const auto lines = parse_transcript(runner.out());
    EXPECT_FALSE(find_line(lines, "msgbox")) << runner.out();
    EXPECT_TRUE(find_line(lines, "Command1.enabled", "true")) << runner.out();
}

}  // namespace
}  // namespace r462xe::e2e
