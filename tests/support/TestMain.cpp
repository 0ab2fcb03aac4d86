// gtest main for every test program: points BRISKO_HOME at a fresh temporary folder so no test
// touches the user's folders, selects the manual audio backend and Qt's offscreen platform.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/common/ProgramFolder.h"
#include "tests/support/TempDir.h"

// Under LeakSanitizer, memory that system libraries keep for the life of the process is not ours:
// fontconfig's parse of its configuration and cache (loaded by Qt's font database), and the
// metadata database JACK's client library opens and never closes when no server answers.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n"
           "leak:libdb-5.3.so\n";
}

int main(int argc, char** argv) {
    static brisko::test::TempDir home("brisko-home");
    ::setenv("BRISKO_HOME", home.path().c_str(), 1);
    ::setenv("BRISKO_AUDIO", "manual", 1);
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    brisko::setProgramFolderForTesting(home.path());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
