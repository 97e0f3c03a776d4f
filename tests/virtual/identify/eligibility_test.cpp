// Which identified meters may be updated, and what the user is told about the others.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "identify/eligibility_rule.h"
#include "identify/serial_value.h"
#include "rig/messages.h"
#include "rig/window_rig.h"
#include "text/c_quote.h"

namespace r462xe {
namespace {

using testing::kIncompatibleText;
using testing::kIncompatibleTitle;

TEST(Eligibility, SerialValueSkipsTwoCharactersAndBlanks) {
    const std::vector<std::pair<std::string, double>> cases = {
        {"SN55200001", 55200001},
        {"AB55200001", 55200001},
        {"SN55 200 001", 55200001},
        {"SN 55200001", 55200001},
        {"SN55\t200\n001", 55200001},
        {"SN55200001X9", 55200001},
        {"SN552.5", 552.5},
        {"SN-7", -7},
        {"5555200001", 55200001},
        {"SNA55200001", 0},
        {"SN", 0},
        {"S", 0},
        {"", 0},
    };
    for (const auto& [sn, value] : cases) {
        SCOPED_TRACE(c_quote(sn));
        EXPECT_DOUBLE_EQ(serial_value(sn), value);
    }
}

struct EligibleCase {
    std::string model;
    std::string sn;
    bool eligible;
};

// Thresholds, strictly greater: R4621E 55,200,000; R4622E 55,240,000; R4623E 55,220,000.
const std::vector<EligibleCase>& eligibility_cases() {
    static const std::vector<EligibleCase> cases = {
        {"R4621E", "SN55200001", true},   {"R4621E", "SN55200000", false},
        {"R4621E", "SN55200000.5", true}, {"R4622E", "SN55240001", true},
        {"R4622E", "SN55240000", false},  {"R4622E", "SN55230000", false},
        {"R4623E", "SN55230000", true},   {"R4623E", "SN55220001", true},
        {"R4623E", "SN55220000", false},  {"R4621E", "SN55 200 001", true},
        {"R4621E", "SN99999999", true},   {"R4624E", "SN99999999", false},
        {"R462E", "SN99999999", false},   {"r4621E", "SN99999999", false},
        {"R4621e", "SN99999999", false},  {" R4621E", "SN99999999", false},
        {"R4621E ", "SN99999999", false}, {"R4621E", "SNA99999999", false},
        {"R4621E", "S", false},           {"R4621E", "SN", false},
        {"R4621E", "99999999", false},
    };
    return cases;
}

TEST(Eligibility, ModelAndSerialAgainstThresholds) {
    for (const auto& c : eligibility_cases()) {
        SCOPED_TRACE(c_quote(c.model) + " " + c_quote(c.sn));
        EXPECT_EQ(model_and_serial_eligible(c.model, c.sn), c.eligible);
    }
}

TEST(Eligibility, RefusalIsToldInAMessageAndEmptyArgumentsAreNot) {
    auto cases = eligibility_cases();
    cases.push_back({"", "SN99999999", false});
    cases.push_back({"R4621E", "", false});
    cases.push_back({"", "", false});
    for (const auto& c : cases) {
        SCOPED_TRACE(c_quote(c.model) + " " + c_quote(c.sn));
        testing::WindowRig rig;
        bool result = !c.eligible;
        rig.handle([&] { result = rig.form.isFWUpdateSupported(c.model, c.sn); });
        EXPECT_EQ(result, c.eligible);
        const bool told = !c.eligible && !c.model.empty() && !c.sn.empty();
        if (told) {
            ASSERT_EQ(rig.world.messages.shown.size(), 1u);
            const auto& message = rig.world.messages.shown[0];
            EXPECT_EQ(message.text, kIncompatibleText);
            EXPECT_EQ(message.title, kIncompatibleTitle);
            EXPECT_EQ(message.icon, MsgIcon::Exclamation);
        } else {
            EXPECT_TRUE(rig.world.messages.shown.empty());
        }
        EXPECT_TRUE(rig.changes.empty());
    }
}

struct StartUpEligibilityCase {
    std::string model;
    std::string serial;
    bool upload_enabled;
};

TEST(Eligibility, StartUpEnablesUploadOnlyForAnEligibleMeter) {
    const std::vector<StartUpEligibilityCase> cases = {
        {"R4621E", "SN55200001", true},  {"R4621E", "SN55200000", false},
        {"R4622E", "SN55240001", true},  {"R4622E", "SN55230000", false},
        {"R4623E", "SN55230000", true},  {"R4623E", "SN55220000", false},
        {"R4625E", "SN99999999", false}, {"R4621E", "SNX5520000", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model + " " + c.serial);
        testing::WindowRig rig;
        rig.world.add_meter(2, {.model = c.model, .serial = c.serial});
        // The message comes after the list and the search button are handed back.
        std::vector<bool> enabled_when_told;
        rig.world.messages.on_show = [&](const sim::ShownMessage&) {
            enabled_when_told = {rig.form.COM1.enabled(), rig.form.Command1.enabled(),
                                 rig.form.Command2.enabled()};
        };
        rig.load();
        EXPECT_EQ(rig.form.Label7.caption(), c.model);
        EXPECT_EQ(rig.form.Label5.caption(), c.serial);
        EXPECT_EQ(rig.form.Command2.enabled(), c.upload_enabled);
        if (c.upload_enabled) {
            EXPECT_TRUE(rig.world.messages.shown.empty());
            EXPECT_THAT(rig.changes_of("Command2.enabled"),
                        ::testing::ElementsAre("Command2.enabled false", "Command2.enabled true"));
        } else {
            ASSERT_EQ(rig.world.messages.shown.size(), 1u);
            EXPECT_EQ(rig.world.messages.shown[0].text, kIncompatibleText);
            EXPECT_EQ(rig.world.messages.shown[0].title, kIncompatibleTitle);
            EXPECT_EQ(rig.world.messages.shown[0].icon, MsgIcon::Exclamation);
            EXPECT_EQ(enabled_when_told, (std::vector<bool>{true, true, false}));
            EXPECT_THAT(rig.changes_of("Command2.enabled"),
                        ::testing::ElementsAre("Command2.enabled false"));
        }
    }
}

}  // namespace
}  // namespace r462xe
