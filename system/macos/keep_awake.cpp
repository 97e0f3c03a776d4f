// A power assertion: it keeps off the sleep that idleness brings; a closed lid still sends the
// computer to sleep. Written for macOS; this system's builds do not compile it.
#include "system/keep_awake.h"

#include <IOKit/pwr_mgt/IOPMLib.h>

namespace r462xe {

std::string KeepAwake::hold(const std::string& why) {
    if (held_) return {};
    // The logic's texts are one byte per character.
    const CFStringRef reason = CFStringCreateWithBytes(
        kCFAllocatorDefault, reinterpret_cast<const UInt8*>(why.data()),
        static_cast<CFIndex>(why.size()), kCFStringEncodingISOLatin1, false);
    IOPMAssertionID assertion = 0;
    const IOReturn result = IOPMAssertionCreateWithName(
        kIOPMAssertionTypePreventUserIdleSystemSleep, kIOPMAssertionLevelOn, reason, &assertion);
    CFRelease(reason);
    if (result != kIOReturnSuccess) return "IOPMAssertionCreateWithName failed";
    assertion_ = assertion;
    held_ = true;
    return {};
}

void KeepAwake::release() {
    if (!held_) return;
    held_ = false;
    IOPMAssertionRelease(assertion_);
    assertion_ = 0;
}

}  // namespace r462xe
