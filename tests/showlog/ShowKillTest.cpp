// The show log against real deaths of the real console: a child program killed with SIGKILL at
// random moments of a scripted show, started again, must restore what its journal last said;
// and a file that aborts the program on load must not be loaded a third time.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <map>
#include <random>
#include <sstream>
#include <thread>

#include "showlog/Journal.h"
#include "showlog/LastFile.h"
#include "showlog/ShowLog.h"
#include "tests/showlog/ChildProcess.h"
#include "tests/showlog/RestoreCheck.h"
#include "tests/support/TempDir.h"
#include "tests/support/ToneFiles.h"

namespace brisko::showlog {
namespace {

using test::TempDir;

class ShowKillTest : public ::testing::Test {
protected:
    void SetUp() override {
        const double lengths[] = {2.5, 4, 6, 9};
        for (int k = 0; k < 4; ++k) {
            test::ToneSpec tone;
            tone.seconds = lengths[k];
            tone.frequency = 300 + 100 * k;
            const std::string name = "song" + std::to_string(k) + ".wav";
            test::writeToneWav(media.file(name), tone);
            lengthMs[media.file(name)] = static_cast<int64_t>(lengths[k] * 1000);
        }
    }
    TempDir home{"brisko-kill-home"};
    TempDir media{"brisko-kill-media"};
    std::map<std::string, int64_t> lengthMs;
};

TEST_F(ShowKillTest, KilledAtRandomTheShowComesBackAsJournaled) {
    std::mt19937 random(20261208);
    int offered = 0;
    for (int run = 0; run < 6; ++run) {
        ReplayStats stats;
        const Expected expected = expectedFrom(home.path(), &stats);
        EXPECT_LE(stats.damaged, 1) << "only a torn last line may fail to read, run " << run;
        test::ChildProcess child({SHOW_CHILD, "show", std::to_string(random()), media.path()},
                                 {"BRISKO_HOME=" + home.path(), "BRISKO_AUDIO=null"});
        const std::vector<std::string> out = child.linesUntil("READY", std::chrono::seconds(60));
        ASSERT_FALSE(out.empty() || out.back() != "READY")
            << "run " << run << ": the child did not start";
        std::string why;
        EXPECT_EQ(restoreMismatches(expected, out, lengthMs, &why), 0)
            << "run " << run << ": " << why;
        offered += expected.unclean ? 1 : 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(300 + random() % 2500));
        EXPECT_TRUE(child.kill(SIGKILL)) << "run " << run << ": the child ended before the kill";
    }
    // The show loads decks all the time: nearly every kill leaves something to restore.
    EXPECT_GE(offered, 3);
}

TEST_F(ShowKillTest, AFileThatAbortsOnLoadIsNotLoadedAThirdTime) {
    const std::string bad = media.file("song1.wav");
    const std::vector<std::string> env = {"BRISKO_HOME=" + home.path(), "BRISKO_AUDIO=null",
                                          "BRISKO_TEST_ABORT_ON_LOAD=" + bad};
    {
        // Loads it and dies of it.
        test::ChildProcess child({SHOW_CHILD, "load", bad}, env);
        child.linesUntil("READY", std::chrono::seconds(60));
        EXPECT_EQ(child.waitSignal(std::chrono::seconds(30)), SIGABRT);
    }
    {
        // The restore loads it again, and the program dies of it again before it is ready.
        test::ChildProcess child({SHOW_CHILD, "load", media.file("song0.wav")}, env);
        const auto out = child.linesUntil("READY", std::chrono::seconds(60));
        EXPECT_TRUE(out.empty() || out.back() != "READY");
        EXPECT_EQ(child.waitSignal(std::chrono::seconds(30)), SIGABRT);
    }
    test::ChildProcess child({SHOW_CHILD, "load", media.file("song0.wav")}, env);
    const auto out = child.linesUntil("READY", std::chrono::seconds(60));
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back(), "READY");
    bool told = false;
    for (const std::string& line : out)
        told = told || (line.find("PROMPT Brisko ended twice while") == 0 &&
                        line.find("song1.wav") != std::string::npos);
    EXPECT_TRUE(told);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(child.kill(SIGKILL));
    EXPECT_NE(test::readFile(home.file(kIncidentsName)).find("Crash-loop guard:"),
              std::string::npos);
}

}  // namespace
}  // namespace brisko::showlog
