#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "host/file.h"
#include "host/log.h"
#include "host/tests/scratch_directory.h"

namespace {

std::string hooks_run;

class LogTest : public ::testing::Test {
protected:
    ScratchDirectory scratch;

    void SetUp() override
    {
        hooks_run.clear();
    }

    static std::string log_text()
    {
        std::ifstream file("tarven.log");
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
};

}  // namespace

TEST_F(LogTest, ResetStartsAnEmptyLogAndLinesAppend)
{
    std::ofstream("tarven.log") << "from an earlier run\n";
    log_reset();
    EXPECT_FALSE(std::filesystem::exists("tarven.log"));
    log_write("Odd pitch detected: %s", "please report sightings of this error message.");
    log_write("%d", 42);
    EXPECT_EQ(log_text(), "Odd pitch detected: please report sightings of this error message.\n42\n");
}

TEST_F(LogTest, HooksRunNewestFirst)
{
    log_reset();
    exit_hook_add([] { hooks_run += "A"; }, "A");
    exit_hook_add([] { hooks_run += "B"; }, std::string(60, 'x').c_str());
    exit_hooks_run();
    EXPECT_EQ(hooks_run, "BA");
}

TEST_F(LogTest, FatalExitRunsHooksAndLogsOnlyRealMessages)
{
    log_reset();
    exit_hook_add([] { std::ofstream("hook-ran") << "yes"; }, "marker");
    EXPECT_EXIT(fatal_exit("%s", "vid_none"), ::testing::ExitedWithCode(255), "vid_none");
    EXPECT_TRUE(std::filesystem::exists("hook-ran"));
    EXPECT_EQ(log_text(), "Exiting: vid_none\n");

    log_reset();
    std::filesystem::remove("hook-ran");
    exit_hook_add([] { std::ofstream("hook-ran") << "yes"; }, "marker");
    // The quit the user asked for is no failure.
    EXPECT_EXIT(fatal_exit("%s", ""), ::testing::ExitedWithCode(0), "");
    EXPECT_TRUE(std::filesystem::exists("hook-ran"));
    EXPECT_FALSE(std::filesystem::exists("tarven.log"));
}

// A save that fails at the end is shown as a fatal message is, also at an
// ordinary quit; a failure before it is not, the popup showed it then.
TEST_F(LogTest, SavesThatFailAtExitAreShownEvenAtAnOrdinaryQuit)
{
    log_reset();
    fatal_set_message_handler([](const char* message) { std::fprintf(stderr, "box: %s\n", message); });
    std::ofstream("tarven.cfg") << "kept";
    std::filesystem::permissions("tarven.cfg", std::filesystem::perms::owner_read);
    const auto save = [] { write_user_file("tarven.cfg", [](FILE*) { return true; }); };
    save();
    exit_hook_add(save, "Machine (Save RAM)");
    EXPECT_EXIT(fatal_exit("%s", ""), ::testing::ExitedWithCode(0),
        "\nbox: Could not save tarven.cfg: the file is read-only\n$");
    fatal_set_message_handler(nullptr);
}

TEST_F(LogTest, LongMessagesAreCutNotOverflowed)
{
    log_reset();
    log_write("%s", std::string(1000, 'm').c_str());
    EXPECT_EQ(log_text(), std::string(255, 'm') + "\n");
}
