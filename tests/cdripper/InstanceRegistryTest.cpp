// Instances of the program see each other while they run, and stop seeing one that has ended,
// even by a crash.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cdripper/InstanceRegistry.h"
#include "tests/support/TempDir.h"

namespace brisko::cdripper {
namespace {

TEST(InstanceRegistryTest, OtherInstancesAreSeenWhileTheyRun) {
    test::TempDir dir("instances");
    const std::string folder = dir.file("reg");
    InstanceRegistry self(folder);
    ASSERT_TRUE(self.registerSelf("self"));
    EXPECT_FALSE(self.othersRunning());

    int ready[2];
    ASSERT_EQ(0, ::pipe(ready));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        InstanceRegistry other(folder);
        const char ok = other.registerSelf("other") ? 'y' : 'n';
        (void)::write(ready[1], &ok, 1);
        ::pause();  // until killed
        ::_exit(0);
    }
    char ok = 0;
    ASSERT_EQ(1, ::read(ready[0], &ok, 1));
    EXPECT_EQ('y', ok);
    EXPECT_TRUE(self.othersRunning());

    // Killed without a chance to clean up: no longer seen, and its file is cleared away.
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_FALSE(self.othersRunning());
    EXPECT_NE(0, ::access((folder + "/other.instance").c_str(), F_OK));
    ::close(ready[0]);
    ::close(ready[1]);

    // A folder that is not ours is not used.
    InstanceRegistry notAFolder(dir.file("reg/self.instance"));
    EXPECT_FALSE(notAFolder.registerSelf("x"));
}

}  // namespace
}  // namespace brisko::cdripper
