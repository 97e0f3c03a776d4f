#include "system/folder_facts.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace r462xe {

FolderFacts folder_facts(const std::string& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) return {};
    return {true, S_ISDIR(status.st_mode), static_cast<unsigned>(status.st_uid),
            static_cast<unsigned>(status.st_mode & 07777)};
}

std::string make_private_folder(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST) return {};
    return std::strerror(errno);
}

unsigned current_user() {
    return static_cast<unsigned>(::getuid());
}

}  // namespace r462xe
