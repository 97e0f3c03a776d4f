// The meter in its update mode, block by block: the verdict on each frame, the answer to the
// probe, and the 200 ms gap after which a partial frame is dropped.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "meter/meter_bench.h"

namespace r462xe::sim::test {
namespace {

TEST(MeterBlocks, CheckByteRule) {
    struct Case {
        const char* name;
        int blocks_before;  // good blocks 0.. sent first
        std::function<std::string()> frame;
        std::string verdict;  // unmasked
        int expected_after;
    };
    const std::vector<Case> cases = {
        {.name = "prepared block 0",
         .blocks_before = 0,
         .frame = [] { return frame_on_wire(kImage, 0); },
         .verdict = "0",
         .expected_after = 1},
        {.name = "prepared block 5 after 0..4",
         .blocks_before = 5,
         .frame = [] { return frame_on_wire(kImage, 5); },
         .verdict = "0",
         .expected_after = 6},
        {.name = "wrong check byte",
         .blocks_before = 0,
         .frame =
             [] {
                 std::string frame = frame_on_wire(kImage, 0);
                 frame.back() = static_cast<char>(frame.back() ^ 0x01);
                 return frame;
             },
         .verdict = "1",
         .expected_after = 0},
        {.name = "data changed after the check byte was made",
         .blocks_before = 0,
         .frame =
             [] {
                 std::string frame = frame_on_wire(kImage, 0);
                 frame[500] = static_cast<char>(frame[500] ^ 0x10);
                 return frame;
             },
         .verdict = "1",
         .expected_after = 0},
        {.name = "block 1 while expecting 0",
         .blocks_before = 0,
         .frame = [] { return frame_on_wire(kImage, 1); },
         .verdict = "1",
         .expected_after = 0},
        {.name = "block 0 again after 0",
         .blocks_before = 1,
         .frame = [] { return frame_on_wire(kImage, 0); },
         .verdict = "1",
         .expected_after = 1},
        {.name = "check byte left unmasked",
         .blocks_before = 0,
         .frame =
             [] {
                 std::string frame = frame_on_wire(kImage, 0);
                 frame.back() = static_cast<char>(frame.back() ^ 0x6B);
                 return frame;
             },
         .verdict = "1",
         .expected_after = 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bench bench(update_mode_faults());
        for (int n = 0; n < c.blocks_before; ++n) {
            ASSERT_EQ(bench.exchange_text(frame_on_wire(kImage, n), kUpdateBaud), masked("0"));
        }
        const std::vector<Sent> replies = bench.exchange(c.frame(), kUpdateBaud);
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_EQ(replies[0].bytes, masked(c.verdict));
        EXPECT_EQ(replies[0].baud, kUpdateBaud);
        // Not before the frame's last byte has crossed and the meter has had its time.
        EXPECT_NEAR(replies[0].at, bench.line_free_at() + bench.meter.faults().reply_delay, 1e-9);
        EXPECT_EQ(bench.meter.expected_block(), c.expected_after);
    }
}

TEST(MeterProbe, AnswersOnlyInUpdateMode) {
    struct Case {
        const char* name;
        bool update_mode;
        std::vector<std::string> replies;  // on the wire
        std::string follow_up;             // sent 0.3 s after the probe
        int follow_up_baud;
        std::string follow_up_reply;
    };
    const std::vector<Case> cases = {
        // The two bytes left over must be gone by the time block 0 comes.
        {.name = "update mode",
         .update_mode = true,
         .replies = {masked("1")},
         .follow_up = frame_on_wire(kImage, 0),
         .follow_up_baud = kUpdateBaud,
         .follow_up_reply = masked("0")},
        {.name = "normal mode",
         .update_mode = false,
         .replies = {},
         .follow_up = kIdnLine,
         .follow_up_baud = kNormalBaud,
         .follow_up_reply = kIdentityReply},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MeterFaults faults;
        faults.start_in_update_mode = c.update_mode;
        Bench bench(faults);
        const std::vector<Sent> replies = bench.exchange(kProbe, kUpdateBaud, 0.3);
        std::vector<std::string> reply_bytes;
        for (const Sent& sent : replies) {
            reply_bytes.push_back(sent.bytes);
            EXPECT_EQ(sent.baud, kUpdateBaud);
        }
        EXPECT_EQ(reply_bytes, c.replies);
        EXPECT_EQ(bench.meter.in_update_mode(), c.update_mode);
        EXPECT_EQ(bench.exchange_text(c.follow_up, c.follow_up_baud), c.follow_up_reply);
    }
}

TEST(MeterGap, DropsAPartialFrame) {
    struct Case {
        const char* name;
        std::string partial;
        std::string filler;  // sent at 9600 (garbled) 0.1 s after the partial frame
        double gap;          // from the partial frame's end to the next frame
        std::string next;
        std::string reply;
    };
    const std::string block = frame_on_wire(kImage, 0);
    const std::string upgr1 = masked("UPGR 1\r\n");
    const std::vector<Case> cases = {
        {.name = "block after 250 ms",
         .partial = block.substr(0, 100),
         .filler = "",
         .gap = 0.25,
         .next = block,
         .reply = masked("0")},
        {.name = "block after 150 ms joins the partial one",
         .partial = block.substr(0, 100),
         .filler = "",
         .gap = 0.15,
         .next = block,
         .reply = masked("1")},
        {.name = "garbled bytes do not bridge the gap",
         .partial = block.substr(0, 100),
         .filler = "xxxxx",
         .gap = 0.25,
         .next = block,
         .reply = masked("0")},
        {.name = "command after 250 ms",
         .partial = masked("UP"),
         .filler = "",
         .gap = 0.25,
         .next = upgr1,
         .reply = masked("ACK\r\n")},
        {.name = "command after 150 ms joins the partial one",
         .partial = masked("UP"),
         .filler = "",
         .gap = 0.15,
         .next = upgr1,
         .reply = ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bench bench(update_mode_faults());
        bench.host_sends(c.partial, kUpdateBaud);
        const double partial_ends = bench.line_free_at();
        if (!c.filler.empty()) bench.host_sends(c.filler, kNormalBaud, 0.1);
        bench.link.run_until(partial_ends + c.gap);
        const std::vector<Sent> replies = bench.exchange(c.next, kUpdateBaud);
        EXPECT_EQ(replies.empty() ? "" : replies.front().bytes, c.reply);
    }
}

}  // namespace
}  // namespace r462xe::sim::test
