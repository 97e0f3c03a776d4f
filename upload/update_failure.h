// The details of the power-cycle message: which failure ended the update, in the user's words,
// and what to do.
#pragma once

#include <string>

#include "upload/update_progress.h"

namespace r462xe {

// Rejected blocks allowed in one update; one more ends it.
inline constexpr int kRejectionLimit = 10;

enum class UpdateFailure {
    DeviceGone,         // the cable or its device went away
    PortFailed,         // the port failed otherwise
    NoAcknowledgement,  // the meter did not acknowledge "UPGR 1"
    TooManyRejections,  // the meter rejected blocks more often than allowed
    ReplyTimeOut,       // the meter gave no verdict on a block
    NoAnswerAfter,      // the meter did not answer after the update
    StillInUpdateMode,  // the meter answered from its update mode after the update
};

struct UpdateFailureFacts {
    UpdateFailure failure = UpdateFailure::PortFailed;
    UpdatePhase phase = UpdatePhase::None;  // where the update was
    int block = 0;                          // SendingBlocks: the block going out, 1 to 60
    int port = 0;                           // the COM number of the update
    std::string device{};                   // its device
    std::string system_text{};              // PortFailed: the system's words
};

std::string power_cycle_details(const UpdateFailureFacts& facts);

}  // namespace r462xe
