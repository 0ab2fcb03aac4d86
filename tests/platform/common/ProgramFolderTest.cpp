// The program folder: BRISKO_HOME wins and is created when missing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/common/ProgramFolder.h"
#include "tests/support/TempDir.h"

namespace {

class ProgramFolderTest : public ::testing::Test {
protected:
    void SetUp() override { saved_ = std::getenv("BRISKO_HOME"); }
    void TearDown() override {
        if (saved_.empty()) ::unsetenv("BRISKO_HOME");
        else ::setenv("BRISKO_HOME", saved_.c_str(), 1);
        brisko::setProgramFolderForTesting(saved_);
    }
    std::string saved_;
};

TEST_F(ProgramFolderTest, HomeVariableWinsAndIsCreatedWithoutTrailingSlash) {
    brisko::test::TempDir dir;
    const std::string home = dir.file("nested/home");
    ::setenv("BRISKO_HOME", (home + "/").c_str(), 1);
    EXPECT_EQ(brisko::resolveProgramFolder("/usr/bin/brisko"), home);
    EXPECT_TRUE(std::filesystem::is_directory(home));
    EXPECT_EQ(brisko::programFolder(), home);
}

TEST_F(ProgramFolderTest, WithoutHomeVariableUsesAWritableFolder) {
    ::unsetenv("BRISKO_HOME");
    const std::string folder = brisko::resolveProgramFolder(nullptr);
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_NE(folder.back(), '/');
}

}  // namespace
