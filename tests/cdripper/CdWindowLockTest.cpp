// One CD window among the running copies of the program: refused only while another process has
// its CD window open, never because another copy merely runs, and free again the moment that
// process dies, however it dies.
#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <memory>

#include "cdripper/CdWindowLock.h"
#include "cdripper/frmVBCDRip.h"
#include "platform/common/ProgramFolder.h"
#include "platform/mci/Mci.h"
#include "tests/cdripper/RipFixture.h"
#include "ui/Prompt.h"

extern char** environ;

namespace {

// The other copy: this test program started again with BRISKO_CD_WINDOW_HOLDER set to a lock
// folder takes the CD window's lock there, as that copy's CD window would, answers 'y' (or 'n'
// when it could not) on its standard output and waits to be killed. It never reaches main.
const bool g_holder = [] {
    const char* folder = std::getenv("BRISKO_CD_WINDOW_HOLDER");
    if (folder == nullptr) return false;
    brisko::cdripper::CdWindowLock lock(folder);
    const char answer = lock.acquire() == brisko::cdripper::CdWindowLock::Result::Taken ? 'y' : 'n';
    if (::write(STDOUT_FILENO, &answer, 1) != 1) ::_exit(1);
    for (;;) ::pause();
}();

class OtherCopy {
public:
    // Starts the other copy and waits for its answer: whether it got the CD window's lock.
    explicit OtherCopy(const std::string& lockFolder) {
        char self[PATH_MAX];
        const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
        if (n <= 0) return;
        self[n] = '\0';
        int out[2];
        if (::pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<std::string> env = {"BRISKO_CD_WINDOW_HOLDER=" + lockFolder};
        for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
        std::vector<char*> envp;
        for (std::string& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        char* argv[] = {self, nullptr};
        const int spawned = ::posix_spawn(&pid_, self, &actions, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (spawned != 0) pid_ = -1;
        if (pid_ > 0 && ::read(out[0], &answer_, 1) != 1) answer_ = '?';
        ::close(out[0]);
    }
    ~OtherCopy() { kill(); }
    char answer() const { return answer_; }
    // Ends it as a crash would: no chance to clean up.
    void kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    char answer_ = 0;
};

class CdWindowLockTest : public RipFixture {
protected:
    void SetUp() override {
        int argc = 0;
        if (QApplication::instance() == nullptr) app_ = std::make_unique<QApplication>(argc, nullptr);
        brisko::ui::setMessageResponder([this](const brisko::ui::PromptRequest& r) {
            messages.push_back(r.text.toStdString());
            return brisko::ui::PromptAnswer::Ok;
        });
        const brisko::test::DiscImage disc = brisko::test::makeToneDisc(dir.path(), "disc", {0.5});
        brisko::test::writeCdRipIni(brisko::programFolder() + "/cdrip.ini", {disc.cue});
    }
    void TearDown() override {
        brisko::mci::mciSendString("close cd");  // a window left open by the test
        brisko::ui::setMessageResponder(nullptr);
    }

    // Opens a CD window as the console's button does; null when it refused to open.
    std::unique_ptr<frmVBCDRip> openWindow() {
        auto window = std::make_unique<frmVBCDRip>();
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        if (!window->Form_Load()) return nullptr;
        return window;
    }

    std::vector<std::string> messages;

private:
    std::unique_ptr<QApplication> app_;
};

TEST_F(CdWindowLockTest, RefusedOnlyWhileAnotherProcessHasItsCdWindowOpen) {
    ASSERT_FALSE(g_holder);
    const std::string folder = brisko::cdripper::defaultLockFolder();

    // This copy's window opens, closes, and opens again: only an open CD window holds the lock.
    // While it is open, no other process can take it.
    for (int round = 0; round < 2; ++round) {
        std::unique_ptr<frmVBCDRip> window = openWindow();
        ASSERT_NE(nullptr, window) << "round " << round;
        EXPECT_EQ('n', OtherCopy(folder).answer()) << "this window holds the lock";
        window->close();
        ASSERT_FALSE(window->isVisible());
    }
    EXPECT_TRUE(messages.empty()) << messages.front();

    // Another process holds the CD window: this copy is told so, and its window does not open.
    OtherCopy holder(folder);
    ASSERT_EQ('y', holder.answer());
    EXPECT_EQ(nullptr, openWindow());
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ("The CD window is in use by another running instance of Brisko.", messages[0]);

    // It dies without a chance to clean up: the kernel let go of its lock, the window opens.
    holder.kill();
    EXPECT_NE(nullptr, openWindow());
    EXPECT_EQ(1u, messages.size());
}

}  // namespace
