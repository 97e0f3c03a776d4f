#include "upload/update_progress.h"

#include <cmath>

#include "image/image_layout.h"
#include "serial/line_settings.h"
#include "upload/update_waits.h"

namespace r462xe {

namespace {
constexpr int kFrameBytes = kBlockBytes + 2;  // number, data, check byte
constexpr int kVerdictBytes = 1;
constexpr double kAfterTheBlocks = kLeaveUpdateWait + kCheckMeterTime;
}  // namespace

double first_block_pace(int baud) {
    const double on_the_line =
        static_cast<double>((kFrameBytes + kVerdictBytes) * kLineBitsPerByte) / baud;
    return std::ceil(on_the_line / kTimerTick) * kTimerTick;
}

double measured_block_pace(double seconds_since_first_block, int blocks_sent) {
    return blocks_sent > 0 ? seconds_since_first_block / blocks_sent : 0;
}

double seconds_left(const UpdateMoment& moment) {
    switch (moment.phase) {
        case UpdatePhase::None:
            return 0;
        case UpdatePhase::EnteringUpdateMode:
            return moment.waits_ahead + kBlockCount * moment.seconds_per_block + kAfterTheBlocks;
        case UpdatePhase::SendingBlocks:
            return (kBlockCount - moment.block + 1) * moment.seconds_per_block + kAfterTheBlocks;
        case UpdatePhase::MeterRestarting:
            return kAfterTheBlocks;
        case UpdatePhase::CheckingMeter:
            return kCheckMeterTime;
    }
    return 0;
}

std::string progress_text(const UpdateMoment& moment) {
    std::string step;
    switch (moment.phase) {
        case UpdatePhase::None:
            return {};
        case UpdatePhase::EnteringUpdateMode:
            step = "Entering the update mode";
            break;
        case UpdatePhase::SendingBlocks:
            step = "Block " + std::to_string(moment.block) + " of " + std::to_string(kBlockCount);
            break;
        case UpdatePhase::MeterRestarting:
            step = "The meter is restarting";
            break;
        case UpdatePhase::CheckingMeter:
            step = "Checking the meter";
            break;
    }
    // Whole seconds, rounded up: "about 0 s" would read as done.
    const auto left = static_cast<long>(std::ceil(seconds_left(moment) - 1e-9));
    return step + " - about " + std::to_string(left < 1 ? 1 : left) + " s left";
}

}  // namespace r462xe
