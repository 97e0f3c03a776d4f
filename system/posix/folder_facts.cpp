#include "system/folder_facts.h"

#include <sys/stat.h>
#include <unistd.h>

namespace r462xe {

FolderFacts folder_facts(const std::string& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) return {};
    return {true, S_ISDIR(status.st_mode), static_cast<unsigned>(status.st_uid),
            static_cast<unsigned>(status.st_mode & 07777)};
}

void make_private_folder(const std::string& path) {
    ::mkdir(path.c_str(), 0700);
}

unsigned current_user() {
    return static_cast<unsigned>(::getuid());
}

}  // namespace r462xe
