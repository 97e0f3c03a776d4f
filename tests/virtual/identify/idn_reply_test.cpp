// Reading the meter's replies: the port choice's exchange insists on a proper line end and tells
// several kinds of failure apart; the search's exchange cuts two characters and either accepts
// or fails.
#include <gtest/gtest.h>

#include "identify/idn_reply.h"
#include "text/c_quote.h"

namespace r462xe {
namespace {

const std::string kXonText(1, kXon);

struct IdnReplyCase {
    std::string reply;
    IdnVerdict verdict;
    IdnFields fields = {};
};

TEST(IdnReply, PortChoiceExchangeVerdictsAndFields) {
    const std::vector<IdnReplyCase> cases = {
        {"Marelind,R4622E,SN0001,V1.00\r\n",
         IdnVerdict::Identified,
         {"Marelind", "R4622E", "SN0001", "V1.00"}},
        {"Marelind,R4622E,SN0001,V1.00\r\n" + kXonText,
         IdnVerdict::Identified,
         {"Marelind", "R4622E", "SN0001", "V1.00"}},
        // Two characters are cut: without the carriage return the last visible one goes.
        {"Marelind,R4622E,SN0001,V1.00\n",
         IdnVerdict::Identified,
         {"Marelind", "R4622E", "SN0001", "V1.0"}},
        {"Marelind,R4622E,SN0001,V\n",
         IdnVerdict::Identified,
         {"Marelind", "R4622E", "SN0001", ""}},
        // Fields are kept exactly as received.
        {" Marelind , R4622E ,SN 0001, V1.00 \r\n",
         IdnVerdict::Identified,
         {" Marelind ", " R4622E ", "SN 0001", " V1.00 "}},
        {"The Fenwary Company,R4621E,SN1,V2\r\n",
         IdnVerdict::Identified,
         {"The Fenwary Company", "R4621E", "SN1", "V2"}},
        // Any model with the stem and a capital E passes here; eligibility rejects it later.
        {"Fenwary,XR462-Eco,SN1,V2\r\n",
         IdnVerdict::Identified,
         {"Fenwary", "XR462-Eco", "SN1", "V2"}},
        {"Marelind,R4622,SN0001,V1.00\r\n", IdnVerdict::OtherMeter},
        {"Marelind,R4622e,SN0001,V1.00\r\n", IdnVerdict::OtherMeter},
        {"Marelind,R4522E,SN0001,V1.00\r\n", IdnVerdict::OtherMeter},
        {"MARELIND,R4622E,SN0001,V1.00\r\n", IdnVerdict::QuickRepeat},
        {"Acme,R4622E,SN0001,V1.00\r\n", IdnVerdict::QuickRepeat},
        {"*E\r\n", IdnVerdict::QuickRepeat},
        {"*E\r\n" + kXonText, IdnVerdict::QuickRepeat},
        {"ERR\r\n", IdnVerdict::FailedAttempt},
        {"Marelind,R4622E,SN0001\r\n", IdnVerdict::FailedAttempt},
        {"Marelind,R4622E,SN0001,V1.00,X\r\n", IdnVerdict::FailedAttempt},
        {"*E\r\nMarelind,R4622E,SN0001,V1.00\r\n", IdnVerdict::FailedAttempt},
        {"Marelind,R4622E,SN0001,V1.00", IdnVerdict::FailedAttempt},
        {"Marelind,R4622E,SN0001,V1.00\r\n" + kXonText + kXonText, IdnVerdict::FailedAttempt},
        {"X", IdnVerdict::FailedAttempt},
        {"\r\n", IdnVerdict::FailedAttempt},
        {"", IdnVerdict::FailedAttempt},
        // Too short to lose its line end: the exchange ends without a word.
        {"\n", IdnVerdict::EndSilently},
        {kXonText, IdnVerdict::EndSilently},
        {"\n" + kXonText, IdnVerdict::EndSilently},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c_quote(c.reply));
        const IdnReading reading = read_idn_reply(c.reply);
        EXPECT_EQ(reading.verdict, c.verdict);
        if (c.verdict == IdnVerdict::Identified) {
            EXPECT_EQ(reading.fields, c.fields);
        }
    }
}

struct SearchReplyCase {
    std::string reply;
    bool identified;
    IdnFields fields = {};
};

TEST(IdnReply, SearchExchangeCutsTwoCharactersWhateverTheyAre) {
    const std::vector<SearchReplyCase> cases = {
        {"Marelind,R4622E,SN0001,V1.00\r\n", true, {"Marelind", "R4622E", "SN0001", "V1.00"}},
        // With XON only the line feed and XON go; the carriage return stays in the version.
        {"Marelind,R4622E,SN0001,V1.00\r\n" + kXonText,
         true,
         {"Marelind", "R4622E", "SN0001", "V1.00\r"}},
        // The first line becomes the front of the maker field.
        {"*E\r\nMarelind,R4622E,SN0001,V1.00\r\n",
         true,
         {"*E\r\nMarelind", "R4622E", "SN0001", "V1.00"}},
        {"Marelind,R4622E,SN0001,V1.00", true, {"Marelind", "R4622E", "SN0001", "V1."}},
        {"Marelind,R4622E,SN0001,V\n", true, {"Marelind", "R4622E", "SN0001", ""}},
        {"Fenwary Inc,R4623E,SN7,V3\r\n", true, {"Fenwary Inc", "R4623E", "SN7", "V3"}},
        {"Marelind,R4622,SN0001,V1.00\r\n", false},
        {"MARELIND,R4622E,SN0001,V1.00\r\n", false},
        {"Acme,R4622E,SN0001,V1.00\r\n", false},
        {"Marelind,R4622E,SN0001\r\n", false},
        {"Marelind,R4622E,SN0001,V1.00,X\r\n", false},
        {"*E\r\n", false},
        {"\r\n", false},
        {"X", false},
        {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c_quote(c.reply));
        const SearchIdnReading reading = read_search_idn_reply(c.reply);
        EXPECT_EQ(reading.identified, c.identified);
        if (c.identified) {
            EXPECT_EQ(reading.fields, c.fields);
        }
    }
}

TEST(IdnReply, ProbeAnswerMeansUpdateModeWhenItHoldsAOne) {
    EXPECT_TRUE(probe_answer_says_update_mode("1"));
    EXPECT_TRUE(probe_answer_says_update_mode("ab1\r\n"));
    EXPECT_FALSE(probe_answer_says_update_mode(""));
    EXPECT_FALSE(probe_answer_says_update_mode("0"));
}

}  // namespace
}  // namespace r462xe
