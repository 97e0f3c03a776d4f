#include <gtest/gtest.h>

#include "rig/window_rig.h"

namespace r462xe {
namespace {

TEST(Smoke, StartUpFindsTheMeterAndAnUploadCompletes) {
    testing::WindowRig rig;
    rig.world.add_port(1);
    rig.world.add_meter(3);
    rig.load();
    EXPECT_EQ(rig.form.Label7.caption(), "R4622E");
    EXPECT_EQ(rig.form.Label5.caption(), "SN55250001");
    EXPECT_EQ(rig.form.Label4.caption(), "V3.05");
    EXPECT_EQ(rig.form.COM1.items(), (std::vector<std::string>{"COM1", "COM3  :SN55250001"}));
    EXPECT_EQ(rig.form.COM1.list_index(), 1);
    EXPECT_TRUE(rig.form.Command2.enabled());
    std::printf("start-up took %.3f s\n", rig.world.now());
    rig.handle([&] { rig.form.Command2_Click(); });
    rig.run_for(200);
    for (auto& m : rig.world.messages.shown) std::printf("msg %s: %s\n", m.title.c_str(), m.text.c_str());
    EXPECT_TRUE(rig.world.meter(3).flash_equals(rig.image));
    EXPECT_EQ(rig.form.Label4.caption(), "V3.07");
}

}  // namespace
}  // namespace r462xe
