// What appending a record does on every system: a file to write, and its folders made first.
#include "system/record_file.h"

#include <system_error>

namespace r462xe {

std::string append_record(const std::filesystem::path& file, const std::string& header,
                          const std::string& record) {
    if (file.empty()) return kNoRecordFolder;
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    if (error) return error.message();
    return append_record_to_file(file, header, record);
}

}  // namespace r462xe
