// Test support for the dialogs: a Qt application for widget tests, and a stand-in "mpegvideo"
// device whose channels keep their volume, position, speed and commands where tests can see them.
#pragma once

#include <QApplication>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace brisko::test {

// The one QApplication of the test program (created on first call).
QApplication& dialogsApp();

// The state of one open channel of the stand-in device.
struct FakeChannel {
    std::string file;       // the file it was opened on
    int64_t lengthMs = 0;
    int64_t position = 0;   // milliseconds (= frames)
    int64_t volume = 1000;  // channel scale 0..1000
    int64_t speed = 1000;   // 1000 = normal
    std::string mode = "stopped";
    std::vector<std::string> log;  // "play FROM TO" (-1 = not given), "seek N", "pause", ...
};

// Replaces the "mpegvideo" device with the stand-in for the life of the object. Files are
// opened when they exist; their length comes from setLength (default 60 s).
class FakeMedia {
public:
    FakeMedia();
    ~FakeMedia();
    FakeMedia(const FakeMedia&) = delete;
    FakeMedia& operator=(const FakeMedia&) = delete;

    void setLength(const std::string& path, int64_t ms);
    // The channel behind ALIAS; nullptr when it is not open.
    FakeChannel* channel(const std::string& alias);
    // Closes every channel.
    void reset();
};

}  // namespace brisko::test
