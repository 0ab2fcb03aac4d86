// Test support for the dialogs: a Qt application for widget tests, a stand-in "mpegvideo" device
// whose channels keep their volume, position, speed and commands where tests can see them, and
// the console fixture over that device.
#pragma once

#include <QApplication>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/console/ConsoleFixture.h"

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

// The console fixture with its main window built at once, over the stand-in device: what a key
// or button sends to a channel can be read back exactly (volume, position, speed, commands).
class WithMainWindow : public ConsoleTest {
protected:
    void SetUp() override;

    // Writes a short tone called NAME into the media folder (the stand-in device reports
    // LENGTHMS), selects it in the main window's file list and drops it on deck I.
    void loadDeck(int i, const std::string& name, int64_t lengthMs = 60000);
    FakeChannel* deck(int i) { return media.channel("voice" + std::to_string(i)); }

    FakeMedia media;
    frmMain* main = nullptr;  // the window built by SetUp (window_)
};

}  // namespace brisko::test
