// The load sequence, its order and outcomes, and the close rule.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "rig/window_rig.h"

namespace r462xe {
namespace {

using ::testing::ElementsAre;

TEST(StartUp, FirstStepsShowSearchingWithTheControlsDisabled) {
    testing::WindowRig rig;
    rig.load();
    std::vector<std::string> first;
    for (std::size_t i = 0; i < 10 && i < rig.changes.size(); ++i) {
        first.push_back(rig.changes[i].line);
    }
    EXPECT_EQ(first, (std::vector<std::string>{
                         "Label6.visible false",
                         "Label4.caption \"Searching\"",
                         "Label5.caption \"Searching\"",
                         "Label7.caption \"Searching\"",
                         "COM1.items [\"COM1\"]",
                         "COM1.index 0",
                         "Command1.enabled false",
                         "COM1.enabled false",
                         "Command2.enabled false",
                         "ProgressBar1.text \"Opening COM1 - 1 of 16 ports\"",
                     }));
    EXPECT_TRUE(rig.world.window.shown);
}

TEST(StartUp, SetsTheSharedStateOfItsStepNine) {
    testing::WindowRig rig;
    rig.load();
    EXPECT_EQ(rig.form.comm_settings, "9600,n,8,1");
    EXPECT_EQ(rig.form.upload_settings, "19200,n,8,1");
    EXPECT_FALSE(rig.form.update_mode);
    EXPECT_FALSE(rig.form.upload_running);
    EXPECT_FALSE(rig.form.port_ok);
    EXPECT_EQ(rig.form.fw_path,
              (std::filesystem::path(rig.folder) / "R462XE_V307_20200521.QF").string());
    EXPECT_FALSE(rig.form.searching);
}

TEST(StartUp, NoPortAtAllLeavesAnEmptyListAndTheUploadDisabled) {
    testing::WindowRig rig;
    rig.load();
    EXPECT_FALSE(rig.ended());
    EXPECT_TRUE(rig.form.COM1.items().empty());
    EXPECT_EQ(rig.form.COM1.list_index(), -1);
    EXPECT_EQ(rig.form.COM1.text(), "");
    EXPECT_EQ(rig.form.Label4.caption(), "");
    EXPECT_EQ(rig.form.Label5.caption(), "");
    EXPECT_EQ(rig.form.Label7.caption(), "");
    EXPECT_TRUE(rig.form.COM1.enabled());
    EXPECT_TRUE(rig.form.Command1.enabled());
    EXPECT_FALSE(rig.form.Command2.enabled());
    EXPECT_EQ(rig.form.found_port, 1);
    EXPECT_TRUE(rig.world.messages.shown.empty());
}

TEST(StartUp, ProgramClicksOnTheListAreIgnoredWhileSearching) {
    testing::WindowRig rig;
    rig.world.add_port(1);
    rig.load();
    // Had a programmatic selection started the port choice, the list would have been
    // disabled and enabled again around an identification.
    EXPECT_THAT(rig.changes_of("COM1.enabled"),
                ElementsAre("COM1.enabled false", "COM1.enabled true"));
}

TEST(CloseRule, RefusedDuringAnUpdateAndEndsTheProgramOtherwise) {
    testing::WindowRig rig;
    rig.load();
    rig.form.upload_running = true;
    rig.handle([&] { rig.world.window.unload_window(); });
    EXPECT_FALSE(rig.ended());
    EXPECT_EQ(rig.world.window.close_refusals, 1);
    EXPECT_TRUE(rig.world.messages.shown.empty());

    rig.form.upload_running = false;
    rig.handle([&] { rig.world.window.unload_window(); });
    EXPECT_TRUE(rig.ended());
}

TEST(CloseRule, ClosingDuringTheStartUpSearchEndsTheProgram) {
    testing::WindowRig rig;
    rig.world.add_port(2);
    rig.world.scheduler.after(1.0, [&] { rig.world.window.unload_window(); });
    rig.load();
    EXPECT_TRUE(rig.ended());
    EXPECT_NEAR(rig.world.now(), 1.0, 1e-6);
}

}  // namespace
}  // namespace r462xe
