// The virtual meter in virtual time: what the host sees on the wire, and what ends up in flash.
#include "sim/meter/meter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "meter/fake_meter_link.h"

namespace r462xe::sim {
namespace {

using test::FakeMeterLink;
using Sent = FakeMeterLink::Sent;

constexpr double kSettle = 0.1;  // time after a request within which a reply must have come

// The host end of the line: a UART that sends one byte after another.
class Bench {
  public:
    explicit Bench(MeterFaults faults = {}, MeterIdentity identity = {})
        : meter(link, std::move(identity), std::move(faults)) {}

    // Queues `bytes` after whatever the host is still sending, `idle_before` seconds later; each
    // byte reaches the meter once its stop bit has crossed.
    void host_sends(const std::string& bytes, int baud, double idle_before = 0) {
        const double start = std::max(link.now(), line_free_at_) + idle_before;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const double at = start + double(i + 1) * byte_seconds(baud);
            const auto byte = static_cast<std::uint8_t>(bytes[i]);
            link.after(at - link.now(), [this, byte, baud] { meter.receive(byte, baud); });
        }
        line_free_at_ = start + double(bytes.size()) * byte_seconds(baud);
    }

    // Sends and waits `settle` seconds after the last byte; what the meter sent meanwhile.
    std::vector<Sent> exchange(const std::string& bytes, int baud, double settle = kSettle) {
        const std::size_t first = link.sent().size();
        host_sends(bytes, baud);
        link.run_until(line_free_at_ + settle);
        return {link.sent().begin() + first, link.sent().end()};
    }

    std::string exchange_text(const std::string& bytes, int baud, double settle = kSettle) {
        std::string all;
        for (const Sent& sent : exchange(bytes, baud, settle)) all += sent.bytes;
        return all;
    }

    double line_free_at() const { return line_free_at_; }

    FakeMeterLink link;
    Meter meter;

  private:
    double line_free_at_ = 0;
};

MeterFaults update_mode_faults() {
    MeterFaults faults;
    faults.start_in_update_mode = true;
    return faults;
}

std::string random_image(std::uint32_t seed) {
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string image(kImageSize, '\0');
    for (char& c : image) c = static_cast<char>(byte(generator));
    return image;
}

// Transfer block n as the updater prepares it, written out here on its own so that the meter's
// undoing is checked against an independent statement of the layout: file block 59 - n, bytes
// in reverse order, hexadecimal digits exchanged.
std::string transfer_block(const std::string& image, int n) {
    const std::size_t file_block = kBlockCount - 1 - n;
    std::string data;
    for (std::size_t i = 0; i < kBlockSize; ++i) {
        const auto byte = static_cast<std::uint8_t>(image[file_block * kBlockSize + 1023 - i]);
        data.push_back(static_cast<char>(((byte & 0x0F) << 4) | ((byte & 0xF0) >> 4)));
    }
    return data;
}

// [n, data, check] unmasked, the check byte as the updater computes it.
std::string plain_frame(const std::string& image, int n) {
    const std::string data = transfer_block(image, n);
    unsigned sum = 0;
    for (char c : data) sum += static_cast<std::uint8_t>(c);
    const auto check = static_cast<std::uint8_t>(255 - (sum + n) % 256);
    return static_cast<char>(n) + data + static_cast<char>(check);
}

std::string on_wire(std::string plain) {
    for (char& c : plain) c = static_cast<char>(c ^ 0x6B);
    return plain;
}

std::string frame_on_wire(const std::string& image, int n) {
    return on_wire(plain_frame(image, n));
}

const std::string kImage = random_image(462);
const std::string kIdnLine = "*IDN?\r\n";
const std::string kIdentityReply = "Marelind,R4622E,SN55250001,V3.05\r\n";
const std::string kProbe(1028, '\n');

// --- pure protocol pieces ---

TEST(MeterProtocol, CheckByte) {
    struct Case {
        const char* name;
        int number;
        std::string data;
        int expected;
    };
    auto data_with = [](std::uint8_t fill, int first = -1) {
        std::string data(kBlockSize, static_cast<char>(fill));
        if (first >= 0) data[0] = static_cast<char>(first);
        return data;
    };
    const std::vector<Case> cases = {
        {"all zero, block 0", 0, data_with(0), 255},
        {"sum is a multiple of 256", 3, data_with(1), 252},
        {"block number counts", 59, data_with(0xFF), 196},
        {"sum 255", 1, data_with(0, 0xFE), 0},
        {"sum wraps to 0", 2, data_with(0, 0xFE), 255},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(block_check_byte(static_cast<std::uint8_t>(c.number), c.data), c.expected)
            << c.name;
    }
}

TEST(MeterProtocol, NibbleSwapAndMask) {
    const std::vector<std::pair<int, int>> swaps = {
        {0x12, 0x21}, {0x00, 0x00}, {0xF0, 0x0F}, {0xAB, 0xBA}, {0x77, 0x77}};
    for (auto [in, out] : swaps) {
        EXPECT_EQ(nibble_swapped(static_cast<std::uint8_t>(in)), out) << in;
    }
    EXPECT_EQ(masked("U"), "\x3E");  // a command frame's first byte on the wire
    EXPECT_EQ(masked("0"), "\x5B");
    EXPECT_EQ(masked("\n"), "\x61");  // the probe's line feeds read as block 0x61
    EXPECT_EQ(masked(masked("ACK\r\n")), "ACK\r\n");
}

TEST(MeterProtocol, FileFromTransferUndoesThePreparation) {
    std::string transfer;
    for (int n = 0; n < kBlockCount; ++n) transfer += transfer_block(kImage, n);
    EXPECT_EQ(file_from_transfer(transfer), kImage);
    EXPECT_EQ(file_from_transfer(transfer.substr(1)), "");
}

// --- update mode: blocks ---

TEST(MeterBlocks, CheckByteRule) {
    struct Case {
        const char* name;
        int blocks_before;  // good blocks 0.. sent first
        std::function<std::string()> frame;
        std::string verdict;  // unmasked
        int expected_after;
    };
    const std::vector<Case> cases = {
        {"prepared block 0", 0, [] { return frame_on_wire(kImage, 0); }, "0", 1},
        {"prepared block 5 after 0..4", 5, [] { return frame_on_wire(kImage, 5); }, "0", 6},
        {"wrong check byte", 0,
         [] {
             std::string frame = frame_on_wire(kImage, 0);
             frame.back() = static_cast<char>(frame.back() ^ 0x01);
             return frame;
         },
         "1", 0},
        {"data changed after the check byte was made", 0,
         [] {
             std::string frame = frame_on_wire(kImage, 0);
             frame[500] = static_cast<char>(frame[500] ^ 0x10);
             return frame;
         },
         "1", 0},
        {"block 1 while expecting 0", 0, [] { return frame_on_wire(kImage, 1); }, "1", 0},
        {"block 0 again after 0", 1, [] { return frame_on_wire(kImage, 0); }, "1", 1},
        {"check byte left unmasked", 0,
         [] {
             std::string frame = frame_on_wire(kImage, 0);
             frame.back() = static_cast<char>(frame.back() ^ 0x6B);
             return frame;
         },
         "1", 0},
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
        {"update mode", true, {masked("1")}, frame_on_wire(kImage, 0), kUpdateBaud, masked("0")},
        {"normal mode", false, {}, kIdnLine, kNormalBaud, kIdentityReply},
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

// --- speeds ---

TEST(MeterSpeed, BytesAtAnotherSpeedAreDropped) {
    struct Case {
        const char* name;
        bool update_mode;
        std::vector<std::pair<std::string, int>> sends;  // bytes and the host's speed
        std::string reply;
    };
    const std::vector<Case> cases = {
        {"*IDN? at 9600 in normal mode", false, {{kIdnLine, 9600}}, kIdentityReply},
        {"*IDN? at 19200 in normal mode", false, {{kIdnLine, 19200}}, ""},
        {"*IDN? at 4800 in normal mode", false, {{kIdnLine, 4800}}, ""},
        {"a garbled start does not join the line",
         false,
         {{"*ID", 19200}, {"N?\r\n", 9600}},
         "*E\r\n"},
        {"UPGR 1 at 19200 in update mode",
         true,
         {{masked("UPGR 1\r\n"), 19200}},
         masked("ACK\r\n")},
        {"UPGR 1 at 9600 in update mode", true, {{masked("UPGR 1\r\n"), 9600}}, ""},
        {"plain UPGR 1 in update mode", true, {{"UPGR 1\r\n", 19200}}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MeterFaults faults;
        faults.start_in_update_mode = c.update_mode;
        Bench bench(faults);
        std::string replies;
        for (const auto& [bytes, baud] : c.sends) replies += bench.exchange_text(bytes, baud);
        EXPECT_EQ(replies, c.reply);
    }
}

TEST(MeterSpeed, Reception) {
    struct Case {
        const char* name;
        bool update_mode;
        bool restarting;
        int baud;
        Reception expected;
    };
    const std::vector<Case> cases = {
        {"normal at 9600", false, false, 9600, Reception::heard},
        {"normal at 19200", false, false, 19200, Reception::garbled},
        {"update at 19200", true, false, 19200, Reception::heard},
        {"update at 9600", true, false, 9600, Reception::garbled},
        {"restarting, at the new speed", false, true, 19200, Reception::deaf},
        {"restarting, at the old speed", false, true, 9600, Reception::deaf},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MeterFaults faults;
        faults.start_in_update_mode = c.update_mode;
        Bench bench(faults);
        if (c.restarting) {
            bench.exchange("UPGR 1\r\n", kNormalBaud);
            ASSERT_TRUE(bench.meter.restarting());
        }
        EXPECT_EQ(bench.meter.receive('*', c.baud), c.expected);
    }
}

// --- normal mode ---

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
    const MeterIdentity other{"Norvale", "R4621E", "SN1", "V2.00", "V2.01"};

    const std::vector<Case> cases = {
        {"default", {}, {}, {kIdnLine}, {kIdentityReply}},
        {"line feed alone ends the line", {}, {}, {"*IDN?\n"}, {kIdentityReply}},
        {"another meter", other, {}, {kIdnLine}, {"Norvale,R4621E,SN1,V2.00\r\n"}},
        {"XON after the reply", {}, xon, {kIdnLine}, {kIdentityReply + "\x11"}},
        {"*E for the first 2",
         {},
         busy,
         {kIdnLine, kIdnLine, kIdnLine, kIdnLine},
         {"*E\r\n", "*E\r\n", kIdentityReply, kIdentityReply}},
        {"no XON after *E",
         {},
         busy_with_xon,
         {kIdnLine, kIdnLine, kIdnLine},
         {"*E\r\n", "*E\r\n", kIdentityReply + "\x11"}},
        {"verbatim reply", {}, verbatim, {kIdnLine}, {"Marelind,R4622E,SN55250001\r\n"}},
        {"unknown line", {}, {}, {"FOO\r\n"}, {"*E\r\n"}},
        {"empty lines are ignored", {}, {}, {"\r\n", "\n", kIdnLine}, {"", "", kIdentityReply}},
        {"a carriage return only before the line feed is dropped",
         {},
         {},
         {"*IDN?\r\r\n"},
         {"*E\r\n"}},
        {"overlong line", {}, {}, {std::string(300, 'A') + "\r\n"}, {"*E\r\n"}},
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

// --- restarts ---

TEST(MeterRestart, DeafThenAtTheNewSpeed) {
    struct Case {
        const char* name;
        bool update_mode;
        std::string command;
        int command_baud;
        double restart_seconds;
    };
    const std::vector<Case> cases = {
        {"UPGR 1 from normal mode", false, "UPGR 1\r\n", kNormalBaud, 2.0},
        {"UPGR 1 from normal mode, slow restart", false, "UPGR 1\r\n", kNormalBaud, 5.0},
        {"incomplete UPGR 0", true, masked("UPGR 0\r\n"), kUpdateBaud, 2.0},
        {"incomplete UPGR 0, slow restart", true, masked("UPGR 0\r\n"), kUpdateBaud, 5.0},
    };
    const std::string ack_query = masked("UPGR 1\r\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MeterFaults faults;
        faults.start_in_update_mode = c.update_mode;
        faults.restart_seconds = c.restart_seconds;
        Bench bench(faults);
        EXPECT_EQ(bench.exchange_text(c.command, c.command_baud), "");
        const double restart_ends = bench.line_free_at() + c.restart_seconds;
        EXPECT_TRUE(bench.meter.restarting());

        // Nothing is heard until the restart is over, at either speed.
        bench.link.run_until(restart_ends - 0.15);
        EXPECT_EQ(bench.exchange_text(kIdnLine, kNormalBaud, 0), "");
        EXPECT_EQ(bench.exchange_text(ack_query, kUpdateBaud, 0), "");
        ASSERT_LT(bench.line_free_at(), restart_ends);
        bench.link.run_until(restart_ends + 0.01);

        EXPECT_FALSE(bench.meter.restarting());
        EXPECT_TRUE(bench.meter.in_update_mode());
        EXPECT_EQ(bench.meter.baud(), kUpdateBaud);
        EXPECT_EQ(bench.meter.expected_block(), 0);
        EXPECT_EQ(bench.exchange_text(kIdnLine, kNormalBaud), "");
        EXPECT_EQ(bench.exchange_text(ack_query, kUpdateBaud), masked("ACK\r\n"));
        EXPECT_EQ(bench.meter.version(), "V3.05");
    }
}

// --- a whole update ---

TEST(MeterTransfer, UpgrZeroWritesOnlyAWholeImage) {
    struct Case {
        const char* name;
        int blocks;
        bool normal_after;
        std::string version_after;
    };
    const std::vector<Case> cases = {
        {"all 60 blocks", 60, true, "V3.07"},
        {"59 blocks", 59, false, "V3.05"},
    };
    const std::uint32_t seed = std::random_device{}();
    const std::string image = random_image(seed);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + ", image seed " + std::to_string(seed));
        Bench bench;
        EXPECT_EQ(bench.exchange_text("UPGR 1\r\n", kNormalBaud), "");
        bench.link.run_for(2.0);
        for (int n = 0; n < c.blocks; ++n) {
            const std::vector<Sent> replies = bench.exchange(frame_on_wire(image, n), kUpdateBaud);
            ASSERT_EQ(replies.size(), 1u) << "block " << n;
            ASSERT_EQ(replies[0].bytes, masked("0")) << "block " << n;
        }
        EXPECT_EQ(bench.exchange_text(masked("UPGR 0\r\n"), kUpdateBaud), "");
        EXPECT_TRUE(bench.meter.restarting());
        EXPECT_EQ(bench.exchange_text(kIdnLine, kNormalBaud), "");
        bench.link.run_for(2.0);

        EXPECT_FALSE(bench.meter.restarting());
        EXPECT_EQ(bench.meter.in_update_mode(), !c.normal_after);
        EXPECT_EQ(bench.meter.version(), c.version_after);
        if (c.normal_after) {
            EXPECT_EQ(bench.exchange_text(kIdnLine, kNormalBaud),
                      "Marelind,R4622E,SN55250001," + c.version_after + "\r\n");
            EXPECT_EQ(bench.meter.assembled_file(), image);
            EXPECT_TRUE(bench.meter.flash_equals(image));
            for (std::size_t at : {std::size_t{0}, std::size_t{1023}, kImageSize - 1}) {
                std::string other = image;
                other[at] = static_cast<char>(other[at] ^ 0x01);
                EXPECT_FALSE(bench.meter.flash_equals(other)) << "byte " << at;
            }
        } else {
            EXPECT_EQ(bench.meter.expected_block(), 0);
            EXPECT_EQ(bench.meter.assembled_file(), "");
            EXPECT_FALSE(bench.meter.flash_equals(image));
        }
    }
}

// --- power cycles ---

TEST(MeterPowerCycle, ComesBackAsItShould) {
    struct Case {
        const char* name;
        bool update_mode;
        std::function<void(Bench&)> before;  // what happens before the power cycle
        bool update_mode_after;
        std::vector<std::pair<std::string, int>> after;  // requests afterwards
        std::string replies;                             // all replies from the cycle on
    };
    const std::vector<Case> cases = {
        {"mid-transfer: block 0 is expected again",
         true,
         [](Bench& bench) {
             for (int n = 0; n < 10; ++n) bench.exchange(frame_on_wire(kImage, n), kUpdateBaud);
         },
         true,
         {{frame_on_wire(kImage, 10), kUpdateBaud}, {frame_on_wire(kImage, 0), kUpdateBaud}},
         masked("1") + masked("0")},
        {"normal mode stays normal",
         false,
         [](Bench&) {},
         false,
         {{kIdnLine, kNormalBaud}},
         kIdentityReply},
        {"a pending reply is not sent",
         false,
         [](Bench& bench) {
             bench.host_sends(kIdnLine, kNormalBaud);
             bench.link.run_until(bench.line_free_at() + 0.001);
         },
         false,
         {},
         ""},
        {"a partial line is forgotten",
         false,
         [](Bench& bench) { bench.exchange("*ID", kNormalBaud); },
         false,
         {{"N?\r\n", kNormalBaud}},
         "*E\r\n"},
        {"a partial frame is forgotten",
         true,
         [](Bench& bench) {
             bench.exchange(frame_on_wire(kImage, 0).substr(0, 100), kUpdateBaud, 0);
         },
         true,
         {{frame_on_wire(kImage, 0), kUpdateBaud}},
         masked("0")},
        {"during the UPGR 1 restart: update mode at once",
         false,
         [](Bench& bench) {
             bench.exchange("UPGR 1\r\n", kNormalBaud);
             bench.link.run_for(1.0);
         },
         true,
         {{masked("UPGR 1\r\n"), kUpdateBaud}},
         masked("ACK\r\n")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MeterFaults faults;
        faults.start_in_update_mode = c.update_mode;
        Bench bench(faults);
        c.before(bench);
        const std::size_t first = bench.link.sent().size();
        bench.meter.power_cycle();
        EXPECT_FALSE(bench.meter.restarting());
        EXPECT_EQ(bench.meter.in_update_mode(), c.update_mode_after);
        EXPECT_EQ(bench.meter.expected_block(), 0);
        for (const auto& [bytes, baud] : c.after) bench.exchange(bytes, baud);
        bench.link.run_for(kSettle);
        std::string replies;
        for (std::size_t i = first; i < bench.link.sent().size(); ++i) {
            replies += bench.link.sent()[i].bytes;
        }
        EXPECT_EQ(replies, c.replies);
    }
}

TEST(MeterPowerCycle, EarlierBlocksDoNotCountForUpgrZero) {
    Bench bench(update_mode_faults());
    for (int n = 0; n < 30; ++n) bench.exchange(frame_on_wire(kImage, n), kUpdateBaud);
    bench.meter.power_cycle();
    for (int n = 30; n < kBlockCount; ++n) {
        ASSERT_EQ(bench.exchange_text(frame_on_wire(kImage, n), kUpdateBaud), masked("1"));
    }
    bench.exchange(masked("UPGR 0\r\n"), kUpdateBaud);
    bench.link.run_for(2.1);
    EXPECT_TRUE(bench.meter.in_update_mode());
    EXPECT_EQ(bench.meter.version(), "V3.05");
    EXPECT_EQ(bench.meter.assembled_file(), "");

    // A whole transfer of another image afterwards is written alone, with nothing left over.
    const std::string other = random_image(463);
    for (int n = 0; n < kBlockCount; ++n) {
        ASSERT_EQ(bench.exchange_text(frame_on_wire(other, n), kUpdateBaud), masked("0"));
    }
    bench.exchange(masked("UPGR 0\r\n"), kUpdateBaud);
    bench.link.run_for(2.1);
    EXPECT_FALSE(bench.meter.in_update_mode());
    EXPECT_TRUE(bench.meter.flash_equals(other));
}

TEST(MeterPowerCycle, CancelsThePendingRestart) {
    Bench bench;
    bench.exchange("UPGR 1\r\n", kNormalBaud);
    const double first_restart_ends = bench.line_free_at() + 2.0;
    bench.link.run_for(1.5);
    bench.meter.power_cycle();
    // A second restart begins; the first one's end must not cut it short.
    bench.exchange(masked("UPGR 0\r\n"), kUpdateBaud);
    bench.link.run_until(first_restart_ends + 0.2);
    EXPECT_TRUE(bench.meter.restarting());
    bench.link.run_for(2.0);
    EXPECT_FALSE(bench.meter.restarting());
}

// --- a lost update command, a meter that does not come back ---

TEST(MeterFaults, MissedPlainUpdateCommandsGoUnheard) {
    MeterFaults faults;
    faults.miss_enter_first = 1;
    Bench bench(faults);
    EXPECT_EQ(bench.exchange_text("UPGR 1\r\n", kNormalBaud), "");
    EXPECT_FALSE(bench.meter.restarting());
    EXPECT_FALSE(bench.meter.in_update_mode());
    EXPECT_EQ(bench.exchange_text(kIdnLine, kNormalBaud), kIdentityReply);
    // The next one is heard.
    EXPECT_EQ(bench.exchange_text("UPGR 1\r\n", kNormalBaud), "");
    EXPECT_TRUE(bench.meter.restarting());
    bench.link.run_for(2.1);
    EXPECT_TRUE(bench.meter.in_update_mode());
}

TEST(MeterFaults, HangAfterLeaveWritesThenAnswersNothingUntilAPowerCycle) {
    MeterFaults faults = update_mode_faults();
    faults.hang_after_leave = true;
    Bench bench(faults);
    for (int n = 0; n < kBlockCount; ++n) {
        ASSERT_EQ(bench.exchange_text(frame_on_wire(kImage, n), kUpdateBaud), masked("0"));
    }
    EXPECT_EQ(bench.exchange_text(masked("UPGR 0\r\n"), kUpdateBaud), "");
    bench.link.run_for(30);
    EXPECT_TRUE(bench.meter.restarting());
    EXPECT_EQ(bench.exchange_text(kIdnLine, kNormalBaud), "");
    EXPECT_EQ(bench.exchange_text(masked("UPGR 1\r\n"), kUpdateBaud), "");
    EXPECT_EQ(bench.exchange_text(std::string(1028, '\n'), kUpdateBaud, 0.3), "");
    EXPECT_TRUE(bench.meter.flash_equals(kImage));

    bench.meter.power_cycle();
    EXPECT_FALSE(bench.meter.restarting());
    EXPECT_FALSE(bench.meter.in_update_mode());
    EXPECT_EQ(bench.exchange_text(kIdnLine, kNormalBaud), "Marelind,R4622E,SN55250001,V3.07\r\n");
}

// --- the 200 ms gap ---

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
        {"block after 250 ms", block.substr(0, 100), "", 0.25, block, masked("0")},
        {"block after 150 ms joins the partial one", block.substr(0, 100), "", 0.15, block,
         masked("1")},
        {"garbled bytes do not bridge the gap", block.substr(0, 100), "xxxxx", 0.25, block,
         masked("0")},
        {"command after 250 ms", masked("UP"), "", 0.25, upgr1, masked("ACK\r\n")},
        {"command after 150 ms joins the partial one", masked("UP"), "", 0.15, upgr1, ""},
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

// --- faults in update mode ---

TEST(MeterFaults, UpdateModeFaults) {
    // A step sends a good block by number, or a command.
    struct Step {
        int block = -1;
        std::string command;
    };
    auto b = [](int n) { return Step{n, ""}; };
    auto cmd = [](const char* text) { return Step{-1, text}; };
    struct Case {
        const char* name;
        std::function<void(MeterFaults&)> fault;
        std::vector<Step> steps;
        std::vector<std::string> replies;  // unmasked, "" for none
        int expected_after;
        int unplugs;
    };
    const std::vector<Case> cases = {
        {"reject block 2 once",
         [](MeterFaults& f) { f.reject_block = 2; },
         {b(0), b(1), b(2), b(2), b(3)},
         {"0", "0", "1", "0", "0"},
         4,
         0},
        {"reject block 2 always",
         [](MeterFaults& f) {
             f.reject_block = 2;
             f.reject_always = true;
         },
         {b(0), b(1), b(2), b(2), b(2)},
         {"0", "0", "1", "1", "1"},
         2,
         0},
        {"reject block 0 once",
         [](MeterFaults& f) { f.reject_block = 0; },
         {b(0), b(0)},
         {"1", "0"},
         1,
         0},
        {"silent from block 2",
         [](MeterFaults& f) { f.silent_from_block = 2; },
         {b(0), b(1), b(2), b(2), b(3)},
         {"0", "0", "", "", ""},
         2,
         0},
        {"silent, commands still answered",
         [](MeterFaults& f) { f.silent_from_block = 1; },
         {b(0), b(1), cmd("UPGR 1\r\n")},
         {"0", "", "ACK\r\n"},
         1,
         0},
        {"never acknowledge",
         [](MeterFaults& f) { f.never_acknowledge = true; },
         {cmd("UPGR 1\r\n"), b(0)},
         {"", "0"},
         1,
         0},
        {"acknowledge",
         [](MeterFaults&) {},
         {cmd("UPGR 1\n"), cmd("UPGR 2\r\n")},
         {"ACK\r\n", ""},
         0,
         0},
        {"garbage reply at block 1",
         [](MeterFaults& f) {
             f.block_reply_verbatim = std::string("\x00?\r\n", 4);
             f.reply_verbatim_block = 1;
         },
         {b(0), b(1), b(2)},
         {"0", std::string("\x00?\r\n", 4), "0"},
         3,
         0},
        {"unplug at block 1",
         [](MeterFaults& f) { f.unplug_at_block = 1; },
         {b(0), b(1)},
         {"0", ""},
         1,
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MeterFaults faults = update_mode_faults();
        c.fault(faults);
        Bench bench(faults);
        ASSERT_EQ(c.steps.size(), c.replies.size());
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            const Step& step = c.steps[i];
            const std::string bytes =
                step.block >= 0 ? frame_on_wire(kImage, step.block) : masked(step.command);
            EXPECT_EQ(bench.exchange_text(bytes, kUpdateBaud), masked(c.replies[i]))
                << "step " << i;
        }
        EXPECT_EQ(bench.meter.expected_block(), c.expected_after);
        EXPECT_EQ(bench.link.unplugs(), c.unplugs);
    }
}

}  // namespace
}  // namespace r462xe::sim
