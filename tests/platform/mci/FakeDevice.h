// A scripted device for interpreter tests: records every call it receives as a line of text and
// answers status queries from fields the test sets.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/mci/Device.h"

namespace brisko::mci::test {

struct FakeState {
    std::vector<std::string> calls;  // e.g. "play 10 -", "seek position 5", "close"
    std::vector<OpenRequest> opens;
    std::string mode = "stopped";
    int64_t length = 5000;
    int64_t position = 0;
    int64_t tracks = 1;
    bool mediaPresent = true;
    MciError failNextOpen = kOk;
    bool throwOnOpen = false;
};

// The state shared by every fake device of this test program.
FakeState& fake();
// Registers "testdevice" (opens a file) and "testcd" (opens by its type name, knows tmsf and a
// door) with a fresh FakeState.
void installFakeDevices();

}  // namespace brisko::mci::test
