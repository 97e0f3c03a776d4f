// The device's file permissions as POSIX systems keep them: its mode bits, its group and the
// process's effective user and groups.
#include "system/device_access.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace r462xe {

DeviceAccess device_access(const std::string& path) {
    DeviceAccess access;
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return access;
    // The process's effective user and groups, as the open itself is judged.
    access.may_open = ::faccessat(AT_FDCWD, path.c_str(), R_OK | W_OK, AT_EACCESS) == 0;
    if (!access.may_open) access.refusal = std::strerror(errno);
    access.group_may_open = (status.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    std::vector<char> buffer(4096);
    struct group entry {};
    struct group* found = nullptr;
    if (::getgrgid_r(status.st_gid, &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr) {
        access.group = found->gr_name;
    } else {
        access.group = std::to_string(status.st_gid);
    }
    return access;
}

}  // namespace r462xe
