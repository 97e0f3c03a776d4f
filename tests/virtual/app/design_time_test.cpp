// The window as it is designed, before the load sequence changes anything: its caption, and every
// control in order with its kind, its text byte for byte and its text colour.
#include <gtest/gtest.h>

#include <optional>

#include "rig/window_rig.h"
#include "text/c_quote.h"
#include "ui/palette.h"

namespace r462xe {
namespace {

enum class Kind { Label, DropDownList, Button, Frame, ProgressBar };

constexpr int kRed = 12;  // palette entry of pure red: red 255, green 0, blue 0

struct DesignedControl {
    const char* name;
    Kind kind;
    std::string text;                // caption; empty for the list and the progress bar
    std::optional<int> colour = {};  // labels only
};

const std::vector<DesignedControl>& designed_controls() {
    static const std::vector<DesignedControl> controls = {
        {"Label8", Kind::Label, "Model Number :", kWindowTextColour},
        {"Label7", Kind::Label, "", kWindowTextColour},
        {"Label3", Kind::Label, "Serial Number :", kWindowTextColour},
        {"Label5", Kind::Label, "", kWindowTextColour},
        {"Label1", Kind::Label, "Current Version :", kWindowTextColour},
        {"Label4", Kind::Label, "", kWindowTextColour},
        {"Label2", Kind::Label, "COM Port :", kWindowTextColour},
        {"COM1", Kind::DropDownList, ""},
        {"Command1", Kind::Button, "Auto Search COM Port"},
        {"Command2", Kind::Button, "Upload Firmware"},
        {"Frame1", Kind::Frame, "Progress"},
        {"ProgressBar1", Kind::ProgressBar, ""},
        {"Label6", Kind::Label,
         "Ensure there is no power interruption to the Multimeter and the PC.  Do not try to "
         "connect other instruments to the PC's USB port.\r\n",
         kRed},
        {"Label9", Kind::Label, "Please use T6620 cable to update your Handheld Digital Meter.",
         kRed},
    };
    return controls;
}

TEST(DesignTime, WindowCaption) {
    EXPECT_EQ(std::string(texts::kWindowCaption),
              " Marelind R462xE Firmware Update Software (v3.07)");
}

TEST(DesignTime, RedIsPureRed) {
    EXPECT_EQ(kPaletteRgb[kRed], 0xFF0000u);
}

TEST(DesignTime, EveryControlInOrderWithItsKindTextAndColour) {
    testing::WindowRig rig;  // not loaded
    const auto all = rig.form.all();
    const auto& designed = designed_controls();
    ASSERT_EQ(all.size(), designed.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Control* control = all[i];
        const DesignedControl& expected = designed[i];
        SCOPED_TRACE(expected.name);
        EXPECT_EQ(control->name(), expected.name);
        switch (expected.kind) {
            case Kind::Label: {
                const auto* label = dynamic_cast<const Label*>(control);
                ASSERT_NE(label, nullptr);
                EXPECT_EQ(c_quote(label->caption()), c_quote(expected.text));
                EXPECT_EQ(label->fore_colour(), expected.colour);
                break;
            }
            case Kind::Button: {
                const auto* button = dynamic_cast<const Button*>(control);
                ASSERT_NE(button, nullptr);
                EXPECT_EQ(button->caption(), expected.text);
                break;
            }
            case Kind::Frame: {
                const auto* frame = dynamic_cast<const Frame*>(control);
                ASSERT_NE(frame, nullptr);
                EXPECT_EQ(frame->caption(), expected.text);
                break;
            }
            case Kind::DropDownList: {
                const auto* list = dynamic_cast<const DropDownList*>(control);
                ASSERT_NE(list, nullptr);
                EXPECT_TRUE(list->items().empty());
                EXPECT_EQ(list->list_index(), -1);
                EXPECT_EQ(list->text(), "");
                break;
            }
            case Kind::ProgressBar: {
                const auto* bar = dynamic_cast<const ProgressBar*>(control);
                ASSERT_NE(bar, nullptr);
                EXPECT_EQ(bar->max(), 59);
                EXPECT_EQ(bar->value(), 0);
                break;
            }
        }
    }
    // The design is what the window shows until the load sequence begins.
    EXPECT_TRUE(rig.changes.empty());
}

}  // namespace
}  // namespace r462xe
