// The acknowledgement and block-verdict tests on any received text.
#include <cstdint>
#include <string>

#include "upload/upload_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto verdict = r462xe::block_verdict(text);
    // A verdict is never read out of more than one character.
    if (verdict != r462xe::BlockVerdict::Pending && size != 1) __builtin_trap();
    if (verdict != r462xe::BlockVerdict::Pending && !r462xe::is_acknowledgement(text) &&
        text != "2" && text != "3" && text != "4" && text != "5") {
        __builtin_trap();
    }
    return 0;
}
