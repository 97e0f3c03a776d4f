#include "sim/meter/meter.h"

#include <utility>

namespace r462xe::sim {

namespace {

// The firmware's line buffer; a longer line is answered *E.
constexpr std::size_t kMaxLineBytes = 256;
// The boot loader's command buffer; a longer command frame is dropped unanswered.
constexpr std::size_t kMaxCommandBytes = 64;

std::string without_line_end(std::string text) {
    if (!text.empty() && text.back() == kLineEnd) text.pop_back();
    if (!text.empty() && text.back() == kCarriageReturn) text.pop_back();
    return text;
}

}  // namespace

Meter::Meter(MeterLink& link, MeterIdentity identity, MeterFaults faults)
    : link_(link),
      identity_(std::move(identity)),
      faults_(std::move(faults)),
      mode_(faults_.start_in_update_mode ? Mode::update : Mode::normal),
      version_(identity_.version) {}

Reception Meter::receive(std::uint8_t byte, int baud) {
    if (restarting_) return Reception::deaf;
    if (baud != this->baud()) return Reception::garbled;
    if (mode_ == Mode::normal) {
        receive_text(static_cast<char>(byte), baud);
    } else {
        receive_frame_byte(static_cast<char>(byte ^ kMask));
    }
    return Reception::heard;
}

void Meter::power_cycle() {
    ++generation_;
    restarting_ = false;
    reset_session();
    notify({.kind = MeterEvent::Kind::power_cycled,
            .summary = mode_ == Mode::update ? "update mode, expecting block 0" : "normal mode"});
}

int Meter::baud() const {
    return mode_ == Mode::update ? kUpdateBaud : kNormalBaud;
}
bool Meter::in_update_mode() const {
    return mode_ == Mode::update;
}
bool Meter::restarting() const {
    return restarting_;
}
const std::string& Meter::version() const {
    return version_;
}
int Meter::expected_block() const {
    return expected_;
}
std::string Meter::assembled_file() const {
    return file_from_transfer(flash_);
}

bool Meter::flash_equals(const std::string& image_file) const {
    return !flash_.empty() && assembled_file() == image_file;
}

MeterFaults& Meter::faults() {
    return faults_;
}
const MeterIdentity& Meter::identity() const {
    return identity_;
}
void Meter::set_observer(Observer observer) {
    observer_ = std::move(observer);
}

void Meter::receive_text(char byte, int baud) {
    if (byte != kLineEnd) {
        if (line_.size() < kMaxLineBytes) {
            line_.push_back(byte);
        } else {
            line_overlong_ = true;
        }
        return;
    }
    std::string text = std::exchange(line_, {}) + kLineEnd;
    const bool overlong = std::exchange(line_overlong_, false);
    const std::string line = without_line_end(text);
    if (line.empty() && !overlong) return;
    notify({.kind = MeterEvent::Kind::line, .text = std::move(text), .baud = baud});
    answer_line(line, overlong);
}

void Meter::answer_line(const std::string& line, bool overlong) {
    // An overlong line is no command, whatever its start.
    if (!overlong && line == kIdnQuery) {
        answer_idn();
    } else if (!overlong && line == kEnterUpdate) {
        if (++enter_commands_ <= faults_.miss_enter_first) return;  // lost on the way (fault)
        begin_restart(Mode::update, RestartReason::enter_update);
    } else {
        reply(std::string(kErrorReply));
    }
}

void Meter::answer_idn() {
    ++idn_queries_;
    if (idn_queries_ <= faults_.star_e_first) {
        reply(std::string(kErrorReply));
        return;
    }
    std::string answer = faults_.idn_reply_verbatim.value_or(
        identity_.maker + ',' + identity_.model + ',' + identity_.serial + ',' + version_ +
        std::string(kReplyEnd));
    if (faults_.xon_after_reply) answer.push_back(kXon);
    reply(std::move(answer));
}

void Meter::receive_frame_byte(char byte) {
    const double now = link_.now();
    if (!frame_.empty() && now - last_frame_byte_at_ >= kFrameGapSeconds) {
        drop_partial_frame("gap");
    }
    last_frame_byte_at_ = now;
    frame_.push_back(byte);
    if (frame_.front() == kCommandStart) {
        if (byte == kLineEnd) {
            handle_command(std::exchange(frame_, {}));
        } else if (frame_.size() >= kMaxCommandBytes) {
            drop_partial_frame("command too long");
        }
    } else if (frame_.size() == kBlockFrameSize) {
        handle_block(std::exchange(frame_, {}));
    }
}

void Meter::drop_partial_frame(const char* why) {
    notify({.kind = MeterEvent::Kind::partial_dropped,
            .text = std::exchange(frame_, {}),
            .baud = kUpdateBaud,
            .summary = why});
}

void Meter::handle_command(const std::string& frame) {
    const std::string command = without_line_end(frame);
    MeterEvent event{.kind = MeterEvent::Kind::command, .text = frame, .baud = kUpdateBaud};
    if (command == kEnterUpdate) {
        event.summary = faults_.never_acknowledge ? "not acknowledged" : "acknowledged";
        notify(event);
        if (!faults_.never_acknowledge) reply(masked(kAckReply));
    } else if (command == kLeaveUpdate) {
        event.summary = expected_ == kBlockCount ? "all blocks in, writing" : "update incomplete";
        notify(event);
        finish_update();
    } else {
        event.summary = "unknown command, no reply";
        notify(event);
    }
}

void Meter::handle_block(const std::string& frame) {
    const int number = static_cast<std::uint8_t>(frame.front());
    const std::string_view data = std::string_view(frame).substr(1, kBlockSize);
    const auto check = static_cast<std::uint8_t>(frame.back());
    MeterEvent event{.kind = MeterEvent::Kind::block, .text = frame, .baud = kUpdateBaud};
    const std::string name = "block " + std::to_string(number);

    if (number == faults_.unplug_at_block && !unplugged_) {
        unplugged_ = true;
        event.summary = name + ", cable pulled";
        notify(event);
        notify({.kind = MeterEvent::Kind::unplugged});
        link_.unplug();
        return;
    }
    if (number == faults_.silent_from_block) silent_ = true;
    if (silent_) {
        event.summary = name + ", no reply";
        notify(event);
        return;
    }

    bool accepted = false;
    if (number != expected_ || expected_ >= kBlockCount) {
        event.summary = name + " rejected: expecting block " + std::to_string(expected_);
    } else if (check != block_check_byte(static_cast<std::uint8_t>(number), data)) {
        event.summary = name + " rejected: check byte";
    } else if (number == faults_.reject_block && (faults_.reject_always || !reject_spent_)) {
        reject_spent_ = true;
        event.summary = name + " rejected (fault)";
    } else {
        accepted = true;
        accepted_.append(data);
        ++expected_;
        event.summary = name + " ok";
    }

    std::string verdict(accepted ? kBlockAccepted : kBlockRejected);
    if (number == faults_.reply_verbatim_block && faults_.block_reply_verbatim) {
        verdict = *faults_.block_reply_verbatim;
        event.summary += ", garbage reply";
    }
    notify(event);
    reply(masked(verdict));
}

void Meter::finish_update() {
    const bool complete = expected_ == kBlockCount;
    if (complete) {
        flash_ = accepted_;
        version_ = identity_.new_version;
    }
    begin_restart(complete ? Mode::normal : Mode::update, RestartReason::leave_update,
                  faults_.hang_after_leave);
}

void Meter::begin_restart(Mode target, RestartReason reason, bool hangs) {
    ++generation_;
    restarting_ = true;
    mode_ = target;
    reset_session();
    notify({.kind = MeterEvent::Kind::restart_begun,
            .summary = std::string("restarting into ") +
                       (target == Mode::update ? "update mode" : "normal mode") +
                       (hangs ? ", hangs until a power cycle (fault)" : ""),
            .reason = reason});
    if (hangs) return;
    schedule(faults_.restart_seconds, [this, reason] {
        restarting_ = false;
        notify({.kind = MeterEvent::Kind::restart_done,
                .summary = mode_ == Mode::update ? "update mode at 19200 baud, expecting block 0"
                                                 : "normal mode at 9600 baud, version " + version_,
                .reason = reason});
    });
}

void Meter::reset_session() {
    line_.clear();
    line_overlong_ = false;
    frame_.clear();
    expected_ = 0;
    accepted_.clear();
    silent_ = false;
}

void Meter::reply(std::string wire_bytes) {
    schedule(faults_.reply_delay,
             [this, wire_bytes = std::move(wire_bytes)] { link_.send(wire_bytes, baud()); });
}

void Meter::schedule(double seconds, std::function<void()> action) {
    link_.after(seconds, [this, alive = std::weak_ptr<int>(alive_), generation = generation_,
                          action = std::move(action)] {
        if (alive.expired() || generation != generation_) return;
        action();
    });
}

void Meter::notify(const MeterEvent& event) const {
    if (observer_) observer_(event);
}

}  // namespace r462xe::sim
