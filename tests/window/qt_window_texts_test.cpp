// The Qt window shows what the controls hold beyond the window's own texts: the progress bar's
// text over the bar, and the port list's tooltips as the procedures set them. Offscreen: nothing
// is drawn, the widgets are read back.
#include <gtest/gtest.h>
#include <QApplication>
#include <QComboBox>
#include <QProgressBar>

#include "qt/window.h"
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

TEST_F(WindowTexts, PortListShowsTheTooltipsTheControlHolds) {
    Controls controls;
    QtWindow window(controls, {});
    controls.COM1.add_item("COM1  :Updating");
    controls.COM1.add_item("COM3");
    controls.COM1.set_list_index(0);
    const std::string update_mode =
        "COM1: /dev/ttyUSB0 - a meter in its update mode answered: choose this entry, then press "
        "\"Upload Firmware\" to update it.";
    const std::string silent =
        "COM3: /dev/ttyS0 - it opened, but nothing answered. Check that the meter is switched on "
        "and faces the cable.";
    const std::string held =
        "COM2: /dev/ttyUSB1 - another program holds it (Device or resource busy). Close that "
        "program, then press \"Auto Search COM Port\".";
    controls.COM1.set_item_tips({update_mode, silent});
    controls.COM1.set_tooltip(update_mode + "\n" + held);

    auto* list = window.findChild<QComboBox*>();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->itemData(0, Qt::ToolTipRole).toString(), QString::fromStdString(update_mode));
    EXPECT_EQ(list->itemData(1, Qt::ToolTipRole).toString(), QString::fromStdString(silent));
    EXPECT_EQ(list->toolTip(), QString::fromStdString(update_mode + "\n" + held));

    // New tooltips with the entries unchanged (a port chosen is found to hold something else).
    const std::string meter =
        "COM3: /dev/ttyS0 - an R462xE meter answered (serial number SN55250001).";
    controls.COM1.set_item_tips({update_mode, meter});
    EXPECT_EQ(list->itemData(1, Qt::ToolTipRole).toString(), QString::fromStdString(meter));

    // The entries anew: each new entry has no tooltip until the procedures set one.
    controls.COM1.clear();
    controls.COM1.add_item("COM3  :SN55250001");
    EXPECT_EQ(list->itemData(0, Qt::ToolTipRole).toString(), QString());
}

TEST_F(WindowTexts, TheProgressBarShowsItsTextAndNothingWithoutOne) {
    Controls controls;
    QtWindow window(controls, {});
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
