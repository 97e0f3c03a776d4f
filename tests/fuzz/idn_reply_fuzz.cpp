// Whatever the meter answers to "*IDN?", both readings stay within the reply and agree on what an
// identification is.
#include <cstdint>
#include <string>

#include "identify/idn_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string reply(reinterpret_cast<const char*>(data), size);
    const auto reading = r462xe::read_idn_reply(reply);
    if (reading.verdict == r462xe::IdnVerdict::Identified) {
        const auto& f = reading.fields;
        if (f.maker.size() + f.model.size() + f.serial.size() + f.version.size() + 3 > size) {
            __builtin_trap();
        }
        if (f.model.find("R462") == std::string::npos) __builtin_trap();
    }
    const auto search = r462xe::read_search_idn_reply(reply);
    if (search.identified && search.fields.model.find('E') == std::string::npos) __builtin_trap();
    r462xe::probe_answer_says_update_mode(reply);
    return 0;
}
