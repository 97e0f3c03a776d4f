// What the progress bar's text says during an update: the phase, and the time left from the
// known waits and the pace of the blocks.
#pragma once

#include <string>

namespace r462xe {

enum class UpdatePhase {
    None,                // no update runs
    EnteringUpdateMode,  // "UPGR 1": the meter restarts into its update mode and acknowledges
    SendingBlocks,       // the 60 blocks
    MeterRestarting,     // "UPGR 0": the meter restarts with its new firmware
    CheckingMeter,       // the meter is identified again
};

struct UpdateMoment {
    UpdatePhase phase = UpdatePhase::None;
    double waits_ahead = 0;        // EnteringUpdateMode: the known waits before the first block
    int block = 0;                 // SendingBlocks: the block going out, 1 to 60
    double seconds_per_block = 0;  // the pace of the blocks
};

// The pace before any block has gone: a block frame's time on the line at `baud`, up to the
// timer tick that reads its verdict.
double first_block_pace(int baud);

// The pace measured so far: the time since the first block went out over the blocks sent since
// then (a block sent again counts again).
double measured_block_pace(double seconds_since_first_block, int blocks_sent);

// Seconds until the update ends, from the start of the moment's step.
double seconds_left(const UpdateMoment& moment);

// What the bar says for a while when the user asks to close the window during an update: the
// window refuses, as it must, and the user sees why where the update's progress is.
inline constexpr const char* kCloseRefusedText = "The update must finish first";
inline constexpr double kCloseRefusedSeconds = 3;

// The bar's text, e.g. "Block 23 of 60 - about 31 s left"; empty when no update runs.
std::string progress_text(const UpdateMoment& moment);

}  // namespace r462xe
