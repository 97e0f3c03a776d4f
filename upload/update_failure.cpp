#include "upload/update_failure.h"

#include "image/image_layout.h"

namespace r462xe {

namespace {

constexpr const char* kTryAgain = "Power cycle the meter, then press \"Upload Firmware\" again.";

std::string of_60(int block) {
    return "block " + std::to_string(block) + " of " + std::to_string(kBlockCount);
}

// Where in the update a failure of the port met it.
std::string when(const UpdateFailureFacts& facts) {
    switch (facts.phase) {
        case UpdatePhase::EnteringUpdateMode:
            return "while the meter entered its update mode";
        case UpdatePhase::SendingBlocks:
            return "during " + of_60(facts.block);
        case UpdatePhase::MeterRestarting:
            return "after the last block, while the meter restarted";
        case UpdatePhase::CheckingMeter:
            return "after the last block, while the meter was checked";
        case UpdatePhase::None:
            break;
    }
    return "during the update";
}

std::string port_named(const UpdateFailureFacts& facts) {
    std::string name = "COM" + std::to_string(facts.port);
    return facts.device.empty() ? name : name + ", " + facts.device;
}

}  // namespace

std::string power_cycle_details(const UpdateFailureFacts& facts) {
    switch (facts.failure) {
        case UpdateFailure::DeviceGone:
            return "The cable or its device (" + port_named(facts) + ") went away " + when(facts) +
                   ". Plug the cable in again. " + kTryAgain + "\n";
        case UpdateFailure::PortFailed:
            return "The port (" + port_named(facts) + ") failed " + when(facts) +
                   (facts.system_text.empty() ? "" : " (" + facts.system_text + ")") + ". " +
                   kTryAgain + "\n";
        case UpdateFailure::NoAcknowledgement:
            return "The meter did not acknowledge the update command. Check that it is switched "
                   "on and faces the cable. " +
                   std::string(kTryAgain) + "\n";
        case UpdateFailure::TooManyRejections:
            return "The meter rejected blocks more than " + std::to_string(kRejectionLimit) +
                   " times in this update, the last time " + of_60(facts.block) +
                   ": the infrared link is disturbed. Keep the meter still in front of the "
                   "cable. " +
                   kTryAgain + "\n";
        case UpdateFailure::ReplyTimeOut:
            if (facts.block <= 1) {
                return "The meter did not answer " + of_60(facts.block) + ". " + kTryAgain + "\n";
            }
            return "The meter stopped answering after " + of_60(facts.block - 1) + ": " +
                   of_60(facts.block) + " got no answer. " + kTryAgain + "\n";
        case UpdateFailure::NoAnswerAfter:
            return "All " + std::to_string(kBlockCount) +
                   " blocks were sent, but the meter did not answer after the update. " +
                   kTryAgain + "\n";
        case UpdateFailure::StillInUpdateMode:
            return "All " + std::to_string(kBlockCount) +
                   " blocks were sent, but the meter still answers from its update mode: it did "
                   "not take the new firmware. " +
                   kTryAgain + "\n";
    }
    return {};
}

}  // namespace r462xe
