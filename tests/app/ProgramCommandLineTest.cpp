// The program's command line on a machine without a display: --help and --version answer and
// exit 0 before any window system is touched; anything else says in one line how to run it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TempDir.h"

namespace {

using brisko::test::readFile;
using brisko::test::TempDir;

struct ProgramRun {
    int status = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;
};

// Runs the program with ARGS and only the environment given: no DISPLAY, WAYLAND_DISPLAY or
// QT_QPA_PLATFORM, the program folder in a temporary folder.
ProgramRun runProgram(const std::vector<std::string>& args, const TempDir& dir) {
    const std::string outPath = dir.file("out"), errPath = dir.file("err");
    std::vector<std::string> env = {"PATH=/usr/bin:/bin", "HOME=" + dir.file("home"),
                                    "BRISKO_HOME=" + dir.file("program"), "BRISKO_AUDIO=null"};
    std::vector<char*> argv{const_cast<char*>(BRISKO_PROGRAM)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ProgramRun run;
    int status = 0;
    // A program that opened a window instead of answering would never end by itself.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            ADD_FAILURE() << "the program did not end";
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = readFile(outPath);
    run.err = readFile(errPath);
    return run;
}

TEST(ProgramCommandLine, AnswersWithoutADisplay) {
    TempDir dir;
    ProgramRun run = runProgram({"--version"}, dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "brisko " BRISKO_VERSION "\n");
    EXPECT_EQ(run.err, "");

    // Help wins wherever it stands, also among a file name's words.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--help"}, {"-h"}, {"Morning", "--help", "Show.mp3"}}) {
        run = runProgram(args, dir);
        EXPECT_EQ(run.status, 0) << args[0] << ": " << run.err;
        EXPECT_EQ(run.out.rfind("usage: brisko ", 0), 0u) << run.out;
        EXPECT_NE(run.out.find("--version"), std::string::npos);
        EXPECT_EQ(run.err, "");
    }
}

TEST(ProgramCommandLine, WithoutADisplayItSaysInOneLineHowToRun) {
    TempDir dir;
    // A file to play, and "--help" as a file name after "--": both need the window.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"/music/a.wav"}, {"--", "--help"}}) {
        const ProgramRun run = runProgram(args, dir);
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_EQ(run.out, "");
        ASSERT_FALSE(run.err.empty());
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
        EXPECT_NE(run.err.find("xvfb-run"), std::string::npos) << run.err;
    }
    // Nothing was started: no program folder was made.
    EXPECT_FALSE(std::filesystem::exists(dir.file("program")));
}

}  // namespace
