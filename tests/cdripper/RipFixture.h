// Shared set-up of the CD ripper's tests: libcdrip loaded from the build, a runtime folder of the
// test program's own (for the CD window's lock), a temporary folder and a library object over a
// cdrip.ini that lists generated images.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "cdripper/cCDRip.h"
#include "platform/cdrip/CdRipLoader.h"
#include "tests/platform/cdrip/DiscImages.h"
#include "tests/support/TempDir.h"

class RipFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static brisko::test::TempDir runtime("cd-runtime");
        ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
        brisko::cdrip::setCdRipLibraryPath(BRISKO_CDRIP_LIBRARY);
        std::string error;
        ASSERT_NE(nullptr, brisko::cdrip::cdRipApi(&error)) << error;
    }
    std::string iniPath() const { return dir.file("cdrip.ini"); }
    brisko::cdripper::cCDRip& library(const std::vector<std::string>& cues) {
        brisko::test::writeCdRipIni(iniPath(), cues);
        lib_ = std::make_unique<brisko::cdripper::cCDRip>();
        lib_->Create(iniPath());
        return *lib_;
    }

    brisko::test::TempDir dir{"cdripper"};

private:
    std::unique_ptr<brisko::cdripper::cCDRip> lib_;
};
