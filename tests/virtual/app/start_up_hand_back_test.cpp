// The end of the load sequence: once the port list is filled and its entry selected (the list's
// tooltip following the selection), the list is handed back first, then the search button, then
// "Upload Firmware" for an eligible meter only.
#include <gtest/gtest.h>

#include <functional>

#include "rig/window_rig.h"

namespace r462xe {
namespace {

struct HandBackCase {
    const char* name;
    std::function<void(sim::World&)> setup;
    std::vector<std::string> after_selection;
};

TEST(StartUp, HandsBackTheListThenTheSearchButtonThenTheUploadButton) {
    const std::vector<HandBackCase> cases = {
        {"no port", [](sim::World&) {}, {"COM1.enabled true", "Command1.enabled true"}},
        {"eligible meter",
         [](sim::World& w) { w.add_meter(2); },
         {R"(COM1.tooltip "COM2: /dev/ttyV2 - an R462xE meter answered (serial number SN55250001).")",
          "COM1.enabled true", "Command1.enabled true", "Command2.enabled true"}},
        {"meter that may not be updated",
         [](sim::World& w) { w.add_meter(2, {.serial = "SN55230000"}); },
         {R"(COM1.tooltip "COM2: /dev/ttyV2 - an R462xE meter answered (serial number SN55230000).")",
          "COM1.enabled true", "Command1.enabled true"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::WindowRig rig;
        c.setup(rig.world);
        rig.load();
        std::size_t selection = rig.changes.size();
        for (std::size_t i = 0; i < rig.changes.size(); ++i) {
            if (rig.changes[i].line.rfind("COM1.index ", 0) == 0) selection = i;
        }
        ASSERT_LT(selection, rig.changes.size());
        std::vector<std::string> after;
        for (std::size_t i = selection + 1; i < rig.changes.size(); ++i) {
            after.push_back(rig.changes[i].line);
        }
        EXPECT_EQ(after, c.after_selection);
    }
}

}  // namespace
}  // namespace r462xe
