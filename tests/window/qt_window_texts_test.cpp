// The Qt window shows what the controls hold beyond the specified texts: the progress bar's text
// over the bar, and beside each device in the port list's tooltips what the last look at its
// port found. Offscreen: nothing is drawn, the widgets are read back.
#include <gtest/gtest.h>
#include <QApplication>
#include <QComboBox>
#include <QProgressBar>

#include "ports/port_finding_rule.h"
#include "qt/window.h"
#include "serial/port_map.h"
#include "ui/controls.h"

namespace r462xe {
namespace {

class WindowTexts : public ::testing::Test {
  protected:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }

    int argc_ = 1;
    char name_[16] = "window-tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

PortFinding found(PortFindingKind kind, std::string device) {
    PortFinding finding;
    finding.kind = kind;
    finding.trouble.device = std::move(device);
    return finding;
}

TEST_F(WindowTexts, PortListTooltipsTellWhatEachPortWasFoundToHold) {
    Controls controls;
    const PortMap ports({{1, "/dev/ttyUSB0"}, {2, "/dev/ttyUSB1"}, {3, "/dev/ttyS0"}});
    PortFindings findings;
    findings[1] = found(PortFindingKind::UpdateMode, "/dev/ttyUSB0");
    findings[2] = found(PortFindingKind::Held, "/dev/ttyUSB1");
    findings[2].trouble.system_text = "Device or resource busy";
    findings[3] = found(PortFindingKind::Silent, "/dev/ttyS0");
    QtWindow window(controls, {}, ports, findings);
    controls.COM1.add_item("COM1  :Updating");
    controls.COM1.add_item("COM3");
    controls.COM1.set_list_index(0);

    auto* list = window.findChild<QComboBox*>();
    ASSERT_NE(list, nullptr);
    const QString update_mode =
        "COM1: /dev/ttyUSB0 - a meter in its update mode answered: choose this entry, then press "
        "\"Upload Firmware\" to update it.";
    EXPECT_EQ(list->itemData(0, Qt::ToolTipRole).toString(), update_mode);
    EXPECT_EQ(list->itemData(1, Qt::ToolTipRole).toString(),
              "COM3: /dev/ttyS0 - it opened, but nothing answered. Check that the meter is "
              "switched on and faces the cable.");
    // The device that could not be opened has no entry: the list's own tooltip names it.
    EXPECT_EQ(list->toolTip(), update_mode +
                                   "\nCOM2: /dev/ttyUSB1 - another program holds it (Device or "
                                   "resource busy). Close that program, then press \"Auto "
                                   "Search COM Port\".");

    // A port chosen later is found to hold something else, with the entries unchanged.
    findings[3] = found(PortFindingKind::Meter, "/dev/ttyS0");
    findings[3].answer = "SN55250001";
    controls.COM1.set_enabled(true);
    EXPECT_EQ(list->itemData(1, Qt::ToolTipRole).toString(),
              "COM3: /dev/ttyS0 - an R462xE meter answered (serial number SN55250001).");
}

TEST_F(WindowTexts, TheProgressBarShowsItsTextAndNothingWithoutOne) {
    Controls controls;
    const PortMap ports(PortNumbering::device_order);
    const PortFindings findings;
    QtWindow window(controls, {}, ports, findings);
    auto* bar = window.findChild<QProgressBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_FALSE(bar->isTextVisible());

    controls.ProgressBar1.set_value(22);
    controls.ProgressBar1.set_text("Block 23 of 60 - about 38 s left");
    EXPECT_TRUE(bar->isTextVisible());
    EXPECT_EQ(bar->text(), "Block 23 of 60 - about 38 s left");
    EXPECT_EQ(bar->value(), 22);
    EXPECT_EQ(bar->maximum(), 59);

    // A percent sign is the text's own, not the start of one of Qt's placeholders.
    controls.ProgressBar1.set_text("100% of %v");
    EXPECT_EQ(bar->text(), "100% of %v");

    controls.ProgressBar1.set_text("");
    EXPECT_FALSE(bar->isTextVisible());
    EXPECT_EQ(bar->value(), 22);
}

}  // namespace
}  // namespace r462xe
