// The seam of the media channel for tests and benchmarks: where its command strings go. The
// reply conversions it applies are in ReplyNumbers.h.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "media/ReplyNumbers.h"
#include "platform/mci/Mci.h"

namespace brisko {

using MciSender = std::function<mci::MciError(const std::string& command, std::string* reply)>;

// Sends the channel's commands to SENDER instead of the media control interface; an empty
// function restores the interface.
void setMciSenderForTesting(MciSender sender);

}  // namespace brisko
