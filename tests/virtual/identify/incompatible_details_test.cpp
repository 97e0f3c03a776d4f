// The refusal of a meter that may not be updated keeps its text, title and icon; its details
// name the meter and the meters the firmware is for.
#include <gtest/gtest.h>

#include "rig/window_rig.h"

namespace r462xe {
namespace {

TEST(IncompatibleDetails, NameTheMeterAndTheMetersTheFirmwareIsFor) {
    testing::WindowRig rig;
    rig.handle([&] { rig.form.isFWUpdateSupported("R4621E", "SN55100000"); });
    ASSERT_EQ(rig.world.messages.shown.size(), 1u);
    EXPECT_EQ(rig.world.messages.shown[0].title, "Information");
    EXPECT_EQ(rig.world.messages.shown[0].details,
              "The meter is an R4621E with serial number SN55100000. This firmware is only for "
              "the R4621E above serial number 55200000, R4622E above serial number 55240000, "
              "R4623E above serial number 55220000. Nothing was sent to the meter.\n");
}

}  // namespace
}  // namespace r462xe
