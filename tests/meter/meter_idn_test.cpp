// The meter in its normal mode: its replies to "*IDN?" and to other lines.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "meter/meter_bench.h"

namespace r462xe::sim::test {
namespace {

TEST(MeterIdn, Replies) {
    struct Case {
        const char* name;
        MeterIdentity identity;
        MeterFaults faults;
        std::vector<std::string> requests;
        std::vector<std::string> replies;  // one per request, "" for none
    };
    MeterFaults xon;
    xon.xon_after_reply = true;
    MeterFaults busy;
    busy.star_e_first = 2;
    MeterFaults verbatim;
    verbatim.idn_reply_verbatim = "Marelind,R4622E,SN55250001\r\n";
    MeterFaults busy_with_xon = busy;
    busy_with_xon.xon_after_reply = true;
    const MeterIdentity other{.maker = "Norvale",
                              .model = "R4621E",
                              .serial = "SN1",
                              .version = "V2.00",
                              .new_version = "V2.01"};

    const std::vector<Case> cases = {
        {.name = "default",
         .identity = {},
         .faults = {},
         .requests = {kIdnLine},
         .replies = {kIdentityReply}},
        {.name = "line feed alone ends the line",
         .identity = {},
         .faults = {},
         .requests = {"*IDN?\n"},
         .replies = {kIdentityReply}},
        {.name = "another meter",
         .identity = other,
         .faults = {},
         .requests = {kIdnLine},
         .replies = {"Norvale,R4621E,SN1,V2.00\r\n"}},
        {.name = "XON after the reply",
         .identity = {},
         .faults = xon,
         .requests = {kIdnLine},
         .replies = {kIdentityReply + "\x11"}},
        {.name = "*E for the first 2",
         .identity = {},
         .faults = busy,
         .requests = {kIdnLine, kIdnLine, kIdnLine, kIdnLine},
         .replies = {"*E\r\n", "*E\r\n", kIdentityReply, kIdentityReply}},
        {.name = "no XON after *E",
         .identity = {},
         .faults = busy_with_xon,
         .requests = {kIdnLine, kIdnLine, kIdnLine},
         .replies = {"*E\r\n", "*E\r\n", kIdentityReply + "\x11"}},
        {.name = "verbatim reply",
         .identity = {},
         .faults = verbatim,
         .requests = {kIdnLine},
         .replies = {"Marelind,R4622E,SN55250001\r\n"}},
        {.name = "unknown line",
         .identity = {},
         .faults = {},
         .requests = {"FOO\r\n"},
         .replies = {"*E\r\n"}},
        {.name = "empty lines are ignored",
         .identity = {},
         .faults = {},
         .requests = {"\r\n", "\n", kIdnLine},
         .replies = {"", "", kIdentityReply}},
        {.name = "a carriage return only before the line feed is dropped",
         .identity = {},
         .faults = {},
         .requests = {"*IDN?\r\r\n"},
         .replies = {"*E\r\n"}},
        {.name = "overlong line",
         .identity = {},
         .faults = {},
         .requests = {std::string(300, 'A') + "\r\n"},
         .replies = {"*E\r\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bench bench(c.faults, c.identity);
        ASSERT_EQ(c.requests.size(), c.replies.size());
        for (std::size_t i = 0; i < c.requests.size(); ++i) {
            const std::vector<Sent> replies = bench.exchange(c.requests[i], kNormalBaud);
            std::string text;
            for (const Sent& sent : replies) {
                text += sent.bytes;
                EXPECT_EQ(sent.baud, kNormalBaud);
                EXPECT_NEAR(sent.at, bench.line_free_at() + c.faults.reply_delay, 1e-9);
            }
            EXPECT_EQ(text, c.replies[i]) << "request " << i;
        }
    }
}

}  // namespace
}  // namespace r462xe::sim::test
