// A saved file keeps the permissions of the one it replaces, however it is
// replaced: a new file beside it renamed over it, the file behind a link,
// or the file rewritten in place; a file saved for the first time gets the
// usual ones.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "host/file.h"
#include "host/tests/scratch_directory.h"

namespace {

namespace fs = std::filesystem;

bool save(const std::string& path)
{
    return write_user_file(path, [](FILE* file) { return std::fputs("saved", file) >= 0; });
}

mode_t mode_of(const std::string& path)
{
    struct stat status { };
    EXPECT_EQ(stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

class FileMode : public ::testing::Test {
protected:
    ScratchDirectory scratch;
    mode_t old_mask = umask(022);

    void TearDown() override
    {
        umask(old_mask);
    }

    static void make(const std::string& path, mode_t mode)
    {
        std::fclose(std::fopen(path.c_str(), "w"));
        chmod(path.c_str(), mode);
    }
};

TEST_F(FileMode, ASavedFileKeepsThePermissionsOfTheOneItReplaces)
{
    // Private, shared with the group, and one the umask would not give.
    for (const mode_t mode : {0600, 0664, 0640, 0606, 0755}) {
        make("game.SAV", mode);
        ASSERT_TRUE(save("game.SAV"));
        EXPECT_EQ(mode_of("game.SAV"), mode) << std::oct << mode;
    }
}

TEST_F(FileMode, TheFileBehindALinkKeepsItsPermissions)
{
    fs::create_directory("saves");
    make("saves/game.SAV", 0660);
    fs::create_symlink("saves/game.SAV", "game.SAV");
    ASSERT_TRUE(save("game.SAV"));
    EXPECT_TRUE(fs::is_symlink("game.SAV"));
    EXPECT_EQ(mode_of("saves/game.SAV"), 0660u);
}

TEST_F(FileMode, AFileRewrittenInPlaceKeepsItsPermissions)
{
    // A name one character short of the longest leaves no room for the
    // temporary file's longer name.
    const std::string name(NAME_MAX - 1, 'g');
    make(name, 0604);
    ASSERT_TRUE(save(name));
    EXPECT_EQ(mode_of(name), 0604u);
}

TEST_F(FileMode, ANewFileGetsTheUsualPermissions)
{
    ASSERT_TRUE(save("new.SAV"));
    EXPECT_EQ(mode_of("new.SAV"), 0644u);
    umask(077);
    ASSERT_TRUE(save("private.SAV"));
    EXPECT_EQ(mode_of("private.SAV"), 0600u);
}

}  // namespace
