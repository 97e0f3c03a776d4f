// What the system says of a folder that may hold the instance lock, and who asks.
#pragma once

#include <string>

#include "ui/lock_folder.h"

namespace r462xe {

// The folder as the system describes it, without following a symbolic link.
FolderFacts folder_facts(const std::string& path);
// Makes the folder, closed to everybody but its owner, when it is missing; an existing one (or
// anything else of that name) is left as it is, to be judged. Empty when the folder is there
// now; otherwise the system's reason why it could not be made.
std::string make_private_folder(const std::string& path);
// The user this process runs for, as folders name their owners.
unsigned current_user();

}  // namespace r462xe
