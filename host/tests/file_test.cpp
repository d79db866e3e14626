// The writer of user files: safe replacement where it can be done, a plain
// overwrite where no temporary file can be made, and no failure unreported.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "host/file.h"
#include "host/tests/scratch_directory.h"

// The test program is linked with --wrap=fsync: this stands in for fsync,
// so that a test can play a file system that cannot sync.
int fsync_error = 0;
extern "C" int __real_fsync(int descriptor);
extern "C" int __wrap_fsync(int descriptor)
{
    if (fsync_error == 0)
        return __real_fsync(descriptor);
    errno = fsync_error;
    return -1;
}

// Likewise for rename, to play a file `rename_across` that lies on another
// file system than where it is moved to.
int rename_error = 0;
std::string rename_across;
extern "C" int __real_rename(const char* from, const char* to);
extern "C" int __wrap_rename(const char* from, const char* to)
{
    if (rename_error == 0 || rename_across != from)
        return __real_rename(from, to);
    errno = rename_error;
    return -1;
}

namespace {

namespace fs = std::filesystem;

std::string reported;
void remember_failure(const std::string& message)
{
    reported = message;
}

bool save(const std::string& path, const std::string& text)
{
    return write_user_file(path, [&](FILE* file) { return std::fputs(text.c_str(), file) >= 0; });
}

std::string contents(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void put(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

constexpr uid_t NOBODY = 65534;

// Runs `test` as an ordinary user: as it is when the tests are not run by
// root, else in a child process that gives up root for "nobody". Paths the
// test uses must be reachable by that user.
bool as_unprivileged_user(const std::function<bool()>& test)
{
    if (geteuid() != 0)
        return test();
    const pid_t child = fork();
    if (child == 0) {
        const bool dropped = setgroups(0, nullptr) == 0 && setgid(NOBODY) == 0 && setuid(NOBODY) == 0;
        _exit(dropped && test() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A folder the unprivileged user owns (root hands it over).
fs::path user_folder(const fs::path& parent, const char* name)
{
    const fs::path folder = parent / name;
    fs::create_directory(folder);
    if (geteuid() == 0) {
        chmod(parent.c_str(), 0711);
        EXPECT_EQ(chown(folder.c_str(), NOBODY, NOBODY), 0);
    }
    return folder;
}

class FileTest : public ::testing::Test {
protected:
    ScratchDirectory scratch;
    const fs::path& dir = scratch.path();

    void SetUp() override
    {
        reported.clear();
        fsync_error = 0;
        rename_error = 0;
        file_set_failure_handler(remember_failure);
    }
    void TearDown() override
    {
        fsync_error = 0;
        rename_error = 0;
        file_set_failure_handler(nullptr);
        // The scratch folder's own clean-up needs to enter everything.
        for (const auto& entry : fs::recursive_directory_iterator(dir))
            if (entry.is_directory() && !entry.is_symlink())
                chmod(entry.path().c_str(), 0755);
    }
};

TEST_F(FileTest, ReplacesTheFileAndLeavesNoTemporaryBehind)
{
    ASSERT_TRUE(save("game.SAV", "first"));
    ASSERT_TRUE(save("game.SAV", "second"));
    EXPECT_EQ(contents("game.SAV"), "second");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    EXPECT_EQ(reported, "");
}

TEST_F(FileTest, AFailedWriteKeepsTheOldFileAndIsReported)
{
    put("game.SAV", "old");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(write_user_file("game.SAV", [](FILE* file) {
        std::fputs("half", file);
        return false;
    }));
    const std::string error = testing::internal::GetCapturedStderr();
    EXPECT_EQ(contents("game.SAV"), "old");
    EXPECT_FALSE(fs::exists("game.SAV.tmp"));
    EXPECT_NE(error.find("Could not save game.SAV"), std::string::npos) << error;
    EXPECT_EQ(reported.rfind("Could not save game.SAV", 0), 0u) << reported;
    EXPECT_NE(contents("tarven.log").find("Could not save game.SAV"), std::string::npos);
}

// A name of 252-255 bytes leaves no room for the temporary file's suffix.
TEST_F(FileTest, ANameTooLongForATemporaryIsWrittenInPlace)
{
    const std::string name = std::string(251, 'g') + ".SAV";
    ASSERT_TRUE(save(name, "new game"));
    EXPECT_EQ(contents(name), "new game");
    ASSERT_TRUE(save(name, "saved"));
    EXPECT_EQ(contents(name), "saved");
    EXPECT_EQ(reported, "");
}

TEST_F(FileTest, AWritableFileInAFolderThatIsNotIsWritten)
{
    const fs::path folder = user_folder(dir, "roms");
    const std::string path = (folder / "game.SAV").string();
    put(path, "old save");
    if (geteuid() == 0) {
        ASSERT_EQ(chown(path.c_str(), NOBODY, NOBODY), 0);
    }
    chmod(folder.c_str(), 0555);
    // Root writes through the temporary file as usual.
    if (geteuid() == 0) {
        ASSERT_TRUE(save(path, "as root"));
        EXPECT_EQ(contents(path), "as root");
        ASSERT_EQ(chown(path.c_str(), NOBODY, NOBODY), 0);
    }
    EXPECT_TRUE(as_unprivileged_user([&] { return save(path, "as the user"); }));
    EXPECT_EQ(contents(path), "as the user");
    // No file can be made there at all: reported, not silent.
    EXPECT_FALSE(as_unprivileged_user([&] { return save((folder / "other.SAV").string(), "x"); }));
}

TEST_F(FileTest, FileSystemsThatCannotSyncStillSave)
{
    for (int error : {EINVAL, ENOTSUP}) {
        fsync_error = error;
        ASSERT_TRUE(save("game.SAV", "synced " + std::to_string(error)));
        EXPECT_EQ(contents("game.SAV"), "synced " + std::to_string(error));
    }
    // A real failure to reach the disk keeps the old file.
    fsync_error = EIO;
    EXPECT_FALSE(save("game.SAV", "lost"));
    EXPECT_EQ(contents("game.SAV"), "synced " + std::to_string(ENOTSUP));
    EXPECT_NE(reported.find("Input/output error"), std::string::npos) << reported;
}

TEST_F(FileTest, SymbolicLinksStayAndTheirTargetsGetTheData)
{
    fs::create_directory("saves");
    put("saves/real.SAV", "old");
    fs::create_symlink("saves/real.SAV", "game.SAV");
    fs::create_symlink("../game.SAV", "saves/chain.cfg");  // a link to a link
    ASSERT_TRUE(save("game.SAV", "new"));
    EXPECT_TRUE(fs::is_symlink("game.SAV"));
    EXPECT_EQ(contents("saves/real.SAV"), "new");
    ASSERT_TRUE(save("saves/chain.cfg", "newer"));
    EXPECT_TRUE(fs::is_symlink("saves/chain.cfg"));
    EXPECT_EQ(contents("saves/real.SAV"), "newer");
    // A link to a file not made yet makes it where the link points.
    fs::create_symlink("saves/later.ST0", "game.ST0");
    ASSERT_TRUE(save("game.ST0", "state"));
    EXPECT_TRUE(fs::is_symlink("game.ST0"));
    EXPECT_EQ(contents("saves/later.ST0"), "state");
}

TEST_F(FileTest, ReadOnlyFilesAndOtherKindsAreNeverReplaced)
{
    put("game.SAV", "keep");
    chmod("game.SAV", 0444);
    EXPECT_FALSE(save("game.SAV", "over"));
    EXPECT_EQ(contents("game.SAV"), "keep");
    EXPECT_NE(reported.find("read-only"), std::string::npos) << reported;

    const fs::path folder = user_folder(dir, "user");
    const std::string path = (folder / "game.SAV").string();
    put(path, "keep");
    chmod(path.c_str(), 0444);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(path.c_str(), NOBODY, NOBODY), 0);
    }
    EXPECT_FALSE(as_unprivileged_user([&] { return save(path, "over"); }));
    EXPECT_EQ(contents(path), "keep");

    fs::create_directory("game.ST0");
    reported.clear();
    EXPECT_FALSE(save("game.ST0", "state"));
    EXPECT_TRUE(fs::is_directory("game.ST0"));
    EXPECT_NE(reported.find("not a regular file"), std::string::npos) << reported;
}

TEST_F(FileTest, OnlyRegularFilesAreOpenedForReading)
{
    put("game.sms", "rom");
    FILE* file = open_regular_file("game.sms");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    ASSERT_EQ(mkfifo("pipe.sms", 0600), 0);
    EXPECT_EQ(open_regular_file("pipe.sms"), nullptr);  // and does not wait for a writer
    EXPECT_EQ(open_regular_file("."), nullptr);
    EXPECT_EQ(open_regular_file("/dev/zero"), nullptr);
    EXPECT_EQ(open_regular_file("missing.sms"), nullptr);
}

// A finished recording takes the place of an old file in one step; the old
// one stays when the move fails, and the failure is reported.
TEST_F(FileTest, AMovedFileReplacesTheOldOneOnlyOnceItIsIn)
{
    put("music.tmp", "new tune");
    put("tune.PSG", "old tune");
    ASSERT_TRUE(move_user_file("music.tmp", "tune.PSG"));
    EXPECT_EQ(contents("tune.PSG"), "new tune");
    EXPECT_FALSE(fs::exists("music.tmp"));

    EXPECT_FALSE(move_user_file("music.tmp", "tune.PSG"));
    EXPECT_EQ(contents("tune.PSG"), "new tune");
    EXPECT_EQ(reported.rfind("Could not save tune.PSG", 0), 0u) << reported;
    EXPECT_NE(contents("tarven.log").find("Could not save tune.PSG"), std::string::npos);

    put("music.tmp", "newer tune");
    chmod("tune.PSG", 0444);
    reported.clear();
    EXPECT_FALSE(move_user_file("music.tmp", "tune.PSG"));
    EXPECT_EQ(contents("tune.PSG"), "new tune");
    EXPECT_EQ(contents("music.tmp"), "newer tune");
    EXPECT_NE(reported.find("read-only"), std::string::npos) << reported;
}

TEST_F(FileTest, AcrossFileSystemsAMovedFileIsCopiedThenRemoved)
{
    std::string tune(200000, 'x');
    for (size_t i = 0; i < tune.size(); ++i)
        tune[i] = static_cast<char>(i * 7);
    put("music.tmp", tune);
    put("tune.PSG", "old tune");
    rename_error = EXDEV;
    rename_across = "music.tmp";
    ASSERT_TRUE(move_user_file("music.tmp", "tune.PSG"));
    EXPECT_EQ(contents("tune.PSG"), tune);
    EXPECT_FALSE(fs::exists("music.tmp"));
    EXPECT_FALSE(fs::exists("tune.PSG.tmp"));
    EXPECT_EQ(reported, "");

    // Nothing to copy: the old file stays, and the failure is reported.
    EXPECT_FALSE(move_user_file("music.tmp", "tune.PSG"));
    EXPECT_EQ(contents("tune.PSG"), tune);
    EXPECT_NE(reported, "");
}

// A folder or file without a single write bit is read-only for root too;
// for anyone else access() decides. A writable file in a read-only folder
// is written in place, and a link leads to where the data goes.
TEST_F(FileTest, WhatCanBeWrittenFollowsTheModeBitsAndAccess)
{
    EXPECT_TRUE(user_file_writable("game.SAV"));
    fs::create_directory("roms");
    EXPECT_TRUE(user_file_writable("roms/game.SAV"));
    put("roms/kept.SAV", "x");
    fs::create_directory("saves");
    fs::create_symlink("../saves/linked.SAV", "roms/linked.SAV");
    chmod("roms", 0555);
    EXPECT_FALSE(user_file_writable("roms/game.SAV"));
    EXPECT_TRUE(user_file_writable("roms/kept.SAV"));
    EXPECT_TRUE(user_file_writable("roms/linked.SAV"));
    chmod("roms/kept.SAV", 0444);
    EXPECT_FALSE(user_file_writable("roms/kept.SAV"));
    EXPECT_FALSE(user_file_writable("missing/game.SAV"));
    EXPECT_FALSE(user_file_writable("saves"));

    const fs::path folder = user_folder(dir, "user");
    const std::string save = (folder / "game.SAV").string();
    chmod(folder.c_str(), 0755);
    EXPECT_TRUE(as_unprivileged_user([&] { return user_file_writable(save); }));
    if (geteuid() == 0) {
        ASSERT_EQ(chown(folder.c_str(), 0, 0), 0);
        EXPECT_TRUE(user_file_writable(save));
        EXPECT_TRUE(as_unprivileged_user([&] { return !user_file_writable(save); }));
    }
}

TEST_F(FileTest, TheUserSaveFolderFollowsXdgDataHome)
{
    const char* data = std::getenv("XDG_DATA_HOME");
    const std::string saved_data = data ? data : "";
    const char* home = std::getenv("HOME");
    const std::string saved_home = home ? home : "";

    setenv("XDG_DATA_HOME", "/data", 1);
    setenv("HOME", "/home/player", 1);
    EXPECT_EQ(user_save_folder(), "/data/tarven/saves");
    setenv("XDG_DATA_HOME", "relative", 1);  // not absolute: ignored
    EXPECT_EQ(user_save_folder(), "/home/player/.local/share/tarven/saves");
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(user_save_folder(), "/home/player/.local/share/tarven/saves");
    unsetenv("HOME");
    EXPECT_EQ(user_save_folder(), "");

    const std::string deep = (dir / "a/b/c").string();
    EXPECT_TRUE(make_folders(deep));
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_TRUE(make_folders(deep));
    put("file", "x");
    EXPECT_FALSE(make_folders((dir / "file/d").string()));

    if (data)
        setenv("XDG_DATA_HOME", saved_data.c_str(), 1);
    if (home)
        setenv("HOME", saved_home.c_str(), 1);
}

}  // namespace
