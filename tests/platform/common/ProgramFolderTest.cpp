// The program folder: BRISKO_HOME wins and is created when missing; an installed program keeps its
// files in the per-user folder, seeded from its shipped data; the build tree keeps them beside it.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/common/ProgramFolder.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using brisko::test::readFile;
using brisko::test::TempDir;
using brisko::test::writeFile;

class ProgramFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"BRISKO_HOME", "HOME", "XDG_DATA_HOME"})
            if (const char* value = std::getenv(name)) saved_.emplace_back(name, value);
        ::unsetenv("XDG_DATA_HOME");
    }
    void TearDown() override {
        for (const char* name : {"BRISKO_HOME", "HOME", "XDG_DATA_HOME"}) ::unsetenv(name);
        for (const auto& [name, value] : saved_) ::setenv(name.c_str(), value.c_str(), 1);
        const char* home = std::getenv("BRISKO_HOME");
        brisko::setProgramFolderForTesting(home != nullptr ? home : "");
    }
    std::vector<std::pair<std::string, std::string>> saved_;
};

std::size_t entries(const std::string& folder) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST_F(ProgramFolderTest, HomeVariableWinsAndIsCreatedWithoutTrailingSlash) {
    TempDir dir;
    const std::string home = dir.file("nested/home");
    ::setenv("BRISKO_HOME", (home + "/").c_str(), 1);
    EXPECT_EQ(brisko::resolveProgramFolder("/usr/bin/brisko"), home);
    EXPECT_TRUE(fs::is_directory(home));
    EXPECT_EQ(brisko::programFolder(), home);
}

TEST_F(ProgramFolderTest, WithoutHomeVariableUsesAWritableFolder) {
    ::unsetenv("BRISKO_HOME");
    const std::string folder = brisko::resolveProgramFolder(nullptr);
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_NE(folder.back(), '/');
}

TEST_F(ProgramFolderTest, InstalledProgramUsesThePerUserFolderSeededFromItsData) {
    // An installed tree: <prefix>/bin (writable, as /usr/bin is for root) and <prefix>/share/brisko.
    TempDir dir;
    const std::string bin = dir.file("prefix/bin");
    const std::string data = dir.file("prefix/share/brisko");
    fs::create_directories(bin);
    fs::create_directories(data);
    writeFile(data + "/blankcliplist.dat", "template\r\n");
    writeFile(data + "/x.gif", "GIF89a");
    ::unsetenv("BRISKO_HOME");
    ::setenv("HOME", dir.file("user").c_str(), 1);

    EXPECT_EQ(brisko::installedDataFolder(bin), data);
    const std::string folder = dir.file("user/.local/share/brisko");
    EXPECT_EQ(brisko::resolveProgramFolderFor(bin), folder);
    EXPECT_EQ(readFile(folder + "/blankcliplist.dat"), "template\r\n");
    EXPECT_EQ(readFile(folder + "/x.gif"), "GIF89a");
    EXPECT_EQ(entries(bin), 0u) << "nothing may be written into the installed bin folder";

    // A later start keeps what the user's copy became, and restores only what is missing.
    writeFile(folder + "/blankcliplist.dat", "edited\r\n");
    fs::remove(folder + "/x.gif");
    brisko::resolveProgramFolderFor(bin);
    EXPECT_EQ(readFile(folder + "/blankcliplist.dat"), "edited\r\n");
    EXPECT_EQ(readFile(folder + "/x.gif"), "GIF89a");

    // BRISKO_HOME still wins, and is seeded the same way.
    ::setenv("BRISKO_HOME", dir.file("station").c_str(), 1);
    EXPECT_EQ(brisko::resolveProgramFolderFor(bin), dir.file("station"));
    EXPECT_EQ(readFile(dir.file("station/blankcliplist.dat")), "template\r\n");

    // Run from a build tree (no data folder beside it), the writable executable folder is used
    // and nothing is seeded.
    ::unsetenv("BRISKO_HOME");
    const std::string build = dir.file("build/app");
    fs::create_directories(build);
    EXPECT_EQ(brisko::installedDataFolder(build), "");
    EXPECT_EQ(brisko::resolveProgramFolderFor(build), build);
    EXPECT_EQ(entries(build), 0u);
}

TEST_F(ProgramFolderTest, SeedingOnAFullDiskLeavesNoPartialTemplate) {
    TempDir dir;
    const std::string data = dir.file("data");
    fs::create_directories(data);
    writeFile(data + "/blankcliplist.dat", std::string(64 * 1024, 'c'));
    const std::string folder = dir.file("home");
    fs::create_directories(folder);
    if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=16k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{folder};
    EXPECT_FALSE(brisko::seedProgramFolder(folder, data));
    // A half-copied template would become every new user's clip list: neither it nor the
    // temporary file may stay.
    EXPECT_EQ(entries(folder), 0u);
}

}  // namespace
