// The media channel: a stateless wrapper over one alias of the media control interface. Command
// operations answer "Success" or the error text; numeric queries answer a number or -1.
#pragma once

#include <cstdint>
#include <string>

namespace brisko {

class MediaChannel {
public:
    // "open \"" + shortPath(path) + "\" type " + deviceType + " Alias " + alias + " parent " +
    // parentWindow + " Style 1073741824"
    static std::string open(int64_t parentWindow, const std::string& alias, const std::string& path,
                            const std::string& deviceType);
    // "play " + alias + " from " + from + " to " + to; empty from = "0", empty to = lengthFrames.
    static std::string play(const std::string& alias, const std::string& from = "",
                            const std::string& to = "");
    static std::string pause(const std::string& alias);
    static std::string resume(const std::string& alias);
    static std::string stop(const std::string& alias);
    static std::string close(const std::string& alias);
    static std::string closeAllChannels();
    static std::string seek(const std::string& alias, int64_t position);
    // The mode text ("playing", "paused", "stopped"), or "ERROR".
    static std::string mode(const std::string& alias);
    static int32_t lengthFrames(const std::string& alias);
    static int32_t lengthMs(const std::string& alias);
    static int32_t position(const std::string& alias);
    static int32_t frameRate(const std::string& alias);
    // volume 0..100 (sent × 10); channel "left", "right" (any case) or anything else for both.
    static std::string setVolume(const std::string& alias, const std::string& channel, int volume);
    static int32_t getVolume(const std::string& alias, const std::string& channel = "");
    // speed in percent (sent × 10)
    static std::string setSpeed(const std::string& alias, int speed);
    static int32_t getSpeed(const std::string& alias);
    // "set " + alias + " output cue" (or "output air"): which output the alias is heard on. The
    // cue is the pre-listen output only the operator hears; without one the alias stays on air
    // and the error text says so.
    static std::string setOutput(const std::string& alias, bool cue);
};

// Sends COMMAND as it stands, for the few command strings a caller composes itself; answers the
// interface's error code (0 = success) and, with REPLY, its reply.
uint32_t sendCommandString(const std::string& command, std::string* reply = nullptr);

// A name without blanks or quotes that reaches the same file, so that unquoted command strings
// still parse; "" when the path does not exist.
std::string shortPath(const std::string& path);

// 1 if the file exists and holds at least one byte; -1 if missing, unreadable or empty.
int FileHasContent(const std::string& path);

// Kept for callers that register the video driver at start-up; there is nothing to register here.
void registerMpegVideoDriver();

}  // namespace brisko
