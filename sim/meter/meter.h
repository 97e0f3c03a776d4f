// The virtual R462xE meter: the firmware's behaviour on the line, normal mode and boot loader,
// with the faults a test or a demo may ask it to play. It knows no transport: bytes come in
// through receive() once they have crossed the line, and leave through MeterLink.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "sim/meter/meter_link.h"
#include "sim/meter/meter_protocol.h"

namespace r462xe::sim {

struct MeterIdentity {
    std::string maker = "Marelind";
    std::string model = "R4622E";
    std::string serial = "SN55250001";
    std::string version = "V3.05";
    std::string new_version = "V3.07";  // reported after a complete update
};

struct MeterFaults {
    // Sent instead of the *IDN? reply, line end included.
    std::optional<std::string> idn_reply_verbatim;
    int star_e_first = 0;          // answer the first k *IDN? queries with *E
    bool xon_after_reply = false;  // one XON after the *IDN? reply
    bool start_in_update_mode = false;
    int reject_block = -1;           // reject this block once although it is good
    bool reject_always = false;      // ... every time it comes
    int silent_from_block = -1;      // no reply to block frames once this block has come
    bool never_acknowledge = false;  // no ACK to UPGR 1 in update mode
    int miss_enter_first = 0;        // the first k plain "UPGR 1" lines go unheard
    bool hang_after_leave = false;   // after UPGR 0: writes, then hangs until a power cycle
    std::optional<std::string> block_reply_verbatim;  // sent (masked) instead of the verdict ...
    int reply_verbatim_block = -1;                    // ... on this block
    int unplug_at_block = -1;  // pull the cable when this block's frame has come, before replying
    double restart_seconds = 2.0;  // restart after UPGR 1 / UPGR 0, deaf meanwhile
    double reply_delay = 0.005;    // processing time before any reply
};

// What became of one byte the host sent.
enum class Reception {
    heard,
    garbled,  // sent at another speed than the meter's
    deaf,     // the meter was restarting
};

enum class RestartReason { enter_update, leave_update };

// One thing worth a line in a log.
struct MeterEvent {
    enum class Kind {
        line,             // normal mode: a non-empty line came
        command,          // update mode: a command frame came
        block,            // update mode: a block frame came
        partial_dropped,  // update mode: the gap dropped an unfinished frame
        restart_begun,
        restart_done,
        power_cycled,
        unplugged,
    };
    Kind kind = Kind::line;
    std::string text = {};     // the request or dropped bytes, unmasked
    int baud = 0;              // the speed they came at
    std::string summary = {};  // what the meter made of it, e.g. "block 3 ok"
    RestartReason reason = RestartReason::enter_update;  // restarts only
};

class Meter {
  public:
    using Observer = std::function<void(const MeterEvent&)>;

    Meter(MeterLink& link, MeterIdentity identity = {}, MeterFaults faults = {});
    // Delayed actions refer back to this meter.
    Meter(const Meter&) = delete;
    Meter& operator=(const Meter&) = delete;

    // One host byte has fully crossed the line, sent at `baud`.
    Reception receive(std::uint8_t byte, int baud);
    // Off and on: the receiver is reset, an unfinished update starts again from block 0.
    void power_cycle();

    int baud() const;  // 9600 normal, 19200 update mode
    // The mode it runs in, or restarts into.
    bool in_update_mode() const;
    bool restarting() const;
    const std::string& version() const;
    int expected_block() const;
    // The original file from what the last complete UPGR 0 wrote; empty if none did.
    std::string assembled_file() const;
    bool flash_equals(const std::string& image_file) const;

    MeterFaults& faults();
    const MeterIdentity& identity() const;
    void set_observer(Observer observer);

  private:
    enum class Mode { normal, update };

    void receive_text(char byte, int baud);
    void answer_line(const std::string& line, bool overlong);
    void answer_idn();
    void receive_frame_byte(char byte);
    void drop_partial_frame(const char* why);
    void handle_command(const std::string& frame);
    void handle_block(const std::string& frame);
    void finish_update();
    // A restart that hangs ends only with a power cycle.
    void begin_restart(Mode target, RestartReason reason, bool hangs = false);
    void reset_session();
    void reply(std::string wire_bytes);
    void schedule(double seconds, std::function<void()> action);
    void notify(const MeterEvent& event) const;

    MeterLink& link_;
    MeterIdentity identity_;
    MeterFaults faults_;
    Observer observer_;

    // What survives a power cycle.
    Mode mode_;
    std::string version_;
    std::string flash_;  // transfer blocks 0..59 as written at the last complete UPGR 0

    // What a restart or a power cycle resets.
    bool restarting_ = false;
    std::string line_;
    bool line_overlong_ = false;
    std::string frame_;  // unmasked
    double last_frame_byte_at_ = 0;
    int expected_ = 0;
    std::string accepted_;  // the data of blocks 0..expected_-1
    bool silent_ = false;

    // Faults played once in the meter's life.
    int idn_queries_ = 0;
    int enter_commands_ = 0;
    bool reject_spent_ = false;
    bool unplugged_ = false;

    // Delayed actions from before a restart or power cycle find another generation and do nothing.
    unsigned generation_ = 0;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace r462xe::sim
