#include "system/windows/system_error.h"

#include "system/windows/latin1_text.h"

namespace r462xe {

std::string system_error_text(DWORD error) {
    wchar_t buffer[512];
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                       0, buffer, static_cast<DWORD>(std::size(buffer)), nullptr);
    if (length == 0) return "system error " + std::to_string(error);
    std::wstring text(buffer, length);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    return latin1(text);
}

}  // namespace r462xe
