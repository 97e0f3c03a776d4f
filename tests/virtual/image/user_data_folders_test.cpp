// On a Linux desktop the folders for the data of the user's programs come from the XDG base
// directories: the user's own first, then the shared ones, in the order the settings give them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "system/user_data_folders.h"

namespace r462xe {
namespace {

#ifdef __linux__
struct XdgCase {
    const char* name;
    std::optional<std::string> data_home;
    std::optional<std::string> data_dirs;
    std::vector<std::filesystem::path> folders;
};

void set_or_unset(const char* variable, const std::optional<std::string>& value) {
    if (value)
        ::setenv(variable, value->c_str(), 1);
    else
        ::unsetenv(variable);
}

TEST(UserDataFolders, FromTheXdgBaseDirectories) {
    const std::vector<XdgCase> cases = {
        {"neither set",
         std::nullopt,
         std::nullopt,
         {"/home/tech/.local/share", "/usr/local/share", "/usr/share"}},
        {"both set",
         "/data/tech",
         "/opt/share:/usr/share",
         {"/data/tech", "/opt/share", "/usr/share"}},
        {"empty ones count as unset",
         "",
         "",
         {"/home/tech/.local/share", "/usr/local/share", "/usr/share"}},
        {"relative paths are passed over",
         "tech/share",
         "relative:/usr/share::",
         {"/home/tech/.local/share", "/usr/share"}},
    };
    const char* home = std::getenv("HOME");
    const std::optional<std::string> saved_home =
        home ? std::optional<std::string>(home) : std::nullopt;
    for (const XdgCase& c : cases) {
        SCOPED_TRACE(c.name);
        ::setenv("HOME", "/home/tech", 1);
        set_or_unset("XDG_DATA_HOME", c.data_home);
        set_or_unset("XDG_DATA_DIRS", c.data_dirs);
        EXPECT_EQ(user_data_folders(), c.folders);
    }
    set_or_unset("HOME", saved_home);
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("XDG_DATA_DIRS");
}
#endif

}  // namespace
}  // namespace r462xe
