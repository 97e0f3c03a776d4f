#include "ui/lock_folder.h"

namespace r462xe {

namespace {
constexpr unsigned kGroupAndOthers = 0077;
constexpr unsigned kOwnerWriteAndEnter = 0300;
}  // namespace

FolderVerdict judge_lock_folder(const FolderFacts& facts, unsigned user) {
    if (!facts.exists) return FolderVerdict::missing;
    if (!facts.directory) return FolderVerdict::not_a_folder;
    if (facts.owner != user) return FolderVerdict::other_owner;
    // Any right for the group or others, as the desktop asks of its runtime folder: whoever could
    // once write there may have left a lock behind.
    if ((facts.mode & kGroupAndOthers) != 0) return FolderVerdict::open_to_others;
    if ((facts.mode & kOwnerWriteAndEnter) != kOwnerWriteAndEnter)
        return FolderVerdict::closed_to_owner;
    return FolderVerdict::usable;
}

const char* verdict_text(FolderVerdict verdict) {
    switch (verdict) {
        case FolderVerdict::usable:
            return "usable";
        case FolderVerdict::missing:
            return "missing";
        case FolderVerdict::not_a_folder:
            return "not a folder";
        case FolderVerdict::other_owner:
            return "belongs to another user";
        case FolderVerdict::open_to_others:
            return "open to other users";
        case FolderVerdict::closed_to_owner:
            return "not writable by its owner";
    }
    return "?";
}

std::string folder_problem(FolderVerdict verdict, const std::string& not_made) {
    if (verdict == FolderVerdict::usable) return {};
    // A folder that is missing because it could not be made: why not is what the user can act on.
    if (verdict == FolderVerdict::missing && !not_made.empty())
        return "cannot be made (" + not_made + ")";
    return verdict_text(verdict);
}

std::string per_user_folder_name(unsigned user) {
    return "r462xe-fwupdate-" + std::to_string(user);
}

}  // namespace r462xe
