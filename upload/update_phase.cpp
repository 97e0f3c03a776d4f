// The bar's text during an update: the phase it is in and the time left, set as each phase
// begins and as each block goes out. The bar's value and maximum stay the transfer's own.
#include "app/form1.h"
#include "serial/line_settings.h"

namespace r462xe {

void Form1::show_update_phase(UpdatePhase phase, double waits_ahead) {
    if (phase == UpdatePhase::None) update_track_ = {};
    update_track_.phase = phase;
    update_track_.text = progress_text({.phase = phase,
                                        .waits_ahead = waits_ahead,
                                        .block = update_track_.block,
                                        .seconds_per_block = block_pace()});
    end_close_refused_if_due();
    if (update_track_.close_refused_until == 0) ProgressBar1.set_text(update_track_.text);
}

void Form1::show_close_refused() {
    update_track_.close_refused_until = events.now() + kCloseRefusedSeconds;
    ProgressBar1.set_text(kCloseRefusedText);
}

void Form1::end_close_refused_if_due() {
    if (update_track_.close_refused_until == 0 || events.now() < update_track_.close_refused_until)
        return;
    update_track_.close_refused_until = 0;
    ProgressBar1.set_text(update_track_.text);
}

void Form1::show_block_going_out() {
    if (update_track_.blocks_sent == 0) update_track_.first_block_time = events.now();
    update_track_.block = block_index + 1;
    show_update_phase(UpdatePhase::SendingBlocks);
    ++update_track_.blocks_sent;
    ++attempt_.record.blocks_sent;
}

// Measured once blocks have gone; before that, from the update mode's line speed.
double Form1::block_pace() const {
    if (update_track_.blocks_sent > 0) {
        return measured_block_pace(events.now() - update_track_.first_block_time,
                                   update_track_.blocks_sent);
    }
    auto settings = parse_settings(upload_settings);
    if (!settings) settings = parse_settings(kUpdateSettingsText);
    return first_block_pace(settings->baud);
}

}  // namespace r462xe
