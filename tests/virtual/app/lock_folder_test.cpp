// Which folder may hold the instance lock: only one that belongs to the user and that nobody else
// may enter, read or write. Where the per-user folder lies and what it is called is seen on disk
// by the real-time tests (ProductLockFolder).
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "ui/lock_folder.h"

namespace r462xe {
namespace {

constexpr unsigned kUser = 1000;
constexpr unsigned kOtherUser = 1001;

struct FolderCase {
    const char* name;
    FolderFacts facts;
    FolderVerdict verdict;
    const char* text;
};

void PrintTo(const FolderCase& c, std::ostream* out) {
    *out << c.name;
}

class LockFolder : public ::testing::TestWithParam<FolderCase> {};

TEST_P(LockFolder, IsUsedOnlyWhenItIsTheUsersAlone) {
    const FolderVerdict verdict = judge_lock_folder(GetParam().facts, kUser);
    EXPECT_EQ(verdict, GetParam().verdict);
    EXPECT_STREQ(verdict_text(verdict), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, LockFolder,
    ::testing::Values(
        FolderCase{"Own0700", {true, true, kUser, 0700}, FolderVerdict::usable, "usable"},
        // The sticky bit and set-group-id give nobody else a right.
        FolderCase{"Own1700", {true, true, kUser, 01700}, FolderVerdict::usable, "usable"},
        FolderCase{"Own2700", {true, true, kUser, 02700}, FolderVerdict::usable, "usable"},
        FolderCase{"Missing", {false, false, 0, 0}, FolderVerdict::missing, "missing"},
        FolderCase{"AFileOrALink",
                   {true, false, kUser, 0700},
                   FolderVerdict::not_a_folder,
                   "not a folder"},
        FolderCase{"OtherUsers0700",
                   {true, true, kOtherUser, 0700},
                   FolderVerdict::other_owner,
                   "belongs to another user"},
        FolderCase{"OtherUsers0777",
                   {true, true, kOtherUser, 0777},
                   FolderVerdict::other_owner,
                   "belongs to another user"},
        FolderCase{"Roots0700",
                   {true, true, 0, 0700},
                   FolderVerdict::other_owner,
                   "belongs to another user"},
        FolderCase{"Own0777",
                   {true, true, kUser, 0777},
                   FolderVerdict::open_to_others,
                   "open to other users"},
        FolderCase{"Own1777",
                   {true, true, kUser, 01777},
                   FolderVerdict::open_to_others,
                   "open to other users"},
        FolderCase{"GroupMayWrite0730",
                   {true, true, kUser, 0730},
                   FolderVerdict::open_to_others,
                   "open to other users"},
        FolderCase{"GroupMayRead0740",
                   {true, true, kUser, 0740},
                   FolderVerdict::open_to_others,
                   "open to other users"},
        FolderCase{"GroupMayEnter0710",
                   {true, true, kUser, 0710},
                   FolderVerdict::open_to_others,
                   "open to other users"},
        FolderCase{"OthersMayWrite0702",
                   {true, true, kUser, 0702},
                   FolderVerdict::open_to_others,
                   "open to other users"},
        FolderCase{"OthersMayEnter0701",
                   {true, true, kUser, 0701},
                   FolderVerdict::open_to_others,
                   "open to other users"},
        FolderCase{"OwnerMayNotWrite0500",
                   {true, true, kUser, 0500},
                   FolderVerdict::closed_to_owner,
                   "not writable by its owner"},
        FolderCase{"OwnerMayNotEnter0600",
                   {true, true, kUser, 0600},
                   FolderVerdict::closed_to_owner,
                   "not writable by its owner"},
        FolderCase{"OwnerWriteAndEnterOnly0300",
                   {true, true, kUser, 0300},
                   FolderVerdict::usable,
                   "usable"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LockFolder, ForUserZeroTheRootsOwnIsUsable) {
    EXPECT_EQ(judge_lock_folder({true, true, 0, 0700}, 0), FolderVerdict::usable);
    EXPECT_EQ(judge_lock_folder({true, true, kUser, 0700}, 0), FolderVerdict::other_owner);
}

// The message names every folder with what is wrong with it; a folder the program tried to make
// says why it could not be made.
TEST(LockFolder, ProblemSaysWhatTheUserCanActOn) {
    struct Row {
        FolderVerdict verdict;
        std::string not_made;
        std::string said;
    };
    const Row rows[] = {
        {FolderVerdict::usable, "", ""},
        {FolderVerdict::missing, "", "missing"},
        {FolderVerdict::missing, "Not a directory", "cannot be made (Not a directory)"},
        {FolderVerdict::open_to_others, "", "open to other users"},
        // Made by someone else in the meantime: what is wrong with it now counts.
        {FolderVerdict::other_owner, "File exists", "belongs to another user"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(folder_problem(row.verdict, row.not_made), row.said) << row.not_made;
}

}  // namespace
}  // namespace r462xe
