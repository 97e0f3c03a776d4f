// Where the instance lock of one user may lie: a folder that only that user can reach. A folder
// that another user owns, or may write to, lets that user plant a lock that ends every start of
// the program, so it is not used.
#pragma once

#include <string>

namespace r462xe {

// A folder as the system describes it, without following a symbolic link.
struct FolderFacts {
    bool exists = false;
    bool directory = false;  // false for a symbolic link, whatever it points to
    unsigned owner = 0;      // user id
    unsigned mode = 0;       // permission bits, e.g. 0700
};

enum class FolderVerdict {
    usable,
    missing,
    not_a_folder,     // a file, a symbolic link, a device ...
    other_owner,      // belongs to another user
    open_to_others,   // its group or everybody may enter, read or write it
    closed_to_owner,  // the owner may not write in it or enter it
};

FolderVerdict judge_lock_folder(const FolderFacts& facts, unsigned user);

// What a verdict says about a folder, in a few words, e.g. "belongs to another user".
const char* verdict_text(FolderVerdict verdict);

// What is wrong with a folder for the lock, as the message that names every folder says it;
// empty when it will do. `not_made`: the system's reason why the folder could not be made, when
// the program tried to make it.
std::string folder_problem(FolderVerdict verdict, const std::string& not_made);

// The folder's name in the system's folder for temporary files: one per user id, which every user
// has, unlike a name (an account without USER, or without an entry in the user database).
std::string per_user_folder_name(unsigned user);

}  // namespace r462xe
